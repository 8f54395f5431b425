#include "UnitParamSelect.h"

#include "UiSound.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UnitParamSelect::UnitParamSelect(int reg, int value, QWidget* parent)
    : QFrame(parent), reg_(reg), value_(value), selector_(ParameterMap::SelectorOf(reg, value)) {
    setObjectName("UnitParamSelect");
    setProperty("role", "dialog");
    setMinimumWidth(640);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 20, 28, 20);
    v->setSpacing(10);
    auto* t = new QLabel(selector_.Title, this);
    t->setObjectName("selectTitle");
    t->setProperty("role", "subtitle");
    t->setWordWrap(true);
    v->addWidget(t);
    auto* grid = new QGridLayout;
    grid->setSpacing(6);
    const int rows = (int(selector_.Items.size()) + 2) / 3;
    const char* const checked =
        "QPushButton { text-align: left; } "
        "QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }";
    for (int i = 0; i < selector_.Items.size(); ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString("selectItem%1").arg(i));
        b->setCheckable(true);
        b->setStyleSheet(checked);
        b->setMinimumHeight(44);
        grid->addWidget(b, i % rows, i / rows);
        items_.append(b);
        const int code = selector_.Items[i].Code;
        connect(b, &QPushButton::clicked, this, [this, code] {
            UiSound_Tap();
            value_ = selector_.IsMask ? (value_ ^ code) : code;
            display();
        });
    }
    v->addLayout(grid);
    auto* row = new QHBoxLayout;
    if (!selector_.AllLabel.isEmpty()) {
        auto* all = new QPushButton(selector_.AllLabel, this);
        all->setObjectName("selectAll");
        all->setStyleSheet(checked);
        row->addWidget(all);
        connect(all, &QPushButton::clicked, this, [this] {
            UiSound_Tap();
            for (const ParameterMap::Choice& c : selector_.Items)
                value_ |= c.Code;
            display();
        });
    }
    row->addStretch(1);
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("selectCancel");
    cancelButton->setProperty("role", "cancel");
    auto* okButton = new QPushButton("OK", this);
    okButton->setObjectName("selectOk");
    okButton->setProperty("role", "ok");
    row->addWidget(cancelButton);
    row->addWidget(okButton);
    v->addLayout(row);
    connect(okButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit ok(value_);
    });
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit cancel();
    });
    display();
}

void UnitParamSelect::display() {
    // The screw type's labels name the direction each bit now stands for.
    const ParameterMap::Selector now = ParameterMap::SelectorOf(reg_, value_);
    for (int i = 0; i < items_.size(); ++i) {
        const int code = selector_.Items[i].Code;
        items_[i]->setText(ParameterMap::Shown(now.Items.value(i).Label));
        items_[i]->setChecked(selector_.IsMask ? (value_ & code) == code : value_ == code);
    }
}
