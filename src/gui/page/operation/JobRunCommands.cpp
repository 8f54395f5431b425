// Job runner: the operator's commands (buttons with confirmation and password, command
// inputs) and job selection (dialog, barcodes, job-select inputs).
#include "JobRun.h"

#include "UnitStepDelayData.h"

// ---- buttons: each asks its confirmation ----

void JobRun::Skip() {
    port_.Confirm("Skip ?", "skip");
}
void JobRun::Back() {
    port_.Confirm("Back ?", "back");
}
void JobRun::ResetStep() {
    port_.Confirm("Reset step ?", "reset step");
}

void JobRun::ResetJob() {
    if (!view_.resetJobButton) return; // hidden and disabled
    port_.Confirm("Reset job ?", "reset job");
}

void JobRun::NextJob() {
    if (jdx_ + 1 < port_.GetJobsLen()) port_.Confirm("Move next job ?", "next job");
}

void JobRun::PrevJob() {
    if (jdx_ >= 1) port_.Confirm("Move previous job ?", "previous job");
}

void JobRun::OpenJob() {
    if (port_.Settings().jobSelNoPwd)
        port_.OpenJobSelect();
    else
        port_.AskPassword("open job");
}

void JobRun::Home() {
    if (jdx_ >= 0)
        port_.Confirm("job is running.\nAre you sure you want to quit?", "backhome");
    else
        LeaveHome();
}

void JobRun::FullScreen(bool on) {
    if (!view_.picture) return; // nothing to show: a later picture step does not inherit it
    fullScreen_ = on;
    view_.fullScreen = on;
    Refresh();
}

void JobRun::DelayConfirm() {
    if (jdx_ < 0 || stepType_ != kStepDelay || !waiting_ || !view_.delayButton) return;
    FinishDelay();
}

void JobRun::LeaveHome() {
    for (int32_t t : port_.RegisteredTools()) {
        port_.MbusWriteTdx(t, 4001, 1);
        intake_.OutputOff(t);
    }
    if (jdx_ >= 0) JobRelease(true);
    port_.GoHome();
}

void JobRun::OnConfirmed(const QString& c) {
    port_.SoundTap();
    const RunSettings s = port_.Settings();
    if (c == "skip") {
        if (Running()) SkipCommand(false);
    } else if (c == "back") {
        if (!Running() || stepType_ != kStepFasten) return;
        if (s.backNoPwd)
            TakeBack();
        else
            port_.AskPassword("back");
    } else if (c == "reset step" || c == "reset job") {
        if (!Running()) return;
        if (!s.resetNoPwd)
            port_.AskPassword(c);
        else if (c == "reset step")
            ResetStepProper();
        else
            ResetJobProper();
    } else if (c == "next job" || c == "previous job") {
        const int32_t to = jdx_ + (c == "next job" ? 1 : -1);
        if (to < 0 || to >= port_.GetJobsLen()) return;
        if (s.resetNoPwd)
            JobLoad(to);
        else
            port_.AskPassword(c == "next job" ? "next job" : "prev job");
    } else if (c == "backhome") {
        LeaveHome();
    } else if (c == "openjob") {
        const int32_t row = pendingRow_;
        pendingRow_ = -1;
        JobLoad(row);
        port_.CloseJobSelect();
    }
}

bool JobRun::OnPassword(const QString& c, const QString& entered) {
    if (entered != port_.SysPassword()) {
        port_.SoundNg();
        return false;
    }
    if (c == "next")
        NextScrew();
    else if (c == "back")
        TakeBack();
    else if (c == "reset job")
        ResetJobProper();
    else if (c == "reset step") {
        if (Running()) ResetStepProper();
    } else if (c == "prev job")
        JobLoad(jdx_ - 1);
    else if (c == "next job")
        JobLoad(jdx_ + 1);
    else if (c == "open job")
        port_.OpenJobSelect();
    return true;
}

// ---- commands proper ----

void JobRun::SkipCommand(bool fromInput) {
    if (!Running()) return;
    if (stepType_ == kStepFasten) {
        if (fromInput || port_.Settings().skipNoPwd)
            NextScrew();
        else
            port_.AskPassword("next");
    } else if (stepType_ == kStepInput) {
        jobNg_ = true;
        NextStep();
    } else {
        NextStep();
    }
}

void JobRun::NextScrew() {
    if (!InFastenStep() || !waiting_) return;
    // A step whose tool is not registered keeps the previous step's counters, which may
    // already be complete: skipping then ends the step instead of leaving it stuck.
    if (screwsDone_ >= stepScrews_) return NextStep();
    screwsDone_++;
    jobScrewsDone_++;
    UpdateCounter();
    if (screwsDone_ == stepScrews_) {
        NextStep();
        return;
    }
    if (stepTool_ >= 0) port_.SetScrewCnt(stepTool_, stepScrews_ - screwsDone_);
    if (pictureMode_ && screwsDone_ < 99) port_.PictureHighlight(screwsDone_);
    Refresh();
}

void JobRun::TakeBack() {
    if (!InFastenStep() || !waiting_ || screwsDone_ <= 0) return;
    screwsDone_--;
    jobScrewsDone_--;
    lastScrewNo_++;
    UpdateCounter();
    if (stepTool_ >= 0) port_.SetScrewCnt(stepTool_, stepScrews_ - screwsDone_);
    if (pictureMode_) {
        if (screwsDone_ + 1 < stepScrews_) port_.PictureHide(screwsDone_ + 1);
        port_.PictureHighlight(screwsDone_);
    }
    const auto n = static_cast<size_t>(screwsDone_);
    if (n < screwOk_.size() && screwOk_[n]) {
        stepNg_ = true;
        jobNg_ = true;
    }
    if (n < screwOk_.size()) screwOk_[n] = 0;
    Refresh();
}

void JobRun::ResetStepProper() {
    if (!Running()) return;
    if (stepType_ == kStepFasten && screwsDone_ >= 1) jobNg_ = true;
    if (stepType_ == kStepInput && requiredCount_ < requiredAtEntry_) jobNg_ = true;
    if (stepType_ == kStepDelay) port_.Stop(RunTimer::Delay);
    JobRelease(false);
    if (sdx_ != -1) sdx_--;
    // Back at the start of the job: the screws done in the reset first step still make
    // the job NG (the job start would otherwise clear it).
    carryNg_ = sdx_ == -1 && jobNg_;
    port_.Start(RunTimer::NextStep, 100);
}

void JobRun::ResetJobProper() {
    if (jdx_ < 0) return;
    JobRelease(false);
    carryNg_ = false;
    if (stepCount_ > 0) {
        sdx_ = -1;
        waiting_ = false;
        port_.Start(RunTimer::NextStep, 100);
    }
}

// ---- inputs with a system function ----

void JobRun::OnInput(int32_t input, int32_t level) {
    if (input < 1 || input > 16) return;
    const int32_t f = port_.GetSysInputFunc(input);
    if (f >= 1 && f <= 8) return JobSelectInput(input, f, level);
    if (f != 0) {
        if (level != 1) return;
        switch (f) {
        case 9:
            SkipCommand(true);
            break;
        case 10:
            if (Running() && stepType_ == kStepFasten) TakeBack();
            break;
        case 11:
            ResetStepProper();
            break;
        case 12:
            ResetJobProper();
            break;
        case 13:
            if (jdx_ + 1 < port_.GetJobsLen()) JobLoad(jdx_ + 1);
            break;
        case 14:
            if (jdx_ >= 1) JobLoad(jdx_ - 1);
            break;
        default:
            break;
        }
        return;
    }
    // An input of the input step.
    const auto k = static_cast<size_t>(input);
    if (!inputEnabled_[k] || jdx_ < 0 || stepType_ != kStepInput) return;
    switch (inputCondition_) {
    case 0:
    case 1:
        if (level != (inputCondition_ == 0 ? 1 : 0)) return;
        requiredCount_--;
        inputEnabled_[k] = 0;
        if (requiredCount_ > 0) return;
        break;
    case 2:
    case 3:
        for (int32_t i = 1; i <= 16; i++)
            if (inputUsed_[static_cast<size_t>(i)] &&
                port_.GetInputStatus(i) == (inputCondition_ == 2 ? 0 : 1))
                return;
        break;
    default:
        port_.DebugLog(JobRunPort::Dbg::Debug,
                       "Page::OperationWithJob.LogicalInProc.137 : Unknown logical-in type");
        return;
    }
    DisableInputHandlers();
    port_.Start(RunTimer::NextStep, 100);
}

void JobRun::JobSelectInput(int32_t, int32_t f, int32_t level) {
    if (port_.Settings().jobSelType == 0) {
        int32_t mask = 0;
        for (int32_t i = 1; i <= 16; i++) {
            const int32_t g = port_.GetSysInputFunc(i);
            if (g >= 1 && g <= 8 && port_.GetInputStatus(i) == 1) mask |= 1 << (g - 1);
        }
        JobLoadByEvent(mask - 1);
    } else if (level == 1) {
        JobLoadByEvent(f - 1);
    }
}

// ---- job selection ----

void JobRun::OnJobChosen(int32_t row) {
    if (jdx_ < 0) {
        JobLoad(row);
        port_.CloseJobSelect();
        return;
    }
    pendingRow_ = row;
    port_.Confirm("The running job is stopped.\nDo you want to run it?", "openjob");
}

bool JobRun::BarcodeMatches(const QString& code, const QString& entry, int32_t partial,
                            int32_t start, int32_t end) {
    if (partial != 1) return code == entry;
    if (start < 1 || end < start || code.size() < end) return false;
    return code.mid(start - 1, end - start + 1) == entry.mid(start - 1, end - start + 1);
}

void JobRun::OnBarcode(const QString& text) {
    port_.SoundTap();
    BarcodeCommon(text, true);
}

void JobRun::ToolBarcode(const QString& text) {
    port_.SoundTap();
    BarcodeCommon(text, false);
}

void JobRun::BarcodeCommon(const QString& text, bool scanner) {
    using D = JobRunPort::Dbg;
    if (jdx_ < 0) {
        if (scanner) port_.DebugLog(D::Barcode, "ew receive barcode event " + text);
        const std::vector<JobBarcodeEntry> table = port_.JobBarcodeTable();
        for (size_t i = 0; i < table.size(); i++) {
            const JobBarcodeEntry& e = table[i];
            if (!BarcodeMatches(text, e.code, e.partial, e.start, e.end)) continue;
            port_.DebugLog(D::Barcode, QString("code search success, %1/%2, %3")
                                           .arg(i + 1)
                                           .arg(table.size())
                                           .arg(e.jobName));
            const int32_t jdx = port_.FindJdxByName(e.jobName);
            port_.DebugLog(D::Barcode, "job search result , " + QString::number(jdx));
            JobLoadByEvent(jdx);
            return;
        }
        port_.ShowNotice("Job not found\n" + text);
        return;
    }
    if (stepType_ == kStepDelay && waiting_) {
        const UnitStepDelayData& d = port_.DelayStep(sdx_);
        if (d.Mode == 2 && BarcodeMatches(text, d.Barcode, d.Partial, d.RangeStart, d.RangeEnd)) {
            waiting_ = false;
            port_.Start(RunTimer::NextStep, 100);
        }
    } else if (stepType_ == kStepFasten) {
        view_.barcodeLine = text;
        Refresh();
    }
}
