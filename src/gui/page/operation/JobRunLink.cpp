// Job runner: link loss and reconnection with catch-up, the stored-results collection and
// the bit socket tray in slave mode.
#include "JobRun.h"

namespace {
constexpr int32_t kRegLock = 4001;
} // namespace

using Link = ResultIntake::Link;

void JobRun::OnDisconnFlag(int32_t tdx, int32_t flag) {
    if (tdx < 0 || tdx >= 8) return;
    disconnected_[static_cast<size_t>(tdx)] = flag ? 1 : 0;
    if (!flag) return;
    intake_.OnDisconnFlag(tdx, flag); // readdressed: a new link follows
    if (port_.StoredIsOpen()) port_.StoredRefresh();
}

void JobRun::OnToolState(int32_t t, int32_t state) {
    switch (intake_.OnState(t, state)) {
    case Link::Up:
        LinkUp(t);
        break;
    case Link::Again: // the intake put its output back; registers are as we left them
        if (port_.StoredIsOpen()) port_.StoredRefresh();
        break;
    case Link::EventLost:
        // The event link alone is gone: the data link would keep the step tool working
        // while its results cannot reach us. It stays locked until the link is back, and
        // what it made before the lock took is caught up then.
        if (InFastenStep() && t == stepTool_ && waiting_) LockStepTool(1);
        LinkLost(t);
        break;
    case Link::Lost:
        LinkLost(t);
        break;
    case Link::None:
        break;
    }
}

void JobRun::LinkLost(int32_t t) {
    // Its stored results were dropped from the collection by the intake.
    if (port_.StoredIsOpen()) {
        port_.StoredRefresh();
        return;
    }
    if (!InFastenStep() || t != stepTool_) return;
    disconnected_[static_cast<size_t>(t)] = 1;
    view_.resultText = "-";
    view_.resultKind = RunView::Kind::Neutral;
    port_.ShowMessage("Message", "The connection was lost.\n\n" + port_.ToolName(t));
    Refresh();
}

void JobRun::RestoreStepOn(int32_t t) {
    if (!InFastenStep() || t != stepTool_ || !waiting_) return;
    view_.resultText = TargetText(t, stepPreset_);
    view_.resultKind = RunView::Kind::Neutral;
    port_.MbusWriteTdx(t, kRegPreset, stepPreset_ + 1);
    port_.SetScrewCnt(t, stepScrews_ - screwsDone_);
    if (port_.Settings().bstOn)
        port_.SetBstAlarmForce();
    else
        UnlockStepToolOnly(t);
    Refresh();
}

void JobRun::LinkUp(int32_t t) {
    const auto k = static_cast<size_t>(t);
    port_.SetAutoLock(t, 1);
    port_.MbusWriteTdx(t, kRegLock, 1);
    const int32_t pending = intake_.ReadPending(t, false);
    port_.CloseMessage();
    // The tool delivers oldest first: the first of its stored results are the ones of an
    // earlier step that were still expected; only the rest can belong to this step.
    draining_[k] = std::min(draining_[k], std::max(pending, 0));
    const int32_t own = pending - draining_[k];
    const bool manager = port_.Settings().backupManager;
    if (pending > 0 && InFastenStep() && t == stepTool_ && disconnected_[k]) {
        intake_.Stored().SetPending(t, 0); // they arrive as ordinary results of the step
        catchUp_ = own;
        if (!waiting_) {
            // The step is complete (the next one starts shortly): they are logged only,
            // and the tool stays locked.
            draining_[k] = pending;
            catchUp_ = 0;
        } else if (catchUp_ == 0) {
            RestoreStepOn(t); // only earlier steps' results: the count is right already
        } else {
            port_.MbusWriteTdx(t, kRegPreset, stepPreset_ + 1);
            if (port_.Settings().bstOn)
                port_.SetBstAlarmForce();
            else
                UnlockStepToolOnly(t);
        }
        intake_.OutputOn(t, 0);
    } else if (pending > 0 && manager) {
        draining_[k] = 0; // collected as stored results, never judged
        intake_.Stored().SetPending(t, pending);
        if (port_.StoredIsOpen()) {
            port_.StoredRefresh();
        } else {
            port_.StoredOpen();
        }
    } else {
        draining_[k] = 0; // the tool drops what it stored
        intake_.Stored().SetPending(t, 0);
        intake_.OutputOn(t, 1); // before the unlock: nothing made then is dropped with them
        RestoreStepOn(t);
    }
    disconnected_[k] = 0;
    Refresh();
}

// ---- stored results ----

void JobRun::StoredResult(int32_t t, const FastenResult& r) {
    LogResult(-1, -1, t, r, t);
    intake_.Collected(t);
    port_.StoredRefresh();
}

void JobRun::OnStoredConfirmed(uint32_t chosenMask) {
    uint32_t connected = 0;
    for (int32_t t : port_.RegisteredTools())
        if (t >= 0 && t < 8 && port_.ToolConnected(t)) connected |= 1u << t;
    intake_.Stored().Confirm(chosenMask, connected);
    port_.StoredRefresh();
}

void JobRun::OnStoredLeave() {
    port_.StoredClose();
    LeaveHome();
}

// ---- bit socket tray ----

void JobRun::TrayWarnSlave() {
    port_.ShowMessage("Warning", "In With job mode,\nBST should operate in Slave mode");
}

void JobRun::LockStepTool(int32_t on) {
    if (stepTool_ < 0) return;
    // A tool whose link is lost stays locked until the step is restored on it.
    if (!on && disconnected_[static_cast<size_t>(stepTool_)]) return;
    if (!on && plantLock_) return;
    port_.SetToolLock(stepTool_, on);
}

void JobRun::UnlockStepToolOnly(int32_t t) {
    if (plantLock_)
        port_.ToolLockAll();
    else
        port_.ToolLockExceptTdx(t);
}

bool JobRun::PlantLock(bool on) {
    if (jdx_ < 0) return false;
    plantLock_ = on;
    if (stepTool_ < 0 || !InFastenStep() || !waiting_) return true;
    if (on)
        port_.SetToolLock(stepTool_, 1);
    else if (port_.Settings().bstOn)
        port_.SetBstAlarmForce(); // the tray's answer decides again
    else if (!disconnected_[static_cast<size_t>(stepTool_)])
        port_.ToolLockExceptTdx(stepTool_);
    return true;
}

void JobRun::TrayCheck() {
    const RunSettings s = port_.Settings();
    if (!s.bstOn) return;
    trayTool_ = port_.FindRegTdxByName(s.bstToolName);
    if (trayTool_ == -1)
        port_.ShowMessage("Warning", "The tool specified in BST could not be found.");
    if (port_.IsBstConnect() && port_.IsBstComm() && !port_.IsBstSlave()) TrayWarnSlave();
}

void JobRun::OnTrayEvent(int32_t mask, int32_t, int32_t alarm, int32_t opmode) {
    if (!port_.Settings().bstOn) return;
    if (trayFirstAnswer_ && port_.IsBstConnect() && port_.IsBstComm()) {
        // A tray plugged in during the run answers only after its hot-plug events: its
        // first report gets what the plug-in would have (the step's socket and the forced
        // alarm), and the next report decides the lock.
        trayFirstAnswer_ = false;
        if (port_.IsBstSlave()) return OnTrayHotplug(true);
    }
    if (InFastenStep() && port_.IsBstConnect() && port_.IsBstComm()) {
        if (opmode != 0)
            LockStepTool(1);
        else if (mask & 0x2)
            LockStepTool(alarm != 0 ? 1 : 0);
    }
    if ((mask & 0x4) && opmode == 1) TrayWarnSlave();
}

void JobRun::OnTrayHotplug(bool present) {
    if (!port_.Settings().bstOn) return;
    trayFirstAnswer_ = present && !port_.IsBstComm();
    if (!present) {
        port_.ToolLockAll();
        return;
    }
    if (!port_.IsBstComm()) return;
    if (!port_.IsBstSlave()) {
        TrayWarnSlave();
        return;
    }
    if (InFastenStep() && waiting_ && stepTool_ >= 0) {
        TraySocketRequest(stepPreset_ < port_.BstSocketCount() ? stepPreset_ + 1 : 0);
        port_.SetBstAlarmForce();
    } else {
        TraySocketRequest(0);
    }
}

void JobRun::OnTrayCommFail() {
    // Any adapter of the tray's type raises it: it is the tray's only with the setting on.
    if (port_.Settings().bstOn && InFastenStep()) LockStepTool(1);
}
