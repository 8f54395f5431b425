#include "PageStepDelay.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitCodeRange.h"
#include "UnitStepDelayData.h"
#include "UnitTextKeypad.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <memory>

namespace {
// Checks the button of `id` only; none for an id the group has not.
void checkOnly(QButtonGroup* group, int id) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(group->id(b) == id);
    group->setExclusive(true);
}
} // namespace

int PageStepDelay::ParseTime(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 0 && n <= kMaxTime ? n : -1;
}

PageStepDelay::PageStepDelay(QWidget* parent) : StepPanel(parent) {
    setObjectName("PageStepDelay");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 0, 0, 0);
    auto button = [this](const char* name, const QString& text, bool checkable) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setCheckable(checkable);
        b->setMinimumHeight(48);
        return b;
    };
    auto* modeRow = new QHBoxLayout;
    modes_ = new QButtonGroup(this);
    const char* modeNames[] = {"delayModeTime", "delayModeMessage", "delayModeBarcode"};
    const char* modeTexts[] = {"Time", "Message", "Barcode"};
    for (int m = 0; m < 3; ++m) {
        QPushButton* b = button(modeNames[m], modeTexts[m], true);
        modes_->addButton(b, m);
        modeRow->addWidget(b);
    }
    v->addLayout(modeRow);
    connect(modes_, &QButtonGroup::idClicked, this, [this](int m) {
        UiSound_Tap();
        setMode(m);
    });
    pages_ = new QStackedWidget(this);
    v->addWidget(pages_, 1);

    auto* timePage = new QWidget(pages_);
    auto* tg = new QGridLayout(timePage);
    tg->addWidget(new QLabel("Time", timePage), 0, 0);
    time_ = button("delayTime", "0", false);
    tg->addWidget(time_, 0, 1, 1, 2);
    units_ = new QButtonGroup(this);
    QPushButton* s = button("delayUnitS", "s", true);
    QPushButton* ms = button("delayUnitMs", "ms", true);
    units_->addButton(s, 0);
    units_->addButton(ms, 1);
    tg->addWidget(new QLabel("Unit", timePage), 1, 0);
    tg->addWidget(s, 1, 1);
    tg->addWidget(ms, 1, 2);
    tg->setRowStretch(2, 1);
    pages_->addWidget(timePage);
    connect(time_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        enter("Time", time_, true);
    });
    connect(units_, &QButtonGroup::idClicked, this, [] { UiSound_Tap(); });

    auto* msgPage = new QWidget(pages_);
    auto* mg = new QGridLayout(msgPage);
    for (int i = 0; i < 3; ++i) {
        const QString title = QString("Line %1").arg(i + 1);
        mg->addWidget(new QLabel(title, msgPage), i, 0);
        lines_[i] = button(qPrintable(QString("delayLine%1").arg(i + 1)), QString(), false);
        mg->addWidget(lines_[i], i, 1);
        connect(lines_[i], &QPushButton::clicked, this, [this, i, title] {
            UiSound_Tap();
            enter(title, lines_[i], false);
        });
    }
    mg->setColumnStretch(1, 1);
    mg->setRowStretch(3, 1);
    pages_->addWidget(msgPage);

    auto* codePage = new QWidget(pages_);
    auto* cv = new QVBoxLayout(codePage);
    code_ = new UnitCodeRange("delayCode", kCodeMax, codePage);
    code_->CodeField()->setReadOnly(true); // typed through the keypad
    QPushButton* edit = button("delayCodeEdit", "Edit barcode", false);
    cv->addWidget(code_);
    cv->addWidget(edit);
    cv->addStretch(1);
    pages_->addWidget(codePage);
    connect(code_, &UnitCodeRange::changed, this, [this] { codeEdited_ = true; });
    connect(edit, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        enterCode();
    });
}

void PageStepDelay::setMode(int mode) {
    modes_->button(mode)->setChecked(true);
    pages_->setCurrentIndex(mode);
}

void PageStepDelay::Load(int sdx) {
    sdx_ = sdx;
    std::unique_ptr<UnitStepDelayData> d(ApplicationDevice()->GetDelayData(sdx));
    loadedMode_ = d->Mode;
    const int mode = d->Mode >= 0 && d->Mode < 3 ? d->Mode : 0;
    // Fields of the other modes share the stored bytes: they start empty.
    loadedTime_ = d->Mode == 0 ? d->TimeValue : 0;
    time_->setText(QString::number(loadedTime_));
    loadedUnit_ = d->Mode == 0 ? d->TimeUnit : 0;
    checkOnly(units_, loadedUnit_);
    const QString lines[3] = {d->Line1, d->Line2, d->Line3};
    for (int i = 0; i < 3; ++i)
        lines_[i]->setText(d->Mode == 1 ? lines[i] : QString());
    loadedPartial_ = d->Mode == 2 ? d->Partial : 0;
    if (d->Mode == 2)
        code_->Set(d->Barcode, d->Partial != 0, d->RangeStart, d->RangeEnd);
    else
        code_->Set(QString(), false, 0, 0);
    codeEdited_ = false;
    setMode(mode);
    checkOnly(modes_, loadedMode_);
}

void PageStepDelay::enter(const QString& title, QPushButton* target, bool numeric) {
    if (dialog_.Open()) return;
    auto* pad = new UnitTextKeypad(title, target->text(), nullptr,
                                   numeric ? UnitKeypad::Numeric : UnitKeypad::Text);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad, target, numeric] {
        const QString text = pad->Text();
        if (numeric && ParseTime(text) < 0) return; // out of range: the entry stays open
        target->setText(numeric ? QString::number(ParseTime(text)) : text.left(127));
        Navigator::DismissModal(dialog_);
    });
    dialog_ = Navigator::PresentModal(host(), pad, Transition::Scale);
}

void PageStepDelay::enterCode() {
    if (dialog_.Open()) return;
    auto* pad = new UnitTextKeypad("Barcode", code_->Code());
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        if (pad->Text().isEmpty()) return; // no scan matches an empty code: the entry stays
        code_->Set(pad->Text().left(kCodeMax), code_->Partial(), code_->Start(), code_->End());
        Navigator::DismissModal(dialog_);
    });
    dialog_ = Navigator::PresentModal(host(), pad, Transition::Scale);
}

void PageStepDelay::Save() {
    if (sdx_ < 0) return;
    // With no mode chosen the step keeps its own, and the stored fields with it.
    if (modes_->checkedId() < 0) return;
    UnitStepDelayData d;
    d.Mode = modes_->checkedId();
    // A time beyond what the panel takes (another editor wrote it) stays unless changed.
    d.TimeValue = time_->text() == QString::number(loadedTime_)
                      ? loadedTime_
                      : std::max(0, ParseTime(time_->text()));
    d.TimeUnit = units_->checkedId() < 0 ? loadedUnit_ : units_->checkedId();
    d.Line1 = lines_[0]->text();
    d.Line2 = lines_[1]->text();
    d.Line3 = lines_[2]->text();
    d.Barcode = code_->Code();
    const bool partial = code_->ComparesPart();
    d.Partial = !partial ? 0 : !codeEdited_ && loadedPartial_ > 1 ? loadedPartial_ : 1;
    d.RangeStart = partial ? code_->Start() : 0;
    d.RangeEnd = partial ? code_->End() : 0;
    ApplicationDevice()->SetDelayData(sdx_, &d);
}
