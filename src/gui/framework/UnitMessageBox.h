// Message and confirmation box: a title ("Message", "Error", "Warning", "Confirmation",
// "Success"), a text, a close button and optionally a confirming choice. Every button
// press plays the tap sound.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

class UnitMessageBox : public QFrame {
    Q_OBJECT
  public:
    explicit UnitMessageBox(QWidget* parent = nullptr);
    void SetTitle(const QString& title);
    void SetText(const QString& text);
    QString Title() const;
    QString Text() const;
    // A confirmation offers `choice` beside the close button (labelled "Cancel" then).
    void SetConfirm(const QString& choice);
    void SetCloseText(const QString& text);
    // A waiting message has no close button until the work is done.
    void SetCloseVisible(bool visible);

  signals:
    void closed();
    void confirmed();

  private:
    QLabel* title_;
    QLabel* text_;
    QPushButton* confirm_;
    QPushButton* close_;
};
