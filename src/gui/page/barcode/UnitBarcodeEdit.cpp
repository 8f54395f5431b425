#include "UnitBarcodeEdit.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitCodeRange.h"
#include "UnitKeypad.h"
#include "UnitSelectJob.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace BarcodeList;

namespace {
constexpr int kCodeMax = 32;
}

UnitBarcodeEdit::UnitBarcodeEdit(Target target, int row, const BarcodeRow& data, QWidget* parent)
    : QFrame(parent), target_(target), row_(row) {
    setObjectName("UnitBarcodeEdit");
    setProperty("role", "dialog");
    setFixedSize(1200, 760);
    setStyleSheet("QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }"
                  "QPushButton[role=\"preset\"] { padding: 0; min-width: 56px; max-width: 70px; }"
                  "QLabel { font-size: 18px; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    v->setSpacing(8);
    title_ =
        new QLabel(row < 0 ? QString("Barcode (new)") : "Barcode (No." + Number(row) + ")", this);
    title_->setObjectName("bceTitle");
    title_->setProperty("role", "title");
    v->addWidget(title_);

    range_ = new UnitCodeRange("bce", kCodeMax, this);
    v->addWidget(range_);

    auto* targetRow = new QHBoxLayout;
    targetRow->setSpacing(4);
    if (target_ == Job) {
        targetRow->addWidget(new QLabel("Job", this));
        job_ = new QLabel(this);
        job_->setObjectName("bceJob");
        job_->setMinimumWidth(520);
        job_->setStyleSheet("font-size: 20px; border: 1px solid #3a4754; padding: 6px;");
        targetRow->addWidget(job_);
        QPushButton* pick = button("bceJobSelect", "Select job", this);
        connect(pick, &QPushButton::clicked, this, &UnitBarcodeEdit::openJobList);
        targetRow->addWidget(pick);
    } else {
        targetRow->addWidget(new QLabel("Preset", this));
        for (int p = kPresetLowest; p <= kPresetHighest; ++p) {
            const QString label = p <= 15 ? QString::number(p) : BarcodeList::Preset(p);
            QPushButton* b = button(QString("bceP%1").arg(p), label, this);
            b->setCheckable(true);
            b->setProperty("role", "preset");
            connect(b, &QPushButton::clicked, this, [this, p] { choosePreset(p); });
            presets_.append(b);
            targetRow->addWidget(b);
        }
    }
    targetRow->addStretch(1);
    v->addLayout(targetRow);

    auto* keypad = new UnitKeypad(UnitKeypad::Text, this);
    keypad->SetTarget(range_->CodeField());
    v->addWidget(keypad, 1);

    auto* buttons = new QHBoxLayout;
    if (target_ == Preset) {
        all_ = button("bceAll", "Add to all tools", this);
        all_->setCheckable(true);
        all_->setVisible(row < 0); // an edit changes this tool's row only
        buttons->addWidget(all_);
    }
    buttons->addStretch(1);
    QPushButton* cancelButton = button("bceCancel", "Cancel", this);
    cancelButton->setProperty("role", "cancel");
    QPushButton* okButton = button("bceOk", "OK", this);
    okButton->setProperty("role", "ok");
    for (QPushButton* b : {cancelButton, okButton}) {
        b->setMinimumWidth(200);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &UnitBarcodeEdit::ok);
    connect(cancelButton, &QPushButton::clicked, this, &UnitBarcodeEdit::cancel);

    range_->Set(data.Code, data.Partial == 1, data.Start, data.End);
    jobName_ = data.JobName;
    if (job_) job_->setText(jobName_);
    choosePreset(data.Preset);
}

UnitBarcodeEdit::~UnitBarcodeEdit() {
    Navigator::DismissModal(jobList_);
}

QPushButton* UnitBarcodeEdit::button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    return b;
}

void UnitBarcodeEdit::choosePreset(int preset) {
    preset_ = preset;
    for (int i = 0; i < presets_.size(); ++i)
        presets_[i]->setChecked(i + kPresetLowest == preset);
}

void UnitBarcodeEdit::openJobList() {
    if (jobList_.Open()) return;
    auto* list = new UnitSelectJob;
    connect(list, &UnitSelectJob::cancel, this, [this] { Navigator::DismissModal(jobList_); });
    connect(list, &UnitSelectJob::chosen, this, [this](int jdx) {
        jobName_ = ApplicationDevice()->GetJobNameJdx(jdx);
        job_->setText(jobName_);
        Navigator::DismissModal(jobList_);
    });
    jobList_ = Navigator::PresentModal(window(), list, Transition::Scale);
}

BarcodeRow UnitBarcodeEdit::Entered() const {
    BarcodeRow r;
    r.Code = range_->Code();
    const bool partial = range_->ComparesPart();
    r.Partial = partial ? 1 : 0;
    r.Start = partial ? range_->Start() : 0;
    r.End = partial ? range_->End() : 0;
    r.JobName = jobName_;
    r.Preset = preset_;
    return r;
}

bool UnitBarcodeEdit::AllTools() const {
    return all_ && all_->isChecked();
}

void UnitBarcodeEdit::SetCode(const QString& code) {
    range_->Set(code, false, 0, 0);
}

QString UnitBarcodeEdit::Title() const {
    return title_->text();
}

UnitSelectJob* UnitBarcodeEdit::JobList() const {
    return jobList_.As<UnitSelectJob>();
}
