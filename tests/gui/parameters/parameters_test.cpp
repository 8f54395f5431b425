// The parameters screen over the real device object and virtual tools on loopback: each
// editor pressed, then the tool's requests and registers checked; the numpad's refusal,
// the selector dialogs' confirm and cancel, parameter initialisation, the notices without
// register traffic, and "-" after a failed read.
#include "page/parameters/PageParameters.h"
#include "tools/Presses.h"

namespace {

class ParametersTest : public WithPresses<ToolScreenTest> {
  protected:
    // Logged in with the default password.
    PageParameters* open() {
        return openTile<PageParameters>("tileParameter", ScreenId::Parameters, "0");
    }
    QString noticeShown() { return shownText("PageParametersNotice"); }
    QString shown(const char* name) {
        auto* b = find(name);
        return b ? b->text() : QString("(no %1)").arg(name);
    }
};

constexpr const char* kFasten1 = "3:1 3:1001 3:2001";
constexpr const char* kSettings = "3:238 3:1238 3:2238";

TEST_F(ParametersTest, EditorsWriteTheToolsRegisters) {
    tools = FakeTool::onLoopback({2, 1, 3});
    const int t = connect(0);
    const int xwc = connect(1);
    const int zqt = connect(2);
    ASSERT_EQ(tools->cmd("refuse 0 245"), "ok");
    // Preset 1's target torque limited to 0.00 .. 10.00.
    ASSERT_EQ(tools->cmd("set 0 1002 0"), "ok");
    ASSERT_EQ(tools->cmd("set 0 2002 1000"), "ok");
    dev->OnSetCurrTdx(t);
    tools->trace(0);
    PageParameters* page = open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(noticeShown(), "");
    // The tool barcode tab takes results: the tool sends only new ones (4015 := 2).
    EXPECT_EQ(tools->trace(0), "4015=2 " + std::string(kFasten1));
    // Titles by the block's type, values with their lines' decimals.
    EXPECT_EQ((QStringList{text("paramTypeName"), shown("param2Value"), text("param2Title"),
                           text("param3Title"), shown("param3Value"), text("param4Title"),
                           shown("param4Value"), text("param10Title"), shown("param10Value"),
                           text("param12Title")}),
              (QStringList{"TC/AM", "1.50", "Target torque", "Torque limit (%)", "100",
                           "Target angle (not use)", "0", "Free speed (rpm)", "700",
                           "Seating point from\nTarget torque (%)"}));
    shot("PageParamFastening");

    const std::string f1 = kFasten1, f3 = "3:31 3:1031 3:2031", adv = "3:500 3:1500 3:2500",
                      set = kSettings;
    struct Step {
        const char* presses;
        std::string trace; // the tool's requests
        int reg;           // then this register holds `value`
        int value;
        const char* message = nullptr; // the refusal shown, closed again
    } steps[] = {
        {"param2Plus", "2=151 " + f1, 2, 151},
        {"param2Minus", "2=150 " + f1, 2, 150},
        {"param2Value key_Clear ~9.99 numpadOk", "2=999 " + f1, 2, 999},
        {"param2Value key_Clear ~12.34 numpadOk %PageParamFastening_Invalid", "", 2, 999,
         "Invalid value !!!\n\n( 0.00 ~ 10.00 )"},
        {"param2Value key_Clear ~1 numpadCancel", "", 2, 999},
        {"param1Switch", "1=1 " + f1, 1, 1},
        {"fastenPreset3", f3, 32, 190},
        {"param32Plus", "32=191 " + f3, 32, 191},
        {"PageParametersTab1 %PageParamAdvanced", adv, 500, 0},
        {"param501Plus", "501=1 " + adv, 501, 1},
        {"PageParametersTab2 %PageParamController", set, 260, 2},
        {"param260Select selectItem3 selectOk", "260=3 3:260 " + set, 260, 3},
        {"param260Select selectItem0 selectCancel", "", 260, 3},
        {"param261Select selectAll selectOk", "261=32767 " + set, 261, 32767},
        {"param265Select selectItem1 selectOk", "265=509 " + set, 265, 0x1FD},
        {"param240Select selectItem5 selectOk", "240=5 " + set, 240, 5},
        {"param258Select selectItem0 selectItem7 selectOk", "258=129 " + set, 258, 0x81},
        {"param251Select selectItem10 selectOk", "251=10 " + set, 251, 10},
        {"param245Plus", "245=801! 245=801! " + set, 245, 800, "Failed to write to the tool."},
        {"PageParametersTab1 param502Plus", adv + " 502=1! 502=1! " + adv, 502, 0,
         "Failed to write to the tool."},
    };
    ASSERT_EQ(tools->cmd("refuse 0 502"), "ok");
    for (const Step& s : steps) {
        SCOPED_TRACE(s.presses);
        run(s.presses);
        if (s.message) {
            EXPECT_EQ(msgText(), s.message);
            press("msgClose");
        }
        EXPECT_EQ(tools->trace(0), s.trace);
        EXPECT_EQ(tools->reg(0, s.reg), s.value);
    }
    EXPECT_EQ(dev->GetTorqueUnit_ByTdx(t), 3) << "read again after its write";
    // The switch to "AC/TM" retitled preset 1's block.
    run("PageParametersTab0 fastenPreset1");
    EXPECT_EQ((QStringList{text("param2Title"), text("param3Title"), text("paramTypeName"),
                           shown("param2Value"), text("param7Title"), shown("param7Value"),
                           text("param12Title")}),
              (QStringList{"Max torque", "Min torque", "AC/TM", "9.99", "Snug torque", "0.30",
                           "Seating point from\nMax torque (%)"}));
    EXPECT_EQ(shown("param3Value"), "1.00") << "a torque now, in hundredths";
    press("PageParametersTab2");
    EXPECT_EQ(shown("param260Select"), "cN.m");
    EXPECT_EQ(shown("param251Select"), "ZQ-150");
    EXPECT_FALSE(find<QWidget>("param355")->isVisible()) << "crow foot lines: type 3 only";
    run("param240Select %UnitParamSelect_Preset selectCancel "
        "param251Select %UnitParamSelect_DriverModel selectCancel "
        "param258Select %UnitParamSelect_ButtonLock selectCancel "
        "param260Select %UnitParamSelect_TorqueUnit selectCancel "
        "param261Select %UnitParamSelect_ScrewType selectCancel "
        "param265Select %UnitParamSelect_BackupType selectCancel "
        "param245Value %UnitNumpad numpadCancel");
    EXPECT_EQ(tools->reg(0, 245), 800) << "nothing written by the dialogs cancelled";
    tools->trace(0);

    // A controller shows the notice and is never asked anything.
    tools->trace(xwc);
    dev->OnSetCurrTdx(xwc);
    flush();
    EXPECT_EQ(noticeShown(), "Please use XWC's local LCD.");
    press("PageParametersTab0");
    EXPECT_EQ(tools->trace(xwc), "");
    shot("PageParameters_Controller");
    // A type 3 tool's crow foot registers in a block of their own.
    dev->OnSetCurrTdx(zqt);
    flush();
    tools->trace(zqt);
    press("PageParametersTab2");
    EXPECT_EQ(tools->trace(zqt), std::string(kSettings) + " 3:355 3:1355 3:2355");
    EXPECT_TRUE(find<QWidget>("param355")->isVisible());

    // Initialising the parameters dismisses the tool; it comes back through discovery.
    dev->OnSetCurrTdx(t);
    flush();
    press("PageParametersTab2");
    tools->trace(0);
    run("param252Value key_Clear ~77 numpadOk");
    EXPECT_EQ(tools->trace(0), "252=77") << "no list read after the initialisation";
    deliver();
    EXPECT_EQ(dev->OnGetCurrTdx(), -1);
    EXPECT_EQ(noticeShown(), "Please select a tool.");
    shot("PageParameters_NoTool");
    discover(0);
    Modbus_MsgQProc_Connect(t);
    deliver();
    dev->OnSetCurrTdx(t);
    flush();
    EXPECT_EQ(shown("param252Value"), "0") << "read again from the restarted tool";

    // A failed read shows "-" on every line, never the older values.
    press("PageParametersTab0");
    EXPECT_EQ(shown("param2Value"), "1.50");
    ASSERT_EQ(tools->cmd("die 0"), "ok");
    press("fastenPreset2");
    for (const char* line : {"param17Value", "param22Value", "param16Value"}) // 16: the type
        EXPECT_EQ(shown(line), "-") << line;
    EXPECT_FALSE(find("param17Plus")->isEnabled());
    EXPECT_EQ(text("paramTypeName"), "-");
    shot("PageParameters_Unread");
}

} // namespace
