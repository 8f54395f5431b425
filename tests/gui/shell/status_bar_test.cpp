// The status bar over the real device object: tool icons by type and connection state
// from the registry, device icons from the drive list, the tray, the scanner node, and
// the clock.
#include "ShellFixture.h"
#include "bst.h"
#include "common.h"
#include "page/shell/PageStatusBar.h"

#include <QLabel>
#include <QSignalSpy>

namespace {
class StatusBarTest : public ShellTest {
  protected:
    QLabel* label(const QString& name) { return root->StatusBar()->findChild<QLabel*>(name); }
    QString icon(const char* row, int i, const char* prop = "picture") {
        return label(QString("%1%2").arg(row).arg(i))->property(prop).toString();
    }
    QString text(const char* name) { return label(name)->text(); }
    QStringList icons(const char* row, int n, const char* prop = "picture") {
        QStringList l;
        for (int i = 0; i < n; ++i)
            l << icon(row, i, prop);
        return l;
    }
};

int absent(uint16_t, uint16_t) {
    return 0;
}

TEST_F(StatusBarTest, ToolIconsByTypeAndStateWithTheCounts) {
    registerTools({{"press-1", 1, 3},
                   {"d2", 2, 4},
                   {"d3", 3, 5},
                   {"c4", 4, 1},
                   {"d5", 2, 2},
                   {"d6", 3, 0},
                   {"x7", 9, 3},
                   {"c8", 1, 3}});
    makeRoot();
    EXPECT_EQ(icons("toolIcon", 8),
              QStringList({"tool_controller", "tool_driver", "tool_driver", "tool_controller",
                           "tool_driver", "tool_driver", "", "tool_controller"}));
    EXPECT_EQ(icons("toolIcon", 8, "stateClass"),
              QStringList({"connected", "failed", "failed", "busy", "connecting", "connecting",
                           "connected", "connected"}));
    EXPECT_EQ(text("statusToolCount"), "(3/8)");
    EXPECT_EQ(text("statusToolName"), "unselected");
    dev->OnSetCurrTdx(0);
    flush();
    EXPECT_EQ(text("statusToolName"), "press-1");
    shot("PageStatusBar", root->StatusBar());
    // A registry event refreshes the states.
    setToolState(1, 3);
    dev->UpdateRegtools(1, 3);
    flush();
    EXPECT_EQ(text("statusToolCount"), "(4/8)");
}

TEST_F(StatusBarTest, ToolsLoadedAtStartUpShowWhenStartUpIsDone) {
    makeRoot(); // built before the registry is loaded, as at start-up
    registerTools({{"a", 2, 2}, {"b", 2, 3}, {"c", 1, 5}});
    EXPECT_EQ(text("statusToolCount"), "(0/0)");
    dev->TriggerEwInitDone();
    flush();
    EXPECT_EQ(text("statusToolCount"), "(1/3)");
    EXPECT_EQ(icon("toolIcon", 2), "tool_controller");
    EXPECT_EQ(icon("toolIcon", 3), "");
}

TEST_F(StatusBarTest, DeviceIconsInOrderAndTrayAlarmBlinks) {
    const std::string sys = env->sysroot();
    for (const char* d : {"sda1", "mmcblk1p1"}) {
        TestEnv::writeFile(sys + "/media/" + d + "/.keep", "");
        TestEnv::writeFile(sys + "/dev/" + d, "");
    }
    TestEnv::writeFile(sys + "/dev/input/event1", "");
    // Drives come in directory order: the pictures follow the list.
    auto drivePictures = [&] {
        QStringList pictures;
        for (int i = 0; i < dev->GetDrvsLen(); ++i)
            pictures.push_back(dev->GetDrvDev(i) == "mmcblk1p1" ? "dev_sd" : "dev_usb");
        return pictures;
    };
    ASSERT_EQ(dev->RefreshDrvs(), 2);
    // A tray whose serial node never appears is connected (and never communicates).
    bst_set_usb_search(absent);
    bst_init();
    bst_arrive_proc();
    bst_main();
    makeRoot();
    EXPECT_EQ(icons("devIcon", 8),
              drivePictures() + QStringList({"dev_tray", "dev_barcode", "", "", "", ""}));
    dev->TriggerBstCommFail(1);
    flush();
    shot("PageStatusBar_TrayAlarm", root->StatusBar());
    QLabel* tray = label("devIcon2");
    EXPECT_EQ(icon("devIcon", 2), "dev_tray_alarm");
    bool shown = !tray->pixmap().isNull();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->pixmap().isNull() == shown; }, 20000));
    dev->TriggerBstCommFail(0);
    flush();
    EXPECT_EQ(icon("devIcon", 2), "dev_tray");
    EXPECT_FALSE(tray->pixmap().isNull());
    // A drive that appears shows after the refresh; a pulled scanner goes.
    TestEnv::writeFile(sys + "/media/sdb1/.keep", "");
    TestEnv::writeFile(sys + "/dev/sdb1", "");
    std::remove((sys + "/dev/input/event1").c_str());
    ASSERT_EQ(dev->RefreshDrvs(), 3);
    dev->TriggerUpdateDevs();
    flush();
    EXPECT_EQ(icons("devIcon", 5), drivePictures() + QStringList({"dev_tray", ""}));
    bst_left_proc();
    bst_main();
    EXPECT_FALSE(dev->IsBstConnect()) << "a pulled tray is gone after the next tick";
    bst_set_usb_search(nullptr);
}

TEST_F(StatusBarTest, RunningJobNameTakesThePlaceOfTheCurrentTool) {
    registerTools({{"press-1", 1, 3}});
    ASSERT_EQ(dev->JobCreateNew("Door, left"), 0);
    makeRoot();
    dev->OnSetCurrTdx(0); // its name shown: the tool icons' case
    flush();
    QSignalSpy changed(dev, &ApplicationDeviceClass::CurrentJobChanged);
    dev->OnSetCurrentJob(0);
    dev->OnSetCurrentJob(0);
    EXPECT_EQ(changed.count(), 1) << "only a change is announced";
    EXPECT_EQ(text("statusToolName"), "Door, left");
    dev->OnSetCurrentJob(7); // no such job: none runs
    EXPECT_EQ(dev->OnGetCurrentJob(), -1);
    EXPECT_EQ(text("statusToolName"), "press-1");
}

TEST_F(StatusBarTest, ClockFollowsThePanelClock) {
    Common_SetFixedTime(1709251199); // 2024-02-29 23:59:59 UTC
    setenv("TZ", "UTC", 1);
    tzset();
    makeRoot();
    EXPECT_EQ(text("statusClock"), "2024-02-29 23:59:59");
}
} // namespace
