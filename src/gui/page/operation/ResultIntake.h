// One intake of fastening results for whichever screen is open: per tool its link (connected,
// lost, renewed by a readdressing or by advertise cause 5, event link alone lost), whether its
// event output is on, the judge-once guard against a resend, and the stored-results
// collection. Screens hand it every registry update, disconnection flag and result; it says
// what each one is, keeps its register writes on the event path (4015 through
// EnableDataBackup / DisableDataBackup, the acknowledgement of a resend) in order behind the
// log writer, and leaves to the screen what a result means to it (counted for a step, shown
// in a table, logged only).
#pragma once

#include "StoredResults.h"

#include <array>
#include <cstdint>

// What the intake does to the tools. The device object queues all three behind the lines the
// log writer still holds, so none of them can overtake an acknowledgement.
class IntakePort {
  public:
    virtual ~IntakePort() = default;
    virtual void EnableDataBackup(int32_t tdx, int32_t skipStored) = 0;
    virtual void DisableDataBackup(int32_t tdx) = 0;
    virtual int32_t GetNoPendingEvent(int32_t tdx) = 0;
    // 4016 := 1 for a result already in the log, in order with the tool's other acknowledgements.
    virtual void AckResend(int32_t tdx) = 0;
};

// The per-tool part: link and output state (the guard's slots are in ResultOnce).
class ToolIntake {
  public:
    bool linked = false;    // connected, no loss or readdressing seen since
    bool outputOn = false;  // event output enabled by the screen since the link came up
    bool counted = false;   // counts read since the last loss include a possible resend
    bool eventLost = false; // the last loss was the event link alone (state 4)
};

class ResultIntake {
  public:
    static constexpr int kTools = 8;
    static constexpr int32_t kConnected = 3;
    static constexpr int32_t kEventLost = 4;

    // What a registry update means for the tool's results.
    enum class Link {
        None, // nothing for the intake (state 1 or 5)
        Lost, // the tool went (state 0 or 2): what it had stored is dropped from the collection
        EventLost, // state 4: the data link stays, no result can arrive
        Up,        // connected after a loss, a readdressing or at first: counts to read again
        Again,     // connected again with no loss seen: the same link, event connection renewed
    };
    // Resend: already in the log (its acknowledgement queued); ResendStored: the same, and it
    // takes one off the collection; Stored: a result of the collection to log; Live: the
    // screen's own.
    enum class Verdict { Live, Stored, Resend, ResendStored };

    ResultIntake(IntakePort& port, StoredResults::Hooks hooks);

    // A tool's link at the screen's start (connected or not); nothing is written.
    void Begin(int32_t tdx, bool connected);
    // A registry update. For Again the intake puts the tool's output back itself (stored
    // results first, so nothing made during the renewal is dropped), and for every loss it
    // drops the tool from the collection; the screen does the rest.
    Link OnState(int32_t tdx, int32_t state);
    // The disconnection flag: the tool was readdressed, both its connections are renewed.
    void OnDisconnFlag(int32_t tdx, int32_t flag);
    // The tool's pending count read afresh (Up, or the screen's start): kept for the
    // collection when `collect`, and the guard forgets when the tool holds nothing.
    int32_t ReadPending(int32_t tdx, bool collect);

    // Asked for every result, whatever its origin, before it is used: only the first after a
    // loss or a renewal can be a copy of the last one taken (its acknowledgement lost with
    // the link). For Stored and ResendStored the screen calls Collected when it is done.
    Verdict Classify(int32_t tdx, const FastenResult& r);
    void Collected(int32_t tdx) { stored_.OnResult(tdx); }
    // A resend is in the counts read since the loss (the screen's own counts included).
    bool ResendCounted(int32_t tdx) const;

    // Event output, tracked so that a renewed link puts it back only where it was on.
    void OutputOn(int32_t tdx, int32_t skipStored);
    void OutputOff(int32_t tdx);

    StoredResults& Stored() { return stored_; }
    const StoredResults& Stored() const { return stored_; }
    bool EventLinkLost(int32_t tdx) const { return Valid(tdx) && tools_[size_t(tdx)].eventLost; }

  private:
    static bool Valid(int32_t t) { return t >= 0 && t < kTools; }
    void Loss(int32_t tdx);

    IntakePort& port_;
    StoredResults stored_;
    ResultOnce once_;
    std::array<ToolIntake, kTools> tools_{};
};
