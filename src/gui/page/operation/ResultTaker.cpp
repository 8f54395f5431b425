#include "ResultTaker.h"

namespace {
constexpr int kRegEventAck = 4016;
} // namespace

ResultTaker::ResultTaker(ResultsPort& port)
    : results_(port), stored_({.start = [this](int32_t t) { StartCollecting(t); },
                               .complete = [this](int32_t t) { StoredToolDone(t); },
                               .decline =
                                   [this](int32_t t) {
                                       if (Connected(t)) OpenTool(t);
                                   },
                               .finished =
                                   [this] {
                                       if (results_.StoredOpen()) results_.StoredClose();
                                   }}) {}

bool ResultTaker::Connected(int tdx) {
    return tdx < results_.ToolCount() && results_.ToolState(tdx) == kConnected;
}

bool ResultTaker::ReadPending() {
    stored_.Clear();
    const bool manager = results_.BackupManager();
    for (int t = 0; t < results_.ToolCount() && t < kTools; ++t) {
        if (!Connected(t)) continue;
        if (manager) stored_.SetPending(t, results_.PendingEvents(t));
        if (stored_.Pending(t) == 0) OpenTool(t);
    }
    return stored_.AnyPending();
}

void ResultTaker::LogResult(int tdx, const FastenResult& r) {
    const std::string moved = results_.CheckLogLocation();
    if (!moved.empty()) results_.Message("Message", moved);
    const int source = results_.BarcodeInterface() == 1 ? 1 : 0;
    if (results_.LogAndAcknowledge(tdx, r, source) != 0)
        results_.Message("Error", "Logging failed");
}

bool ResultTaker::ReadLive(int tdx, FastenResult* r) {
    // Nothing unread: the result was taken already and must not be logged twice.
    if (!results_.ReadResult(tdx, r)) return false;
    once_.Take(tdx, *r);
    return true;
}

// A stored result goes to the log only: no sound, not shown, not in a table.
bool ResultTaker::TakeStored(int tdx) {
    if (stored_.Pending(tdx) <= 0) return false;
    FastenResult r;
    if (!results_.ReadResult(tdx, &r)) return true;
    if (once_.Resent(tdx, r)) {
        // Taken before the link dropped, its acknowledgement lost with it: in the log already.
        results_.WriteRegister(tdx, kRegEventAck, 1);
    } else {
        once_.Take(tdx, r);
        LogResult(tdx, r);
    }
    // The bar advances before the collector moves on (and may close the dialog).
    if (stored_.Chosen(tdx)) results_.StoredProgress(tdx, stored_.Progress(tdx) + 1);
    stored_.OnResult(tdx);
    return true;
}

void ResultTaker::StoredConfirmed(unsigned chosen) {
    unsigned linked = 0;
    for (int t = 0; t < results_.ToolCount() && t < kTools; ++t)
        if (Connected(t)) linked |= 1u << t;
    stored_.Confirm(chosen, linked);
}

void ResultTaker::LinkChanged(int tdx, int state) {
    if (tdx < 0 || tdx >= kTools) return;
    const bool manager = results_.BackupManager();
    if (state != kConnected) {
        once_.LinkLost(tdx); // its last result's acknowledgement may be lost
        if (manager) stored_.OnLinkLost(tdx);
        return;
    }
    if (manager && stored_.Chosen(tdx)) {
        // Connected again without a loss seen in between: the same link, still collecting.
        if (results_.StoredOpen()) results_.StoredRefresh(tdx);
    } else if (manager) {
        const int left = results_.PendingEvents(tdx);
        stored_.SetPending(tdx, left);
        if (left == 0) {
            once_.Forget(tdx); // nothing stored, nothing can come again
            OpenTool(tdx);
        }
        if (results_.StoredOpen()) {
            results_.StoredRefresh(tdx);
        } else if (left > 0) {
            results_.StoredShow();
        }
    } else {
        OpenTool(tdx);
    }
}
