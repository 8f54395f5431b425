// Job runner: loading, the steps of a job, fastening results and the job result.
// Commands are in JobRunCommands.cpp, link loss, stored results and the tray in JobRunLink.cpp.
#include "JobRun.h"

#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"

namespace {
constexpr int32_t kRegPreset = 4004;
constexpr int32_t kBstSocket = 3200;
constexpr int32_t kFuncReady = 7;

QString Torque(int32_t v) {
    return QString::number(v / 100.0, 'f', 2);
}
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
    : port_(port), stored_({[this](int32_t t) { port_.EnableDataBackup(t, 0); },
                            [this](int32_t t) {
                                port_.SetAutoLock(t, 1);
                                RestoreStepOn(t);
                            },
                            [this](int32_t t) {
                                port_.SetAutoLock(t, 1);
                                port_.EnableDataBackup(t, 1);
                                RestoreStepOn(t);
                            },
                            [this] { port_.StoredClose(); }}) {}

void JobRun::Create() {
    set_ = port_.Settings();
    outUsers_.fill(0);
    for (int32_t o = 1; o <= 16; o++) {
        const int32_t f = port_.GetSysOutFunc(o);
        if (f >= 1 && f <= 8) outUsers_[static_cast<size_t>(f)]++;
    }
    view_.resetJobButton = set_.dispJobReset;
    stored_.Clear();
    bool any = false;
    for (int32_t t : port_.RegisteredTools()) {
        const int32_t n = set_.backupManager ? port_.GetNoPendingEvent(t) : 0;
        stored_.SetPending(t, n);
        if (n > 0) {
            any = true;
            continue;
        }
        port_.SetAutoLock(t, 1);
        port_.EnableDataBackup(t, 1);
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
        if (stored_.AnyPending()) port_.StoredOpen();
        break;
    case RunTimer::TrayCheck:
        TrayCheck();
        break;
    default: {
        const int32_t f =
            static_cast<int32_t>(t) - static_cast<int32_t>(RunTimer::FunctionPulse1) + 1;
        if (f >= 1 && f <= 8) port_.SetSysOutLevel(f, 0);
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
    stepType_ = -1;
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
        stepType_ = -1;
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

// ---- steps ----

void JobRun::OnNextStepTimer() {
    port_.Stop(RunTimer::NextStep);
    if (jdx_ < 0) return;
    stepCount_ = port_.GetStepsLen();
    if (sdx_ == -1) {
        jobNg_ = false;
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
    prevStepType_ = stepType_;
    stepType_ = port_.GetStepType(sdx_);
    if (TrayReady()) TraySocketRequest(0);
    view_.stepRow = sdx_;
    view_.delayButton = false;
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
        waiting_ = false;
        view_.step = RunView::Step::None;
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
        port_.ToolLockExceptTdx(stepTool_);
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

// ---- results ----

void JobRun::Pulse(int32_t f) {
    if (f < 1 || f > 8 || outUsers_[static_cast<size_t>(f)] == 0) return;
    port_.SetSysOutLevel(f, 0);
    port_.SetSysOutLevel(f, 1);
    port_.Start(FunctionPulseTimer(f), 100);
}

void JobRun::UpdateCounter() {
    if (set_.countDir != 0 && set_.countDir != 1) {
        port_.DebugLog(JobRunPort::Dbg::Debug, "Invalid screw count direction");
        return;
    }
    if (set_.countUnit == 0)
        view_.counterText =
            QString::number(set_.countDir == 0 ? screwsDone_ : stepScrews_ - screwsDone_);
    else if (set_.countUnit == 1)
        view_.counterText =
            QString::number(set_.countDir == 0 ? jobScrewsDone_ : jobScrewsTotal_ - jobScrewsDone_);
    else
        port_.DebugLog(JobRunPort::Dbg::Debug, "Invalid screw count unit");
}

bool JobRun::InFastenStep() const {
    return jdx_ >= 0 && sdx_ >= 0 && stepType_ == kStepFasten;
}

bool JobRun::TrayReady() const {
    return port_.Settings().bstOn && port_.IsBstConnect() && port_.IsBstComm();
}

void JobRun::TraySocketRequest(int32_t v) {
    port_.BstWrite(kBstSocket, v);
}

int32_t JobRun::Draining(int32_t tdx) const {
    return tdx >= 0 && tdx < 8 ? draining_[static_cast<size_t>(tdx)] : 0;
}

bool JobRun::Disconnected(int32_t tdx) const {
    return tdx >= 0 && tdx < 8 && disconnected_[static_cast<size_t>(tdx)];
}

void JobRun::LogResult(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& r, int32_t ack) {
    port_.CheckLogLocation();
    if (port_.LogAndAcknowledge(jdx, sdx, tdx, r, port_.Settings().barcodeInterface == 1 ? 1 : 0,
                                ack) != 0)
        port_.ShowMessage("Error", "Logging failed");
}

void JobRun::OnFastenEvent(int32_t t, const FastenResult& r, int32_t eventNo) {
    const bool toolOk = t >= 0 && t < 8;
    if (toolOk && once_.Repeat(t, eventNo)) {
        // A resend of a result already logged and judged: its acknowledgement was lost.
        port_.MbusWriteTdx(t, 4016, 1);
        port_.DebugLog(
            JobRunPort::Dbg::Debug,
            QString("result %1 of tdx.%2 again: acknowledged, not counted").arg(eventNo).arg(t));
        if (stored_.Pending(t) > 0) {
            stored_.OnResult(t);
            port_.StoredRefresh();
        } else if (draining_[static_cast<size_t>(t)] > 0) {
            draining_[static_cast<size_t>(t)]--;
        } else if (catchUp_ > 0 && t == stepTool_ && --catchUp_ == 0) {
            port_.SetScrewCnt(stepTool_, stepScrews_ - screwsDone_);
        }
        return;
    }
    if (toolOk) once_.Take(t, eventNo);
    if (stored_.Pending(t) > 0) return StoredResult(t, r);
    if (toolOk && draining_[static_cast<size_t>(t)] > 0) {
        // A stored result of an earlier step: logged, never judged.
        draining_[static_cast<size_t>(t)]--;
        LogResult(-1, -1, t, r, t);
        return;
    }
    if (jdx_ >= 0)
        LogResult(jdx_, sdx_, stepTool_ >= 0 ? stepTool_ : t, r, t);
    else
        LogResult(-1, -1, t, r, t);
    if (InFastenStep() && t == stepTool_ && waiting_)
        Judge(t, r);
    else if (r.Status == 7)
        ToolBarcode(QString::fromLatin1(r.Barcode));
    else
        port_.SoundTap();
    if (catchUp_ > 0 && t == stepTool_ && --catchUp_ == 0)
        port_.SetScrewCnt(stepTool_, stepScrews_ - screwsDone_);
    Refresh();
}

void JobRun::Judge(int32_t t, const FastenResult& r) {
    const auto n = static_cast<size_t>(screwsDone_);
    const QString line =
        Torque(r.ConvTorque) + " / " + Torque(r.TargetTorque) + " " + port_.TorqueUnitName(t);
    switch (r.Status) {
    case 1:
        if (screwsDone_ >= stepScrews_) return; // the step is complete already
        port_.SoundOk();
        if (n < screwOk_.size()) screwOk_[n] = 1;
        screwsDone_++;
        jobScrewsDone_++;
        view_.sign = RunView::Kind::Ok;
        view_.resultText = line;
        view_.resultKind = RunView::Kind::Ok;
        view_.errorText.clear();
        if (pictureMode_) {
            port_.PictureMarkOk(static_cast<int32_t>(n));
            if (screwsDone_ < stepScrews_ && screwsDone_ < 99) port_.PictureHighlight(screwsDone_);
        }
        Pulse(1);
        for (int32_t i = 0; i < screwsDone_ && i < 100; i++)
            if (!screwOk_[static_cast<size_t>(i)]) {
                stepNg_ = true;
                jobNg_ = true;
            }
        break;
    case 2:
        port_.SoundNg();
        if (n < screwOk_.size()) screwOk_[n] = 0;
        view_.sign = RunView::Kind::Ng;
        view_.resultText = line;
        view_.resultKind = RunView::Kind::Ng;
        view_.errorText = "E" + QString::number(r.Error) + " : " + ErrorText(r.Error);
        if (pictureMode_) port_.PictureMarkNg(static_cast<int32_t>(n));
        Pulse(2);
        break;
    case 8:
        port_.SoundTap();
        if (r.ScrewNo == lastScrewNo_ + 1 && screwsDone_ > 0) {
            lastScrewNo_++;
            screwsDone_--;
            jobScrewsDone_--;
            if (pictureMode_) {
                port_.PictureHide(screwsDone_ + 1);
                port_.PictureHighlight(screwsDone_);
            }
            UpdateCounter();
        }
        return;
    case 7:
        ToolBarcode(QString::fromLatin1(r.Barcode));
        return;
    default:
        port_.SoundTap();
        view_.sign = RunView::Kind::Neutral;
        view_.errorText.clear();
        return;
    }
    lastScrewNo_ = r.ScrewNo;
    UpdateCounter();
    if (screwsDone_ == stepScrews_) StepDone();
}

void JobRun::StepDone() {
    Pulse(stepNg_ ? 4 : 3);
    port_.ToolLockAll();
    port_.PictureClear();
    waiting_ = false;
    port_.Start(RunTimer::NextStep, 100);
}

QString JobRun::ErrorText(int32_t code) {
    static const struct {
        int32_t code;
        const char* text;
    } table[] = {
        {104, "Low battery voltage"},
        {107, "Parameter read/write error"},
        {108, "Back up data read/write error"},
        {110, "Current calculation error"},
        {112, "Over motor max speed"},
        {113, "Can not read driver parameter"},
        {114, "Controller driver model setting different with driver"},
        {115, "Program itself can not recognize the controller information"},
        {118, "When motor rotation is not monitored"},
        {120, "Disconnect with AP"},
        {122, "USB communication fail"},
        {123, "Wi-Fi connect fail with AP"},
        {201, "The read parameter is wrong by the checksum routine"},
        {220, "Multi-sequence program is wrong"},
        {300, "Over time limit on A242 (forward run time limit)"},
        {301, "Over time limit on A243 (loosen run time limit)"},
        {304, "Motor stall by loosening failure within time limit on A244"},
        {330, "Target torque reached before the min angle"},
        {331, "Target angle setting is out of the range [AC/TM mode]"},
        {332, "Target torque reached over the max angle"},
        {333, "Operation stops before complete cycle of torque up by releasing lever trigger"},
        {334, "The engaging torque is not detected in time or angle limit"},
        {335, "Converted torque is out of torque limit (%%)"},
        {336, "Torque reached to the high limit of torque capacity"},
        {337, "Torque up when free speed zone"},
        {338, "Torque reached when prevailing zone"},
        {339, "Over prevailing torque min,max range"},
        {500, "Motor temperature over 80°C"},
        {501, "Battery temperature over 80°C"},
    };
    for (const auto& e : table)
        if (e.code == code) return QString::fromUtf8(e.text);
    return "Unknown error code";
}
