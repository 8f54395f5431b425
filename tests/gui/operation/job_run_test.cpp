// The job runner's run state against a recording port: (set-up, events) -> (state, lines).
// Timers are fired by hand, so every case is instant and deterministic.
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"
#include "page/operation/JobRun.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

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
        for (auto& [t, name] : tools)
            if (name == n) return t;
        return -1;
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
        for (size_t i = 0; i < jobs.size(); i++)
            if (jobs[i].first == n) return static_cast<int32_t>(i);
        return -1;
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
    Lines Take() {
        Lines v;
        v.swap(p.lines);
        return v;
    }
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
    // Each event is a distinct record unless the test gives the tool's event number.
    void Event(int status, int t = 0, int screwNo = 0, int no = -1) {
        FastenResult r = Res(status, screwNo);
        r.EventNo = uint16_t(no >= 0 ? no : nextNo++);
        run.OnFastenEvent(t, r);
    }
    // The link of `t` lost and back with `pending` stored results.
    void Reconnect(int t, int pending, int lostState = 2) {
        run.OnToolState(t, lostState);
        p.pending[t] = pending;
        run.OnToolState(t, 3);
    }
};

class JobRunTest : public ::testing::Test, protected Rig {};

// ---- steps and results ----

TEST_F(JobRunTest, CounterTextsForEveryUnitAndDirection) {
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
        for (int i = 0; i < 3; i++) {
            k.run.OnFastenEvent(0, Res(1, i + 1));
            seen.push_back(k.run.View().counterText.toStdString());
        }
        k.Next();
        seen.push_back(k.run.View().counterText.toStdString());
        k.run.OnFastenEvent(0, Res(1, 4));
        seen.push_back(k.run.View().counterText.toStdString());
        EXPECT_EQ(seen, c.texts);
    }
}

// The result pulses of a step of two screws, and the step's outcome: an NG screw then OK
// on the same screw leaves the step OK (the job OK too: the screen test's run); an NG screw
// the count passes over (skipped) leaves the step and the job NG however OK the results
// after it are.
TEST_F(JobRunTest, ResultPulsesAndTheStepOutcome) {
    Load({Step{}});
    Take();
    Event(2, 0, 1);
    EXPECT_EQ(run.View().errorText, "E0 : Unknown error code");
    Event(1, 0, 1);
    Event(1, 0, 2);
    EXPECT_TRUE(InOrder(Take(),
                        {"log 0 0 0 ack 0", "sound ng", "sysout 2 1", "sound ok", "sysout 1 1",
                         "sysout 3 1", "lockall", "timer start NextStep 100"},
                        {"sysout 4 1"}));

    Rig k;
    k.p.s.skipNoPwd = true;
    k.Load({Step{.screws = 3}});
    k.Event(1, 0, 1);
    k.Event(2, 0, 2);
    k.run.OnConfirmed("skip"); // Next screw over the NG one
    EXPECT_EQ(k.run.ScrewsDone(), 2);
    k.Take();
    k.Event(1, 0, 3);
    EXPECT_TRUE(InOrder(k.Take(),
                        {"sysout 1 1", "sysout 4 1", "lockall", "timer start NextStep 100"},
                        {"sysout 3 1"}));
    EXPECT_TRUE(k.run.StepNg());
    k.Settle();
    EXPECT_TRUE(Has(k.Take(), "sysout 6 1"));
    EXPECT_EQ(k.run.View().banner, "Job NG !!!");
}

TEST_F(JobRunTest, InputStepConditions) {
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
        if (c.inputs.empty()) {
            EXPECT_EQ(k.run.Waiting(), c.waiting) << "at entry";
        }
        EXPECT_EQ(k.p.active.count(RunTimer::NextStep) == 1, !c.waiting);
    }
}

TEST_F(JobRunTest, StepsThatDoNotWait) {
    const struct {
        Step step;
        Lines never;
    } cases[] = {
        {Step{.type = kStepInput, .in = {4}, .cond = 0}, {}}, // input 4: a system function
        {Step{.type = kStepDelay, .value = 0}, {"timer start Delay 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step.type);
        Rig k;
        k.p.inFunc[4] = 15;
        k.Enter({c.step, Step{.type = kStepMsg}});
        EXPECT_FALSE(k.run.Waiting());
        k.Next(); // the message step after it
        EXPECT_TRUE(InOrder(k.p.lines, {}, c.never));
    }
}

// A fastening step without screws is a broken job: it waits with nothing unlocked, and
// skipped it leaves the job NG.
TEST_F(JobRunTest, AFasteningStepWithoutScrewsWaitsAndMakesTheJobNg) {
    p.s.skipNoPwd = true;
    Enter({Step{.screws = 0}});
    EXPECT_TRUE(run.Waiting());
    EXPECT_TRUE(InOrder(Take(), {"msg Error|The step has no screws."}, {"unlock 0"}));
    run.OnConfirmed("skip");
    Settle();
    EXPECT_TRUE(run.JobNg());
}

// A time delay in seconds counts in its unit and ends with the tap (the screen test's
// delay is in milliseconds).
TEST_F(JobRunTest, TimeDelayInSecondsEndsByItsTimer) {
    Load({Step{.type = kStepDelay, .value = 2}, Step{.type = kStepMsg}});
    EXPECT_EQ(run.View().delayTitle, "Time ( 2 sec )");
    EXPECT_TRUE(Has(Take(), "timer start Delay 2000"));
    Fire(RunTimer::Delay);
    EXPECT_TRUE(InOrder(Take(), {"sound tap", "timer start NextStep 100"}));
}

// The step tool's unlock with its preset and count: the screen test's and the cell's; the
// target torque shown, and a tool not registered unlocks nothing.
TEST_F(JobRunTest, StepEntryUnlocksOnlyARegisteredStepTool) {
    Load({Step{.screws = 3}, Step{.tool = "nope", .screws = 5}});
    EXPECT_TRUE(run.Waiting());
    EXPECT_EQ(run.View().resultText, "0.00 / 12.50 N.m");
    for (int i = 1; i <= 3; i++)
        Event(1, 0, i);
    Take();
    Settle();
    EXPECT_TRUE(InOrder(Take(), {}, {"unlock 0", "write 0 4004 3"}));
    EXPECT_TRUE(run.Waiting());
    EXPECT_EQ(std::tuple(run.StepTool(), run.StepScrews(), run.ScrewsDone()), std::tuple(-1, 3, 3));
    Event(1, 0, 4); // its results never count
    EXPECT_EQ(run.ScrewsDone(), 3);
    // The kept counters are complete already: a skip ends the step (NG), not nothing.
    p.s.skipNoPwd = true;
    run.OnConfirmed("skip");
    EXPECT_EQ(std::pair(run.JobNg(), p.active.count(RunTimer::NextStep)), std::pair(true, 1ul));
}

// A plant system's lock holds the step tool over the steps that follow, until it unlocks
// or another job is loaded; without a job it is refused.
TEST_F(JobRunTest, APlantLockHoldsOverStepsUntilUnlockedOrANewJob) {
    EXPECT_FALSE(run.PlantLock(true));
    Load({Step{.screws = 1}, Step{.screws = 1}});
    Take();
    EXPECT_TRUE(run.PlantLock(true));
    EXPECT_TRUE(Has(Take(), "lock 0 1"));
    Event(1, 0, 1);
    Settle();
    EXPECT_EQ(run.Sdx(), 1);
    EXPECT_TRUE(InOrder(Take(), {"lockall"}, {"unlock 0"})) << "the next step keeps it locked";
    EXPECT_TRUE(run.PlantLock(false));
    EXPECT_TRUE(Has(Take(), "unlock 0"));
    EXPECT_TRUE(run.PlantLock(true));
    run.JobLoad(0);
    Settle();
    EXPECT_FALSE(run.PlantLocked());
    EXPECT_TRUE(Has(Take(), "unlock 0")) << "a new job starts unlocked";
}

// The job's end with "auto job restart"; without it (released, "Ready" high): the cell's
// job-select test.
TEST_F(JobRunTest, TheJobEndWithAutoRestart) {
    p.s.autoRestart = true;
    p.s.skipNoPwd = true;
    Load({Step{.screws = 1}});
    run.OnConfirmed("skip"); // the only screw skipped: step and job NG
    Settle();
    EXPECT_EQ(run.View().banner, "Job NG !!!");
    Take();
    Fire(RunTimer::JobResult);
    EXPECT_TRUE(InOrder(Take(), {"alloff", "timer start NextStep 100"}));
    EXPECT_EQ(std::pair(run.JobNg(), run.Sdx()), std::pair(true, -1))
        << "NG cleared at the restart, not at the banner";
    Fire(RunTimer::NextStep);
    EXPECT_EQ(std::pair(run.JobNg(), run.Sdx()), std::pair(false, 0));
}

// ---- operator commands ----

// Skip and reset step with no password asked: which steps the command makes NG.
TEST_F(JobRunTest, SkipAndResetStepMakeTheJobNgOnlyWhereWorkIsLost) {
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
        EXPECT_EQ(k.run.JobNg(), c.ng);
        EXPECT_EQ(k.run.Sdx(), 0) << "skip: still the step; reset: the same step again";
        if (reset) {
            EXPECT_EQ(k.run.ScrewsDone(), 0);
        }
    }
}

// The password of a skip is the screen test's; an input with the skip function skips a
// screw on its rising level without one, and the skipped screws leave the step NG.
TEST_F(JobRunTest, SkipInputActsOnTheRisingLevel) {
    p.inFunc[3] = 9;
    Load({Step{.screws = 3}});
    run.OnInput(3, 0);
    EXPECT_EQ(run.ScrewsDone(), 0);
    run.OnInput(3, 1);
    EXPECT_EQ(run.ScrewsDone(), 1);
    EXPECT_TRUE(Has(Take(), "screwcnt 0 2"));
    run.OnInput(3, 1);
    EXPECT_EQ(run.ScrewsDone(), 2);
    Event(1, 0, 1); // the last screw OK: the skipped ones make step and job NG
    EXPECT_TRUE(run.StepNg() && run.JobNg());
}

TEST_F(JobRunTest, TakeBackOfAnOkScrewMakesTheJobNg) {
    p.s.backNoPwd = true;
    Load({Step{.screws = 3}});
    Event(1, 0, 1);
    Take();
    run.OnConfirmed("back");
    EXPECT_EQ(std::pair(run.ScrewsDone(), run.JobNg()), std::pair(0, true));
    EXPECT_TRUE(Has(Take(), "screwcnt 0 3"));
    for (int i = 1; i <= 3; i++)
        Event(1, 0, i);
    Settle();
    EXPECT_EQ(run.View().banner, "Job NG !!!");
}

TEST_F(JobRunTest, FullScreenOnAStepWithoutAPictureIsIgnored) {
    Load({Step{.screws = 1}, Step{.screws = 1, .img = 1}, Step{.screws = 1, .img = 1}});
    run.FullScreen(true);
    EXPECT_FALSE(run.View().fullScreen);
    Event(1, 0, 1);
    Settle();
    ASSERT_TRUE(run.View().picture);
    EXPECT_FALSE(run.View().fullScreen);
    // Pressed over a picture it holds for the next picture step.
    run.FullScreen(true);
    EXPECT_TRUE(run.View().fullScreen);
    Event(1, 0, 2);
    Settle();
    ASSERT_EQ(run.Sdx(), 2);
    EXPECT_TRUE(run.View().fullScreen);
}

// The screen goes away: the outputs of the job's output steps go back to 0; no timer is
// left to do it (the result pulses: the screen test leaving within a pulse).
TEST_F(JobRunTest, ClosingSetsBackTheOutputsOfOutputSteps) {
    Load({Step{.type = kStepOutput, .out = {{9, 0}, {10, 1}}}});
    Take();
    run.Close();
    EXPECT_TRUE(InOrder(Take(), {"out 9 0", "out 10 0"}));
    EXPECT_FALSE(p.active.count(RunTimer::OutputStep));
}

// ---- job selection ----

TEST_F(JobRunTest, NextAndPreviousJob) {
    p.inFunc[5] = 13;
    p.inFunc[6] = 14;
    Load({Step{.type = kStepMsg}}, 3);
    ASSERT_TRUE(p.active.count(RunTimer::JobResult));
    Take();
    run.PrevJob(); // at the first job: nothing asked
    EXPECT_TRUE(Take().empty());
    run.NextJob();
    EXPECT_EQ(Take(), Lines{"confirm next job"});
    run.OnConfirmed("next job");
    EXPECT_TRUE(Has(Take(), "pwd next job"));
    run.OnPassword("next job", "1234");
    EXPECT_EQ(run.Jdx(), 1);
    // The next-job input loads without a password; a new job stops the old one's banner.
    Settle();
    ASSERT_TRUE(p.active.count(RunTimer::JobResult));
    Take();
    run.OnInput(5, 1);
    EXPECT_TRUE(InOrder(Take(), {"jobload 2"}, {"pwd next job"}));
    EXPECT_FALSE(p.active.count(RunTimer::JobResult));
    EXPECT_TRUE(run.View().banner.isEmpty());
    run.NextJob(); // at the last job: nothing asked
    EXPECT_TRUE(Take().empty());
    run.OnInput(5, 1);
    EXPECT_EQ(run.Jdx(), 2);
    run.OnInput(6, 1);
    EXPECT_EQ(run.Jdx(), 1);
}

TEST_F(JobRunTest, BarcodeMatchingRule) {
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

// Not found and a single entry: the screen test's barcodes.
TEST_F(JobRunTest, ScannerSelectsTheFirstMatchingEntry) {
    p.jobs = {{"a", {Step{}}}, {"b", {Step{}}}, {"c", {Step{}}}};
    p.table = {{"X1", 0, 0, 0, "zz"}, {"..CDE", 1, 3, 5, "c"}, {"ABCDE", 0, 0, 0, "b"}};
    run.Create();
    Take();
    run.OnBarcode("ABCDE");
    EXPECT_TRUE(InOrder(Take(), {"sound tap", "dbg ew receive barcode event ABCDE",
                                 "dbg code search success, 2/3, c", "dbg job search result , 2",
                                 "jobload 2"}));
}

// The scanner's matching code: the screen test's; here a code that does not match, and
// the same from a tool's barcode read.
TEST_F(JobRunTest, DelayBarcodeStepWaitsForItsCode) {
    const Step code{
        .type = kStepDelay, .delayMode = 2, .code = "AB123", .partial = 1, .start = 3, .end = 5};
    Load({code, Step{.type = kStepMsg}});
    run.OnBarcode("AB124");
    EXPECT_TRUE(run.Waiting());
    FastenResult r = Res(7);
    std::strcpy(r.Barcode, "zz123");
    run.OnFastenEvent(1, r);
    EXPECT_EQ(std::pair(run.Waiting(), p.active.count(RunTimer::NextStep)), std::pair(false, 1ul));
}

TEST_F(JobRunTest, JobSelectInputs) {
    // Direct: "Job select.8" loads job 7, releasing the input keeps it (binary masks: the
    // screen test's and the cell's job-select test).
    p.jobs.assign(8, {"j", {Step{}}});
    p.s.jobSelType = 1;
    run.Create();
    p.inFunc[9] = 8;
    run.OnInput(9, 1);
    EXPECT_EQ(run.Jdx(), 7);
    run.OnInput(9, 0);
    EXPECT_EQ(run.Jdx(), 7);
}

// The job runner logs the scanner's barcode: the "remote" interface is for the screens
// that show results without a job.
TEST_F(JobRunTest, EveryResultIsLoggedWithTheScannersBarcode) {
    p.s.barcodeInterface = 1;
    p.s.backupManager = true;
    p.pending[1] = 1;
    Load({Step{}});
    Event(1, 0, 1); // live, with a job
    Fire(RunTimer::StoredPrompt);
    run.OnStoredConfirmed(0x2);
    Event(1, 1, 0); // stored
    run.JobRelease(true);
    Event(1, 0, 2); // live, without a job
    EXPECT_EQ(p.sources, (std::vector<int>{0, 0, 0}));
}

// ---- link loss, catch-up, judge once ----

TEST_F(JobRunTest, LinkLostAndUpWithoutPendingRestoresTheStep) {
    Load({Step{.screws = 3}});
    Event(1, 0, 1);
    Take();
    run.OnToolState(0, 2);
    EXPECT_TRUE(Has(Take(), "msg Message|The connection was lost.\n\nT0"));
    EXPECT_EQ(std::pair(run.Disconnected(0), run.View().resultText), std::pair(true, QString("-")));
    run.OnToolState(0, 3);
    EXPECT_TRUE(InOrder(Take(), {"autolock 0 1", "write 0 4001 1", "backup 0 1", "write 0 4004 3",
                                 "screwcnt 0 2", "unlock 0"}));
    EXPECT_FALSE(run.Disconnected(0));
}

// The step tool's catch-up itself: the cell's link test. Another tool's result meanwhile
// is never counted for it.
TEST_F(JobRunTest, AnotherToolsResultDuringTheCatchUpIsNotCounted) {
    Load({Step{.screws = 3}});
    Reconnect(0, 2);
    EXPECT_EQ(run.CatchUp(), 2);
    Event(1, 1, 1);
    EXPECT_EQ(std::pair(run.CatchUp(), run.ScrewsDone()), std::pair(2, 0));
}

TEST_F(JobRunTest, StoredResultsOfACompleteStepAreLoggedOnly) {
    Load({Step{.screws = 1}, Step{.type = kStepInput, .in = {1}, .cond = 0}});
    Event(1, 0, 1);
    run.OnToolState(0, 2); // before the next step starts
    p.pending[0] = 2;
    Take();
    run.OnToolState(0, 3);
    EXPECT_TRUE(InOrder(Take(), {"backup 0 0"}, {"unlock 0"}));
    EXPECT_EQ(std::pair(run.Draining(0), run.CatchUp()), std::pair(2, 0));
}

TEST_F(JobRunTest, AResentResultIsAcknowledgedButNeverCountedOrLoggedTwice) {
    Load({Step{.screws = 4}});
    Event(1, 0, 1, 41);
    // The acknowledgement was lost with the link: the tool sends result 41 again, as a
    // stored result counted in its pending number.
    Reconnect(0, 2);
    Take();
    Event(1, 0, 1, 41);
    EXPECT_EQ(Take(), (Lines{"ack again 0", "dbg result 41 of tdx.0 again: acknowledged, "
                                            "not counted"}));
    EXPECT_EQ(run.ScrewsDone(), 1);
    Event(1, 0, 2, 42); // the one made while the link was down counts
    EXPECT_EQ(run.ScrewsDone(), 2);
    EXPECT_TRUE(Has(Take(), "screwcnt 0 2"));
    Event(1, 0, 3, 41); // the same number in another record is another result
    EXPECT_EQ(run.ScrewsDone(), 3);
    // Back with nothing stored: nothing can come again. The same record live is a new
    // result (a tool that leaves its event number alone, the same barcode read twice).
    Reconnect(0, 0);
    Take();
    Event(1, 0, 3, 41);
    EXPECT_EQ(run.ScrewsDone(), 4);
    EXPECT_TRUE(Has(Take(), "log 0 0 0 ack 0"));
}

// Only the first result after a link loss can be the tool's resend, and only of the last
// result taken before the loss (the rule itself: the ResultOnce table); here that the step
// and the collection both apply it. The records carry event number 0, as from a tool that
// leaves register 0 alone.
TEST_F(JobRunTest, AlikeStoredResultsAreEachLoggedOnlyTheResendIsNot) {
    FastenResult code = Res(7);
    snprintf(code.Barcode, sizeof code.Barcode, "LOT7");
    const FastenResult reset = Res(5);
    const struct {
        const char* what;
        bool collect; // collected through the dialog, else caught up by the step
        std::vector<FastenResult> before, stored;
        const char* logged; // per stored result: + logged, - acknowledged only
    } rows[] = {
        {"the resend, then the same code twice", false, {code}, {code, code, code}, "-++"},
        {"like an earlier result, not the last", false, {reset, code}, {reset}, "+"},
        {"collected: two alarm resets", true, {}, {reset, reset}, "++"},
        {"collected: the resend, then the same again", true, {reset}, {reset, reset}, "-+"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Rig k;
        k.p.s.backupManager = row.collect;
        k.Load({Step{.screws = 9}});
        const int t = row.collect ? 1 : 0; // the step tool comes back into its step
        for (const auto& r : row.before)
            k.run.OnFastenEvent(t, r);
        k.Reconnect(t, static_cast<int>(row.stored.size()));
        if (row.collect) k.run.OnStoredConfirmed(1u << t);
        for (size_t i = 0; i < row.stored.size(); i++) {
            k.Take();
            k.run.OnFastenEvent(t, row.stored[i]);
            const bool logged = row.logged[i] == '+';
            EXPECT_EQ(!Logged(k.p.lines).empty(), logged) << "stored result " << i;
            EXPECT_EQ(Has(k.p.lines, "ack again " + std::to_string(t)), !logged)
                << "acknowledged once, by its line or alone";
        }
    }
}

TEST_F(JobRunTest, StoredResultsArrivingAfterTheStepChangedAreLoggedButNotJudged) {
    p.s.skipNoPwd = true;
    Load({Step{.screws = 1}, Step{.screws = 2}});
    Reconnect(0, 3);
    ASSERT_EQ(run.CatchUp(), 3);
    run.OnConfirmed("skip"); // the operator moves on before they arrive
    Settle();
    ASSERT_EQ(run.Sdx(), 1);
    EXPECT_EQ(run.Draining(0), 3);
    Take();
    Event(1, 0, 1, 7);
    Event(2, 0, 2, 8);
    EXPECT_EQ(Take(), (Lines{"log -1 -1 0 ack 0", "log -1 -1 0 ack 0"}));
    EXPECT_EQ(run.ScrewsDone(), 0);
    // The link drops again with one of them still stored, and one new result made.
    Reconnect(0, 2);
    EXPECT_EQ(std::pair(run.Draining(0), run.CatchUp()), std::pair(1, 1));
    Event(1, 0, 3, 9); // still the earlier step's
    EXPECT_EQ(run.ScrewsDone(), 0);
    Event(1, 0, 1, 10); // this step's
    EXPECT_EQ(run.ScrewsDone(), 1);
}

TEST_F(JobRunTest, StoredResultsCollectedWithTheManagerAreLoggedNotCounted) {
    p.s.backupManager = true;
    p.pending[1] = 2;
    Load({Step{.tool = "T1", .screws = 3}}); // even the step tool's stored results
    EXPECT_TRUE(p.active.count(RunTimer::StoredPrompt));
    EXPECT_TRUE(InOrder(p.lines, {"backup 0 1"}, {"backup 1 1"}));
    Fire(RunTimer::StoredPrompt);
    Take();
    run.OnStoredConfirmed(0x2);
    EXPECT_TRUE(Has(Take(), "backup 1 0"));
    Event(1, 1, 0, 5);
    Event(1, 1, 0, 5); // alike, with no link lost between: a result of its own
    EXPECT_EQ(Take(), (Lines{"log -1 -1 1 ack 1", "log -1 -1 1 ack 1", "autolock 1 1",
                             "write 1 4004 3", "screwcnt 1 3", "unlock 1", "stored close"}));
    EXPECT_EQ(run.ScrewsDone(), 0);
    Event(1, 1, 0, 6); // collection over: a result of the step again
    EXPECT_EQ(run.ScrewsDone(), 1);
}

// A second "connected" while the catch-up runs (the event link renewed, our acknowledgement
// late) keeps it going, the resend taken as one; after a real loss the next "connected"
// reconnects again.
TEST_F(JobRunTest, ASecondConnectedDuringTheCatchUpKeepsItGoing) {
    Load({Step{.screws = 3}});
    Reconnect(0, 2);
    Event(1, 0, 1, 11);
    Take();
    p.pending[0] = 2;
    run.OnToolState(0, 3);
    EXPECT_EQ(Take(), (Lines{"backup 0 0"}));
    EXPECT_EQ(run.CatchUp(), 1) << "the resend was counted when it was taken";
    Event(1, 0, 1, 11);
    EXPECT_EQ(run.ScrewsDone(), 1);
    Event(1, 0, 2, 12);
    EXPECT_EQ(run.ScrewsDone(), 2);
    EXPECT_TRUE(Has(Take(), "screwcnt 0 1"));
    Reconnect(0, 0, 0);
    EXPECT_TRUE(InOrder(Take(), {"write 0 4001 1", "backup 0 1", "unlock 0"}));
}

// A readdressing (the flag, then "connected") and a renewed event link (a second
// "connected") both let the tool send its last result again: never another screw, never
// another line; and a renewal takes nothing off an earlier step's stored results.
TEST_F(JobRunTest, AResendAfterAReaddressingOrARenewalIsNeverCounted) {
    Load({Step{.screws = 3}});
    Event(1, 0, 1, 21);
    run.OnDisconnFlag(0, 1);
    p.pending[0] = 1; // 21, its acknowledgement lost with the old links
    run.OnToolState(0, 3);
    Take();
    Event(1, 0, 1, 21);
    EXPECT_EQ(Take(),
              (Lines{"ack again 0", "dbg result 21 of tdx.0 again: acknowledged, not counted",
                     "screwcnt 0 2"}));
    Event(1, 0, 2, 22);
    run.OnToolState(0, 3);
    EXPECT_TRUE(Has(Take(), "backup 0 0"));
    Event(1, 0, 2, 22);
    EXPECT_EQ(run.ScrewsDone(), 2);
    EXPECT_FALSE(Has(Take(), "log 0 0 0 ack 0"));

    Rig k;
    k.p.s.skipNoPwd = true;
    k.Load({Step{.screws = 1}, Step{.screws = 2}});
    k.Reconnect(0, 3);
    k.run.OnConfirmed("skip");
    k.Settle();
    k.Event(1, 0, 1, 7);
    ASSERT_EQ(k.run.Draining(0), 2);
    k.run.OnToolState(0, 3);
    k.Event(1, 0, 1, 7);
    EXPECT_EQ(k.run.Draining(0), 2) << "the resend was drained when it was taken";
}

// Between fastening steps (and before the first) a line names the tool that sent it and the
// step that is current, also while a reset step waits to be entered again.
TEST_F(JobRunTest, ResultsBetweenStepsAreLoggedWithTheirToolAndTheCurrentStep) {
    p.s.resetNoPwd = true;
    Enter({Step{.screws = 1}, Step{.type = kStepInput, .in = {1}, .cond = 0}});
    Event(1, 0, 1);
    Settle();
    ASSERT_EQ(run.Sdx(), 1);
    Take();
    Event(1, 1);
    run.OnConfirmed("reset step");
    Event(1, 1);
    EXPECT_EQ(Logged(Take()), (Lines{"log 0 1 1 ack 1", "log 0 1 1 ack 1"}));
}

// The data link alone would keep the step tool working while its results cannot come.
// Another tool's links leave the step alone; without the manager its stored results are
// dropped.
TEST_F(JobRunTest, EventLinkAloneLostLocksTheStepToolUntilItCatchesUp) {
    Load({Step{.screws = 3}});
    Take();
    Reconnect(1, 4, 0);
    EXPECT_TRUE(Has(Take(), "backup 1 1"));
    EXPECT_EQ(run.CatchUp(), 0);
    run.OnToolState(1, 4);
    EXPECT_FALSE(Has(Take(), "lock 1 1")) << "not the step tool";
    run.OnToolState(0, 4);
    EXPECT_TRUE(Has(Take(), "lock 0 1") && run.Disconnected(0));
    p.pending[0] = 1; // made before the lock took
    run.OnToolState(0, 3);
    EXPECT_TRUE(InOrder(Take(), {"write 0 4004 3", "unlock 0", "backup 0 0"}));
    EXPECT_EQ(run.CatchUp(), 1);
}

// ---- the bit socket tray ----

TEST_F(JobRunTest, TrayInSlaveModeRequestsTheSocketAndDecidesTheLock) {
    p.s.bstOn = true;
    p.bst = true;
    Load({Step{}});
    EXPECT_TRUE(InOrder(Take(), {"write 0 4004 3", "bst 3200 3", "bstforce"}, {"unlock 0"}));
    run.OnTrayEvent(0x2, 2, 1, 0);
    run.OnTrayEvent(0x2, 2, 0, 0);
    run.OnTrayEvent(0x4, 2, 0, 1);
    EXPECT_EQ(Take(), (Lines{"lock 0 1", "lock 0 0", "lock 0 1",
                             "msg Warning|In With job mode,\nBST should operate in Slave mode"}));
}

// A tray plugged in during a step answers only after its hot-plug events: its first
// report requests the step's socket, and the next decides the lock; a failure locks.
TEST_F(JobRunTest, ATrayPluggedInDuringAStepRequestsTheSocketAtItsFirstAnswer) {
    p.s.bstOn = true;
    Load({Step{}});
    p.bst = true;
    p.bstQuiet = true;
    run.OnTrayHotplug(true);
    run.OnTrayHotplug(true);
    Take();
    p.bstQuiet = false;
    run.OnTrayEvent(0x7, 0, 0, 0);
    EXPECT_EQ(Take(), (Lines{"bst 3200 3", "bstforce"}));
    run.OnTrayEvent(0x2, 0, 0, 0);
    EXPECT_EQ(Take(), (Lines{"lock 0 0"}));
    // Its communication fails: the step tool is locked, only with "bit socket tray" on.
    run.OnTrayCommFail();
    EXPECT_TRUE(Has(Take(), "lock 0 1"));
    p.s.bstOn = false;
    run.OnTrayCommFail();
    EXPECT_FALSE(Has(Take(), "lock 0 1"));
}

} // namespace
