// A titled list of lines used by the input and output step views: one line per used
// input or output.
#pragma once

#include <QFrame>
#include <QStringList>

class QLabel;
class QListWidget;

class UnitStepListView : public QFrame {
    Q_OBJECT
  public:
    UnitStepListView(const char* name, const QString& title, QWidget* parent = nullptr);
    void SetCaption(const QString& text);
    void SetLines(const QStringList& lines);
    QString Caption() const;
    QStringList Lines() const { return lines_; }

  private:
    QLabel* caption_;
    QListWidget* list_;
    QStringList lines_;
};
