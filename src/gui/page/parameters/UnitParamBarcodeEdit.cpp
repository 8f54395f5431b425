#include "UnitParamBarcodeEdit.h"

#include "UiSound.h"
#include "UnitKeypad.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ToolBarcode;

UnitParamBarcodeEdit::UnitParamBarcodeEdit(int index, const ToolBarcodeEntry& entry,
                                           QWidget* parent)
    : QFrame(parent) {
    setObjectName("UnitParamBarcodeEdit");
    setProperty("role", "dialog");
    setFixedSize(1200, 760);
    setStyleSheet("QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }"
                  "QPushButton[role=\"char\"] { min-width: 30px; max-width: 30px; padding: 0;"
                  " font-family: monospace; font-size: 18px; }"
                  "QPushButton[role=\"preset\"] { padding: 0; min-width: 60px; max-width: 60px; }"
                  "QLabel { font-size: 18px; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    v->setSpacing(8);
    title_ = new QLabel("Barcode (No." + Number(index) + ")", this);
    title_->setObjectName("pbeTitle");
    title_->setProperty("role", "title");
    v->addWidget(title_);

    code_ = new QLineEdit(entry.code, this);
    code_->setObjectName("pbeCode");
    code_->setMaxLength(kCodeMax);
    code_->setStyleSheet("font-size: 22px; font-family: monospace;");
    v->addWidget(code_);

    // The compared part: touch its first and last character.
    auto* partRow = new QHBoxLayout;
    partial_ = button("pbePartial", "Compare part", this);
    partial_->setCheckable(true);
    partRow->addWidget(partial_);
    chars_ = new QWidget(this);
    charRow_ = new QHBoxLayout(chars_);
    charRow_->setContentsMargins(0, 0, 0, 0);
    charRow_->setSpacing(2);
    partRow->addWidget(chars_, 1);
    range_ = new QLabel(this);
    range_->setObjectName("pbeRange");
    range_->setMinimumWidth(90);
    partRow->addWidget(range_);
    v->addLayout(partRow);
    connect(partial_, &QPushButton::toggled, this, [this] { showRange(); });

    auto* presetRow = new QHBoxLayout;
    presetRow->setSpacing(4);
    presetRow->addWidget(new QLabel("Preset", this));
    for (int p = kPresetLowest; p <= kPresetHighest; ++p) {
        QPushButton* b = button(QString("pbeP%1").arg(p), QString::number(p), this);
        b->setCheckable(true);
        b->setProperty("role", "preset");
        connect(b, &QPushButton::clicked, this, [this, p] {
            preset_ = p;
            for (int i = 0; i < presets_.size(); ++i)
                presets_[i]->setChecked(i + kPresetLowest == p);
        });
        presets_.append(b);
        presetRow->addWidget(b);
    }
    presetRow->addStretch(1);
    v->addLayout(presetRow);

    auto* keypad = new UnitKeypad(UnitKeypad::Text, this);
    keypad->SetTarget(code_);
    v->addWidget(keypad, 1);

    auto* buttons = new QHBoxLayout;
    all_ = button("pbeAll", "Apply to all tools", this);
    all_->setCheckable(true);
    buttons->addWidget(all_);
    buttons->addStretch(1);
    QPushButton* cancel = button("pbeCancel", "Cancel", this);
    cancel->setProperty("role", "cancel");
    QPushButton* okButton = button("pbeOk", "OK", this);
    okButton->setProperty("role", "ok");
    for (QPushButton* b : {cancel, okButton}) {
        b->setMinimumWidth(200);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &UnitParamBarcodeEdit::ok);
    connect(cancel, &QPushButton::clicked, this, &UnitParamBarcodeEdit::cancel);

    preset_ = entry.preset;
    for (int i = 0; i < presets_.size(); ++i)
        presets_[i]->setChecked(i + kPresetLowest == preset_);
    if (entry.end != 0 && entry.start >= 1 && entry.end >= entry.start) {
        pick_.start = entry.start;
        pick_.end = entry.end;
        partial_->setChecked(true);
    }
    connect(code_, &QLineEdit::textChanged, this, [this] { codeChanged(); });
    codeChanged();
}

QPushButton* UnitParamBarcodeEdit::button(const QString& name, const QString& text,
                                          QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    return b;
}

void UnitParamBarcodeEdit::codeChanged() {
    const QString code = code_->text();
    while (charButtons_.size() < code.size()) {
        const int pos = int(charButtons_.size()) + 1;
        QPushButton* b = button(QString("pbeChar%1").arg(pos), QString(), chars_);
        b->setProperty("role", "char");
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, pos] {
            pick_.Touch(pos);
            partial_->setChecked(true);
            showRange();
        });
        charRow_->addWidget(b);
        charButtons_.append(b);
    }
    for (int i = 0; i < charButtons_.size(); ++i) {
        charButtons_[i]->setVisible(i < code.size());
        if (i < code.size()) charButtons_[i]->setText(code.mid(i, 1));
    }
    // A part beyond the new end of the code is chosen again.
    if (pick_.end > code.size()) pick_ = RangePick{};
    showRange();
}

void UnitParamBarcodeEdit::showRange() {
    const bool on = partial_->isChecked() && pick_.start >= 1;
    for (int i = 0; i < charButtons_.size(); ++i)
        charButtons_[i]->setChecked(on && i + 1 >= pick_.start && i + 1 <= pick_.end);
    range_->setText(on ? QString("%1 / %2").arg(pick_.start).arg(pick_.end) : "-");
}

ToolBarcodeEntry UnitParamBarcodeEdit::Entry() const {
    ToolBarcodeEntry e;
    e.valid = true;
    e.code = code_->text();
    e.preset = preset_;
    if (Partial()) {
        e.start = pick_.start;
        e.end = pick_.end;
    }
    return e;
}

bool UnitParamBarcodeEdit::Partial() const {
    return partial_->isChecked();
}
bool UnitParamBarcodeEdit::AllTools() const {
    return all_->isChecked();
}
QString UnitParamBarcodeEdit::Title() const {
    return title_->text();
}
