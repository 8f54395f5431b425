#include "PageStepInput.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitStepInputData.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The screen texts of the conditions, spelled as the stations know them.
const char* const PageStepInput::kConditions[4] = {"Avtive high", "Avtive low", "Status high",
                                                   "Status low"};

PageStepInput::PageStepInput(QWidget* parent) : StepPanel(parent) {
    setObjectName("PageStepInput");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 0, 0, 0);
    v->addWidget(new QLabel("Inputs", this));
    auto* grid = new QGridLayout;
    for (int i = 0; i < 16; ++i) {
        use_[i] = new QPushButton(QString("IN %1").arg(i + 1), this);
        use_[i]->setObjectName(QString("inUse%1").arg(i + 1));
        use_[i]->setCheckable(true);
        use_[i]->setMinimumHeight(48);
        grid->addWidget(use_[i], i / 4, i % 4);
        connect(use_[i], &QPushButton::clicked, this, [] { UiSound_Tap(); });
    }
    v->addLayout(grid);
    v->addWidget(new QLabel("Condition", this));
    auto* row = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    for (int c = 0; c < 4; ++c) {
        cond_[c] = new QPushButton(kConditions[c], this);
        cond_[c]->setObjectName(QString("inCond%1").arg(c));
        cond_[c]->setCheckable(true);
        cond_[c]->setMinimumHeight(48);
        group->addButton(cond_[c], c);
        row->addWidget(cond_[c]);
        connect(cond_[c], &QPushButton::clicked, this, [] { UiSound_Tap(); });
    }
    v->addLayout(row);
    v->addStretch(1);
}

void PageStepInput::Load(int sdx) {
    sdx_ = sdx;
    const UnitStepInputData* d = ApplicationDevice()->GetInputStepData(sdx);
    for (int i = 0; i < 16; ++i)
        use_[i]->setChecked(d->Used[i] != 0);
    loadedCond_ = d->Condition;
    // A condition the panel does not offer shows none chosen and is kept until one is.
    QButtonGroup* group = cond_[0]->group();
    group->setExclusive(false);
    for (int c = 0; c < 4; ++c)
        cond_[c]->setChecked(c == d->Condition);
    group->setExclusive(true);
}

void PageStepInput::Save() {
    if (sdx_ < 0) return;
    UnitStepInputData d;
    for (int i = 0; i < 16; ++i)
        d.Used[i] = use_[i]->isChecked() ? 1 : 0;
    d.Condition = loadedCond_;
    for (int c = 0; c < 4; ++c)
        if (cond_[c]->isChecked()) d.Condition = c;
    ApplicationDevice()->SetInputStepData(sdx_, &d);
}
