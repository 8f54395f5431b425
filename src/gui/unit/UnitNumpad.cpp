#include "UnitNumpad.h"

#include "UiSound.h"
#include "UnitKeypad.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnitNumpad::UnitNumpad(const QString& title, const QString& text, QWidget* parent)
    : QFrame(parent) {
    setObjectName("UnitNumpad");
    setProperty("role", "dialog");
    setFixedSize(480, 620);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 20, 28, 20);
    v->setSpacing(12);
    auto* t = new QLabel(title, this);
    t->setProperty("role", "subtitle");
    t->setWordWrap(true);
    field_ = new QLineEdit(text, this);
    field_->setObjectName("numpadField");
    field_->setAlignment(Qt::AlignRight);
    field_->setStyleSheet("font-size: 28px;");
    auto* keypad = new UnitKeypad(UnitKeypad::Numeric, this);
    keypad->SetTarget(field_);
    auto* row = new QHBoxLayout;
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("numpadCancel");
    cancelButton->setProperty("role", "cancel");
    auto* okButton = new QPushButton("OK", this);
    okButton->setObjectName("numpadOk");
    okButton->setProperty("role", "ok");
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

QString UnitNumpad::Text() const {
    return field_->text();
}
