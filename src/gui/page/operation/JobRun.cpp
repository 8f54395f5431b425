// Job runner: loading, the steps of a job and the job result. Results are judged in
// JobRunResults.cpp, commands in JobRunCommands.cpp, link loss and the tray in JobRunLink.cpp.
#include "JobRun.h"

#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"

namespace {
constexpr int32_t kBstSocket = 3200;
constexpr int32_t kFuncReady = 7;
} // namespace

const char* RunTimerName(RunTimer t) {
    static const char* const names[] = {
        "NextStep",       "Delay",          "OutputStep",     "JobResult",      "StoredPrompt",
        "TrayCheck",      "FunctionPulse1", "FunctionPulse2", "FunctionPulse3", "FunctionPulse4",
        "FunctionPulse5", "FunctionPulse6", "FunctionPulse7", "FunctionPulse8"};
    const auto i = static_cast<size_t>(t);
    return i < std::size(names) ? names[i] : "?";
}

JobRun::JobRun(JobRunPort& port)
    : port_(port), intake_(port, {.start = [this](int32_t t) { intake_.OutputOn(t, 0); },
                                  .complete =
                                      [this](int32_t t) {
                                          port_.SetAutoLock(t, 1);
                                          RestoreStepOn(t);
                                      },
                                  .decline =
                                      [this](int32_t t) {
                                          port_.SetAutoLock(t, 1);
                                          intake_.OutputOn(t, 1);
                                          RestoreStepOn(t);
                                      },
                                  .finished = [this] { port_.StoredClose(); }}) {}

void JobRun::Create() {
    set_ = port_.Settings();
    outUsers_.fill(0);
    for (int32_t o = 1; o <= 16; o++) {
        const int32_t f = port_.GetSysOutFunc(o);
        if (f >= 1 && f <= 8) outUsers_[static_cast<size_t>(f)]++;
    }
    view_.resetJobButton = set_.dispJobReset;
    intake_.Stored().Clear();
    bool any = false;
    for (int32_t t : port_.RegisteredTools()) {
        intake_.Begin(t, port_.ToolConnected(t));
        if (set_.backupManager && intake_.ReadPending(t, true) > 0) {
            any = true;
            continue;
        }
        port_.SetAutoLock(t, 1);
        intake_.OutputOn(t, 1);
    }
    if (any) port_.Start(RunTimer::StoredPrompt, 100);
    port_.Start(RunTimer::TrayCheck, 100);
    Refresh();
}

void JobRun::OnTimer(RunTimer t) {
    switch (t) {
    case RunTimer::NextStep:
        OnNextStepTimer();
        break;
    case RunTimer::Delay:
        if (stepType_ == kStepDelay && waiting_) FinishDelay();
        break;
    case RunTimer::OutputStep:
        for (int32_t o = 1; o <= 16; o++)
            if (impulseOut_[static_cast<size_t>(o)]) port_.SetGpioOutVal(o, 0);
        impulseOut_.fill(0);
        waiting_ = false;
        port_.Start(RunTimer::NextStep, 100);
        break;
    case RunTimer::JobResult:
        OnJobResultTimer();
        break;
    case RunTimer::StoredPrompt:
        if (intake_.Stored().AnyPending()) port_.StoredOpen();
        break;
    case RunTimer::TrayCheck:
        TrayCheck();
        break;
    default: {
        const int32_t f =
            static_cast<int32_t>(t) - static_cast<int32_t>(RunTimer::FunctionPulse1) + 1;
        if (f >= 1 && f <= 8) {
            port_.SetSysOutLevel(f, 0);
            pulsing_[static_cast<size_t>(f)] = 0;
        }
        break;
    }
    }
}

// ---- primitives ----

void JobRun::JobLoad(int32_t jdx) {
    if (jdx < 0 || jdx >= port_.GetJobsLen()) {
        // A job left in memory under jdx -1 would keep running unseen.
        if (jdx_ >= 0) JobRelease(true);
        jdx_ = -1;
        port_.SetCurrentJob(-1);
        Refresh();
        return;
    }
    JobRelease(true);
    plantLock_ = false; // a plant's lock holds for the job it was given on
    view_.jobName = port_.JobName(jdx);
    if (port_.JobLoad(jdx) != 0) {
        view_.jobName.clear();
        port_.SetCurrentJob(-1);
        Refresh();
        return;
    }
    view_.stepListLoaded = true;
    view_.stepRow = -1;
    jdx_ = jdx;
    sdx_ = -1;
    logStep_ = -1;
    stepType_ = -1;
    stepTool_ = -1;
    carryNg_ = false;
    jobScrewsTotal_ = port_.GetTotalScrewOfLoadedJob();
    stepCount_ = port_.GetStepsLen();
    if (stepCount_ > 0) port_.Start(RunTimer::NextStep, 100);
    port_.SetSysOutLevel(kFuncReady, 0);
    port_.SetCurrentJob(jdx);
    Refresh();
}

void JobRun::JobRelease(bool full) {
    waiting_ = false;
    port_.Stop(RunTimer::NextStep);
    // The banner of a finished job must not restart or release what is loaded next.
    port_.Stop(RunTimer::JobResult);
    view_.banner.clear();
    view_.picture = false;
    if (full) {
        port_.JobFree();
        view_.stepListLoaded = false;
        view_.stepRow = -1;
        view_.jobName.clear();
        view_.step = RunView::Step::None;
        jdx_ = -1;
        sdx_ = -1;
        logStep_ = -1;
        stepType_ = -1;
        stepTool_ = -1;
        stepCount_ = 0;
        port_.SetCurrentJob(-1);
    }
    port_.ToolLockAll();
    DisableInputHandlers();
    port_.Stop(RunTimer::OutputStep);
    impulseOut_.fill(0);
    for (int32_t o = 1; o <= 16; o++)
        if (port_.GetSysOutFunc(o) == 0) port_.SetGpioOutVal(o, 0);
    port_.Stop(RunTimer::Delay);
    if (TrayReady() && port_.IsBstSlave()) TraySocketRequest(0);
    Refresh();
}

void JobRun::Close() {
    for (int32_t f = 1; f <= 8; f++) {
        if (!pulsing_[static_cast<size_t>(f)]) continue;
        port_.Stop(FunctionPulseTimer(f));
        port_.SetSysOutLevel(f, 0);
    }
    pulsing_.fill(0);
    port_.Stop(RunTimer::OutputStep);
    impulseOut_.fill(0);
    if (jdx_ < 0) return; // released: its outputs are low already
    for (int32_t o = 1; o <= 16; o++)
        if (port_.GetSysOutFunc(o) == 0) port_.SetGpioOutVal(o, 0);
}

void JobRun::NextStep() {
    if (jdx_ < 0 || stepCount_ < 1) return;
    const int32_t type = stepType_;
    JobRelease(false);
    if (type == kStepFasten) {
        Pulse(4);
        jobNg_ = true;
    } else if (type == kStepDelay) {
        port_.Stop(RunTimer::Delay);
    }
    port_.PictureClear();
    port_.Start(RunTimer::NextStep, 100);
}

void JobRun::JobLoadByEvent(int32_t jdx) {
    port_.CloseJobSelect();
    port_.CloseMessage();
    port_.CloseConfirm();
    view_.jobName.clear();
    JobRelease(true);
    JobLoad(jdx);
}

bool JobRun::LoadStartupJob(const QString& name) {
    const int32_t jdx = port_.FindJdxByName(name);
    if (jdx < 0) return false;
    JobLoad(jdx);
    return jdx_ == jdx;
}

void JobRun::TraySocketRequest(int32_t v) {
    port_.BstWrite(kBstSocket, v);
}

// ---- steps ----

void JobRun::OnNextStepTimer() {
    port_.Stop(RunTimer::NextStep);
    if (jdx_ < 0) return;
    stepCount_ = port_.GetStepsLen();
    if (sdx_ == -1) {
        jobNg_ = carryNg_;
        carryNg_ = false;
        jobScrewsDone_ = 0;
        view_.sign = RunView::Kind::Neutral;
        view_.banner.clear();
    }
    if (sdx_ + 1 < stepCount_) {
        sdx_++;
        EnterStep();
        if (!waiting_) port_.Start(RunTimer::NextStep, 100);
        Refresh();
        return;
    }
    if (sdx_ + 1 != stepCount_) return;
    Pulse(jobNg_ ? 6 : 5);
    port_.PictureClear();
    if (jobNg_) {
        port_.SoundNg();
        view_.banner = "Job NG !!!";
    } else {
        port_.SoundOk();
        view_.banner = "Job OK !!!";
    }
    port_.Start(RunTimer::JobResult, 2000);
    if (TrayReady()) TraySocketRequest(0);
    Refresh();
}

void JobRun::OnJobResultTimer() {
    view_.banner.clear();
    if (jdx_ < 0) return Refresh();
    if (port_.Settings().autoRestart) {
        port_.OutputOffAll();
        sdx_ = -1;
        port_.Start(RunTimer::NextStep, 100);
        Refresh();
        return;
    }
    JobRelease(true);
    port_.SetSysOutLevel(kFuncReady, 0);
    port_.SetSysOutLevel(kFuncReady, 1);
}

void JobRun::EnterStep() {
    DisableInputHandlers();
    port_.Stop(RunTimer::Delay);
    // Stored results still expected from the previous step's catch-up belong to it: they
    // are logged when they come but never counted for this step.
    if (catchUp_ > 0 && stepTool_ >= 0 && stepTool_ < 8)
        draining_[static_cast<size_t>(stepTool_)] += catchUp_;
    catchUp_ = 0;
    stepTool_ = -1; // a fastening step with screws names its own
    logStep_ = sdx_;
    prevStepType_ = stepType_;
    stepType_ = port_.GetStepType(sdx_);
    if (TrayReady()) TraySocketRequest(0);
    view_.stepRow = sdx_;
    // The delay view's content belongs to its step: no later refresh redraws it.
    view_.delayButton = false;
    view_.delayBarcode.clear();
    view_.delayFixed.clear();
    switch (stepType_) {
    case kStepFasten:
        EnterFasten();
        break;
    case kStepInput:
        EnterInput();
        break;
    case kStepOutput:
        EnterOutput();
        break;
    case kStepDelay:
        EnterDelay();
        break;
    case kStepMsg:
        EnterMsg();
        break;
    default:
        waiting_ = false;
        break;
    }
}

QString JobRun::TargetText(int32_t tdx, int32_t preset) {
    const int32_t target = port_.GetTorqueValue_ByPreset(tdx, preset);
    if (target == 0) return "-";
    return "0.00 / " + Torque(target) + " " + port_.TorqueUnitName(tdx);
}

void JobRun::EnterFasten() {
    const UnitStepFastenData& d = port_.FastenStep(sdx_);
    view_.step = RunView::Step::Fasten;
    view_.sign = RunView::Kind::Neutral;
    view_.resultText.clear();
    view_.resultKind = RunView::Kind::Neutral;
    view_.errorText.clear();
    view_.toolLine = d.ToolName + "  /  P" + QString::number(d.PresetNo + 1);
    if (const QString code = port_.CurrentBarcode(); !code.isNull()) view_.barcodeLine = code;
    const int32_t total = jobScrewsTotal_, done = jobScrewsDone_;
    if (set_.countDir != 0 && set_.countDir != 1)
        port_.DebugLog(JobRunPort::Dbg::Debug, "Invalid screw count direction");
    else if (set_.countUnit == 0)
        view_.counterText = QString::number(set_.countDir == 0 ? 0 : d.NoScrews);
    else if (set_.countUnit == 1)
        view_.counterText = QString::number(set_.countDir == 0 ? done : total - done);
    else
        port_.DebugLog(JobRunPort::Dbg::Debug, "Invalid screw count unit");
    if (d.ImgFlag == 1) {
        port_.PictureLoad(d.ImgFilename, &d);
        pictureMode_ = true;
        view_.picture = true;
        view_.fullScreen = fullScreen_;
    } else {
        pictureMode_ = false;
        view_.picture = false;
    }
    catchUp_ = 0;
    disconnected_.fill(0);
    screwOk_.fill(0);
    stepNg_ = false;
    if (d.NoScrews < 1) {
        // A fastening step without screws is a broken job, not a passed step: nothing is
        // unlocked, the step waits for a skip and the job cannot end OK.
        waiting_ = true;
        stepScrews_ = screwsDone_ = 0;
        stepNg_ = jobNg_ = true;
        port_.DebugLog(JobRunPort::Dbg::Debug, QString("step %1 has no screws").arg(sdx_ + 1));
        port_.ShowMessage("Error", "The step has no screws.");
        return;
    }
    waiting_ = true;
    stepTool_ = port_.FindRegTdxByName(d.ToolName);
    if (stepTool_ < 0) return; // nothing unlocked: the step waits for a skip
    stepPreset_ = d.PresetNo;
    view_.resultText = TargetText(stepTool_, stepPreset_);
    stepScrews_ = d.NoScrews;
    port_.ToolLockAll();
    port_.MbusWriteTdx(stepTool_, kRegPreset, stepPreset_ + 1);
    port_.SetScrewCnt(stepTool_, stepScrews_);
    port_.SetAutoLock(stepTool_, 1);
    screwsDone_ = 0;
    if (pictureMode_) port_.PictureHighlight(0);
    if (set_.bstOn) {
        if (port_.IsBstConnect() && port_.IsBstComm() && port_.IsBstSlave()) {
            TraySocketRequest(stepPreset_ < port_.BstSocketCount() ? stepPreset_ + 1 : 0);
            port_.SetBstAlarmForce();
        }
    } else {
        UnlockStepToolOnly(stepTool_);
    }
}

void JobRun::EnterInput() {
    const UnitStepInputData& d = port_.InputStep(sdx_);
    view_.step = RunView::Step::Input;
    view_.ioLines.clear();
    inputCondition_ = d.Condition;
    requiredCount_ = 0;
    inputUsed_.fill(0);
    bool unmet = false;
    for (int32_t i = 1; i <= 16; i++) {
        if (!d.Used[i - 1]) continue;
        port_.SetInputEdge(i, 3);
        const int32_t f = port_.GetSysInputFunc(i);
        if (f != 0) {
            view_.ioLines << QString("IN%1 : %2").arg(i).arg(port_.InputFuncName(f));
            continue;
        }
        view_.ioLines << QString("IN%1").arg(i);
        const auto k = static_cast<size_t>(i);
        switch (d.Condition) {
        case 0:
        case 1:
            requiredCount_++;
            inputEnabled_[k] = 1;
            inputUsed_[k] = 1;
            break;
        case 2:
        case 3:
            inputEnabled_[k] = 1;
            inputUsed_[k] = 1;
            if (port_.GetInputStatus(i) == (d.Condition == 2 ? 0 : 1)) unmet = true;
            break;
        default:
            break;
        }
    }
    requiredAtEntry_ = requiredCount_;
    if (d.Condition == 0 || d.Condition == 1)
        waiting_ = requiredCount_ >= 1;
    else if (d.Condition == 2 || d.Condition == 3)
        waiting_ = unmet;
    else
        port_.DebugLog(JobRunPort::Dbg::Trace,
                       "Page::OperationWithJob.InputProc.113 : invalid type ");
}

void JobRun::DisableInputHandlers() {
    inputEnabled_.fill(0);
}

void JobRun::EnterOutput() {
    port_.Stop(RunTimer::OutputStep);
    const UnitStepOutputData& d = port_.OutputStep(sdx_);
    view_.step = RunView::Step::Output;
    view_.outputWidth = QString::number(d.ImpulseWidth) + " ms";
    view_.ioLines.clear();
    impulseOut_.fill(0);
    int32_t impulses = 0;
    for (int32_t o = 1; o <= 16; o++) {
        const bool used = d.Used[o - 1];
        const int32_t mode = d.Mode[o - 1];
        if (used)
            view_.ioLines << QString("OUT%1 : %2")
                                 .arg(o)
                                 .arg(mode == 0 ? "Logical out (impulse)" : "Logical out (high)");
        if (port_.GetSysOutFunc(o) != 0) continue;
        if (!used) {
            port_.SetGpioOutVal(o, 0);
        } else if (mode == 0) {
            port_.SetGpioOutVal(o, 0);
            port_.SetGpioOutVal(o, 1);
            impulseOut_[static_cast<size_t>(o)] = 1;
            impulses++;
        } else if (mode == 1) {
            port_.SetGpioOutVal(o, 1);
        } else {
            port_.DebugLog(JobRunPort::Dbg::Debug,
                           "Page::OperationWithJob.OutputProc.73 : Invalid output type");
        }
    }
    if (impulses > 0) {
        port_.Start(RunTimer::OutputStep, d.ImpulseWidth);
        waiting_ = true;
    } else {
        waiting_ = false;
    }
}

void JobRun::EnterDelay() {
    port_.ToolLockAll();
    const UnitStepDelayData& d = port_.DelayStep(sdx_);
    const bool keepMessage = d.Mode == 0 && prevStepType_ == kStepMsg;
    if (!keepMessage) {
        view_.step = RunView::Step::Delay;
        view_.picture = false;
    }
    view_.delayLines.clear();
    view_.delayBarcode.clear();
    view_.delayHlStart = view_.delayHlEnd = 0;
    view_.delayMs = 0;
    view_.delayFixed.clear();
    switch (d.Mode) {
    case 0: {
        view_.delayTitle =
            "Time ( " + QString::number(d.TimeValue) + (d.TimeUnit == 1 ? " ms )" : " sec )");
        const int32_t ms = d.TimeUnit == 0 ? d.TimeValue * 1000 : d.TimeValue;
        if (d.TimeValue > 0 && (d.TimeUnit == 0 || d.TimeUnit == 1)) {
            view_.delayMs = ms;
            port_.Start(RunTimer::Delay, ms);
            waiting_ = true;
        } else {
            view_.delayFixed = "0.0";
            waiting_ = false;
        }
        break;
    }
    case 1:
        view_.delayTitle = "Message";
        view_.delayLines = {d.Line1, d.Line2, d.Line3};
        view_.delayButton = true;
        waiting_ = true;
        break;
    case 2:
        view_.delayTitle = "Barcode";
        view_.delayBarcode = d.Barcode;
        if (d.Partial && d.RangeStart != 0 && d.RangeEnd != 0) {
            view_.delayHlStart = d.RangeStart;
            view_.delayHlEnd = d.RangeEnd;
        }
        waiting_ = true;
        break;
    default:
        waiting_ = false; // an unknown mode must not hold the job
        break;
    }
}

void JobRun::FinishDelay() {
    port_.SoundTap();
    port_.Stop(RunTimer::Delay);
    waiting_ = false;
    view_.delayButton = false;
    port_.Start(RunTimer::NextStep, 100);
    Refresh();
}

void JobRun::EnterMsg() {
    port_.ToolLockAll();
    const UnitStepMsgData& d = port_.MsgStep(sdx_);
    view_.step = RunView::Step::Message;
    view_.msgLines = {d.Line1, d.Line2, d.Line3};
    if (!d.ImgFilename.isEmpty()) {
        port_.PictureLoad(d.ImgFilename, nullptr);
        view_.picture = true;
        view_.fullScreen = fullScreen_;
    } else {
        view_.picture = false;
    }
    waiting_ = false;
}
