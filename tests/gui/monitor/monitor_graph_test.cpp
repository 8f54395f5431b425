// The graph tab's rules without widgets, through a recording port: what Start writes and
// where it stops, Stop, the re-arm, a tool change, the settings, and frames (made by
// toolsim's encoder) turned into charts, peaks and the value table.
#include "page/monitor/MonitorGraph.h"
#include "wire.h"

#include <gtest/gtest.h>
#include <map>

namespace {

struct RecPort : MonitorGraphPort {
    int32_t tdx = 2;
    int32_t watch = 0;
    std::vector<std::string> log;
    GraphFrame frame;
    bool frameOk = true;
    GraphView shown;
    int shows = 0;

    void rec(const std::string& s) { log.push_back(s); }
    int32_t CurrTdx() override { return tdx; }
    int32_t ToolType(int32_t) override { return 2; }
    int32_t Write(int32_t addr, int32_t value) override {
        rec(std::to_string(addr) + "=" + std::to_string(value));
        return 0;
    }
    void SetTriggerResCnt(int n) override { rec("cnt=" + std::to_string(n)); }
    int32_t WatchOn(int32_t t) override {
        rec("on " + std::to_string(t));
        return watch;
    }
    void WatchOff(int32_t t) override { rec("off " + std::to_string(t)); }
    void WatchOffAll() override { rec("off all"); }
    void Trigger() override { rec("trigger"); }
    void Rearm(bool on) override { rec(on ? "rearm" : "no rearm"); }
    bool ReadFrame(int32_t t, GraphFrame* out) override {
        rec("read " + std::to_string(t));
        *out = frame;
        return frameOk;
    }
    void ShowRunning(bool r) override { rec(r ? "Stop" : "Start"); }
    void ShowSettings(const GraphSettings&) override {}
    void ShowEmpty() override { rec("clear"); }
    void Show(const GraphView& v) override {
        shown = v;
        ++shows;
    }
    std::string joined() const {
        std::string s;
        for (const auto& l : log)
            s += (s.empty() ? "" : ", ") + l;
        return s;
    }
};

// A refused write stopping the start is pressed on the screen (graph_test.cpp).
TEST(MonitorGraph, StartWritesTheSettingsThenArmsUnlessNoToolOrNoWatch) {
    // A name, the current tool, what the watch answers, running afterwards, the calls made.
    const std::tuple<const char*, int32_t, int32_t, bool, const char*> cases[] = {
        {"armed", 2, 0, true,
         "clear, 4101=1, 4102=0, 4103=2, 4104=1, 4100=1, cnt=0, on 2, Stop, rearm"},
        {"no watch: disarmed again", 2, 3, false,
         "clear, 4101=1, 4102=0, 4103=2, 4104=1, 4100=1, cnt=0, on 2, 4100=0"},
        {"no current tool", -1, 0, false, "clear"},
    };
    for (const auto& [name, tdx, watch, running, calls] : cases) {
        RecPort port;
        port.tdx = tdx;
        port.watch = watch;
        MonitorGraph g(port);
        g.StartStop();
        EXPECT_EQ(std::tuple(g.Running(), port.joined()), std::tuple(running, std::string(calls)))
            << name;
    }
}

TEST(MonitorGraph, LeavingStopsAndRearmsOnlyWhileRunning) {
    // The action after a successful start, and the calls it makes.
    const std::tuple<const char*, void (*)(MonitorGraph&), const char*> cases[] = {
        // Stop, a tool change and clear are pressed on the screen (graph_test.cpp).
        {"leave", [](MonitorGraph& g) { g.Leave(); }, "off 2, Start, no rearm, 4100=0"},
        {"rearm", [](MonitorGraph& g) { g.OnRearm(); }, "trigger"},
    };
    for (const auto& [name, act, calls] : cases) {
        RecPort port;
        MonitorGraph g(port);
        ASSERT_TRUE(g.Start());
        port.tdx = 5; // the tool armed is the one stopped, whatever is current now
        port.log.clear();
        act(g);
        EXPECT_EQ(port.joined(), calls) << name;
        // Stopped, nothing more is sent.
        if (!g.Running()) {
            port.log.clear();
            g.OnRearm();
            g.Leave();
            EXPECT_EQ(port.joined(), "") << name;
        }
    }
}

// The defaults and what Start writes of the settings are pressed on the screen
// (graph_test.cpp).
TEST(MonitorGraph, SettingsTakenOnlyWhileStopped) {
    RecPort port;
    MonitorGraph g(port);
    EXPECT_TRUE(g.SetSettings({3, 4, 4, 3}));
    EXPECT_TRUE(g.SetSettings({8, 4, 1, 2}));
    EXPECT_EQ(g.Settings(), (GraphSettings{8, 0, 1, 2})) << "Torque/Angle disables channel 2";
    ASSERT_TRUE(g.Start());
    // Braces: evaluated in order, the refused change before the look at what is kept.
    EXPECT_EQ((std::tuple{g.CanEditSettings(), g.SetSettings({2, 2, 2, 2}), g.Settings().Channel1}),
              std::tuple(false, false, 8));
}

TEST(MonitorGraph, NamesOfTheChoicesAndUnknownOutsideTheLists) {
    const auto names = [](QString (*name)(int), std::vector<int> codes) {
        QStringList out;
        for (int c : codes)
            out << name(c);
        return out;
    };
    EXPECT_EQ(names(MonitorGraph::ChannelName, {0, 6, 8, 9}),
              QStringList({"Disable", "Current commond (mA)", "Torque/Angle", "Unknown"}));
    EXPECT_EQ(names(MonitorGraph::SamplingName, {1, 4, 0, 5}),
              QStringList({"5 ms", "30 ms", "Unknown", "Unknown"}));
    EXPECT_EQ(names(MonitorGraph::DirectionName, {3, 0, 4}),
              QStringList({"Both", "Unknown", "Unknown"}));
    EXPECT_EQ(names(MonitorGraph::ValueTitle, {0, 6}),
              QStringList({"Time(ms)", "Snug angle\n(degree)"}));
}

toolsim::CurveRecord curve(uint16_t ch1, std::vector<int16_t> s1, uint16_t ch2 = 0,
                           std::vector<int16_t> s2 = {}) {
    toolsim::CurveRecord c;
    std::tie(c.channel1, c.channel2, c.fastenTime, c.targetTorque, c.convTorque, c.speed) =
        std::tuple(ch1, ch2, 350, 1200, 1180, 900);
    std::tie(c.angle1, c.angle2, c.snugAngle, c.error, c.count, c.status) =
        std::tuple(10, 20, 7, 0, 3, 1);
    c.samples1 = std::move(s1);
    c.samples2 = std::move(s2);
    return c;
}

TEST(MonitorGraph, FrameToChartsPeaksAndValues) {
    struct In {
        const char* name;
        toolsim::CurveRecord c;
        int unit, torqueMin;
    };
    struct Chart {
        int upper;
        std::vector<int> points;
        const char* peak;
    };
    struct Case {
        In in;
        Chart one;
        const char* time = "350 ms";
        std::pair<const char*, std::vector<int>> two = {}; // peak, points; nullptr: one chart
    } cases[] = {
        {{"torque", curve(1, {0, 100, 2000, 1500}), 2, 500},
         {2550, {500, 500, 600, 2500, 2000}, "20.00 N.m"}},
        {{"result above", curve(1, {0, 40}), 9, 0}, {1504, {295, 295, 335}, "11.80 N.m"}},
        {{"tool's minimum", curve(1, {0, 40}), 0, 4000},
         {5100, {1000, 1000, 1040}, "40.00 Kgf.cm"}},
        {{"torque: unit unknown", curve(1, {2000}), -1, 0}, {2550, {500, 2500}, "20.00"}},
        {{"current, 10 mA", curve(2, {0, 50, -3}), 2, 9999}, {637, {125, 125, 625, 95}, "500 mA"}},
        {{"deep negative swing", curve(3, {100, -200}), 2, 0}, {1020, {200, 300, 0}, "-200 rpm"}},
        {{"flat", curve(4, {0, 0}), 2, 0}, {5, {0, 0, 0}, "0 degree"}},
        {{"tiny peak keeps a height", curve(7, {3}), 2, 0}, {5, {0, 3}, "3 degree"}},
        {{"no samples", curve(5, {}), 2, 0}, {5, {0}, "0 rpm"}},
        {{"unknown channel: no unit", curve(12, {400}), 2, 0}, {510, {100, 500}, "400"}},
        {{"T/A", curve(8, {800}), 4, 0}, {1020, {200, 1000}, "8.00 Lbf.in"}, "350 / 30 degree"},
        {{"two", curve(1, {0, 1000}, 2, {1, 2}), 2, 0},
         {1504, {295, 295, 1295}, "11.80 N.m"},
         "350 ms",
         {"Current (mA) : 20 mA", {5, 15, 25}}},
        {{"2nd torque", curve(3, {800, 0}, 1, {-100, 400}), 6, 9000},
         {1020, {200, 1000, 200}, "800 rpm"},
         "350 ms",
         {"Torque : 4.00 Lbf.ft", {100, 0, 500}}},
    };
    for (const Case& c : cases) {
        const GraphFrame f{toolsim::encodeCurveFrame(1, c.in.c), c.in.unit, c.in.torqueMin};
        GraphView v;
        ASSERT_TRUE(MonitorGraph::Compute(f, &v)) << c.in.name;
        const auto& one = v.Charts[0];
        EXPECT_EQ(std::tuple(one.Upper, one.Points, one.Zero, one.Peak, v.Charts[1].Shown),
                  std::tuple(c.one.upper, c.one.points, c.one.points[0], QString(c.one.peak),
                             c.two.first != nullptr))
            << c.in.name;
        if (c.two.first) {
            EXPECT_EQ(std::tuple(v.Charts[1].Peak, v.Charts[1].Points),
                      std::tuple(QString(c.two.first), c.two.second))
                << c.in.name;
        }
        EXPECT_EQ(v.Values,
                  QStringList({c.time, "12.00", "11.80", "900", "10", "20", "7", "0", "3", "1"}))
            << c.in.name;
    }
}

TEST(MonitorGraph, FramesThatDoNotAddUpKeepThePreviousCurve) {
    const auto good = toolsim::encodeCurveFrame(1, curve(1, {1, 2, 3}));
    auto two = toolsim::encodeCurveFrame(1, curve(1, {1, 2, 3}, 3, {4, 5, 6}));
    std::vector<uint8_t> big = toolsim::encodeCurveFrame(1, curve(1, std::vector<int16_t>(512)));
    std::map<const char*, std::vector<uint8_t>> bad = {
        {"header cut", {good.begin(), good.begin() + 39}},
        {"samples cut", {good.begin(), good.end() - 1}},
        {"second block missing", {two.begin(), two.end() - 6}},
        {"512 samples", big},
    };
    for (const auto& [name, bytes] : bad) {
        RecPort port;
        port.frame = GraphFrame{.Bytes = bytes};
        MonitorGraph g(port);
        g.OnGraphEvent(1);
        EXPECT_EQ(port.shows, 0) << name;
    }
    RecPort port;
    port.frame = GraphFrame{.Bytes = good};
    MonitorGraph g(port);
    g.OnGraphEvent(4);
    EXPECT_EQ(std::tuple(port.log, port.shows), std::tuple(std::vector<std::string>{"read 4"}, 1));
    port.frameOk = false; // the tool went away before the frame was read
    g.OnGraphEvent(4);
    EXPECT_EQ(port.shows, 1);
}

} // namespace
