// On-screen keypads: a text keypad (digits, letters, shift, space) and a numeric one.
// Keys type into the target line edit, so no screen needs a physical keyboard.
// Key widgets are named "key_<char>", "key_Shift", "key_Space", "key_Backspace",
// "key_Clear".
#pragma once

#include <QPointer>
#include <QWidget>

#include <QLineEdit>
class QPushButton;

class UnitKeypad : public QWidget {
    Q_OBJECT
  public:
    enum Mode { Text, Numeric };
    explicit UnitKeypad(Mode mode, QWidget* parent = nullptr);
    void SetTarget(QLineEdit* target) { target_ = target; }

  signals:
    void keyPressed();

  private:
    QPushButton* key(const QString& name, const QString& label, int stretch = 1);
    void type(const QString& text);
    void setShift(bool on);
    QPointer<QLineEdit> target_;
    QList<QPushButton*> letters_;
    bool shift_ = false;
};
