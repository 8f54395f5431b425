#include "PageStepOutput.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitStepOutputData.h"
#include "UnitTextKeypad.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int PageStepOutput::ParseWidth(const QString& text) {
    bool ok = false;
    const int ms = text.trimmed().toInt(&ok);
    return ok && ms >= 1 && ms <= kMaxWidth ? ms : kDefaultWidth;
}

PageStepOutput::PageStepOutput(QWidget* parent) : StepPanel(parent) {
    setObjectName("PageStepOutput");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 0, 0, 0);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(4);
    for (int i = 0; i < 16; ++i) {
        use_[i] = new QPushButton(QString("OUT %1").arg(i + 1), this);
        use_[i]->setObjectName(QString("outUse%1").arg(i + 1));
        use_[i]->setCheckable(true);
        use_[i]->setMinimumHeight(36);
        mode_[i] = new QPushButton(this);
        mode_[i]->setObjectName(QString("outMode%1").arg(i + 1));
        mode_[i]->setCheckable(true); // checked: high
        mode_[i]->setMinimumHeight(36);
        const int col = (i / 8) * 2;
        grid->addWidget(use_[i], i % 8, col);
        grid->addWidget(mode_[i], i % 8, col + 1);
        connect(use_[i], &QPushButton::clicked, this, [] { UiSound_Tap(); });
        connect(mode_[i], &QPushButton::clicked, this, [this, i] {
            UiSound_Tap();
            showMode(i);
        });
    }
    v->addLayout(grid);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Impulse width (ms)", this));
    width_ = new QPushButton(this);
    width_->setObjectName("outWidth");
    width_->setMinimumHeight(44);
    row->addWidget(width_, 1);
    v->addLayout(row);
    v->addStretch(1);
    connect(width_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        enterWidth();
    });
}

void PageStepOutput::showMode(int i) {
    mode_[i]->setText(mode_[i]->isChecked() ? "High" : "Impulse");
}

void PageStepOutput::Load(int sdx) {
    sdx_ = sdx;
    const UnitStepOutputData* d = ApplicationDevice()->GetOutputStepData(sdx);
    for (int i = 0; i < 16; ++i) {
        use_[i]->setChecked(d->Used[i] != 0);
        mode_[i]->setChecked(d->Mode[i] == 1);
        loadedMode_[i] = d->Mode[i];
        showMode(i);
    }
    loadedWidth_ = d->ImpulseWidth;
    width_->setText(QString::number(d->ImpulseWidth));
}

void PageStepOutput::enterWidth() {
    if (dialog_.Open()) return;
    auto* pad =
        new UnitTextKeypad("Impulse width (ms)", width_->text(), nullptr, UnitKeypad::Numeric);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        width_->setText(pad->Text()); // parsed on Save
        Navigator::DismissModal(dialog_);
    });
    dialog_ = Navigator::PresentModal(host(), pad, Transition::Scale);
}

void PageStepOutput::Save() {
    if (sdx_ < 0) return;
    UnitStepOutputData d;
    for (int i = 0; i < 16; ++i) {
        d.Used[i] = use_[i]->isChecked() ? 1 : 0;
        // A mode or width the panel does not offer (another editor wrote it) stays unless
        // the engineer changes it.
        const bool high = mode_[i]->isChecked();
        d.Mode[i] = high == (loadedMode_[i] == 1) ? loadedMode_[i] : high ? 1 : 0;
    }
    d.ImpulseWidth =
        width_->text() == QString::number(loadedWidth_) ? loadedWidth_ : ParseWidth(width_->text());
    ApplicationDevice()->SetOutputStepData(sdx_, &d);
}
