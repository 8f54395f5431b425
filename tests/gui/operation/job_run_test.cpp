// The job runner's run state against a recording port: (set-up, events) -> (state, lines).
// Timers are fired by hand, so every case is instant and deterministic.
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"
#include "page/operation/JobRun.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace {

struct Step {
    int type = kStepFasten;
    QString tool = "T0";
    int preset = 2, screws = 2, img = 0;
    std::vector<int> in = {};    // used inputs
    int cond = 0;                // input condition
    std::map<int, int> out = {}; // output -> mode
    int delayMode = 0, value = 1, unit = 0;
    QString code = {}; // delay barcode
    int partial = 0, start = 0, end = 0;
};

class Port : public JobRunPort {
  public:
    std::vector<std::string> lines;
    RunSettings s;
    std::map<int, QString> tools{{0, "T0"}, {1, "T1"}};
    std::map<int, int> pending;
    std::vector<std::pair<QString, std::vector<Step>>> jobs;
    int loaded = -1;
    int in[17] = {}, inFunc[17] = {}, outFunc[17] = {};
    std::vector<JobBarcodeEntry> table;
    std::set<RunTimer> active;
    bool storedOpen = false;
    UnitStepFastenData fasten;
    UnitStepInputData input;
    UnitStepOutputData output;
    UnitStepDelayData delay;
    UnitStepMsgData msg;

    Port() {
        for (int f = 1; f <= 8; f++)
            outFunc[f] = f; // outputs 1..8 carry functions 1..8: pulses are seen
    }
    void L(const std::string& l) { lines.push_back(l); }
    static std::string N(int v) { return std::to_string(v); }
    const Step& St(int sdx) {
        return jobs[static_cast<size_t>(loaded)].second.at(static_cast<size_t>(sdx));
    }

    RunSettings Settings() override { return s; }
    QString SysPassword() override { return "1234"; }
    void DebugLog(Dbg, const QString& t) override { L("dbg " + t.toStdString()); }
    std::vector<int32_t> RegisteredTools() override { return {0, 1}; } // the keys of `tools`
    QString ToolName(int32_t t) override { return tools.count(t) ? tools[t] : QString(); }
    bool ToolConnected(int32_t t) override { return tools.count(t) > 0; }
    int32_t FindRegTdxByName(const QString& n) override {
        auto it = std::find_if(tools.begin(), tools.end(), [&](auto& e) { return e.second == n; });
        return it == tools.end() ? -1 : it->first;
    }
    void ToolLockAll() override { L("lockall"); }
    void ToolLockExceptTdx(int32_t t) override { L("unlock " + N(t)); }
    void SetToolLock(int32_t t, int32_t on) override { L("lock " + N(t) + " " + N(on)); }
    void SetAutoLock(int32_t t, int32_t on) override { L("autolock " + N(t) + " " + N(on)); }
    int32_t MbusWriteTdx(int32_t t, int32_t r, int32_t v) override {
        L("write " + N(t) + " " + N(r) + " " + N(v));
        return 0;
    }
    void SetScrewCnt(int32_t t, int32_t n) override { L("screwcnt " + N(t) + " " + N(n)); }
    int32_t GetTorqueValue_ByPreset(int32_t, int32_t) override { return 1250; }
    QString TorqueUnitName(int32_t) override { return "N.m"; }
    void EnableDataBackup(int32_t t, int32_t f) override { L("backup " + N(t) + " " + N(f)); }
    void DisableDataBackup(int32_t t) override { L("backup off " + N(t)); }
    void AckResend(int32_t t) override { L("ack again " + N(t)); }
    int32_t GetNoPendingEvent(int32_t t) override { return pending.count(t) ? pending[t] : 0; }
    std::vector<int> sources; // barcode source of each logged result
    int32_t LogAndAcknowledge(int32_t j, int32_t sd, int32_t t, const FastenResult&, int32_t src,
                              int32_t ack) override {
        sources.push_back(src);
        L("log " + N(j) + " " + N(sd) + " " + N(t) + " ack " + N(ack));
        return 0;
    }
    void SetSysOutLevel(int32_t f, int32_t l) override { L("sysout " + N(f) + " " + N(l)); }
    void SetGpioOutVal(int32_t o, int32_t l) override { L("out " + N(o) + " " + N(l)); }
    void OutputOffAll() override { L("alloff"); }
    int32_t GetInputStatus(int32_t i) override { return in[i]; }
    int32_t GetSysInputFunc(int32_t i) override { return inFunc[i]; }
    int32_t GetSysOutFunc(int32_t o) override { return outFunc[o]; }
    void SoundOk() override { L("sound ok"); }
    void SoundNg() override { L("sound ng"); }
    void SoundTap() override { L("sound tap"); }
    bool bst = false, bstSlave = true; // tray connected and communicating, its mode
    bool bstQuiet = false;             // connected, not answering yet
    bool IsBstConnect() override { return bst; }
    bool IsBstComm() override { return bst && !bstQuiet; }
    bool IsBstSlave() override { return bstSlave; }
    int32_t BstSocketCount() override { return 8; }
    void BstWrite(int32_t r, int32_t v) override { L("bst " + N(r) + " " + N(v)); }
    void SetBstAlarmForce() override { L("bstforce"); }
    int32_t JobLoad(int32_t j) override {
        loaded = j;
        L("jobload " + N(j));
        return 0;
    }
    void JobFree() override { loaded = -1; }
    int32_t GetJobsLen() override { return static_cast<int32_t>(jobs.size()); }
    QString JobName(int32_t j) override { return jobs[static_cast<size_t>(j)].first; }
    int32_t FindJdxByName(const QString& n) override {
        auto it = std::find_if(jobs.begin(), jobs.end(), [&](auto& j) { return j.first == n; });
        return it == jobs.end() ? -1 : static_cast<int32_t>(it - jobs.begin());
    }
    int32_t GetStepsLen() override {
        return loaded < 0 ? 0
                          : static_cast<int32_t>(jobs[static_cast<size_t>(loaded)].second.size());
    }
    int32_t GetStepType(int32_t sdx) override { return St(sdx).type; }
    int32_t GetTotalScrewOfLoadedJob() override {
        int n = 0;
        for (auto& st : jobs[static_cast<size_t>(loaded)].second)
            n += st.type == kStepFasten ? st.screws : 0;
        return n;
    }
    const UnitStepFastenData& FastenStep(int32_t sdx) override {
        const Step& st = St(sdx);
        fasten.ToolName = st.tool;
        fasten.PresetNo = st.preset;
        fasten.NoScrews = st.screws;
        fasten.ImgFlag = st.img;
        fasten.ImgFilename = "p.png";
        return fasten;
    }
    const UnitStepInputData& InputStep(int32_t sdx) override {
        const Step& st = St(sdx);
        std::fill(std::begin(input.Used), std::end(input.Used), 0);
        for (int i : st.in)
            input.Used[i - 1] = 1;
        input.Condition = st.cond;
        return input;
    }
    const UnitStepOutputData& OutputStep(int32_t sdx) override {
        const Step& st = St(sdx);
        std::fill(std::begin(output.Used), std::end(output.Used), 0);
        for (auto [o, m] : st.out) {
            output.Used[o - 1] = 1;
            output.Mode[o - 1] = m;
        }
        output.ImpulseWidth = 300;
        return output;
    }
    const UnitStepDelayData& DelayStep(int32_t sdx) override {
        const Step& st = St(sdx);
        delay.Mode = st.delayMode;
        delay.TimeValue = st.value;
        delay.TimeUnit = st.unit;
        delay.Barcode = st.code;
        delay.Partial = st.partial;
        delay.RangeStart = st.start;
        delay.RangeEnd = st.end;
        return delay;
    }
    const UnitStepMsgData& MsgStep(int32_t) override { return msg; }
    std::vector<JobBarcodeEntry> JobBarcodeTable() override { return table; }
    void SetCurrentJob(int32_t j) override { L("current " + N(j)); }
    void Start(RunTimer t, int32_t ms) override {
        active.insert(t);
        L(std::string("timer start ") + RunTimerName(t) + " " + N(ms));
    }
    void Stop(RunTimer t) override { active.erase(t); }
    void ShowMessage(const QString& a, const QString& b) override {
        L("msg " + a.toStdString() + "|" + b.toStdString());
    }
    void Confirm(const QString&, const QString& c) override { L("confirm " + c.toStdString()); }
    void AskPassword(const QString& c) override { L("pwd " + c.toStdString()); }
    void StoredOpen() override {
        storedOpen = true;
        L("stored open");
    }
    bool StoredIsOpen() override { return storedOpen; }
    void StoredClose() override {
        storedOpen = false;
        L("stored close");
    }
};

FastenResult Res(int status, int screwNo = 0) {
    FastenResult r{.TargetTorque = 1250, .ConvTorque = 1240, .Status = uint16_t(status)};
    r.ScrewNo = uint16_t(screwNo);
    return r;
}

using Lines = std::vector<std::string>;

bool Has(const Lines& v, const std::string& l) {
    return std::find(v.begin(), v.end(), l) != v.end();
}
// The log lines among `v`.
Lines Logged(const Lines& v) {
    Lines out;
    std::copy_if(v.begin(), v.end(), std::back_inserter(out),
                 [](const auto& l) { return l.rfind("log ", 0) == 0; });
    return out;
}

// `want` appear in this order (others may come between), and none of `never`.
::testing::AssertionResult InOrder(const Lines& v, const Lines& want, const Lines& never = {}) {
    size_t i = 0;
    std::string all;
    for (const auto& l : v) {
        if (i < want.size() && l == want[i]) i++;
        all += "\n  " + l;
    }
    for (const auto& l : never)
        if (Has(v, l)) return ::testing::AssertionFailure() << "\"" << l << "\" in:" << all;
    if (i == want.size()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "missing \"" << want[i] << "\" in:" << all;
}

// One job runner over its recording port, and the moves every case makes with it.
struct Rig {
    Port p;
    JobRun run{p};
    int nextNo = 1000;

    // Lines recorded since the last call.
    Lines Take() { return std::exchange(p.lines, {}); }
    void Fire(RunTimer t) {
        ASSERT_TRUE(p.active.count(t)) << RunTimerName(t) << " not running";
        p.active.erase(t);
        run.OnTimer(t);
    }
    // The next-step timer's expiry, whether it runs or not.
    void Next() {
        p.active.erase(RunTimer::NextStep);
        run.OnTimer(RunTimer::NextStep);
    }
    // Runs next-step timers until a step waits or the job ends.
    void Settle() {
        for (int i = 0; i < 20 && p.active.count(RunTimer::NextStep); i++)
            Fire(RunTimer::NextStep);
    }
    // `jobs` copies of the job, the first loaded and run until a step waits (or, entering,
    // only its first step entered).
    void Load(std::vector<Step> steps, int jobs = 1, bool entering = false) {
        for (int i = 0; i < jobs; i++)
            p.jobs.push_back({QString("job%1").arg(i), steps});
        run.Create();
        run.JobLoad(0);
        entering ? Next() : Settle();
    }
    void Enter(std::vector<Step> steps) { Load(steps, 1, true); }
};

TEST(JobRun, CounterTextsForEveryUnitAndDirection) {
    // Job of 3 + 2 screws, three OK results in step one, one in step two.
    const struct {
        int unit, dir;
        Lines texts; // at entry 1, after each OK, at entry 2, after OK
    } cases[] = {
        {1, 1, {"5", "4", "3", "2", "2", "1"}},
        {1, 0, {"0", "1", "2", "3", "3", "4"}},
        {0, 1, {"3", "2", "1", "0", "2", "1"}},
        {0, 0, {"0", "1", "2", "3", "0", "1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("unit " + std::to_string(c.unit) + " dir " + std::to_string(c.dir));
        Rig k;
        k.p.s.countUnit = c.unit;
        k.p.s.countDir = c.dir;
        k.Enter({Step{.screws = 3}, Step{.screws = 2}});
        Lines seen{k.run.View().counterText.toStdString()};
        for (int screw : {1, 2, 3, 0, 4}) { // 0: the second step entered
            screw ? k.run.OnFastenEvent(0, Res(1, screw)) : k.Next();
            seen.push_back(k.run.View().counterText.toStdString());
        }
        EXPECT_EQ(seen, c.texts);
    }
}

TEST(JobRun, InputStepConditions) {
    const struct {
        int cond;
        int lvl1, lvl2;
        bool sysFunc2;                           // input 2 has a system function
        std::vector<std::pair<int, int>> inputs; // after entry
        bool waiting;                            // else the next step is on its way
    } cases[] = {
        {2, 1, 1, false, {}, false}, // "Status high", all high already: passes at once
        {2, 1, 0, false, {}, true},
        {3, 0, 0, false, {}, false},
        {3, 1, 0, false, {}, true},
        {0, 0, 0, false, {}, true},
        {1, 1, 1, false, {}, true},
        {2, 1, 0, true, {}, false}, // the low input has a system function: ignored
        // "Active high": each input must be seen rising once; a second rise counts once.
        {0, 0, 0, false, {{1, 1}, {1, 0}, {1, 1}}, true},
        {0, 0, 0, false, {{1, 1}, {1, 0}, {1, 1}, {2, 1}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("cond " + std::to_string(c.cond) + " " + std::to_string(c.lvl1) +
                     std::to_string(c.lvl2) + " inputs " + std::to_string(c.inputs.size()));
        Rig k;
        k.p.in[1] = c.lvl1;
        k.p.in[2] = c.lvl2;
        k.p.inFunc[2] = c.sysFunc2 ? 15 : 0;
        k.Enter({Step{.type = kStepInput, .in = {1, 2}, .cond = c.cond}, Step{.type = kStepMsg}});
        for (auto [input, level] : c.inputs)
            k.run.OnInput(input, level);
        // Waiting is read at entry only; the next-step timer runs when it does not wait.
        EXPECT_EQ(std::tuple(c.inputs.empty() ? k.run.Waiting() : c.waiting,
                             k.p.active.count(RunTimer::NextStep) == 1),
                  std::tuple(c.waiting, !c.waiting));
    }
}

// Skip and reset step with no password asked: which steps the command makes NG.
TEST(JobRun, SkipAndResetStepMakeTheJobNgOnlyWhereWorkIsLost) {
    const Step input{.type = kStepInput, .in = {1, 2}, .cond = 0};
    const struct {
        const char* command;
        Step step;
        int times, oks;
        bool ng;
    } cases[] = {
        {"skip", Step{.type = kStepInput, .in = {1}, .cond = 0}, 1, 0, true},
        {"skip", Step{.type = kStepOutput, .out = {{9, 0}}}, 1, 0, false},
        {"skip", Step{.type = kStepDelay, .delayMode = 1}, 1, 0, false},
        {"skip", Step{.type = kStepMsg}, 1, 0, false},   // within its 100 ms
        {"skip", Step{.type = kStepFasten}, 2, 0, true}, // each screw skipped
        {"reset step", Step{.screws = 3}, 1, 0, false},
        {"reset step", Step{.screws = 3}, 1, 1, true},
        {"reset step", input, 1, 0, false},
        {"reset step", input, 1, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + std::to_string(c.step.type) + " oks " +
                     std::to_string(c.oks));
        const bool reset = std::string(c.command) == "reset step";
        Rig k;
        k.p.s.skipNoPwd = k.p.s.resetNoPwd = true;
        k.Enter({c.step, Step{.type = kStepMsg}});
        for (int i = 0; i < c.oks; i++)
            c.step.type == kStepFasten ? k.run.OnFastenEvent(0, Res(1)) : k.run.OnInput(1, 1);
        for (int i = 0; i < c.times; i++)
            k.run.OnConfirmed(c.command);
        EXPECT_TRUE(k.p.active.count(RunTimer::NextStep));
        if (reset) k.Next();
        // Skip: still the step; reset: the same step again, its screws not done.
        EXPECT_EQ(std::tuple(k.run.JobNg(), k.run.Sdx(), reset ? k.run.ScrewsDone() : 0),
                  std::tuple(c.ng, 0, 0));
    }
}

TEST(JobRun, BarcodeMatchingRule) {
    const struct {
        const char *code, *entry;
        int partial, start, end;
        bool match;
    } cases[] = {
        {"ABCDEF", "ABCDEF", 0, 0, 0, true}, {"ABCDEF", "abcdef", 0, 0, 0, false},
        {"xxCDx", "ABCDE", 1, 3, 5, false},  {"ABCD", "ABCD", 1, 3, 5, false}, // too short
        {"ABCDE", "ABCDE", 1, 0, 5, false},                                    // no valid range
    };
    for (const auto& c : cases)
        EXPECT_EQ(JobRun::BarcodeMatches(c.code, c.entry, c.partial, c.start, c.end), c.match)
            << c.code << " " << c.entry;
}

// ---- scenarios: moves on one job runner and checks of what it did, in order ----

using Op = std::function<void(Rig&)>;
struct Scenario {
    const char* what;
    std::vector<Op> ops;
};

// Moves.
const auto Set = [](auto field, auto v) -> Op { return [=](Rig& k) { k.p.s.*field = v; }; };
const auto Func = [](int in, int f) -> Op { return [=](Rig& k) { k.p.inFunc[in] = f; }; };
const auto Pend = [](int t, int n) -> Op { return [=](Rig& k) { k.p.pending[t] = n; }; };
const auto Load = [](std::vector<Step> s, int jobs = 1) -> Op {
    return [=](Rig& k) { k.Load(s, jobs); };
};
const auto Enter = [](std::vector<Step> s) -> Op { return [=](Rig& k) { k.Enter(s); }; };
// Each event is a distinct record unless the test gives the tool's event number.
const auto Ev = [](int status, int t = 0, int screwNo = 0, int no = -1) -> Op {
    return [=](Rig& k) {
        FastenResult r = Res(status, screwNo);
        r.EventNo = uint16_t(no >= 0 ? no : k.nextNo++);
        k.run.OnFastenEvent(t, r);
    };
};
const auto Give = [](int t, FastenResult r) -> Op {
    return [=](Rig& k) { k.run.OnFastenEvent(t, r); };
};
const auto State = [](int t, int s) -> Op { return [=](Rig& k) { k.run.OnToolState(t, s); }; };
// The link of `t` lost and back with `pending` stored results.
const auto Re = [](int t, int pending, int lostState = 2) -> Op {
    return [=](Rig& k) {
        k.run.OnToolState(t, lostState);
        k.p.pending[t] = pending;
        k.run.OnToolState(t, 3);
    };
};
const auto Conf = [](const char* c) -> Op { return [=](Rig& k) { k.run.OnConfirmed(c); }; };
const auto In = [](int in, int lvl) -> Op { return [=](Rig& k) { k.run.OnInput(in, lvl); }; };
const auto Scan = [](const char* c) -> Op { return [=](Rig& k) { k.run.OnBarcode(c); }; };
// The stored-results dialog confirmed with the tools of `mask` chosen.
const auto Collect = [](uint32_t mask) -> Op {
    return [=](Rig& k) { k.run.OnStoredConfirmed(mask); };
};
const auto Fire = [](RunTimer t) -> Op { return [=](Rig& k) { k.Fire(t); }; };
const auto Tray = [](int mask, int preset, int alarm, int opmode) -> Op {
    return [=](Rig& k) { k.run.OnTrayEvent(mask, preset, alarm, opmode); };
};
const auto Hotplug = [](bool on) -> Op { return [=](Rig& k) { k.run.OnTrayHotplug(on); }; };
const auto Full = [](bool on) -> Op { return [=](Rig& k) { k.run.FullScreen(on); }; };
const Op take = [](Rig& k) { k.Take(); };
const Op settle = [](Rig& k) { k.Settle(); };
const Op next = [](Rig& k) { k.Next(); }; // the next-step timer's expiry, running or not

// Checks: of the lines recorded since the last take, and of the runner's state.
const auto Seen = [](Lines want, Lines never = {}) -> Op {
    return [=](Rig& k) { EXPECT_TRUE(InOrder(k.Take(), want, never)); };
};
const auto Exactly = [](Lines want) -> Op { return [=](Rig& k) { EXPECT_EQ(k.Take(), want); }; };
const auto Saw = [](std::string l) -> Op { return [=](Rig& k) { EXPECT_TRUE(Has(k.Take(), l)); }; };
const auto NotSaw = [](std::string l) -> Op {
    return [=](Rig& k) { EXPECT_FALSE(Has(k.Take(), l)); };
};
// The result just given was logged (its line acknowledges it), else acknowledged alone.
const auto Logs = [](int t, bool logged) -> Op {
    return [=](Rig& k) {
        const Lines l = k.Take(); // acknowledged once: by its line or alone
        EXPECT_EQ(std::tuple(!Logged(l).empty(), Has(l, "ack again " + std::to_string(t))),
                  std::tuple(logged, !logged));
    };
};
const auto Is = [](auto get, auto want) -> Op { return [=](Rig& k) { EXPECT_EQ(get(k), want); }; };
const auto screws = [](Rig& k) { return k.run.ScrewsDone(); };
const auto catchUp = [](Rig& k) { return k.run.CatchUp(); };
const auto sdx = [](Rig& k) { return k.run.Sdx(); };
const auto jdx = [](Rig& k) { return k.run.Jdx(); };
const auto waiting = [](Rig& k) { return k.run.Waiting(); };
const auto jobNg = [](Rig& k) { return k.run.JobNg(); };
const auto stepNg = [](Rig& k) { return k.run.StepNg(); };
const auto banner = [](Rig& k) { return k.run.View().banner; };
const auto resultText = [](Rig& k) { return k.run.View().resultText; };
const auto fullScreen = [](Rig& k) { return k.run.View().fullScreen; };
const auto draining = [](int t) { return [=](Rig& k) { return k.run.Draining(t); }; };
// Results still to come from `t`: of earlier steps (logged only), and of this step's catch-up.
const auto owed = [](int t) {
    return [=](Rig& k) { return std::pair(k.run.Draining(t), k.run.CatchUp()); };
};
const auto disconnected = [](int t) { return [=](Rig& k) { return k.run.Disconnected(t); }; };
const auto running = [](RunTimer t) { return [=](Rig& k) { return k.p.active.count(t) == 1; }; };
// A plant system's lock or unlock, and whether it was taken.
const auto plant = [](bool on) { return [=](Rig& k) { return k.run.PlantLock(on); }; };

void Play(const std::vector<Scenario>& scenarios) {
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.what);
        Rig k;
        for (size_t i = 0; i < s.ops.size(); i++) {
            SCOPED_TRACE("move " + std::to_string(i + 1));
            s.ops[i](k);
        }
    }
}

const auto skipNoPwd = &RunSettings::skipNoPwd;
const Step input1{.type = kStepInput, .in = {1}, .cond = 0};
const Step message{.type = kStepMsg};
// Waits for a code whose characters 3..5 are "123".
const Step codeDelay{
    .type = kStepDelay, .delayMode = 2, .code = "AB123", .partial = 1, .start = 3, .end = 5};

TEST(JobRunScenarios, StepsAndResults) {
    Play({
        // The result pulses of a step of two screws: an NG screw then OK on the same screw
        // leaves the step OK (the job OK too: the screen test's run).
        {"an NG screw fastened again",
         {Load({Step{}}), take, Ev(2, 0, 1),
          Is([](Rig& k) { return k.run.View().errorText; }, "E0 : Unknown error code"), Ev(1, 0, 1),
          Ev(1, 0, 2),
          Seen({"log 0 0 0 ack 0", "sound ng", "sysout 2 1", "sound ok", "sysout 1 1", "sysout 3 1",
                "lockall", "timer start NextStep 100"},
               {"sysout 4 1"})}},
        // An NG screw the count passes over leaves the step and the job NG however OK the
        // results after it are.
        {"an NG screw skipped",
         {Set(skipNoPwd, true), Load({Step{.screws = 3}}), Ev(1, 0, 1), Ev(2, 0, 2), Conf("skip"),
          Is(screws, 2), take, Ev(1, 0, 3),
          Seen({"sysout 1 1", "sysout 4 1", "lockall", "timer start NextStep 100"}, {"sysout 3 1"}),
          Is(stepNg, true), settle, Saw("sysout 6 1"), Is(banner, "Job NG !!!")}},
        // Steps that do not wait: an input step on a system-function input, a delay of 0;
        // the next-step timer then enters the message step after it.
        {"an input step on a system-function input",
         {Func(4, 15), Enter({Step{.type = kStepInput, .in = {4}, .cond = 0}, message}),
          Is(waiting, false), next, Seen({})}},
        {"a time delay of 0",
         {Enter({Step{.type = kStepDelay, .value = 0}, message}), Is(waiting, false), next,
          Seen({}, {"timer start Delay 0"})}},
        // A broken job: it waits with nothing unlocked, and skipped it leaves the job NG.
        {"a fastening step without screws",
         {Set(skipNoPwd, true), Enter({Step{.screws = 0}}), Is(waiting, true),
          Seen({"msg Error|The step has no screws."}, {"unlock 0"}), Conf("skip"), settle,
          Is(jobNg, true)}},
        // It counts in its unit and ends with the tap (the screen test's delay is in
        // milliseconds).
        {"a time delay in seconds",
         {Load({Step{.type = kStepDelay, .value = 2}, message}),
          Is([](Rig& k) { return k.run.View().delayTitle; }, "Time ( 2 sec )"),
          Saw("timer start Delay 2000"), Fire(RunTimer::Delay),
          Seen({"sound tap", "timer start NextStep 100"})}},
        // The step tool's unlock with its preset and count: the screen test's and the cell's;
        // here the target torque shown, and a tool not registered unlocks nothing. Its
        // results never count; the kept counters are complete already: a skip ends the step
        // (NG), not nothing.
        {"only a registered step tool is unlocked",
         {Load({Step{.screws = 3}, Step{.tool = "nope", .screws = 5}}), Is(waiting, true),
          Is(resultText, "0.00 / 12.50 N.m"), Ev(1, 0, 1), Ev(1, 0, 2), Ev(1, 0, 3), take, settle,
          Seen({}, {"unlock 0", "write 0 4004 3"}), Is(waiting, true),
          Is([](Rig& k) { return k.run.StepTool(); }, -1),
          Is([](Rig& k) { return k.run.StepScrews(); }, 3), Is(screws, 3), Ev(1, 0, 4),
          Is(screws, 3), Set(skipNoPwd, true), Conf("skip"), Is(jobNg, true),
          Is(running(RunTimer::NextStep), true)}},
        // It holds the step tool over the steps that follow, until it unlocks or another
        // job is loaded; without a job it is refused.
        {"a plant lock",
         {Is(plant(true), false), Load({Step{.screws = 1}, Step{.screws = 1}}), take,
          Is(plant(true), true), Saw("lock 0 1"), Ev(1, 0, 1), settle, Is(sdx, 1),
          Seen({"lockall"}, {"unlock 0"}), // the next step keeps it locked
          Is(plant(false), true), Saw("unlock 0"), Is(plant(true), true),
          [](Rig& k) { k.run.JobLoad(0); }, settle,
          Is([](Rig& k) { return k.run.PlantLocked(); }, false),
          Saw("unlock 0")}}, // a new job starts unlocked
        // The job's end with "auto job restart"; without it (released, "Ready" high): the
        // cell's job-select test. NG is cleared at the restart, not at the banner.
        {"auto job restart",
         {Set(&RunSettings::autoRestart, true), Set(skipNoPwd, true), Load({Step{.screws = 1}}),
          Conf("skip"), settle, Is(banner, "Job NG !!!"), take, Fire(RunTimer::JobResult),
          Seen({"alloff", "timer start NextStep 100"}), Is(jobNg, true), Is(sdx, -1),
          Fire(RunTimer::NextStep), Is(jobNg, false), Is(sdx, 0)}},
    });
}

TEST(JobRunScenarios, OperatorCommands) {
    Play({
        // The password of a skip is the screen test's; an input with the skip function
        // skips a screw on its rising level without one, and the skipped screws leave the
        // step NG when the last screw is OK.
        {"the skip input",
         {Func(3, 9), Load({Step{.screws = 3}}), In(3, 0), Is(screws, 0), In(3, 1), Is(screws, 1),
          Saw("screwcnt 0 2"), In(3, 1), Is(screws, 2), Ev(1, 0, 1), Is(stepNg, true),
          Is(jobNg, true)}},
        {"taking back an OK screw makes the job NG",
         {Set(&RunSettings::backNoPwd, true), Load({Step{.screws = 3}}), Ev(1, 0, 1), take,
          Conf("back"), Is(screws, 0), Is(jobNg, true), Saw("screwcnt 0 3"), Ev(1, 0, 1),
          Ev(1, 0, 2), Ev(1, 0, 3), settle, Is(banner, "Job NG !!!")}},
        // Ignored on a step without a picture; pressed over a picture it holds for the next
        // picture step.
        {"full screen",
         {Load({Step{.screws = 1}, Step{.screws = 1, .img = 1}, Step{.screws = 1, .img = 1}}),
          Full(true), Is(fullScreen, false), Ev(1, 0, 1), settle,
          Is([](Rig& k) { return k.run.View().picture; }, true), Is(fullScreen, false), Full(true),
          Is(fullScreen, true), Ev(1, 0, 2), settle, Is(sdx, 2), Is(fullScreen, true)}},
        // The screen goes away: the outputs of the job's output steps go back to 0; no timer
        // is left to do it (the result pulses: the screen test leaving within a pulse).
        {"closing sets back the outputs of output steps",
         {Load({Step{.type = kStepOutput, .out = {{9, 0}, {10, 1}}}}), take,
          [](Rig& k) { k.run.Close(); }, Seen({"out 9 0", "out 10 0"}),
          Is(running(RunTimer::OutputStep), false)}},
    });
}

TEST(JobRunScenarios, JobSelection) {
    Play({
        // Nothing is asked at the first job for the previous one, nor at the last for the
        // next. The next-job input loads without a password; a new job stops the old one's
        // banner.
        {"next and previous job",
         {Load({message}, 3), Is(running(RunTimer::JobResult), true), take,
          [](Rig& k) { k.run.PrevJob(); }, Exactly({}), [](Rig& k) { k.run.NextJob(); },
          Exactly({"confirm next job"}), Conf("next job"), Saw("pwd next job"),
          [](Rig& k) { k.run.OnPassword("next job", "1234"); }, Is(jdx, 1)}},
        {"next and previous job inputs",
         {Func(5, 13), Func(6, 14), Load({message}, 3), [](Rig& k) { k.run.JobLoad(1); }, settle,
          Is(running(RunTimer::JobResult), true), take, In(5, 1),
          Seen({"jobload 2"}, {"pwd next job"}), Is(running(RunTimer::JobResult), false),
          Is(banner, QString()), [](Rig& k) { k.run.NextJob(); }, Exactly({}), In(5, 1), Is(jdx, 2),
          In(6, 1), Is(jdx, 1)}},
        // Not found and a single entry: the screen test's barcodes.
        {"the scanner selects the first matching entry",
         {[](Rig& k) {
              k.p.jobs = {{"a", {Step{}}}, {"b", {Step{}}}, {"c", {Step{}}}};
              k.p.table = {{"X1", 0, 0, 0, "zz"}, {"..CDE", 1, 3, 5, "c"}, {"ABCDE", 0, 0, 0, "b"}};
              k.run.Create();
          },
          take, Scan("ABCDE"),
          Seen({"sound tap", "dbg ew receive barcode event ABCDE",
                "dbg code search success, 2/3, c", "dbg job search result , 2", "jobload 2"})}},
        // The scanner's matching code: the screen test's; here a code that does not match,
        // and the same from a tool's barcode read.
        {"a barcode delay step waits for its code",
         {Load({codeDelay, message}), Scan("AB124"), Is(waiting, true),
          [](Rig& k) {
              FastenResult r = Res(7);
              std::strcpy(r.Barcode, "zz123");
              k.run.OnFastenEvent(1, r);
          },
          Is(waiting, false), Is(running(RunTimer::NextStep), true)}},
        // Direct: "Job select.8" loads job 7, releasing the input keeps it (binary masks:
        // the screen test's and the cell's job-select test).
        {"job select inputs",
         {[](Rig& k) {
              k.p.jobs.assign(8, {"j", {Step{}}});
              k.p.s.jobSelType = 1;
              k.run.Create();
          },
          Func(9, 8), In(9, 1), Is(jdx, 7), In(9, 0), Is(jdx, 7)}},
        // The job runner logs the scanner's barcode, live with a job, stored, and live
        // without a job: the "remote" interface is for the screens that show results
        // without a job.
        {"every result is logged with the scanner's barcode",
         {Set(&RunSettings::barcodeInterface, 1), Set(&RunSettings::backupManager, true),
          Pend(1, 1), Load({Step{}}), Ev(1, 0, 1), Fire(RunTimer::StoredPrompt), Collect(0x2),
          Ev(1, 1, 0), [](Rig& k) { k.run.JobRelease(true); }, Ev(1, 0, 2),
          Is([](Rig& k) { return k.p.sources; }, std::vector<int>{0, 0, 0})}},
    });
}

TEST(JobRunScenarios, LinkLossCatchUpAndJudgeOnce) {
    const Step three{.screws = 3}, nine{.screws = 9};
    const FastenResult reset = Res(5);
    Play({
        // Only the first result after a link loss can be the tool's resend, and only of the
        // last result taken before the loss (the rule itself: the ResultOnce table); here
        // that the collection (tool 1 through the dialog) applies it. The records carry
        // event number 0, as from a tool that leaves register 0 alone.
        {"collected: the resend, then the same again",
         {Set(&RunSettings::backupManager, true), Load({nine}), Give(1, reset), Re(1, 2),
          Collect(0x2), take, Give(1, reset), Logs(1, false), Give(1, reset), Logs(1, true)}},
        {"link lost and up without pending restores the step",
         {Load({three}), Ev(1, 0, 1), take, State(0, 2),
          Saw("msg Message|The connection was lost.\n\nT0"), Is(disconnected(0), true),
          Is(resultText, "-"), State(0, 3),
          Seen({"autolock 0 1", "write 0 4001 1", "backup 0 1", "write 0 4004 3", "screwcnt 0 2",
                "unlock 0"}),
          Is(disconnected(0), false)}},
        // The step tool's catch-up itself: the cell's link test.
        {"another tool's result during the catch-up is never counted",
         {Load({three}), Re(0, 2), Is(catchUp, 2), Ev(1, 1, 1), Is(catchUp, 2), Is(screws, 0)}},
        {"stored results of a complete step are logged only",
         {Load({Step{.screws = 1}, input1}), Ev(1, 0, 1), State(0, 2), // before the next step
          Pend(0, 2), take, State(0, 3), Seen({"backup 0 0"}, {"unlock 0"}),
          Is(owed(0), std::pair(2, 0))}},
        // The acknowledgement of 41 was lost with the link: the tool sends it again, as a
        // stored result counted in its pending number; the one made while the link was down
        // counts, and the same number in another record is another result. Back with
        // nothing stored, nothing can come again: the same record live is a new result (a
        // tool that leaves its event number alone, the same barcode read twice).
        {"a resent result is acknowledged but never counted or logged twice",
         {Load({Step{.screws = 4}}), Ev(1, 0, 1, 41), Re(0, 2), take, Ev(1, 0, 1, 41),
          Exactly({"ack again 0", "dbg result 41 of tdx.0 again: acknowledged, not counted"}),
          Is(screws, 1), Ev(1, 0, 2, 42), Is(screws, 2), Saw("screwcnt 0 2"), Ev(1, 0, 3, 41),
          Is(screws, 3), Re(0, 0), take, Ev(1, 0, 3, 41), Is(screws, 4), Saw("log 0 0 0 ack 0")}},
        // The operator moves on before they arrive; then the link drops again with one of
        // them still stored, and one new result made.
        {"stored results arriving after the step changed are logged but not judged",
         {Set(skipNoPwd, true), Load({Step{.screws = 1}, Step{.screws = 2}}), Re(0, 3),
          Is(catchUp, 3), Conf("skip"), settle, Is(sdx, 1), Is(draining(0), 3), take,
          Ev(1, 0, 1, 7), Ev(2, 0, 2, 8), Exactly({"log -1 -1 0 ack 0", "log -1 -1 0 ack 0"}),
          Is(screws, 0), Re(0, 2), Is(owed(0), std::pair(1, 1)),
          Ev(1, 0, 3, 9), // still the earlier step's
          Is(screws, 0), Ev(1, 0, 1, 10), Is(screws, 1)}},
        // Even the step tool's stored results; alike results with no link lost between are
        // each a result of their own; with the collection over a result counts again.
        {"stored results collected with the manager are logged, not counted",
         {Set(&RunSettings::backupManager, true), Pend(1, 2),
          Load({Step{.tool = "T1", .screws = 3}}), Is(running(RunTimer::StoredPrompt), true),
          Seen({"backup 0 1"}, {"backup 1 1"}), Fire(RunTimer::StoredPrompt), take, Collect(0x2),
          Saw("backup 1 0"), Ev(1, 1, 0, 5), Ev(1, 1, 0, 5),
          Exactly({"log -1 -1 1 ack 1", "log -1 -1 1 ack 1", "autolock 1 1", "write 1 4004 3",
                   "screwcnt 1 3", "unlock 1", "stored close"}),
          Is(screws, 0), Ev(1, 1, 0, 6), Is(screws, 1)}},
        // The event link renewed, our acknowledgement late: the resend is taken as one (it
        // was counted when it was taken); after a real loss the next "connected" reconnects
        // again.
        {"a second connected during the catch-up keeps it going",
         {Load({three}), Re(0, 2), Ev(1, 0, 1, 11), take, Pend(0, 2), State(0, 3),
          Exactly({"backup 0 0"}), Is(catchUp, 1), Ev(1, 0, 1, 11), Is(screws, 1), Ev(1, 0, 2, 12),
          Is(screws, 2), Saw("screwcnt 0 1"), Re(0, 0, 0),
          Seen({"write 0 4001 1", "backup 0 1", "unlock 0"})}},
        // A readdressing (the flag, then "connected", 21's acknowledgement lost with the old
        // links) and a renewed event link (a second "connected") both let the tool send its
        // last result again: never another screw, never another line.
        {"a resend after a readdressing or a renewal is never counted",
         {Load({three}), Ev(1, 0, 1, 21), [](Rig& k) { k.run.OnDisconnFlag(0, 1); }, Pend(0, 1),
          State(0, 3), take, Ev(1, 0, 1, 21),
          Exactly({"ack again 0", "dbg result 21 of tdx.0 again: acknowledged, not counted",
                   "screwcnt 0 2"}),
          Ev(1, 0, 2, 22), State(0, 3), Saw("backup 0 0"), Ev(1, 0, 2, 22), Is(screws, 2),
          NotSaw("log 0 0 0 ack 0")}},
        // Between fastening steps (and before the first) a line names the tool that sent it
        // and the step that is current, also while a reset step waits to be entered again.
        {"results between steps are logged with their tool and the current step",
         {Set(&RunSettings::resetNoPwd, true), Enter({Step{.screws = 1}, input1}), Ev(1, 0, 1),
          settle, Is(sdx, 1), take, Ev(1, 1), Conf("reset step"), Ev(1, 1),
          Is([](Rig& k) { return Logged(k.Take()); },
             Lines{"log 0 1 1 ack 1", "log 0 1 1 ack 1"})}},
        // The data link alone would keep the step tool working while its results cannot
        // come. Another tool's links leave the step alone; without the manager its stored
        // results are dropped. The step tool's one stored result was made before the lock
        // took.
        {"the event link alone lost locks the step tool until it catches up",
         {Load({three}), take, Re(1, 4, 0), Saw("backup 1 1"), Is(catchUp, 0), State(1, 4),
          NotSaw("lock 1 1"), State(0, 4), Saw("lock 0 1"), Is(disconnected(0), true), Pend(0, 1),
          State(0, 3), Seen({"write 0 4004 3", "unlock 0", "backup 0 0"}), Is(catchUp, 1)}},
    });
}

TEST(JobRunScenarios, TheBitSocketTray) {
    const auto bstOn = &RunSettings::bstOn;
    Play({
        {"in slave mode the tray requests the socket and decides the lock",
         {Set(bstOn, true), [](Rig& k) { k.p.bst = true; }, Load({Step{}}),
          Seen({"write 0 4004 3", "bst 3200 3", "bstforce"}, {"unlock 0"}), Tray(0x2, 2, 1, 0),
          Tray(0x2, 2, 0, 0), Tray(0x4, 2, 0, 1),
          Exactly({"lock 0 1", "lock 0 0", "lock 0 1",
                   "msg Warning|In With job mode,\nBST should operate in Slave mode"})}},
        // It answers only after its hot-plug events: its first report requests the step's
        // socket, and the next decides the lock. Its communication failing locks the step
        // tool, only with "bit socket tray" on.
        {"a tray plugged in during a step requests the socket at its first answer",
         {Set(bstOn, true), Load({Step{}}), [](Rig& k) { k.p.bst = k.p.bstQuiet = true; },
          Hotplug(true), Hotplug(true), take, [](Rig& k) { k.p.bstQuiet = false; },
          Tray(0x7, 0, 0, 0), Exactly({"bst 3200 3", "bstforce"}), Tray(0x2, 0, 0, 0),
          Exactly({"lock 0 0"}), [](Rig& k) { k.run.OnTrayCommFail(); }, Saw("lock 0 1"),
          Set(bstOn, false), [](Rig& k) { k.run.OnTrayCommFail(); }, NotSaw("lock 0 1")}},
    });
}

} // namespace
