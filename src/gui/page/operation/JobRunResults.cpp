// Job runner: fastening results (judging, counting, logging, the judge-once rules), the
// function pulses and the counter text.
#include "JobRun.h"

#include "ErrorCodes.h"

// ---- results ----

void JobRun::Pulse(int32_t f) {
    if (f < 1 || f > 8 || outUsers_[static_cast<size_t>(f)] == 0) return;
    port_.SetSysOutLevel(f, 0);
    port_.SetSysOutLevel(f, 1);
    port_.Start(FunctionPulseTimer(f), 100);
    pulsing_[static_cast<size_t>(f)] = 1;
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

int32_t JobRun::Draining(int32_t tdx) const {
    return tdx >= 0 && tdx < 8 ? draining_[static_cast<size_t>(tdx)] : 0;
}

bool JobRun::Disconnected(int32_t tdx) const {
    return tdx >= 0 && tdx < 8 && disconnected_[static_cast<size_t>(tdx)];
}

void JobRun::LogResult(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& r, int32_t ack) {
    port_.CheckLogLocation();
    // Always the current barcode: with a job, a code read at a tool becomes it as its
    // frame arrives, so the job's lines carry that code too.
    if (port_.LogAndAcknowledge(jdx, sdx, tdx, r, 0, ack) != 0)
        port_.ShowMessage("Error", "Logging failed");
}

void JobRun::OnFastenEvent(int32_t t, const FastenResult& r) {
    const bool toolOk = t >= 0 && t < 8;
    const auto verdict = intake_.Classify(t, r);
    using Verdict = ResultIntake::Verdict;
    if (verdict == Verdict::Resend || verdict == Verdict::ResendStored) {
        port_.DebugLog(
            JobRunPort::Dbg::Debug,
            QString("result %1 of tdx.%2 again: acknowledged, not counted").arg(r.EventNo).arg(t));
        if (verdict == Verdict::ResendStored) {
            intake_.Collected(t);
            port_.StoredRefresh();
        } else if (intake_.ResendCounted(t)) {
            // The counts read at the reconnection hold it: it is the first of them.
            if (draining_[static_cast<size_t>(t)] > 0)
                draining_[static_cast<size_t>(t)]--;
            else if (catchUp_ > 0 && t == stepTool_ && --catchUp_ == 0)
                port_.SetScrewCnt(stepTool_, stepScrews_ - screwsDone_);
        }
        return;
    }
    if (verdict == Verdict::Stored) return StoredResult(t, r);
    if (toolOk && draining_[static_cast<size_t>(t)] > 0) {
        // A stored result of an earlier step: logged, never judged.
        draining_[static_cast<size_t>(t)]--;
        LogResult(-1, -1, t, r, t);
        return;
    }
    // With a job the line names the current step and, in a fastening step, its tool (a
    // result of another tool counts for nothing there); between steps the sending tool.
    if (jdx_ >= 0)
        LogResult(jdx_, logStep_, InFastenStep() && stepTool_ >= 0 ? stepTool_ : t, r, t);
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

// One table for both operation screens ("Unknown error code" for any other code).
QString JobRun::ErrorText(int32_t code) {
    return ErrorCodes::Text(code);
}
