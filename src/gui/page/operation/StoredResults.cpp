// Collection of tools' stored results, one tool after the other, and the judge-once guard.
#include "StoredResults.h"

void StoredResults::Clear() {
    pending_.fill(0);
    max_.fill(0);
    progress_.fill(0);
    chosen_.fill(false);
    current_ = -1;
    total_ = 0;
    confirmed_ = false;
}

void StoredResults::SetPending(int32_t tdx, int32_t n) {
    if (!Valid(tdx)) return;
    const auto k = static_cast<size_t>(tdx);
    bool moveOn = false;
    if (chosen_[k]) { // it came back during the collection: its new count replaces the old
        total_ -= pending_[k];
        chosen_[k] = false;
        if (current_ == tdx) {
            current_ = -1;
            moveOn = true;
        }
    }
    pending_[k] = n > 0 ? n : 0;
    if (moveOn && n <= 0) {
        // Nothing left of it: the collection goes on with the next chosen tool, or ends.
        StartNext();
        if (total_ == 0 && confirmed_ && !AnyPending() && hooks_.finished) hooks_.finished();
    }
    if (n > 0) {
        // Results to choose from, in this round or a new one after an earlier finished:
        // the bar starts empty and the operator may confirm again.
        max_[k] = 0;
        progress_[k] = 0;
        confirmed_ = false;
    }
}

int32_t StoredResults::Pending(int32_t tdx) const {
    return Valid(tdx) ? pending_[static_cast<size_t>(tdx)] : 0;
}

bool StoredResults::AnyPending() const {
    for (int32_t n : pending_)
        if (n > 0) return true;
    return false;
}

int32_t StoredResults::Maximum(int32_t tdx) const {
    return Valid(tdx) ? max_[static_cast<size_t>(tdx)] : 0;
}

int32_t StoredResults::Progress(int32_t tdx) const {
    return Valid(tdx) ? progress_[static_cast<size_t>(tdx)] : 0;
}

bool StoredResults::Chosen(int32_t tdx) const {
    return Valid(tdx) && chosen_[static_cast<size_t>(tdx)];
}

void StoredResults::Confirm(uint32_t chosenMask, uint32_t connectedMask) {
    confirmed_ = true;
    for (int32_t t = 0; t < kTools; t++) {
        const auto k = static_cast<size_t>(t);
        if (pending_[k] == 0 || chosen_[k]) continue;
        if ((chosenMask >> t & 1u) && (connectedMask >> t & 1u)) {
            chosen_[k] = true;
            max_[k] = pending_[k];
            progress_[k] = 0;
            total_ += pending_[k];
        } else {
            pending_[k] = 0;
            if (hooks_.decline) hooks_.decline(t);
        }
    }
    if (current_ < 0) StartNext();
    if (total_ == 0 && hooks_.finished) hooks_.finished();
}

void StoredResults::StartNext() {
    current_ = -1;
    for (int32_t t = 0; t < kTools; t++) {
        const auto k = static_cast<size_t>(t);
        if (chosen_[k] && pending_[k] > 0) {
            current_ = t;
            if (hooks_.start) hooks_.start(t);
            return;
        }
    }
}

bool StoredResults::OnResult(int32_t tdx) {
    if (!Valid(tdx) || pending_[static_cast<size_t>(tdx)] == 0) return false;
    const auto k = static_cast<size_t>(tdx);
    pending_[k]--;
    if (chosen_[k]) {
        progress_[k]++;
        total_--;
    }
    if (pending_[k] == 0) {
        chosen_[k] = false;
        if (hooks_.complete) hooks_.complete(tdx);
        if (current_ == tdx) StartNext();
        if (total_ == 0 && confirmed_ && hooks_.finished) hooks_.finished();
    }
    return true;
}

void StoredResults::OnLinkLost(int32_t tdx) {
    if (!Valid(tdx) || pending_[static_cast<size_t>(tdx)] == 0) return;
    const auto k = static_cast<size_t>(tdx);
    if (chosen_[k]) total_ -= pending_[k];
    pending_[k] = 0;
    chosen_[k] = false;
    if (current_ == tdx) StartNext();
    if (total_ == 0 && !AnyPending() && hooks_.finished) hooks_.finished();
}

void ResultOnce::Take(int32_t tdx, const FastenResult& r) {
    if (!Valid(tdx)) return;
    const auto k = static_cast<size_t>(tdx);
    last_[k] = r;
    taken_[k] = true;
    open_[k] = false;
}

void ResultOnce::LinkLost(int32_t tdx) {
    if (Valid(tdx)) open_[static_cast<size_t>(tdx)] = taken_[static_cast<size_t>(tdx)];
}

bool ResultOnce::Resent(int32_t tdx, const FastenResult& r) {
    if (!Valid(tdx)) return false;
    const auto k = static_cast<size_t>(tdx);
    const bool again = open_[k] && SameFastenResult(last_[k], r);
    open_[k] = false;
    return again;
}

void ResultOnce::Forget(int32_t tdx) {
    if (Valid(tdx)) open_[static_cast<size_t>(tdx)] = taken_[static_cast<size_t>(tdx)] = false;
}
