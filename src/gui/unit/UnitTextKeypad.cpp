#include "UnitTextKeypad.h"

#include "UiSound.h"
#include "UnitKeypad.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnitTextKeypad::UnitTextKeypad(const QString& title, const QString& text, QWidget* parent,
                               UnitKeypad::Mode mode)
    : QFrame(parent) {
    const bool numeric = mode == UnitKeypad::Numeric;
    const QString prefix = numeric ? "numpad" : "textKeypad";
    setObjectName(numeric ? "UnitNumpad" : "UnitTextKeypad");
    setProperty("role", "dialog");
    if (numeric)
        setFixedSize(480, 620);
    else
        setFixedSize(900, 640);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(numeric ? 28 : 32, numeric ? 20 : 24, numeric ? 28 : 32,
                          numeric ? 20 : 24);
    v->setSpacing(12);
    auto* t = new QLabel(title, this);
    t->setProperty("role", numeric ? "subtitle" : "title");
    t->setWordWrap(numeric);
    field_ = new QLineEdit(text, this);
    field_->setObjectName(prefix + "Field");
    if (numeric) {
        field_->setAlignment(Qt::AlignRight);
        field_->setStyleSheet("font-size: 28px;");
    }
    auto* keypad = new UnitKeypad(mode, this);
    keypad->SetTarget(field_);
    auto* row = new QHBoxLayout;
    if (!numeric) row->addStretch(1);
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName(prefix + "Cancel");
    cancelButton->setProperty("role", "cancel");
    auto* okButton = new QPushButton("OK", this);
    okButton->setObjectName(prefix + "Ok");
    okButton->setProperty("role", "ok");
    if (!numeric) {
        cancelButton->setMinimumWidth(200);
        okButton->setMinimumWidth(200);
    }
    row->addWidget(cancelButton);
    row->addWidget(okButton);
    v->addWidget(t);
    v->addWidget(field_);
    v->addWidget(keypad, 1);
    v->addLayout(row);
    connect(okButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit ok();
    });
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit cancel();
    });
}

QString UnitTextKeypad::Text() const {
    return field_->text();
}
