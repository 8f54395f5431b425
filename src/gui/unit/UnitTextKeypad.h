// An entry dialog: a title, the text field with the on-screen text or numeric keypad,
// "Cancel" and "OK". The opener checks the text on `ok` and closes the dialog itself, so
// it can stay open behind an error message. Named "textKeypadField", "textKeypadOk",
// "textKeypadCancel" (text) or "numpadField", "numpadOk", "numpadCancel" (numeric).
#pragma once

#include "UnitKeypad.h"

#include <QFrame>

class QLineEdit;

class UnitTextKeypad : public QFrame {
    Q_OBJECT
  public:
    UnitTextKeypad(const QString& title, const QString& text, QWidget* parent = nullptr,
                   UnitKeypad::Mode mode = UnitKeypad::Text);
    QString Text() const;

  signals:
    void ok();
    void cancel();

  private:
    QLineEdit* field_;
};
