// The message step view: three lines of text (the picture, if any, is the screen's).
#pragma once

#include <QFrame>

class QLabel;

class UnitStepMessageView : public QFrame {
    Q_OBJECT
  public:
    explicit UnitStepMessageView(QWidget* parent = nullptr);
    void SetLines(const QString& l1, const QString& l2, const QString& l3);
    QString Text() const;

  private:
    QLabel* lines_[3];
};
