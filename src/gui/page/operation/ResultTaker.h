// The result half shared by every screen that takes fastening results: stored results
// read at the start, the collection of the chosen tools one by one with its guard
// against a resent result, link changes during it, and each result logged and
// acknowledged. What a tool gets when it has nothing stored, when its collection starts
// and when it ends is the screen's own (the hooks below).
#pragma once

#include "ResultsPort.h"
#include "StoredResults.h"

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

    int Pending(int tdx) const { return stored_.Pending(tdx); }
    int StoredTotal() const { return stored_.Total(); }
    int Collecting() const { return stored_.Current(); }
    const StoredResults& Stored() const { return stored_; }

  protected:
    // A tool with nothing (more) to collect: its results from now on.
    virtual void OpenTool(int tdx) = 0;
    // Its stored results are asked for (EnableDataBackup(t, 0) at the end).
    virtual void StartCollecting(int tdx) = 0;
    // Its last stored result arrived.
    virtual void StoredToolDone(int tdx) = 0;

    // Counts read afresh for every connected tool (with the setting on); tools with
    // nothing stored opened. True when some tool holds results (the prompt is due).
    bool ReadPending();
    // A result of a tool being collected goes to the log only: true when tdx was one.
    bool TakeStored(int tdx);
    // The tool's next live result, remembered against a resend; false when none waited.
    bool ReadLive(int tdx, FastenResult* r);
    void LogResult(int tdx, const FastenResult& r);
    // A tool's link changed: stored results dropped on a loss, counted again on return.
    void LinkChanged(int tdx, int state);
    bool Connected(int tdx);
    void DropStored() { stored_.Clear(); }

    ResultsPort& results_;

  private:
    StoredResults stored_;
    ResultOnce once_;
};
