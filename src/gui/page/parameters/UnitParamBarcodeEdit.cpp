#include "UnitParamBarcodeEdit.h"

#include "UiSound.h"
#include "UnitCodeRange.h"
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
                  "QPushButton[role=\"preset\"] { padding: 0; min-width: 60px; max-width: 60px; }"
                  "QLabel { font-size: 18px; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    v->setSpacing(8);
    title_ = new QLabel("Barcode (No." + Number(index) + ")", this);
    title_->setObjectName("pbeTitle");
    title_->setProperty("role", "title");
    v->addWidget(title_);

    range_ = new UnitCodeRange("pbe", kCodeMax, this);
    v->addWidget(range_);

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
    keypad->SetTarget(range_->CodeField());
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
    range_->Set(entry.code, entry.end != 0, entry.start, entry.end);
}

QPushButton* UnitParamBarcodeEdit::button(const QString& name, const QString& text,
                                          QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    return b;
}

ToolBarcodeEntry UnitParamBarcodeEdit::Entry() const {
    ToolBarcodeEntry e;
    e.valid = true;
    e.code = range_->Code();
    e.preset = preset_;
    e.start = range_->Start();
    e.end = range_->End();
    return e;
}

bool UnitParamBarcodeEdit::Partial() const {
    return range_->Partial();
}
bool UnitParamBarcodeEdit::AllTools() const {
    return all_->isChecked();
}
QString UnitParamBarcodeEdit::Title() const {
    return title_->text();
}
