// Renders every screen and dialog of the shell to $KEST_SCREENS_DIR/<Name>.png so the
// look can be reviewed (the settings tabs and their dialogs: the settings screen's tests).
#include "ShellFixture.h"
#include "UnitPassword.h"
#include "bst.h"
#include "common.h"
#include "page/shell/PageHome.h"
#include "page/shell/PageStatusBar.h"
#include "page/system/DebugLogModel.h"
#include "page/system/PageDebug.h"
#include "page/tools/PageEditToolList.h"

#include <QDir>
#include <QTableView>

namespace {
class ScreensTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
        Common_SetFixedTime(1780000000);
        registerTools({{"Station-A", 1, 3},
                       {"ZQ-left", 2, 3},
                       {"ZQT-right", 3, 4},
                       {"XWTC-2", 4, 1},
                       {"ZQ-04", 2, 2},
                       {"ZQT-06", 3, 5},
                       {"XWC-07", 1, 0},
                       {"ZQ-08", 2, 3}});
        const std::string sys = env->sysroot();
        for (const char* d : {"sda1", "mmcblk1p1"}) {
            TestEnv::writeFile(sys + "/media/" + d + "/.keep", "");
            TestEnv::writeFile(sys + "/dev/" + d, "");
        }
        dev->RefreshDrvs();
        TestEnv::writeFile(sys + "/dev/input/event1", "");
        bst_set_usb_search([](uint16_t, uint16_t) { return 0; });
        bst_init();
        bst_arrive_proc(); // a tray on the bus
        bst_main();
        standIn({ScreenId::OperationWithJob, ScreenId::Monitor});
    }
    void TearDown() override {
        if (PageDebug::Instance()) PageDebug::Instance()->Leave();
        bst_left_proc();
        bst_main();
        bst_set_usb_search(nullptr);
        ShellTest::TearDown();
    }
    // The screen the picture is named after (up to a '_') is shown, and every view is at
    // its own full size, not cut by the window.
    void shot(const char* name, QWidget* w = nullptr) {
        const QString screen = QString(name).section('_', 0, 0);
        bool shown = false;
        for (QWidget* c : root->findChildren<QWidget*>())
            if (c->isVisible() &&
                (c->objectName() == screen || screen == c->metaObject()->className()))
                shown = true;
        EXPECT_TRUE(shown) << name;
        ShellTest::shot(name, w);
        EXPECT_EQ((w ? w : root)->grab().width(), (w ? w : root)->width());
    }
};

TEST_F(ScreensTest, RenderShellScreens) {
    makeRoot();
    dev->OnSetCurrTdx(1);
    dev->UpdateRegtools(0, 3);
    flush();
    shot("PageHome_Guest");
    shot("PageStatusBar", root->StatusBar());

    dev->SetSysPwd("4321");
    press("tileLogin");
    type("12");
    shot("UnitPassword");
    press("passwordOk");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return root->Home()->Password()->IncorrectVisible(); }, 20000));
    shot("UnitPassword_Incorrect");
    type("vorkel5293");
    press("passwordOk");
    shot("PageHome_Admin");

    root->Home()->ShowMessage("Warning", "Low disk space !!!\n\nInternal storage 93%\n");
    shot("UnitErrorPopup");
    press("msgClose");

    dev->TriggerWlanScanEvent(1);
    flush();
    shot("UnitScanning");
    dev->TriggerWlanScanEvent(0);
    flush();

    dev->TriggerBstCommFail(1);
    flush();
    shot("PageStatusBar_TrayAlarm", root->StatusBar());
    dev->TriggerBstCommFail(0);

    press("btnDebug");
    PageDebug* page = PageDebug::Instance();
    ASSERT_NE(page, nullptr);
    const char* samples[] = {
        "disco_scan_ack.412 : tool 00:1b:2c:4d:5e:01 on eth0, 192.168.0.31:5020",
        "Modbus_Connect.233 : connected 192.168.0.31:5020 (tdx 0)",
        "ew event : update_regtools",
        "Gpio_ReadInput.118 : input 3 -> 1",
        "Bef_Connect.97 : fail to connect 10.0.0.5:7000, Connection refused",
    };
    for (int i = 0; i < 40; ++i)
        page->Model()->Append(samples[i % 5]);
    shot("PageDebug");
    press("debugSettings");
    shot("PageDebugSetting");
    press("debugSettingClose");
    press("debugSave");
    shot("UnitMessageBox_Confirm");
    press("msgClose");
}

// The tool screens over the eight registered tools of the fixture (no tool answers, so
// reads show their empty state; the tests of each screen render them live too).
TEST_F(ScreensTest, RenderToolScreens) {
    Screens::SetFactory(ScreenId::Monitor, nullptr);
    makeRoot();
    dev->SetSysInputFunc(0, 1);
    dev->SetSysInputFunc(8, 9);
    dev->SetSysOutFunc(0, 1);
    dev->SetSysOutFunc(1, 2);
    dev->SetSysOutFunc(9, 7);
    dev->OnSetCurrTdx(1);
    press("tileMonitor");
    shot("PageMonitorGraph_Empty");
    press("PageMonitorTab1");
    shot("PageMonitorIo");
    press("PageMonitorTab2");
    shot("PageMonitorError");
    dev->OnSetCurrTdx(0);
    flush();
    shot("PageMonitorError_Controller");
    press("PageMonitorHome");

    press("tileLogin");
    type("0");
    press("passwordOk");
    dev->OnSetCurrTdx(1);
    press("tileRemote");
    shot("PageRemoteTool");
    press("remoteToolInit");
    shot("PageRemoteTool_Confirm");
    press("msgClose");
    dev->OnSetCurrTdx(4);
    flush();
    press("remoteRun");
    shot("PageRemoteTool_NotConnected");
    press("msgClose");
    dev->OnSetCurrTdx(0);
    flush();
    shot("PageRemoteTool_Controller");
    press("PageRemoteTab1");
    shot("PageRemoteOutput");
    press("PageRemoteHome");

    dev->OnSetCurrTdx(1);
    press("tileParameter");
    shot("PageParameters_Unread");
    dev->OnSetCurrTdx(0);
    flush();
    shot("PageParameters_Controller");
    press("PageParametersHome");

    root->OpenTopDownBox();
    shot("PageTopDownBox");
    press("topDownEdit");
    auto* editor = qobject_cast<PageEditToolList*>(Screens::Find(ScreenId::EditToolList));
    ASSERT_NE(editor, nullptr);
    shot("PageEditToolList");
    press("editRegister");
    shot("PageEditToolList_Limit");
    press("msgClose");
    auto* view = editor->RegisteredView();
    QRect cell = view->visualRect(view->model()->index(2, PageEditToolList::ColSerial));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    flush();
    press("editRelease");
    shot("PageEditToolList_Release");
    press("msgClose");
    cell = view->visualRect(view->model()->index(1, PageEditToolList::ColName));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    flush();
    shot("UnitTextKeypad");
    press("textKeypadOk"); // its own name
    shot("PageEditToolList_Exists");
    press("msgClose");
    press("textKeypadCancel");
    press("editClose");
}

} // namespace
