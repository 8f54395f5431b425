#include "UnitCodeRange.h"

#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

void CodeRangePick::Touch(int position) {
    if (!open) {
        start = end = position;
        open = true;
        return;
    }
    if (position < start)
        start = position;
    else
        end = position;
    open = false;
}

UnitCodeRange::UnitCodeRange(const QString& prefix, int maxLength, QWidget* parent)
    : QWidget(parent), prefix_(prefix) {
    setStyleSheet("QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }"
                  "QPushButton[role=\"char\"] { min-width: 30px; max-width: 30px; padding: 0;"
                  " font-family: monospace; font-size: 18px; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    code_ = new QLineEdit(this);
    code_->setObjectName(prefix + "Code");
    code_->setMaxLength(maxLength);
    code_->setStyleSheet("font-size: 22px; font-family: monospace;");
    v->addWidget(code_);

    auto* row = new QHBoxLayout;
    partial_ = new QPushButton("Compare part", this);
    partial_->setObjectName(prefix + "Partial");
    partial_->setCheckable(true);
    connect(partial_, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    connect(partial_, &QPushButton::toggled, this, [this] {
        showRange();
        emit changed();
    });
    row->addWidget(partial_);
    chars_ = new QWidget(this);
    charRow_ = new QHBoxLayout(chars_);
    charRow_->setContentsMargins(0, 0, 0, 0);
    charRow_->setSpacing(2);
    charRow_->addStretch(1);
    row->addWidget(chars_, 1);
    range_ = new QLabel(this);
    range_->setObjectName(prefix + "Range");
    range_->setMinimumWidth(90);
    range_->setStyleSheet("font-size: 18px;");
    row->addWidget(range_);
    v->addLayout(row);
    connect(code_, &QLineEdit::textChanged, this, [this] {
        codeChanged();
        emit changed();
    });
    codeChanged();
}

void UnitCodeRange::Set(const QString& code, bool partial, int start, int end) {
    pick_ = CodeRangePick{};
    code_->setText(code);
    if (partial && start >= 1 && end >= start && end <= code.size()) {
        pick_.start = start;
        pick_.end = end;
    }
    partial_->setChecked(partial && pick_.start >= 1);
    codeChanged();
}

QString UnitCodeRange::Code() const {
    return code_->text();
}
bool UnitCodeRange::Partial() const {
    return partial_->isChecked();
}
int UnitCodeRange::Start() const {
    return Partial() ? pick_.start : 0;
}
int UnitCodeRange::End() const {
    return Partial() ? pick_.end : 0;
}

void UnitCodeRange::codeChanged() {
    const QString code = code_->text();
    while (charButtons_.size() < code.size()) {
        const int pos = int(charButtons_.size()) + 1;
        auto* b = new QPushButton(chars_);
        b->setObjectName(QString("%1Char%2").arg(prefix_).arg(pos));
        b->setProperty("role", "char");
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, pos] {
            UiSound_Tap();
            pick_.Touch(pos);
            partial_->setChecked(true); // shows the range and reports the change
            showRange();
            emit changed();
        });
        charRow_->insertWidget(charRow_->count() - 1, b);
        charButtons_.append(b);
    }
    for (int i = 0; i < charButtons_.size(); ++i) {
        charButtons_[i]->setVisible(i < code.size());
        if (i < code.size()) charButtons_[i]->setText(code.mid(i, 1));
    }
    // A part beyond the new end of the code is chosen again.
    if (pick_.end > code.size()) pick_ = CodeRangePick{};
    showRange();
}

void UnitCodeRange::showRange() {
    const bool on = partial_->isChecked() && pick_.start >= 1;
    for (int i = 0; i < charButtons_.size(); ++i)
        charButtons_[i]->setChecked(on && i + 1 >= pick_.start && i + 1 <= pick_.end);
    range_->setText(on ? QString("%1 / %2").arg(pick_.start).arg(pick_.end) : "-");
}
