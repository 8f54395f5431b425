#include "UnitTextKeypad.h"

#include "UiSound.h"
#include "UnitKeypad.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnitTextKeypad::UnitTextKeypad(const QString& title, const QString& text, QWidget* parent)
    : QFrame(parent) {
    setObjectName("UnitTextKeypad");
    setProperty("role", "dialog");
    setFixedSize(900, 640);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(12);
    auto* t = new QLabel(title, this);
    t->setProperty("role", "title");
    field_ = new QLineEdit(text, this);
    field_->setObjectName("textKeypadField");
    auto* keypad = new UnitKeypad(UnitKeypad::Text, this);
    keypad->SetTarget(field_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("textKeypadCancel");
    cancelButton->setProperty("role", "cancel");
    cancelButton->setMinimumWidth(200);
    auto* okButton = new QPushButton("OK", this);
    okButton->setObjectName("textKeypadOk");
    okButton->setProperty("role", "ok");
    okButton->setMinimumWidth(200);
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
