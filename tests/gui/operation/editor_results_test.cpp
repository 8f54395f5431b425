// Results while an editor screen is open, as a table: a set-up, Start, a sequence of
// events against a recording port, and the port calls they must give, in order.
#include "RecordingResultsPort.h"
#include "page/operation/EditorResults.h"

namespace {
using namespace results_test;

struct RecordingPort : EditorResultsPort, RecordingResults {
    RecordingPort() { manager = true; }
    void StartPrompt(int ms) override { rec("prompt in " + n(ms)); }
};

using Case = EventCase<EditorResults, RecordingPort>; // the lines from Start on

// clang-format off
const Case kCases[] = {
    {"without the backup manager connected tools only send new results; no prompt",
     [](RecordingPort& p) { p.manager = false; p.pending = {4, 0}; p.states = {3, 0}; },
     [](EditorResults&, RecordingPort&) {},
     {"0:events=1"}},
    {"leave closes the dialog and asks no tool for its stored results",
     [](RecordingPort& p) { p.pending = {2, 0}; },
     [](EditorResults& r, RecordingPort& p) { r.Prompt(); r.StoredLeave(); p.results[0] = {result(1)};
                                              r.Fasten(0); },
     {"1:events=1", "prompt in 100", "stored open", "stored close",
      "0:log+ack status 1 source 0"}},
};
// clang-format on

TEST(EditorResults, EventsAsTable) {
    RunEventCases(kCases, true);
}

} // namespace
