// The result half shared by every screen without a job that takes fastening results: the
// tools' link changes, stored results read at the start and collected tool by tool, and
// each result logged and acknowledged, all through one ResultIntake. What a tool gets when
// it has nothing (more) to collect, when its collection starts and when it ends is the
// screen's own (the hooks below).
#pragma once

#include "ResultIntake.h"
#include "ResultsPort.h"

class ResultTaker {
  public:
    static constexpr int kTools = 8;
    static constexpr int kConnected = 3;

    explicit ResultTaker(ResultsPort& port);
    virtual ~ResultTaker() = default;
    ResultTaker(const ResultTaker&) = delete;
    ResultTaker& operator=(const ResultTaker&) = delete;

    // Stored-results dialog: the operator chose the tools to collect (bit per tool).
    void StoredConfirmed(unsigned chosen);
    // The disconnection flag: the tool was readdressed, a new link follows.
    void DisconnFlag(int tdx, int flag);

    int Pending(int tdx) const { return Stored().Pending(tdx); }
    int StoredTotal() const { return Stored().Total(); }
    int Collecting() const { return Stored().Current(); }
    const StoredResults& Stored() const { return intake_.Stored(); }

  protected:
    // A tool with nothing (more) to collect: its results from now on (OpenOutput).
    virtual void OpenTool(int tdx) = 0;
    // Its stored results are asked for (OutputOn(t, 0) at the end).
    virtual void StartCollecting(int tdx) = 0;
    // Its last stored result arrived.
    virtual void StoredToolDone(int tdx) = 0;

    // Counts read afresh for every connected tool (with the setting on); tools with
    // nothing stored opened. True when some tool holds results (the prompt is due).
    bool ReadPending();
    // The tool's next result: true for a live one, the screen's own. A stored result is
    // logged here (no sound, no table), a resend only acknowledged: both give false, as
    // does a tool with nothing unread.
    bool TakeResult(int tdx, FastenResult* r);
    void LogResult(int tdx, const FastenResult& r);
    // A tool's link changed (registry update).
    void LinkChanged(int tdx, int state);
    // Event output of a tool opened to the screen: only new results, except after its event
    // link alone was lost (what it made meanwhile is the screen's).
    void OpenOutput(int tdx);
    bool Connected(int tdx);
    void DropStored() { intake_.Stored().Clear(); }

    ResultsPort& results_;
    ResultIntake intake_;
};
