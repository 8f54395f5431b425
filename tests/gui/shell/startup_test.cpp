// Start-up checks, scanning indicator, root timers and the status bar.
#include "ShellFixture.h"
#include "Timer.h"
#include "UnitErrorPopup.h"
#include "common.h"
#include "page/shell/PageHome.h"
#include "page/shell/PageStatusBar.h"
#include "page/shell/ShellStartup.h"

#include <QElapsedTimer>
#include <QLabel>

namespace {
class Counted : public Page {
  public:
    explicit Counted(int* created) { ++*created; }
};

class StartupTest : public ShellTest {
  protected:
    void TearDown() override {
        PageHome::SetFactory(PageHome::OperationWithJob, nullptr);
        ShellTest::TearDown();
    }
    PageHome* home() { return root->Home(); }
    void initDone() {
        dev->TriggerEwInitDone();
        flush();
    }
    void scan(int on) {
        dev->TriggerWlanScanEvent(on);
        flush();
    }
    int operations = 0;
    void withJobScreen() {
        PageHome::SetFactory(PageHome::OperationWithJob,
                             [this] { return new Counted(&operations); });
    }
};

TEST_F(StartupTest, FullInternalStorageGivesOneWarning) {
    setInternalUsage(90);
    makeRoot();
    initDone();
    EXPECT_EQ(services->netInits, 1);
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Title(), "Warning");
    EXPECT_EQ(home()->MessageBox()->Text(), "Low disk space !!!\n\nInternal storage 90%\n");
    EXPECT_EQ(services->count(UiSoundKind::Ng), 1);
    EXPECT_TRUE(home()->Startup()->StartupDone());
    // The status bar and the drive list are asked to fill.
    EXPECT_TRUE(root->DrvRefreshTimer()->Enabled());
}

TEST_F(StartupTest, StorageBoundaryAndMicroSdCard) {
    struct Case {
        int internal;
        int card;
        bool cardPresent;
        const char* text;
    };
    const Case cases[] = {
        {89, 0, false, nullptr},
        {89, 95, false, nullptr},
        {10, 95, true, "Low disk space !!!\n\nmicro sd storage 95%\n"},
        {100, 90, true, "Low disk space !!!\n\nInternal storage 100%\nmicro sd storage 90%\n"},
    };
    for (const Case& c : cases) {
        SetUp();
        setInternalUsage(c.internal);
        TestEnv::writeFile(env->sysroot() + "/media/mmcblk1p1/.keep", "");
        storageFigures()["/media/mmcblk1p1"] = {1000, 1000 - 10 * uint64_t(c.card)};
        if (c.cardPresent) TestEnv::writeFile(env->sysroot() + "/dev/mmcblk1p1", "");
        makeRoot();
        initDone();
        if (!c.text) {
            EXPECT_EQ(home()->MessageBox(), nullptr) << c.internal;
        } else {
            ASSERT_NE(home()->MessageBox(), nullptr) << c.internal;
            EXPECT_EQ(home()->MessageBox()->Text(), c.text);
        }
        TearDown();
    }
    SetUp();
}

TEST_F(StartupTest, AutoStartWithAnUnknownJobStaysHome) {
    withJobScreen();
    dev->OnSetAutoStartJobOnBoot(true);
    dev->SetDefaultJobName("nojob");
    services->jobs["other"] = 0;
    makeRoot();
    initDone();
    EXPECT_EQ(operations, 0);
    EXPECT_EQ(home()->MessageBox(), nullptr);
    EXPECT_TRUE(services->loadedJobs.empty());
    EXPECT_TRUE(home()->Startup()->StartupDone());
}

TEST_F(StartupTest, AutoStartOpensTheJob) {
    withJobScreen();
    dev->OnSetAutoStartJobOnBoot(true);
    dev->SetDefaultJobName("body-left");
    services->jobs["body-left"] = 4;
    makeRoot();
    initDone();
    EXPECT_EQ(operations, 1);
    EXPECT_EQ(services->loadedJobs, std::vector<int>{4});
}

TEST_F(StartupTest, AutoStartNeverLoadsAJobWithoutJobMode) {
    withJobScreen();
    dev->OnSetAutoStartJobOnBoot(true);
    dev->OnSetOpmode(1);
    dev->SetDefaultJobName("body-left");
    services->jobs["body-left"] = 4;
    makeRoot();
    initDone();
    EXPECT_TRUE(services->loadedJobs.empty());
}

TEST_F(StartupTest, WifiAdapterDefersTheChecksToTheScanEnd) {
    withJobScreen();
    services->wifi = true;
    setInternalUsage(95);
    dev->OnSetAutoStartJobOnBoot(true);
    dev->SetDefaultJobName("j");
    services->jobs["j"] = 1;
    makeRoot();
    initDone();
    EXPECT_FALSE(home()->Startup()->StartupDone());
    EXPECT_EQ(home()->MessageBox(), nullptr);
    scan(1);
    EXPECT_TRUE(home()->Startup()->ScanningShown());
    EXPECT_TRUE(home()->Startup()->ScanTimeout()->Enabled());
    scan(1); // already shown
    scan(0);
    EXPECT_FALSE(home()->Startup()->ScanningShown());
    EXPECT_FALSE(home()->Startup()->ScanTimeout()->Enabled());
    EXPECT_TRUE(home()->Startup()->StartupDone());
    EXPECT_EQ(services->loadedJobs, std::vector<int>{1});
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Text(), "Low disk space !!!\n\nInternal storage 95%\n");
    press("msgClose");
    // Later scans: no second auto-start, no second low-space check.
    scan(1);
    scan(0);
    EXPECT_EQ(services->loadedJobs.size(), 1u);
    EXPECT_EQ(home()->MessageBox(), nullptr);
}

TEST_F(StartupTest, ScanEndWithoutIndicatorChecksSpaceOnly) {
    withJobScreen();
    services->wifi = true;
    setInternalUsage(92);
    dev->OnSetAutoStartJobOnBoot(true);
    dev->SetDefaultJobName("j");
    services->jobs["j"] = 1;
    makeRoot();
    initDone();
    scan(0);
    EXPECT_TRUE(services->loadedJobs.empty());
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Title(), "Warning");
}

TEST_F(StartupTest, ScanTimeOutReportsAndAutoStarts) {
    withJobScreen();
    services->wifi = true;
    setInternalUsage(95);
    dev->OnSetAutoStartJobOnBoot(true);
    dev->SetDefaultJobName("j");
    services->jobs["j"] = 2;
    makeRoot();
    initDone();
    home()->Startup()->ScanTimeout()->SetBegin(30);
    scan(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return home()->MessageBox() != nullptr; }, 2000));
    EXPECT_FALSE(home()->Startup()->ScanningShown());
    EXPECT_EQ(home()->MessageBox()->Title(), "Error");
    EXPECT_EQ(home()->MessageBox()->Text(), "Scanning failed.");
    EXPECT_EQ(services->loadedJobs, std::vector<int>{2});
    EXPECT_TRUE(home()->Startup()->StartupDone());
}

TEST_F(StartupTest, StorageEventsWithinThePeriodGiveOneRefresh) {
    makeRoot();
    root->DrvRefreshTimer()->SetPeriod(300);
    int notified = 0, devs = 0;
    QObject guard; // the counters live on this stack frame only
    QObject::connect(&dev->DrvUpdateNotifierEvent, &SystemEvent::triggered, &guard,
                     [&] { ++notified; });
    QObject::connect(&dev->UpdateDevsEvent, &SystemEvent::triggered, &guard, [&] { ++devs; });
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 3; ++i) {
        dev->TriggerDrvsUpdate();
        QTest::qWait(80);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return services->driveRefreshes > 0; }, 2000));
    qint64 after = t.elapsed();
    EXPECT_GE(after, 290);
    EXPECT_LT(after, 450); // from the first event, not the last (that would be >= 460)
    QTest::qWait(700);
    EXPECT_EQ(services->driveRefreshes, 1);
    EXPECT_EQ(services->barcodeRefreshes, 1);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(devs, 1);
    EXPECT_FALSE(root->DrvRefreshTimer()->Enabled());
}

TEST_F(StartupTest, DiscoveryScanStartsAfterOneHundredMilliseconds) {
    QElapsedTimer t;
    t.start();
    makeRoot();
    ASSERT_TRUE(QTest::qWaitFor([&] { return services->scans > 0; }, 2000));
    EXPECT_GE(t.elapsed(), 95);
    EXPECT_EQ(services->scans, 1);
    root->ScanTimer()->SetPeriod(50); // the next period picks it up
    ASSERT_TRUE(QTest::qWaitFor([&] { return services->scans >= 2; }, 5000));
}

// ---- status bar ----

QString prop(QLabel* l, const char* name) {
    return l->property(name).toString();
}

TEST_F(StartupTest, StatusBarShowsToolsByTypeAndState) {
    services->tools = {{1, 3, "press-1"}, {2, 4, "d2"}, {3, 5, "d3"}, {4, 1, "c4"},
                       {2, 2, "d5"},      {3, 0, "d6"}, {9, 3, "x7"}, {1, 3, "c8"}};
    makeRoot();
    dev->UpdateRegtools(0, 3);
    flush();
    PageStatusBar* bar = root->StatusBar();
    struct Want {
        const char* picture;
        const char* cls;
    };
    const Want want[8] = {{"tool_controller", "connected"},
                          {"tool_driver", "failed"},
                          {"tool_driver", "failed"},
                          {"tool_controller", "busy"},
                          {"tool_driver", "connecting"},
                          {"tool_driver", "connecting"},
                          {"", "connected"},
                          {"tool_controller", "connected"}};
    for (int i = 0; i < 8; ++i) {
        auto* l = bar->findChild<QLabel*>(QString("toolIcon%1").arg(i));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(prop(l, "picture"), want[i].picture) << i;
        EXPECT_EQ(prop(l, "stateClass"), want[i].cls) << i;
    }
    EXPECT_EQ(bar->findChild<QLabel*>("statusToolCount")->text(), "(3/8)");
    EXPECT_EQ(bar->findChild<QLabel*>("statusToolName")->text(), "unselected");
    dev->OnSetCurrTdx(0);
    flush();
    EXPECT_EQ(bar->findChild<QLabel*>("statusToolName")->text(), "press-1");
}

TEST_F(StartupTest, StatusBarCountsThreeToolsOneConnected) {
    services->tools = {{2, 2, "a"}, {2, 3, "b"}, {1, 5, "c"}};
    makeRoot();
    PageStatusBar* bar = root->StatusBar();
    EXPECT_EQ(bar->findChild<QLabel*>("statusToolCount")->text(), "(1/3)");
    EXPECT_EQ(prop(bar->findChild<QLabel*>("toolIcon2"), "picture"), "tool_controller");
    EXPECT_EQ(prop(bar->findChild<QLabel*>("toolIcon3"), "picture"), "");
    services->tools.clear();
    dev->UpdateRegtools(0, 0);
    flush();
    EXPECT_EQ(bar->findChild<QLabel*>("statusToolCount")->text(), "(0/0)");
    EXPECT_EQ(prop(bar->findChild<QLabel*>("toolIcon0"), "picture"), "");
}

TEST_F(StartupTest, StatusBarDeviceIconsInOrderAndTrayAlarmBlinks) {
    services->drives = {"sda1", "mmcblk1p1"};
    services->tray = true;
    services->wifi = true;
    TestEnv::writeFile(env->sysroot() + "/dev/input/event1", "");
    makeRoot();
    PageStatusBar* bar = root->StatusBar();
    const char* want[] = {"dev_usb", "dev_sd", "dev_tray", "dev_barcode", "dev_wifi", "", "", ""};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(prop(bar->findChild<QLabel*>(QString("devIcon%1").arg(i)), "picture"), want[i])
            << i;
    dev->TriggerBstCommFail(1);
    flush();
    auto* tray = bar->findChild<QLabel*>("devIcon2");
    EXPECT_EQ(prop(tray, "picture"), "dev_tray_alarm");
    bool a = !tray->pixmap().isNull();
    QTest::qWait(560);
    bool b = !tray->pixmap().isNull();
    EXPECT_NE(a, b); // toggled after one blink period
    dev->TriggerBstCommFail(0);
    flush();
    EXPECT_EQ(prop(tray, "picture"), "dev_tray");
    EXPECT_FALSE(tray->pixmap().isNull());
    // A new drive appears after the refresh.
    services->drives = {"sda1", "mmcblk1p1", "sdb1"};
    dev->TriggerUpdateDevs();
    flush();
    EXPECT_EQ(prop(bar->findChild<QLabel*>("devIcon2"), "picture"), "dev_usb");
}

TEST_F(StartupTest, StatusBarClockFollowsThePanelClock) {
    Common_SetFixedTime(1767225599); // 2025-12-31 23:59:59 UTC
    setenv("TZ", "UTC", 1);
    tzset();
    makeRoot();
    EXPECT_EQ(root->StatusBar()->findChild<QLabel*>("statusClock")->text(), "2025-12-31 23:59:59");
}
} // namespace
