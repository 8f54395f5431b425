// Fastening results while an editor screen is open (job manager, step editor, barcode
// screens), free of widgets: every result is logged with no job and no step and
// acknowledged; stored results are collected as on the operation screen without a job,
// except that the tools are not unlocked and no result table is kept. The dialog's leave
// button only closes it; the results not collected stay in the tools.
#pragma once

#include "ResultTaker.h"

class EditorResultsPort : public virtual ResultsPort {
  public:
    virtual void StartPrompt(int ms) = 0; // single shot; Prompt() when it runs out
};

class EditorResults : public ResultTaker {
  public:
    static constexpr int kPromptMs = 100;

    explicit EditorResults(EditorResultsPort& port) : ResultTaker(port), port_(port) {}

    // The first editor screen opened: counts read, the prompt timer started when a tool
    // holds results.
    void Start();
    void Fasten(int tdx);
    void Registry(int tdx, int state) { LinkChanged(tdx, state); }
    void Prompt();
    void StoredLeave();
    // The last editor screen closed: no tool sends results any more.
    void Stop();

  private:
    void OpenTool(int tdx) override;
    void StartCollecting(int tdx) override;
    void StoredToolDone(int) override {}

    EditorResultsPort& port_;
};
