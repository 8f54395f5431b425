#include "UnitKeypad.h"

#include "UiSound.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnitKeypad::UnitKeypad(Mode mode, QWidget* parent) : QWidget(parent) {
    setObjectName(mode == Text ? "UnitKeypadText" : "UnitKeypadNumeric");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    auto addRow = [&](const QString& chars, bool withBack) {
        auto* h = new QHBoxLayout;
        h->setSpacing(8);
        for (QChar c : chars) {
            auto* b = key(QString("key_") + c, QString(c));
            if (c.isLetter()) letters_.append(b);
            connect(b, &QPushButton::clicked, this, [this, b] { type(b->text()); });
            h->addWidget(b);
        }
        if (withBack) {
            auto* b = key("key_Backspace", QString::fromUtf8("\u232b"), 2);
            connect(b, &QPushButton::clicked, this, [this] {
                if (target_) target_->backspace();
            });
            h->addWidget(b, 2);
        }
        v->addLayout(h);
    };
    if (mode == Numeric) {
        addRow("789", false);
        addRow("456", false);
        addRow("123", false);
        auto* h = new QHBoxLayout;
        for (QString c : {QString("-"), QString("0"), QString(".")}) {
            auto* b = key("key_" + c, c);
            connect(b, &QPushButton::clicked, this, [this, c] { type(c); });
            h->addWidget(b);
        }
        v->addLayout(h);
        auto* last = new QHBoxLayout;
        auto* clr = key("key_Clear", "C");
        connect(clr, &QPushButton::clicked, this, [this] {
            if (target_) target_->clear();
        });
        auto* back = key("key_Backspace", QString::fromUtf8("\u232b"));
        connect(back, &QPushButton::clicked, this, [this] {
            if (target_) target_->backspace();
        });
        last->addWidget(clr);
        last->addWidget(back);
        v->addLayout(last);
        return;
    }
    addRow("1234567890", true);
    addRow("qwertyuiop", false);
    addRow("asdfghjkl", false);
    auto* h = new QHBoxLayout;
    h->setSpacing(8);
    auto* shift = key("key_Shift", QString::fromUtf8("\u21e7"), 2);
    shift->setCheckable(true);
    connect(shift, &QPushButton::toggled, this, [this](bool on) { setShift(on); });
    h->addWidget(shift, 2);
    for (QChar c : QString("zxcvbnm")) {
        auto* b = key(QString("key_") + c, QString(c));
        letters_.append(b);
        connect(b, &QPushButton::clicked, this, [this, b] { type(b->text()); });
        h->addWidget(b);
    }
    for (QString c : {QString("-"), QString("_"), QString(".")}) {
        auto* b = key("key_" + c, c);
        connect(b, &QPushButton::clicked, this, [this, c] { type(c); });
        h->addWidget(b);
    }
    v->addLayout(h);
    auto* last = new QHBoxLayout;
    auto* clr = key("key_Clear", "Clear", 2);
    connect(clr, &QPushButton::clicked, this, [this] {
        if (target_) target_->clear();
    });
    auto* space = key("key_Space", "Space", 6);
    connect(space, &QPushButton::clicked, this, [this] { type(" "); });
    last->addWidget(clr, 2);
    last->addWidget(space, 6);
    v->addLayout(last);
}

QPushButton* UnitKeypad::key(const QString& name, const QString& label, int) {
    auto* b = new QPushButton(label, this);
    b->setObjectName(name);
    b->setProperty("role", "key");
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit keyPressed();
    });
    return b;
}

void UnitKeypad::type(const QString& text) {
    if (target_) target_->insert(text);
}

void UnitKeypad::setShift(bool on) {
    shift_ = on;
    for (auto* b : letters_)
        b->setText(on ? b->text().toUpper() : b->text().toLower());
}
