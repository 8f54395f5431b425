// The graph tab over the real device object and virtual tools on loopback: Start arms
// the current tool through its registers, a fastening draws its curve (one and two
// channels) and fills the value table, Stop disarms, a tool change stops without a
// write, a write the tool refuses ends the start, and Start on a tool that is not
// connected stays stopped.
#include "../tools/ToolScreenFixture.h"
#include "UnitLineChart.h"
#include "page/monitor/PageMonitor.h"
#include "page/monitor/PageMonitorGraph.h"
#include "threads.h"

#include <QRadioButton>

namespace {

class GraphTest : public ToolScreenTest {
  protected:
    UnitLineChart* chart(int i) { return find<UnitLineChart>(i ? "graphChart2" : "graphChart1"); }
    // A choice of the settings dialog (radio buttons, which `press` does not take).
    void choose(const char* name) {
        auto* b = find<QRadioButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled() && b->isVisible()) << name;
        // On its mark: a wide cell leaves the button's centre outside its hit area.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, b->height() / 2));
        flush();
    }
    QString button() { return find<QPushButton>("graphStart")->text(); }
    // The curve of tool t's next fastening drawn.
    bool curveDrawn() {
        return until([&] { return !chart(0)->points().empty(); });
    }
};

TEST_F(GraphTest, StartArmsAFasteningDrawsStopAndToolChangeEndTheCapture) {
    tools = FakeTool::onLoopback({2, 2, 3, 1});
    ASSERT_EQ(Threads_Init(), 0);
    const int a = connect(0), b = connect(1), xwc = connect(3);
    ASSERT_EQ(tools->cmd("die 2"), "ok");
    discover(2); // registered, never connected
    const int idle = dev->GetRegtoolsLen();
    ASSERT_EQ(dev->RegisterDiscoTool(dev->GetDiscotoolsLen() - 1), 0);
    dev->OnSetCurrTdx(a);
    makeRoot();
    press("tileMonitor");
    auto* page = qobject_cast<PageMonitor*>(Screens::Find(ScreenId::Monitor));
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->CurrentTab(), 0) << "the graph tab comes first";
    shot("PageMonitorGraph_Empty");

    // Start on tool b (toolsim's 1, current by then) with `reg` refused: its trace holds `upTo`,
    // not `never`.
    auto refusedStart = [&](const char* reg, const char* upTo, const char* never) {
        ASSERT_EQ(tools->cmd("refuse 1 off"), "ok");
        ASSERT_EQ(tools->cmd(std::string("refuse 1 ") + reg), "ok");
        tools->trace(1);
        press("graphStart");
        const std::string tb = tools->trace(1);
        EXPECT_NE(tb.find(upTo), std::string::npos) << tb;
        EXPECT_EQ(tb.find(never), std::string::npos) << tb;
    };

    // Each step's requests on tool a's data connection, in order, found in toolsim's trace
    // ("4101=1" a write); after a step that must write nothing, a read closes the trace.
    // A name, the button's text after the step, a substring of the trace (nullptr: no
    // settings, no disarm), the charts with points after the step, the step itself.
    const std::tuple<const char*, const char*, const char*, int, std::function<void()>> steps[] = {
        {"start, default settings", "Stop", "4101=1 4102=0 4103=2 4104=1 4100=1", 0,
         [&] { press("graphStart"); }},
        {"a fastening: one chart", "Stop", "", 1,
         [&] {
             const int taps = sounds(UiSoundKind::Tap);
             ASSERT_EQ(tools->cmd("fasten 0 ok torque=1250 time=640 speed=800"), "ok 1");
             ASSERT_TRUE(curveDrawn());
             EXPECT_EQ(sounds(UiSoundKind::Tap), taps + 1) << "the curve's arrival";
             EXPECT_EQ((QStringList{text("graphValue0"), text("graphValue2"), text("graphValue3")}),
                       (QStringList{"640 ms", "12.50", "800"}));
             EXPECT_FALSE(chart(1)->isVisible());
             shot("PageMonitorGraph");
         }},
        {"stop disarms", "Start", "4100=0", 1, [&] { press("graphStart"); }},
        {"clear", "Start", "", 0, [&] { press("graphClear"); }},
        {"settings: speed on channel 2, 5 ms, both directions", "Stop",
         "4101=1 4102=3 4103=1 4104=3 4100=1", 0,
         [&] {
             press("graphSettings");
             choose("graphCh2_3");
             choose("graphSampling_1");
             choose("graphDir_3");
             press("graphSettingOk");
             press("graphStart");
         }},
        {"a fastening: two charts", "Stop", "", 2,
         [&] {
             ASSERT_EQ(tools->cmd("fasten 0 ok torque=1250 speed=800"), "ok 2");
             ASSERT_TRUE(curveDrawn());
             EXPECT_TRUE(chart(1)->isVisible());
             EXPECT_TRUE(text("graphPeak2").startsWith("Speed (rpm) : "))
                 << text("graphPeak2").toStdString();
             shot("PageMonitorGraph_TwoChannels");
         }},
        {"tool change stops without a write", "Start", nullptr, 0,
         [&] {
             dev->OnSetCurrTdx(b);
             flush();
             ASSERT_EQ(dev->MbusReadTdx(a, 4100, 1), 0);
         }},
        {"the settings dialog, Torque/Angle: no channel 2", "Start", "", 0,
         [&] {
             press("graphSettings");
             choose("graphCh1_8");
             EXPECT_TRUE(find<QWidget>("graphSettingNote")->isVisible());
             EXPECT_FALSE(find<QWidget>("graphCh2")->isEnabled());
             shot("PageMonitorGraphSetting");
             press("graphSettingOk");
         }},
        // A write the tool refuses ends the start there, and leaves it stopped: after the
        // sampling nothing more is written, after the trigger no disarm follows.
        {"refused sampling", "Start", "", 0, [&] { refusedStart("4103", "4103=1!", "4104="); }},
        {"refused trigger", "Start", "", 0,
         [&] { refusedStart("4100", "4101=8 4102=0 4103=1 4104=3 4100=1!", "4100=0"); }},
        {"start on a tool not connected", "Start", "", 0,
         [&] {
             dev->OnSetCurrTdx(idle);
             flush();
             press("graphStart");
         }},
        // Notices instead of the controls; Start (pressed the state's way) arms nothing.
        {"a controller", "Start", "", 0,
         [&] {
             dev->OnSetCurrTdx(xwc);
             flush();
             EXPECT_EQ(text("graphNotice"), "Please use XWC's local LCD.");
             EXPECT_FALSE(find("graphStart")->isVisible());
             tools->trace(3);
             EXPECT_FALSE(page->GraphTab()->Graph().Start());
             EXPECT_EQ(tools->trace(3), "");
         }},
    };
    tools->trace(a);
    for (const auto& [name, label, writes, charts, act] : steps) {
        act();
        EXPECT_EQ(button(), label) << name;
        const std::string trace = tools->trace(a);
        if (writes)
            EXPECT_NE(trace.find(writes), std::string::npos) << name << ": " << trace;
        else
            for (const char* w : {"4100=0", "4101="})
                EXPECT_EQ(trace.find(w), std::string::npos) << name << ": " << trace;
        EXPECT_EQ(!chart(0)->points().empty() + !chart(1)->points().empty(), charts) << name;
    }
    EXPECT_EQ(text("graphValue0"), "") << "cleared by the tool change";
}

} // namespace
