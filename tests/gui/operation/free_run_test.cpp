// The run state of the operation screen without a job as a table: a set-up and a sequence
// of events against a recording port, and the port calls they must give, in order.
#include "RecordingResultsPort.h"
#include "page/operation/FreeRun.h"

namespace {
using namespace results_test;

struct RecordingPort : FreeRunPort, RecordingResults {
    bool trayUsed = false;
    int trayTool = -1;
    FreeTray tray;
    std::vector<bool> presetOn{false, false};
    std::map<std::string, int> presets; // code -> preset, the same for every tool

    bool TrayUsed() override { return trayUsed; }
    int FindTrayTool() override { return trayTool; }
    void SetToolLock(int t, int on) override { rec(n(t) + ":lock=" + n(on)); }
    void SetAutoLock(int t, int on) override { rec(n(t) + ":auto=" + n(on)); }
    void SetFetBit(int t, bool on) override { rec(n(t) + (on ? ":fet+" : ":fet-")); }
    void ClearFet() override { rec("clear fet"); }
    bool BarcodePresetOn(int t) override { return presetOn.at(size_t(t)); }
    int FindPreset(int, const std::string& code) override {
        auto it = presets.find(code);
        return it == presets.end() ? -1 : it->second;
    }
    FreeTray Tray() override { return tray; }
    void TrayAlarmForce() override { rec("tray force"); }
    void SoundTap() override { rec("tap"); }
    void SoundNg() override { rec("ng"); }
    void StartTimer(FreeTimer id, int ms) override {
        rec(std::string(id == FreeTimer::StoredPrompt ? "prompt" : "tray check") + " in " + n(ms));
    }
    void ShowLast(int t, const FastenResult& r) override {
        rec("last " + n(t) + " status " + n(r.Status));
    }
    void ClearLast() override { rec("last cleared"); }
    void TableChanged() override { rec("table"); }
    void Notice(const std::string& text) override { rec("notice " + text); }
    void Confirm(const std::string& q, const std::string& ctx) override {
        rec("confirm " + q + " (" + ctx + ")");
    }
    void LeaveScreen() override { rec("leave"); }
};

const Lines kOpen0 = {"0:fet+", "0:events=1", "0:4001=0", "0:auto=0"};
const Lines kOpen1 = {"1:fet+", "1:events=1", "1:4001=0", "1:auto=0"};

Lines join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// An OK result carrying the tool's event number.
FastenResult numbered(int no) {
    FastenResult r = result(1);
    r.EventNo = uint16_t(no);
    return r;
}

using Case = EventCase<FreeRun, RecordingPort>; // events after Start, its lines cleared

// clang-format off
const Case kCases[] = {
    {"an event with nothing unread is neither logged nor shown a second time",
     [](RecordingPort&) {}, [](FreeRun& r, RecordingPort&) { r.Fasten(1); r.Fasten(9); }, {}},
    {"a failed log line and a missing card are reported; the run goes on",
     [](RecordingPort& p) { p.results[1] = {result(1)}; p.logFails = true;
                            p.moved = "Micro SD does not exist."; },
     [](FreeRun& r, RecordingPort&) { r.Fasten(1); },
     {"tap", "Message: Micro SD does not exist.", "1:log+ack status 1 source 0",
      "Error: Logging failed", "last 1 status 1", "table"}},
    {"with the tools' scanners the tool's code is logged and shown; the local scanner is ignored",
     [](RecordingPort& p) { p.barcodeIf = 1; p.results[0] = {result(7, "R-1")}; },
     [](FreeRun& r, RecordingPort&) { r.ScannerCode("LOCAL"); r.Fasten(0); },
     {"tap", "0:log+ack status 7 source 1", "last 0 status 7", "table", "notice R-1"}},
    {"with the backup manager a connecting tool with stored results opens the dialog",
     [](RecordingPort& p) { p.manager = true; p.states = {3, 0}; },
     [](FreeRun& r, RecordingPort& p) { p.pending[1] = 2; p.states[1] = 3; r.Registry(1, 3);
                                        r.Registry(1, 3); },
     {"stored open", "stored refresh 1"}},
    {"the tray tool connecting: master mode without alarm takes the tray's preset",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 1; p.states = {3, 0};
                            p.tray = {true, true, 5, 0, 1}; },
     [](FreeRun& r, RecordingPort& p) { r.Timer(FreeTimer::TrayCheck); p.states[1] = 3;
                                        r.Registry(1, 3); },
     join({{"1:4004=5", "1:lock=0"}, kOpen1, {"1:4004=5", "1:4001=0"}})},
    {"the tray tool connecting: no tray locks it, slave mode leaves it, alarm locks it",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 0; p.tray = {false, false, -1, -1, -1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::TrayCheck); p.lines.clear();
         r.Registry(0, 2); r.Registry(0, 3);
         p.tray = {true, true, 2, 0, 0}; r.Registry(0, 2); r.Registry(0, 3);
         p.tray = {true, true, 2, 1, 1}; r.Registry(0, 2); r.Registry(0, 3); },
     join({kOpen0, {"0:4001=1"}, kOpen0, kOpen0, {"0:4001=1"}})},
    {"tray check: unknown tool, and a tray in slave mode is refused",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = -1; p.tray = {true, true, 2, 0, 0}; },
     [](FreeRun& r, RecordingPort&) { r.Timer(FreeTimer::TrayCheck); },
     {"Warning: The tool specified in BST could not be found.",
      "Warning: In Without job mode,\nBST should operate in Master mode"}},
    {"tray check: a silent or alarmed tray locks the tool; nothing when the tray is off",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 0; p.tray = {true, false, 2, 0, 1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::TrayCheck);
         p.tray = {true, true, 2, 3, 1}; r.Timer(FreeTimer::TrayCheck);
         p.trayUsed = false; r.Timer(FreeTimer::TrayCheck); r.TrayEvent(3, 1, 0, 1);
         r.TrayHotplug(false); },
     {"0:lock=1", "0:lock=1"}},
    {"tray events in master mode: alarm locks, alarm cleared takes the preset and unlocks",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 0; p.tray = {true, true, 2, 0, 1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::TrayCheck); p.lines.clear();
         r.TrayEvent(2, 4, 1, 1); r.TrayEvent(3, 4, 0, 1); r.TrayEvent(0, 4, 0, 1); },
     {"0:lock=1", "0:4004=4", "0:lock=0"}},
    {"tray events: a switch to slave mode locks and warns; a silent tray locks",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 0; p.tray = {true, true, 2, 0, 1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::TrayCheck); p.lines.clear();
         r.TrayEvent(4, 2, 0, 0); p.tray.Comm = false; r.TrayEvent(1, 2, 0, 1); },
     {"0:lock=1", "0:lock=1", "Warning: In Without job mode,\nBST should operate in Master mode",
      "0:lock=1"}},
    {"tray plugged in: master mode takes the preset, slave mode warns; removed locks",
     [](RecordingPort& p) { p.trayUsed = true; p.trayTool = 1; p.tray = {true, true, 6, 0, 1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::TrayCheck); p.lines.clear();
         r.TrayHotplug(true); p.tray.Opmode = 0; r.TrayHotplug(true); r.TrayHotplug(false); },
     {"1:4004=6", "1:lock=0", "Warning: In Without job mode,\nBST should operate in Master mode",
      "1:lock=1"}},
    {"a result taken live whose acknowledgement was lost with the link, sent again from the "
     "store: acknowledged and counted for the collection, not logged twice",
     [](RecordingPort& p) { p.manager = true; p.states = {3}; p.pending = {0};
                            p.results[0] = {numbered(41)}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Fasten(0); r.Registry(0, 0); p.pending = {2}; p.storedOpen = true; r.Registry(0, 3);
         r.StoredConfirmed(0x1); p.lines.clear(); p.results[0] = {numbered(41), numbered(42)};
         r.Fasten(0); r.Fasten(0); },
     {"0:ack again", "stored 0 got 1", "0:log+ack status 1 source 0", "stored 0 got 2", "0:fet+",
      "0:auto=0", "0:4001=0", "stored close"}},
    {"after a renewed event link the first result is checked: the resend is acknowledged only",
     [](RecordingPort& p) { p.results[0] = {numbered(7)}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Fasten(0); r.Registry(0, 3); p.lines.clear();
         p.results[0] = {numbered(7), numbered(8)}; r.Fasten(0); r.Fasten(0); },
     {"0:ack again", "tap", "0:log+ack status 1 source 0", "last 0 status 1", "table"}},
    {"event link alone lost: the tool is locked; back, it sends what it made meanwhile",
     [](RecordingPort&) {},
     [](FreeRun& r, RecordingPort& p) { p.states[0] = 4; r.Registry(0, 4); p.states[0] = 3;
                                        r.Registry(0, 3); },
     {"0:4001=1", "0:fet+", "0:events=0", "0:4001=0", "0:auto=0"}},
    {"the tool being collected readdressed: the next chosen tool goes on, it comes back open",
     [](RecordingPort& p) { p.manager = true; p.pending = {1, 1}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::StoredPrompt); r.StoredConfirmed(0x3); p.lines.clear();
         r.DisconnFlag(0, 1); p.pending[0] = 0; r.Registry(0, 3);
         p.results[1] = {result(1)}; r.Fasten(1); },
     join({{"1:fet-", "1:events=0", "stored refresh 0"}, kOpen0,
           {"stored refresh 0", "1:log+ack status 1 source 0", "stored 1 got 1", "1:fet+",
            "1:auto=0", "1:4001=0", "stored close"}})},
    {"tools not chosen are opened and a lost tool is dropped from the total",
     [](RecordingPort& p) { p.manager = true; p.pending = {4, 3}; },
     [](FreeRun& r, RecordingPort& p) {
         r.Timer(FreeTimer::StoredPrompt);
         p.lines.clear();
         r.StoredConfirmed(0x2); // tool 0 not chosen: its stored results stay in the tool
         p.rec("total " + p.n(r.StoredTotal()));
         p.states[1] = 0;
         r.Registry(1, 0);
         p.rec("total " + p.n(r.StoredTotal()) + ", tool 1 " + p.n(r.Pending(1)));
     },
     join({kOpen0, {"1:fet-", "1:events=0", "total 3", "stored close", "total 0, tool 1 0"}})},
};
// clang-format on

TEST(FreeRun, EventsAsTable) {
    RunEventCases(kCases, false);
}

// Start opens the connected tools without stored results and starts the tray check.
// Stored results with the backup manager: tool 0 holds two, tool 1 one. Only the tool
// being collected has its table bit cleared; each finished tool is unlocked (the tray
// tool through the tray), the next one started, and the dialog closes at the end.
TEST(FreeRun, StoredResultsAreCollectedToolByToolOutsideTheTable) {
    RecordingPort port;
    port.manager = true;
    port.trayUsed = true;
    port.trayTool = 1;
    port.tray = {true, true, 1, 0, 1};
    port.states = {3, 3, 3, 5}; // tool 3 is not connected: left alone
    port.pending = {2, 1, 0, 0};
    port.presetOn = {false, false, false, false};
    FreeRun run(port);
    run.Start();
    EXPECT_EQ(port.lines, Lines({"table", "2:fet+", "2:events=1", "2:4001=0", "2:auto=0",
                                 "prompt in 100", "tray check in 100"}));
    run.Timer(FreeTimer::TrayCheck);
    port.lines.clear();
    run.Timer(FreeTimer::StoredPrompt);
    run.StoredConfirmed(0x3);
    EXPECT_EQ(std::tuple(run.StoredTotal(), run.Collecting()), std::tuple(3, 0));
    port.results[0] = {result(1), result(2)};
    port.results[1] = {result(1)};
    run.Fasten(0);
    run.Registry(0, 3); // its event link renewed: a new watch, still collecting
    run.Fasten(0);
    run.Fasten(1);
    EXPECT_EQ(port.lines, join({{"stored open", "0:fet-", "0:events=0"},
                                {"0:log+ack status 1 source 0", "stored 0 got 1"},
                                {"0:events=0", "stored refresh 0"},
                                {"0:log+ack status 2 source 0", "stored 0 got 2"},
                                {"0:fet+", "0:auto=0", "0:4001=0", "1:fet-", "1:events=0"},
                                {"1:log+ack status 1 source 0", "stored 1 got 1"},
                                {"1:fet+", "1:auto=0", "tray force", "stored close"}}))
        << "stored results make no sound and never reach the panel or the table";
    EXPECT_EQ(run.StoredTotal(), 0);
}

} // namespace
