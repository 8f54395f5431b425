#include "UnitPassword.h"

#include "Timer.h"
#include "UnitKeypad.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnitPassword::UnitPassword(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitPassword");
    setProperty("role", "dialog");
    setFixedSize(900, 690);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(12);
    auto* title = new QLabel("Enter password", this);
    title->setObjectName("passwordTitle");
    title->setProperty("role", "title");
    field_ = new QLineEdit(this);
    field_->setObjectName("passwordField");
    field_->setEchoMode(QLineEdit::Password);
    error_ = new QLabel("Incorrect password !!!", this);
    error_->setObjectName("passwordError");
    error_->setStyleSheet("color: #e23d3d; font-size: 22px; font-weight: bold;");
    error_->setFixedHeight(32);
    // Keep the layout still while the message blinks.
    QSizePolicy sp = error_->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    error_->setSizePolicy(sp);
    error_->hide();
    auto* keypad = new UnitKeypad(UnitKeypad::Text, this);
    keypad->SetTarget(field_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("passwordCancel");
    cancel->setProperty("role", "cancel");
    cancel->setMinimumWidth(200);
    auto* okb = new QPushButton("OK", this);
    okb->setObjectName("passwordOk");
    okb->setProperty("role", "ok");
    okb->setMinimumWidth(200);
    row->addWidget(cancel);
    row->addWidget(okb);
    v->addWidget(title);
    v->addWidget(field_);
    v->addWidget(error_);
    v->addWidget(keypad, 1);
    v->addLayout(row);
    connect(okb, &QPushButton::clicked, this, &UnitPassword::ok);
    connect(cancel, &QPushButton::clicked, this, &UnitPassword::cancel);
    blink_ = new Timer(this);
    blink_->SetBegin(10);
    blink_->SetPeriod(500);
    connect(blink_, &Timer::trigger, this, &UnitPassword::blinkTick);
}

QString UnitPassword::Text() const {
    return field_->text();
}
void UnitPassword::ClearText() {
    field_->clear();
}

void UnitPassword::ShowIncorrect() {
    toggles_ = 0;
    error_->hide();
    blink_->SetEnabled(false);
    blink_->SetEnabled(true);
}

void UnitPassword::blinkTick() {
    if (toggles_ >= 4) {
        blink_->SetEnabled(false);
        error_->hide();
        return;
    }
    error_->setVisible(error_->isHidden());
    ++toggles_;
}

bool UnitPassword::IncorrectVisible() const {
    return !error_->isHidden();
}
bool UnitPassword::Blinking() const {
    return blink_->Enabled();
}
