#include "ResultIntake.h"

ResultIntake::ResultIntake(IntakePort& port, StoredResults::Hooks hooks)
    : port_(port), stored_(std::move(hooks)) {}

void ResultIntake::Begin(int32_t tdx, bool connected) {
    if (!Valid(tdx)) return;
    tools_[size_t(tdx)] = ToolIntake{.linked = connected};
}

void ResultIntake::Loss(int32_t tdx) {
    ToolIntake& k = tools_[size_t(tdx)];
    k.linked = false;
    k.outputOn = false; // every connection starts with event output off
    k.counted = false;
    once_.LinkLost(tdx); // its last result's acknowledgement may be lost with the link
    // Its results still to collect are counted again when it is back.
    if (stored_.Pending(tdx) > 0) stored_.OnLinkLost(tdx);
}

ResultIntake::Link ResultIntake::OnState(int32_t tdx, int32_t state) {
    if (!Valid(tdx)) return Link::None;
    ToolIntake& k = tools_[size_t(tdx)];
    if (state != kConnected) {
        Loss(tdx);
        k.eventLost = state == kEventLost;
        if (state == kEventLost) return Link::EventLost;
        return state == 0 || state == 2 ? Link::Lost : Link::None;
    }
    if (!k.linked) {
        k.linked = true;
        return Link::Up;
    }
    // The same link announced again (a connect retry, or cause 5 renewing the event
    // connection): the registers are as they were. On a new event connection the tool sends
    // from the front of its store again, the result whose acknowledgement came too late for
    // the old one first; the counts already hold it as taken.
    if (!once_.Open(tdx)) {
        k.counted = false;
        once_.LinkLost(tdx);
    }
    // Stored results first, so nothing the tool made meanwhile is dropped.
    if (k.outputOn) port_.EnableDataBackup(tdx, 0);
    return Link::Again;
}

void ResultIntake::OnDisconnFlag(int32_t tdx, int32_t flag) {
    // Readdressed: both connections are new, its "connected" follows.
    if (Valid(tdx) && flag) Loss(tdx);
}

int32_t ResultIntake::ReadPending(int32_t tdx, bool collect) {
    const int32_t n = port_.GetNoPendingEvent(tdx);
    if (!Valid(tdx)) return n;
    tools_[size_t(tdx)].counted = true;
    if (n <= 0) once_.Forget(tdx); // nothing stored, nothing can come again
    if (collect) stored_.SetPending(tdx, n);
    return n;
}

ResultIntake::Verdict ResultIntake::Classify(int32_t tdx, const FastenResult& r) {
    if (!Valid(tdx)) return Verdict::Live;
    if (once_.Resent(tdx, r)) {
        port_.AckResend(tdx);
        return tools_[size_t(tdx)].counted && stored_.Pending(tdx) > 0 ? Verdict::ResendStored
                                                                       : Verdict::Resend;
    }
    once_.Take(tdx, r);
    return stored_.Pending(tdx) > 0 ? Verdict::Stored : Verdict::Live;
}

bool ResultIntake::ResendCounted(int32_t tdx) const {
    return Valid(tdx) && tools_[size_t(tdx)].counted;
}

void ResultIntake::OutputOn(int32_t tdx, int32_t skipStored) {
    if (Valid(tdx)) {
        tools_[size_t(tdx)].outputOn = true;
        // Stored results skipped: the copy of a result in flight is dropped with them.
        if (skipStored) once_.Forget(tdx);
    }
    port_.EnableDataBackup(tdx, skipStored);
}

void ResultIntake::OutputOff(int32_t tdx) {
    if (Valid(tdx)) tools_[size_t(tdx)].outputOn = false;
    port_.DisableDataBackup(tdx);
}
