#include "ResultTaker.h"

using Link = ResultIntake::Link;
using Verdict = ResultIntake::Verdict;

ResultTaker::ResultTaker(ResultsPort& port)
    : results_(port), intake_(port, {.start = [this](int32_t t) { StartCollecting(t); },
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
    intake_.Stored().Clear();
    const bool manager = results_.BackupManager();
    for (int t = 0; t < kTools; ++t) {
        const bool linked = Connected(t);
        intake_.Begin(t, linked);
        if (!linked) continue;
        if (!manager || intake_.ReadPending(t, true) == 0) OpenTool(t);
    }
    return Stored().AnyPending();
}

void ResultTaker::OpenOutput(int tdx) {
    intake_.OutputOn(tdx, intake_.EventLinkLost(tdx) ? 0 : 1);
}

void ResultTaker::LogResult(int tdx, const FastenResult& r) {
    const std::string moved = results_.CheckLogLocation();
    if (!moved.empty()) results_.Message("Message", moved);
    const int source = results_.BarcodeInterface() == 1 ? 1 : 0;
    if (results_.LogAndAcknowledge(tdx, r, source) != 0)
        results_.Message("Error", "Logging failed");
}

bool ResultTaker::TakeResult(int tdx, FastenResult* r) {
    // Nothing unread: the result was taken already and must not be logged twice.
    if (!results_.ReadResult(tdx, r)) return false;
    const Verdict v = intake_.Classify(tdx, *r);
    if (v == Verdict::Live) return true;
    if (v == Verdict::Resend) return false;
    // A stored result goes to the log only: no sound, not shown, not in a table.
    if (v == Verdict::Stored) LogResult(tdx, *r);
    // The bar advances before the collector moves on (and may close the dialog).
    if (Stored().Chosen(tdx)) results_.StoredProgress(tdx, Stored().Progress(tdx) + 1);
    intake_.Collected(tdx);
    return false;
}

void ResultTaker::StoredConfirmed(unsigned chosen) {
    unsigned linked = 0;
    for (int t = 0; t < results_.ToolCount() && t < kTools; ++t)
        if (Connected(t)) linked |= 1u << t;
    intake_.Stored().Confirm(chosen, linked);
}

void ResultTaker::DisconnFlag(int tdx, int flag) {
    intake_.OnDisconnFlag(tdx, flag);
    if (flag && results_.StoredOpen()) results_.StoredRefresh(tdx);
}

void ResultTaker::LinkChanged(int tdx, int state) {
    const Link link = intake_.OnState(tdx, state);
    if (link != Link::Up) {
        // A loss dropped the tool's stored results, a renewal put its output back.
        if (link != Link::None && results_.StoredOpen()) results_.StoredRefresh(tdx);
        return;
    }
    if (!results_.BackupManager()) {
        intake_.ReadPending(tdx, false);
        OpenTool(tdx);
        return;
    }
    const int left = intake_.ReadPending(tdx, true);
    if (left == 0) OpenTool(tdx);
    if (results_.StoredOpen()) {
        results_.StoredRefresh(tdx);
    } else if (left > 0) {
        results_.StoredShow();
    }
}
