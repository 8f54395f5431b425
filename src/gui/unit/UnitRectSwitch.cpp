#include "UnitRectSwitch.h"

#include "UiSound.h"

#include <QStyle>

UnitRectSwitch::UnitRectSwitch(QWidget* parent) : QPushButton(parent) {
    setProperty("role", "param");
    setFixedSize(120, 40);
    setStyleSheet("QPushButton[on=\"true\"] { background: #1f7a3e; border-color: #2eb85c; }");
    connect(this, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (valid_) emit switched(value_ ? 0 : 1);
    });
    SetValue(0, false);
}

void UnitRectSwitch::SetValue(int value, bool valid) {
    value_ = value;
    valid_ = valid;
    setText(!valid ? QString("-") : value ? QString("ON") : QString("OFF"));
    setEnabled(valid);
    const bool on = valid && value != 0;
    if (property("on").toBool() == on) return;
    setProperty("on", on);
    style()->unpolish(this);
    style()->polish(this);
}
