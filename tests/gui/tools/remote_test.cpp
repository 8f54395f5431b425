// The remote screen over the real device object and a virtual tool on loopback: each
// button's register write, the run toggle, tool init (the tool is dismissed and comes
// back), the messages without a usable tool, and the manual outputs on the GPIO tree.
#include "Presses.h"
#include "io.h"
#include "page/tools/PageRemote.h"
#include "page/tools/PageRemoteOutput.h"
#include "page/tools/PageRemoteTool.h"
#include "threads.h"

namespace {

class RemoteTest : public WithPresses<ToolScreenTest> {
  protected:
    // Logged in with the default password.
    PageRemote* open() { return openTile<PageRemote>("tileRemote", ScreenId::Remote, "0"); }
    QString noticeShown() { return shownText("remoteNotice"); }
};

TEST_F(RemoteTest, ButtonsWriteTheirRegistersAndToolInitDismissesTheTool) {
    tools = FakeTool::onLoopback({2});
    const int t = connect(0);
    for (const char* c : {"set 0 4004 7", "set 0 4005 1", "lock 0 1"}) // the tool now
        ASSERT_EQ(tools->cmd(c), "ok") << c;
    dev->OnSetCurrTdx(t);
    tools->trace(0);
    PageRemote* page = open();
    ASSERT_NE(page, nullptr);
    RemoteTool& state = page->ToolTab()->State();
    shot("PageRemoteTool");
    EXPECT_EQ(std::tuple(noticeShown(), state.Preset(), state.Direction(), state.Lock()),
              std::tuple(QString(), 7, 1, 0));
    EXPECT_EQ(tools->trace(0), "4:3303 4001=0") << "status read, then unlocked";
    EXPECT_EQ(tools->reg(0, 4001), 0);

    struct Press {
        const char* button;
        bool confirm;
        const char* written; // the tool's trace
        const char* runText;
    } presses[] = {
        {"remoteRun", false, "4003=1", "Stop"},
        {"remoteRun", false, "4003=0", "Start"},
        // Another tab puts the tool back: stopped, fastening, locked; back here, unlocked.
        {"remoteRun", false, "4003=1", "Stop"},
        {"remoteDir1", false, "4005=1", "Stop"},
        {"PageRemoteTab1", false, "4003=0 4005=0 4001=1", "Start"},
        {"PageRemoteTab0", false, "4:3303 4001=0", "Start"},
        {"remotePreset12", false, "4004=12", "Start"},
        {"remoteDir0", false, "4005=0", "Start"},
        {"remoteLock1", false, "4001=1", "Start"},
        {"remoteLock0", false, "4001=0", "Start"},
        {"remoteAlarmReset", true, "4000=1", "Start"},
    };
    for (const Press& p : presses) {
        played.clear();
        press(p.button);
        if (p.confirm) {
            EXPECT_EQ(msgText(), "Are you sure?") << p.button;
            EXPECT_EQ(tools->trace(0), "") << "nothing before the answer";
            press("msgConfirm");
        }
        EXPECT_EQ(tools->trace(0), p.written) << p.button;
        EXPECT_EQ(find("remoteRun")->text(), p.runText) << p.button;
        EXPECT_GE(sounds(UiSoundKind::Tap), 1) << p.button;
    }
    EXPECT_EQ(std::pair(state.Preset(), tools->reg(0, 4004)), std::pair(12, 12L));
    shot("PageRemoteTool_Live");

    // Tool init: 252 := 77 after the question, then the tool is dismissed.
    run("remoteToolInit %PageRemoteTool_Confirm msgConfirm");
    EXPECT_EQ(tools->trace(0), "252=77");
    deliver();
    EXPECT_EQ(dev->GetTdxToolConn(t), 0);
    EXPECT_EQ(dev->OnGetCurrTdx(), -1) << "a dismissed tool is no longer current";
    EXPECT_EQ(noticeShown(), "Please select a tool.");

    // Without a usable tool nothing is written and the message says why.
    struct Refused {
        int current;
        const char* message;
    } refused[] = {{-1, "Please select a tool.."}, {t, "Tool is not connected."}};
    for (const Refused& r : refused) {
        dev->OnSetCurrTdx(r.current);
        flush();
        auto* runButton = find("remoteRun");
        ASSERT_NE(runButton, nullptr);
        // The controls are covered by the notice without a tool; press the state's way.
        if (!runButton->isVisible())
            page->ToolTab()->State().ToolInitPressed();
        else
            press("remoteToolInit");
        flush();
        EXPECT_EQ(msgText(), r.message) << r.current;
        EXPECT_EQ(text("msgTitle"), "Error");
        if (r.current == t) shot("PageRemoteTool_NotConnected");
        press("msgClose");
        EXPECT_EQ(tools->trace(0), "") << r.current;
    }

    // The tool answers the next scan and connects again.
    discover(0);
    Modbus_MsgQProc_Connect(t);
    deliver();
    EXPECT_EQ(dev->GetTdxToolConn(t), 1);
    dev->OnSetCurrTdx(t);
    flush();
    EXPECT_EQ(state.Lock(), 0) << "refreshed when the current tool changed";

    // Another current tool, or Home, stops and locks the tool driven so far.
    for (const std::string leave : {"another tool", "PageRemoteHome"}) {
        press("remoteRun");
        tools->trace(0);
        if (leave == "PageRemoteHome") {
            press(leave.c_str());
        } else {
            dev->OnSetCurrTdx(-1);
            flush();
            dev->OnSetCurrTdx(t);
            flush();
        }
        EXPECT_EQ(tools->trace(0).substr(0, 13), "4003=0 4001=1") << leave;
    }
    EXPECT_EQ(std::pair(tools->reg(0, 4003), tools->reg(0, 4001)), std::pair(0L, 1L));
}

TEST_F(RemoteTest, ControllersGetTheirNoticesAndOutputButtonsToggleTheirOutputs) {
    ASSERT_EQ(gpioTree("init"), 0);
    Threads_Init();
    Gpio_Init();
    dev->SetSysOutFunc(0, 1);  // "Fastening OK"
    dev->SetSysOutFunc(12, 7); // "Ready"
    dev->SetGpioOutVal(12, 1);
    tools = FakeTool::onLoopback({1, 4});
    connect(0);
    connect(1);
    open();
    EXPECT_EQ(noticeShown(), "Please select a tool.");
    EXPECT_FALSE(find("remoteRun")->isVisible());
    for (int t : {0, 1}) {
        tools->trace(t);
        dev->OnSetCurrTdx(t);
        flush();
        EXPECT_EQ(noticeShown(), "Please use XWC's local LCD.") << t;
        EXPECT_EQ(tools->trace(t), "") << "nothing read or written on a controller";
    }
    shot("PageRemoteTool_Controller");

    // The manual outputs on the GPIO tree.
    run("PageRemoteTab1 %PageRemoteOutput");
    auto out = [&](int pos) {
        return TestEnv::readFile(env->sysroot() + "/sys/class/gpio/gpio" +
                                 std::to_string(gpio_out_no[pos]) + "/value");
    };
    EXPECT_EQ(find("outButton1")->text(), "Fastening OK - 1");
    EXPECT_EQ(find("outButton13")->text(), "13 - Ready");
    EXPECT_EQ(find("outButton2")->text(), "2");
    EXPECT_TRUE(find("outButton13")->property("lit").toBool()) << "lamps from the levels";
    struct Toggle {
        const char* button;
        int pos;
        const char* level;
    } toggles[] = {{"outButton1", 0, "1\n"},
                   {"outButton13", 12, "0\n"},
                   {"outButton1", 0, "0\n"},
                   {"outButton16", 15, "1\n"}};
    for (const Toggle& t : toggles) {
        played.clear();
        press(t.button);
        EXPECT_EQ(out(t.pos), t.level) << t.button;
        EXPECT_EQ(find(t.button)->property("lit").toBool(), t.level[0] == '1') << t.button;
        EXPECT_EQ(sounds(UiSoundKind::Tap), 1) << t.button;
    }
}

} // namespace
