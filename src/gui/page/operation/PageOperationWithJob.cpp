#include "PageOperationWithJob.h"

#include "ApplicationDeviceClass.h"
#include "PageOperationImageView.h"
#include "Theme.h"
#include "UiSound.h"
#include "UnitBarcodeData.h"
#include "UnitBstEvent.h"
#include "UnitBstHotplug.h"
#include "UnitDisconnFlagData.h"
#include "UnitEwEventRegtool.h"
#include "UnitFastenEventData.h"
#include "UnitIoEventData.h"
#include "UnitNotice.h"
#include "UnitPlantBacklog.h"
#include "UnitStepDelayView.h"
#include "UnitStepFastenView.h"
#include "UnitStepInputView.h"
#include "UnitStepMessageView.h"
#include "UnitStepOutputView.h"
#include "UnitTdxData.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char* const kStepTypeNames[] = {"Fastening", "Input", "Output", "Delay", "Message"};

UnitStepFastenView::Tone toneOf(RunView::Kind k) {
    return k == RunView::Kind::Ok   ? UnitStepFastenView::Ok
           : k == RunView::Kind::Ng ? UnitStepFastenView::Ng
                                    : UnitStepFastenView::Neutral;
}
QString line(const QStringList& l, int i) {
    return i < l.size() ? l[i] : QString();
}
} // namespace

PageOperationWithJob::PageOperationWithJob(QWidget* parent) : Page(parent) {
    setObjectName("PageOperationWithJob");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 8, 12, 8);
    v->setSpacing(8);
    v->addWidget(buildHeader());

    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    stepModel_ =
        new ListModel<QString>([] { return ApplicationDevice()->GetStepsLen(); },
                               [](int i) {
                                   ApplicationDeviceClass* dev = ApplicationDevice();
                                   const int type = dev->GetStepType(i);
                                   return QString("%1  %2\n     %3")
                                       .arg(i + 1, 3)
                                       .arg(dev->GetStepName(i))
                                       .arg(type >= 0 && type <= 4 ? kStepTypeNames[type] : "");
                               },
                               [](const QString& row, int role) -> QVariant {
                                   if (role == Qt::DisplayRole) return row;
                                   if (role == Qt::SizeHintRole) return QSize(0, 64);
                                   return {};
                               },
                               this);
    steps_ = new QListView(this);
    steps_->setObjectName("opStepList");
    steps_->setModel(stepModel_);
    steps_->setFixedWidth(300);
    steps_->setSelectionMode(QAbstractItemView::SingleSelection);
    steps_->setFocusPolicy(Qt::NoFocus);
    steps_->setStyleSheet("QListView { font-size: 18px; }"
                          "QListView::item:selected { background: #1f5f9e; }");
    // The list follows the run; the operator does not pick steps.
    steps_->setAttribute(Qt::WA_TransparentForMouseEvents);
    body->addWidget(steps_);

    stack_ = new QStackedWidget(this);
    empty_ = new QLabel("No job loaded", stack_);
    empty_->setObjectName("opNoJob");
    empty_->setProperty("role", "subtitle");
    static_cast<QLabel*>(empty_)->setAlignment(Qt::AlignCenter);
    fasten_ = new UnitStepFastenView(stack_);
    input_ = new UnitStepInputView(stack_);
    output_ = new UnitStepOutputView(stack_);
    delay_ = new UnitStepDelayView(stack_);
    message_ = new UnitStepMessageView(stack_);
    for (QWidget* w : {empty_, static_cast<QWidget*>(fasten_), static_cast<QWidget*>(input_),
                       static_cast<QWidget*>(output_), static_cast<QWidget*>(delay_),
                       static_cast<QWidget*>(message_)})
        stack_->addWidget(w);
    stack_->setStyleSheet("QStackedWidget { background: #1d242b; border-radius: 12px; }");
    body->addWidget(stack_, 1);
    pictureSlot_ = new QWidget(this);
    pictureSlot_->hide();
    body->addWidget(pictureSlot_, 1);
    v->addLayout(body, 1);
    v->addWidget(buildButtons());

    // Made after the laid-out widgets: the picture lies over them (and over all in full
    // screen), the banner over it, and every dialog, raised when presented, over both.
    // Neither is raised again, so a refresh never buries an open dialog.
    image_ = new PageOperationImageView(this);
    image_->hide();
    connect(image_, &PageOperationImageView::pressed, this, [this] {
        if (fullScreen_) run_->FullScreen(false);
    });
    banner_ = new QLabel(this);
    banner_->setObjectName("opBanner");
    banner_->setAlignment(Qt::AlignCenter);
    banner_->hide();
    notice_ = new UnitNotice(this);

    for (int t = int(RunTimer::NextStep); t <= int(RunTimer::FunctionPulse8); ++t) {
        if (RunTimer(t) == RunTimer::Delay) continue; // the delay view's countdown
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, t] { run_->OnTimer(RunTimer(t)); });
        timers_[RunTimer(t)] = timer;
    }
    connect(delay_, &UnitStepDelayView::finished, this, [this] { run_->OnTimer(RunTimer::Delay); });
    connect(delay_, &UnitStepDelayView::confirmed, this, [this] { run_->DelayConfirm(); });

    run_ = std::make_unique<JobRun>(*this);
    subscribe();
}

PageOperationWithJob::~PageOperationWithJob() {
    // Outputs still high go back while the timers that would end them still exist.
    run_->Close();
    // The run state goes before the child widgets: nothing they emit while they are
    // destroyed may reach it.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    for (auto& [id, timer] : timers_)
        timer->stop();
    Navigator::DismissModal(messageBox_);
    Navigator::DismissModal(confirm_);
    Navigator::DismissModal(password_);
    Navigator::DismissModal(selectJob_);
    Navigator::DismissModal(stored_);
}

void PageOperationWithJob::Init() {
    run_->Create();
    ViewChanged();
}

QPushButton* PageOperationWithJob::button(QWidget* parent, const char* name, const QString& text,
                                          void (JobRun::*command)()) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumSize(150, 64);
    connect(b, &QPushButton::clicked, this, [this, command] {
        UiSound_Tap();
        (run_.get()->*command)();
    });
    return b;
}

QWidget* PageOperationWithJob::buildHeader() {
    auto* w = new QWidget(this);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(button(w, "opHome", "Home", &JobRun::Home));
    jobName_ = new QLabel(w);
    jobName_->setObjectName("opJobName");
    jobName_->setStyleSheet("font-size: 30px; font-weight: bold; padding-left: 16px;");
    h->addWidget(jobName_, 1);
    h->addWidget(button(w, "opPrevJob", "Prev job", &JobRun::PrevJob));
    h->addWidget(button(w, "opNextJob", "Next job", &JobRun::NextJob));
    h->addWidget(button(w, "opOpenJob", "Open job", &JobRun::OpenJob));
    return w;
}

QWidget* PageOperationWithJob::buildButtons() {
    auto* w = new QWidget(this);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(button(w, "opSkip", "Skip", &JobRun::Skip));
    h->addWidget(button(w, "opBack", "Back", &JobRun::Back));
    h->addWidget(button(w, "opResetStep", "Reset step", &JobRun::ResetStep));
    resetJob_ = button(w, "opResetJob", "Reset job", &JobRun::ResetJob);
    h->addWidget(resetJob_);
    h->addStretch(1);
    h->addWidget(new UnitPlantBacklog(w));
    h->addSpacing(16);
    fullScreenButton_ = new QPushButton("Full screen", w);
    fullScreenButton_->setObjectName("opFullScreen");
    fullScreenButton_->setMinimumSize(150, 64);
    connect(fullScreenButton_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        run_->FullScreen(true);
    });
    h->addWidget(fullScreenButton_);
    return w;
}

void PageOperationWithJob::subscribe() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    connect(&dev->FastenEvent, &SystemEvent::triggered, this, &PageOperationWithJob::fastenEvent);
    connect(&dev->LogFailEvent, &SystemEvent::triggered, this,
            [this] { ShowMessage("Error", "Logging failed"); });
    connect(&dev->UpdateRegtoolsEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitEwEventRegtool*>(p)) run_->OnToolState(e->Tdx, e->State);
    });
    connect(&dev->BcodeEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitBarcodeData*>(p)) run_->OnBarcode(e->Code);
    });
    connect(&dev->DisconnFlagEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitDisconnFlagData*>(p)) run_->OnDisconnFlag(e->Tdx, e->Flag);
    });
    for (int i = 0; i < 16; ++i)
        connect(&dev->InputEvents[i], &SystemEvent::triggered, this, [this](QObject* p) {
            if (auto* e = qobject_cast<UnitIoEventData*>(p)) run_->OnInput(e->Port + 1, e->Value);
        });
    connect(&dev->BstHotplugEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitBstHotplug*>(p)) run_->OnTrayHotplug(e->Value != 0);
    });
    connect(&dev->BstEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitBstEvent*>(p))
            run_->OnTrayEvent(e->ChangeMask, e->Preset, e->Alarm, e->Opmode);
    });
    connect(&dev->BstCommFailEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        if (auto* e = qobject_cast<UnitBstHotplug*>(p); e && e->Value) run_->OnTrayCommFail();
    });
}

void PageOperationWithJob::fastenEvent(QObject* payload) {
    auto* e = qobject_cast<UnitTdxData*>(payload);
    if (!e) return;
    std::unique_ptr<UnitFastenEventData> d(dev_->GetFastenEventData(e->Tdx));
    // One event per result: with nothing unread the record is the last one again, which
    // must not count twice.
    if (!d->Fresh) return;
    run_->OnFastenEvent(e->Tdx, *d);
}

void PageOperationWithJob::ViewChanged() {
    const RunView& v = run_->View();
    jobName_->setText(v.jobName);
    renderStepList();
    QWidget* shown = empty_;
    switch (v.step) {
    case RunView::Step::Fasten:
        shown = fasten_;
        fasten_->SetTool(v.toolLine);
        fasten_->SetBarcode(v.barcodeLine);
        fasten_->SetCounter(v.counterText);
        fasten_->SetResult(v.resultText, toneOf(v.resultKind));
        fasten_->SetError(v.errorText);
        fasten_->SetSign(toneOf(v.sign));
        break;
    case RunView::Step::Input:
        shown = input_;
        input_->SetLines(v.ioLines);
        break;
    case RunView::Step::Output:
        shown = output_;
        output_->SetCaption(v.outputWidth);
        output_->SetLines(v.ioLines);
        break;
    case RunView::Step::Delay:
        shown = delay_;
        break;
    case RunView::Step::Message:
        shown = message_;
        message_->SetLines(line(v.msgLines, 0), line(v.msgLines, 1), line(v.msgLines, 2));
        break;
    case RunView::Step::None:
        static_cast<QLabel*>(empty_)->setText(v.jobName.isEmpty() ? "No job loaded" : "");
        break;
    }
    // A time delay may count down behind the message view it keeps on screen.
    delay_->SetTitle(v.delayTitle);
    if (v.delayButton)
        delay_->ShowConfirm(line(v.delayLines, 0), line(v.delayLines, 1), line(v.delayLines, 2));
    else if (!v.delayBarcode.isEmpty())
        delay_->ShowBarcode(v.delayBarcode, v.delayHlStart, v.delayHlEnd);
    else if (!v.delayFixed.isEmpty())
        delay_->SetRemainingText(v.delayFixed);
    stack_->setCurrentWidget(shown);
    pictureSlot_->setVisible(v.picture && !v.fullScreen);
    fullScreen_ = v.picture && v.fullScreen;
    image_->setVisible(v.picture);
    placePicture();
    banner_->setText(v.banner);
    banner_->setVisible(!v.banner.isEmpty());
    if (!v.banner.isEmpty()) {
        const bool ok = v.banner.contains("OK");
        const QString css = QString("font-size: 72px; font-weight: bold; color: #12161a;"
                                    "background: %1; border-radius: 24px;")
                                .arg((ok ? Theme::Ok : Theme::Ng).name());
        if (banner_->styleSheet() != css) banner_->setStyleSheet(css);
        banner_->setGeometry(QRect(0, 0, 760, 220).translated(rect().center() - QPoint(380, 110)));
    }
    resetJob_->setVisible(v.resetJobButton);
    resetJob_->setEnabled(v.resetJobButton);
}

void PageOperationWithJob::renderStepList() {
    const RunView& v = run_->View();
    const bool reloaded = v.stepListLoaded != listed_ || v.jobName != listedJob_;
    if (reloaded) {
        listed_ = v.stepListLoaded;
        listedJob_ = v.jobName;
        stepModel_->Reload(); // empty once the job is dropped from the store
    }
    const int row = listed_ ? v.stepRow : -1;
    // Every result refreshes the view; scrolling to the row shown already redraws it.
    if (!reloaded && row == listedRow_) return;
    listedRow_ = row;
    if (row >= 0 && row < stepModel_->rowCount()) {
        const QModelIndex index = stepModel_->index(row);
        steps_->setCurrentIndex(index);
        steps_->scrollTo(index);
    } else {
        steps_->clearSelection();
    }
}

void PageOperationWithJob::placePicture() {
    if (fullScreen_) {
        image_->setGeometry(rect());
    } else {
        layout()->activate();
        image_->setGeometry(QRect(pictureSlot_->mapTo(this, QPoint(0, 0)), pictureSlot_->size()));
    }
}

void PageOperationWithJob::resizeEvent(QResizeEvent* e) {
    Page::resizeEvent(e);
    placePicture();
}

QWidget* PageOperationWithJob::VisibleStepView() const {
    return stack_->currentWidget();
}
QString PageOperationWithJob::Banner() const {
    return banner_->isVisible() ? banner_->text() : QString();
}
QStringList PageOperationWithJob::StepListRows() const {
    QStringList rows;
    for (int i = 0; i < stepModel_->rowCount(); ++i)
        rows << stepModel_->At(i);
    return rows;
}
int PageOperationWithJob::SelectedStepRow() const {
    const QModelIndexList sel = steps_->selectionModel()->selectedIndexes();
    return sel.isEmpty() ? -1 : sel.first().row();
}
