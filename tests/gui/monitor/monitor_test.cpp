// The monitor screen over the real device object, virtual tools on loopback and the GPIO
// tree: tools unlocked with the screen code 4 while it is shown, the error list with its
// texts, and input lamps following the input events.
#include "../tools/ToolScreenFixture.h"
#include "io.h"
#include "page/monitor/PageMonitor.h"
#include "page/monitor/PageMonitorError.h"
#include "page/monitor/PageMonitorIo.h"
#include "threads.h"

#include <QTableView>

namespace {

class MonitorTest : public ToolScreenTest {
  protected:
    // On the guest menu.
    PageMonitor* open() { return openTile<PageMonitor>("tileMonitor", ScreenId::Monitor); }
};

TEST_F(MonitorTest, ToolsRunUnlockedAndAToolConnectingMeanwhileStaysUnlocked) {
    tools = FakeTool::onLoopback({2, 3, 2});
    const int a = connect(0), b = connect(1);
    ASSERT_EQ(tools->cmd("set 1 264 1"), "ok"); // auto-lock on
    ASSERT_EQ(tools->reg(0, 4001), 1) << "tools connect locked outside the monitor";
    PageMonitor* page = open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(dev->GetScreenCode(), PageMonitor::kScreenCode);
    for (int t : {a, b}) // unlocked, auto-lock off
        EXPECT_EQ(std::pair(tools->reg(t, 4001), tools->reg(t, 264)), std::pair(0L, 0L)) << t;
    const int c = connect(2);
    EXPECT_EQ(tools->reg(c, 4001), 0) << "left unlocked at its connection";
    press("PageMonitorHome");
    EXPECT_EQ(Screens::Find(ScreenId::Monitor), nullptr);
    EXPECT_EQ(dev->GetScreenCode(), 0);
    for (int t : {a, b, c})
        EXPECT_EQ(tools->reg(t, 4001), 1) << t << " locked again when the monitor goes";
    EXPECT_EQ(tools->reg(b, 264), 1) << "auto-lock as it was";
    EXPECT_EQ(tools->reg(a, 264), 0);
    dev->ToolLost(c);
    discover(2);
    Modbus_MsgQProc_Connect(c);
    deliver();
    EXPECT_EQ(tools->reg(c, 4001), 1) << "locked again once the monitor is gone";
}

TEST_F(MonitorTest, ErrorListShowsTheCodesWithTheirTexts) {
    tools = FakeTool::onLoopback({2, 1});
    const int t = connect(0);
    connect(1);
    for (const char* code : {"104", "999", "330"})
        ASSERT_EQ(tools->cmd(std::string("error 0 ") + code), "ok");
    dev->OnSetCurrTdx(t);
    open();
    press("PageMonitorTab2");
    std::vector<std::string> shown; // "code | text" of the first rows
    for (int row = 0; row < 4; ++row)
        shown.push_back(
            (cellText("monitorErrorList", row, 0) + " | " + cellText("monitorErrorList", row, 1))
                .toStdString());
    EXPECT_EQ(shown, (std::vector<std::string>{"E330 | Target torque reached before the Min angle",
                                               "E999 | Undefined error code",
                                               "E104 | Low Battery voltage ", " | "}));
    EXPECT_EQ(find<QTableView>("monitorErrorList")->model()->rowCount(), 8);
    shot("PageMonitorError_Live");
    // A new error appears on "Refresh"; a controller shows its notice instead.
    ASSERT_EQ(tools->cmd("error 0 501"), "ok");
    press("monitorErrorRefresh");
    EXPECT_EQ(cellText("monitorErrorList", 0, 1),
              QString::fromUtf8("Battery temperature over 80\u00b0C"));
    EXPECT_EQ(cellText("monitorErrorList", 1, 0), "E330");
    dev->OnSetCurrTdx(1);
    flush();
    EXPECT_EQ(text("monitorErrorNotice"), "Please use XWC's local LCD.");
    EXPECT_TRUE(find<QLabel>("monitorErrorNotice")->isVisible());
    shot("PageMonitorError_Controller");
    // A tool that does not answer leaves no stale lines.
    dev->OnSetCurrTdx(t);
    ASSERT_EQ(tools->cmd("die 0"), "ok");
    press("monitorErrorRefresh");
    EXPECT_EQ(find<QTableView>("monitorErrorList")->model()->rowCount(), 0);
    shot("PageMonitorError");
}

TEST_F(MonitorTest, InputLampsFollowTheInputsWhileTheTabIsShown) {
    ASSERT_EQ(gpioTree("init"), 0);
    Threads_Init();
    Gpio_Init();
    ASSERT_EQ(gpioTree("wire", "2 0"), 0); // input 2 to ground
    ASSERT_TRUE(kest_test::WaitUntil([&] { return dev->GetInputStatus(1) == 1; }));
    dev->SetSysInputFunc(2, 9); // "Skip"
    dev->SetGpioOutVal(4, 1);
    PageMonitor* page = open();
    press("PageMonitorTab1");
    PageMonitorIo* io = page->IoTab();
    auto lit = [](QLabel* l) { return l->property("lit").toBool(); };
    // Active low: the grounded input reads 1; the output set above is lit.
    EXPECT_EQ(std::tuple(lit(io->InputLamp(0)), lit(io->InputLamp(1)), lit(io->OutputLamp(4))),
              std::tuple(false, true, true));
    EXPECT_EQ(text("ioIn3Name"), "Skip");
    shot("PageMonitorIo");
    // Input 1..16, its electrical level, whether its lamp is lit then.
    const std::tuple<int, int, bool> wires[] = {{5, 0, true}, {2, 1, false}, {16, 0, true}};
    for (const auto& [pos, level, litNow] : wires) {
        ASSERT_EQ(gpioTree("wire", std::to_string(pos) + " " + std::to_string(level)), 0);
        EXPECT_TRUE(until([&, p = pos, want = litNow] {
            return lit(io->InputLamp(p - 1)) == want;
        })) << pos;
    }
    // Hidden behind the error tab, the lamps stand still until shown again.
    press("PageMonitorTab2");
    int events = 0;
    QObject::connect(&dev->InputEvents[4], &SystemEvent::triggered, [&] { ++events; });
    ASSERT_EQ(gpioTree("wire", "5 1"), 0);
    EXPECT_TRUE(until([&] { return events > 0; }));
    EXPECT_TRUE(lit(io->InputLamp(4))) << "no handler while hidden";
    press("PageMonitorTab1");
    EXPECT_FALSE(lit(io->InputLamp(4)));
}

} // namespace
