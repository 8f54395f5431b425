// A switch line's button: shows "ON" for a nonzero value, "OFF" for zero, "-" when the
// value is unknown; touched, it asks for the inverse of its value (`switched`).
#pragma once

#include <QPushButton>

class UnitRectSwitch : public QPushButton {
    Q_OBJECT
  public:
    explicit UnitRectSwitch(QWidget* parent = nullptr);
    void SetValue(int value, bool valid);
    int Value() const { return value_; }

  signals:
    void switched(int value);

  private:
    int value_ = 0;
    bool valid_ = false;
};
