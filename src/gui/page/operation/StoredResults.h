// Collection of the results a tool stored while no screen took them: per-tool pending
// counts, the tools chosen in the dialog, progress, the tool being collected, the total.
#pragma once

#include "fasten_result.h"

#include <array>
#include <cstdint>
#include <functional>

class StoredResults {
  public:
    static constexpr int kTools = 8;
    // What the screen does at each turn. start: ask t for its stored results
    // (EnableDataBackup(t, 0), with the job-free screen's FET bit cleared first);
    // complete: t's last stored result arrived (unlock/restore); decline: t was not chosen
    // (its stored results are dropped); finished: nothing is left to collect (close).
    struct Hooks {
        std::function<void(int32_t)> start, complete, decline;
        std::function<void()> finished;
    };
    explicit StoredResults(Hooks hooks) : hooks_(std::move(hooks)) {}

    void Clear(); // all counts 0, nothing chosen, not collecting
    // A count above 0 enables the confirmation again, so the operator can choose the tool.
    void SetPending(int32_t tdx, int32_t n);
    int32_t Pending(int32_t tdx) const; // 0 for a bad index
    bool AnyPending() const;
    bool Confirmed() const { return confirmed_; } // the dialog's confirm button is disabled
    // The dialog's confirmation: tools in chosenMask (bit t) that are connected are
    // collected one after the other; every other tool with pending results is declined.
    // With nothing to collect, finished runs.
    void Confirm(uint32_t chosenMask, uint32_t connectedMask);
    // A stored result of tdx arrived; false when tdx had none pending (not counted).
    bool OnResult(int32_t tdx);
    // tdx lost its link: its results are dropped from the total, the next tool starts.
    void OnLinkLost(int32_t tdx);

    int32_t Current() const { return current_; } // tool being collected, -1 none
    int32_t Total() const { return total_; }     // results still to collect
    int32_t Maximum(int32_t tdx) const;          // bar maximum (pending at confirmation)
    int32_t Progress(int32_t tdx) const;         // results received of it
    bool Chosen(int32_t tdx) const;

  private:
    void StartNext();
    static bool Valid(int32_t t) { return t >= 0 && t < kTools; }
    Hooks hooks_;
    std::array<int32_t, kTools> pending_{}, max_{}, progress_{};
    std::array<bool, kTools> chosen_{};
    int32_t current_ = -1;
    int32_t total_ = 0;
    bool confirmed_ = false;
};

// Judge-once guard. A tool sends a result again only when our acknowledgement was lost
// with the link: the result in flight when the link dropped stays in its store and comes
// back first after the reconnection. So only that first result, equal (whole record) to
// the last one taken before the loss, is a resend. Alike results are normal otherwise (the
// same code read twice, two alarm resets, a tool that leaves register 0 at zero) and each
// gets its line.
class ResultOnce {
  public:
    static constexpr int kTools = 8;
    // A result of tdx was taken (logged); no resend can follow it.
    void Take(int32_t tdx, const FastenResult& r);
    // tdx's link dropped: the last result taken may come again, first.
    void LinkLost(int32_t tdx);
    // Asked for each result before it is taken: true when r is the resend. Only the first
    // result after a loss can be one, so the question is answered once per loss.
    bool Resent(int32_t tdx, const FastenResult& r);
    // The tool came back with nothing stored, or sends only new results: nothing can be resent.
    void Forget(int32_t tdx);
    // A loss was seen and no result has been asked about since.
    bool Open(int32_t tdx) const { return Valid(tdx) && open_[static_cast<size_t>(tdx)]; }

  private:
    static bool Valid(int32_t t) { return t >= 0 && t < kTools; }
    std::array<FastenResult, kTools> last_{};
    std::array<bool, kTools> taken_{}, open_{};
};
