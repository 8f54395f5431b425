// A text entry dialog: a title, the text field with the on-screen text keypad, "Cancel"
// and "OK". The opener checks the text on `ok` and closes the dialog itself, so it can
// stay open behind an error message. Named "textKeypadField", "textKeypadOk",
// "textKeypadCancel".
#pragma once

#include <QFrame>

class QLineEdit;

class UnitTextKeypad : public QFrame {
    Q_OBJECT
  public:
    UnitTextKeypad(const QString& title, const QString& text, QWidget* parent = nullptr);
    QString Text() const;

  signals:
    void ok();
    void cancel();

  private:
    QLineEdit* field_;
};
