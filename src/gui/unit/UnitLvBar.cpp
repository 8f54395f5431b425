#include "UnitLvBar.h"

#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"
#include "page/parameters/ParameterMap.h"

#include <QGridLayout>
#include <QProgressBar>
#include <QPushButton>

UnitLvBar::UnitLvBar(QWidget* parent) : QWidget(parent) {
    auto* g = new QGridLayout(this);
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(2);
    minus_ = new QPushButton("-", this);
    plus_ = new QPushButton("+", this);
    value_button_ = new QPushButton("-", this);
    for (QPushButton* b : {minus_, plus_, value_button_}) {
        b->setProperty("role", "param");
        b->setFixedSize(b == value_button_ ? 120 : 52, 40);
    }
    level_ = new QProgressBar(this);
    level_->setTextVisible(false);
    level_->setFixedHeight(4);
    g->addWidget(minus_, 0, 0);
    g->addWidget(value_button_, 0, 1);
    g->addWidget(plus_, 0, 2);
    g->addWidget(level_, 1, 1);
    connect(minus_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        step(-1);
    });
    connect(plus_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        step(1);
    });
    connect(value_button_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openNumpad();
    });
    display();
}

UnitLvBar::~UnitLvBar() {
    Navigator::DismissModal(numpad_);
    Navigator::DismissModal(error_);
}

void UnitLvBar::SetName(const QString& name) {
    setObjectName(name);
    minus_->setObjectName(name + "Minus");
    value_button_->setObjectName(name + "Value");
    plus_->setObjectName(name + "Plus");
}

void UnitLvBar::SetTitle(const QString& title) {
    title_ = title;
}
void UnitLvBar::SetDecimals(int decimals) {
    decimals_ = decimals;
    display();
}
void UnitLvBar::SetLimits(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    display();
}
void UnitLvBar::SetValue(int value) {
    value_ = value;
    display();
}
void UnitLvBar::SetValid(bool valid) {
    valid_ = valid;
    display();
}

void UnitLvBar::SetState(int lower, int upper, int value, bool valid) {
    if (displayed_ && lower == lower_ && upper == upper_ && value == value_ && valid == valid_)
        return;
    lower_ = lower;
    upper_ = upper;
    value_ = value;
    valid_ = valid;
    display();
}

void UnitLvBar::display() {
    displayed_ = true;
    value_button_->setText(valid_ ? ParameterMap::Format(value_, decimals_) : QString("-"));
    for (QPushButton* b : {minus_, value_button_, plus_})
        b->setEnabled(valid_);
    level_->setRange(0, 1000);
    const int span = upper_ - lower_;
    level_->setValue(
        valid_ && span > 0 ? int(qBound(0LL, 1000LL * (value_ - lower_) / span, 1000LL)) : 0);
}

void UnitLvBar::step(int direction) {
    if (!valid_) return;
    if (auto next = ParameterMap::Step(value_, direction, lower_, upper_)) {
        value_ = *next;
        display();
        emit changed(value_);
    }
}

void UnitLvBar::openNumpad() {
    if (!valid_ || numpad_.Open()) return;
    auto* pad =
        new UnitTextKeypad(ParameterMap::Shown(title_), ParameterMap::Format(value_, decimals_),
                           nullptr, UnitKeypad::Numeric);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(numpad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        const QString text = pad->Text();
        Navigator::DismissModal(numpad_);
        entered(text);
    });
    numpad_ = Navigator::PresentModal(window(), pad, Transition::Scale);
}

void UnitLvBar::entered(const QString& text) {
    const auto v = ParameterMap::Parse(text, decimals_, lower_, upper_);
    if (!v) {
        if (error_.Open()) return;
        UiSound_Ng();
        auto* box = new UnitMessageBox;
        box->setObjectName("paramInvalid");
        box->SetTitle("Error");
        box->SetText(ParameterMap::InvalidMessage(lower_, upper_, decimals_));
        connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
        error_ = Navigator::PresentModal(window(), box, Transition::Fade);
        return;
    }
    value_ = *v;
    display();
    emit changed(value_);
}
