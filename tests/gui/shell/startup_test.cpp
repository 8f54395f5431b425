// Start-up checks: the state machine as a table, then the home screen carrying its steps
// out over real storage figures, the real job store and the root timers.
#include "ShellFixture.h"
#include "Timer.h"
#include "UnitErrorPopup.h"
#include "job.h"
#include "page/shell/PageHome.h"
#include "page/shell/ShellStartup.h"
#include "page/shell/StartupChecks.h"

#include <QElapsedTimer>

namespace {
using Step = StartupChecks::Step;
using Steps = StartupChecks::Steps;

TEST(StartupChecks, StepsInOrderForEachSequenceOfEvents) {
    enum Event { Init, InitWifi, ScanOn, ScanOff, Timeout };
    // What the sequence is, its events with the steps each gives, whether the checks ran.
    const std::tuple<const char*, std::vector<std::pair<Event, Steps>>, bool> cases[] = {
        {"no adapter: both checks at once",
         {{Init, {Step::LowSpaceCheck, Step::AutoStartCheck}}},
         true},
        {"adapter: the checks follow the first scan end, once",
         {{InitWifi, {}},
          {ScanOn, {Step::ShowScanning}},
          {ScanOn, {}},
          {ScanOff,
           {Step::StopTimeout, Step::CloseScanning, Step::AutoStartCheck, Step::LowSpaceCheck}},
          {ScanOn, {Step::ShowScanning}},
          {ScanOff, {Step::StopTimeout, Step::CloseScanning}}},
         true},
        {"scan end without an indicator: the space check only",
         {{InitWifi, {}}, {ScanOff, {Step::StopTimeout, Step::LowSpaceCheck}}},
         false},
        {"time-out: auto-start and the error; a later scan end still checks space",
         {{InitWifi, {}},
          {ScanOn, {Step::ShowScanning}},
          {Timeout,
           {Step::StopTimeout, Step::CloseScanning, Step::AutoStartCheck, Step::ScanFailed}},
          {ScanOff, {Step::StopTimeout, Step::LowSpaceCheck}}},
         true},
        {"scan after the checks ran: no second auto-start",
         {{Init, {Step::LowSpaceCheck, Step::AutoStartCheck}},
          {ScanOn, {Step::ShowScanning}},
          {ScanOff, {Step::StopTimeout, Step::CloseScanning, Step::LowSpaceCheck}}},
         true},
    };
    for (const auto& [what, events, done] : cases) {
        SCOPED_TRACE(what);
        StartupChecks m;
        int i = 0;
        for (const auto& [event, want] : events) {
            Steps got = event == Init       ? m.InitDone(false)
                        : event == InitWifi ? m.InitDone(true)
                        : event == ScanOn   ? m.ScanStarted()
                        : event == ScanOff  ? m.ScanEnded()
                                            : m.TimedOut();
            EXPECT_EQ(got, want) << "event " << i++;
        }
        EXPECT_EQ(m.Done(), done);
        EXPECT_FALSE(m.ScanningShown());
    }
}

class StartupTest : public ShellTest {
  protected:
    PageHome* home() { return root->Home(); }
    void initDone() {
        dev->TriggerEwInitDone();
        flush();
    }
    void scan(int on) {
        dev->TriggerWlanScanEvent(on);
        flush();
    }
    // A job in the real store, the default job, auto-start on.
    void autoStartJob(const char* name) {
        dev->JobFree();
        load_job();
        ASSERT_EQ(dev->JobCreateNew("other"), 0);
        if (name) {
            ASSERT_EQ(dev->JobCreateNew(name), 0);
        }
        dev->OnSetAutoStartJobOnBoot(true);
        dev->SetDefaultJobName(name ? name : "nojob");
    }
    static bool loaded(const char* name) {
        return job_is_loaded() && std::string(job_loaded_header()->entry.name) == name;
    }
};

// Start-up without an adapter: one warning from the storage figures, the default job
// loaded when it exists, and the status bar and the drive list asked to fill.
TEST_F(StartupTest, StorageWarningAndAutoStart) {
    // Internal and card usage in %, the card present, the warning (nullptr: none), auto-start's
    // default job (nullptr: auto-start off; "" names none), the mode, the job screen opened.
    const std::tuple<int, int, bool, const char*, const char*, int, bool> cases[] = {
        {89, 0, false, nullptr, nullptr, 0, false},
        {90, 0, false, "Low disk space !!!\n\nInternal storage 90%\n", nullptr, 0, false},
        {89, 95, false, nullptr, nullptr, 0, false},
        {10, 95, true, "Low disk space !!!\n\nmicro sd storage 95%\n", nullptr, 0, false},
        {100, 90, true, "Low disk space !!!\n\nInternal storage 100%\nmicro sd storage 90%\n",
         nullptr, 0, false},
        {0, 0, false, nullptr, "body-left", 0, true},
        {0, 0, false, nullptr, "", 0, false},
        {0, 0, false, nullptr, "body-left", 1, false},
    };
    for (const auto& [internal, card, cardPresent, text, job, opmode, opens] : cases) {
        SCOPED_TRACE(testing::Message()
                     << internal << " " << card << " " << (job ? job : "off") << " " << opmode);
        SetUp();
        setInternalUsage(internal);
        TestEnv::writeFile(env->sysroot() + "/media/mmcblk1p1/.keep", "");
        storageFigures()["/media/mmcblk1p1"] = {1000, 1000 - 10 * uint64_t(card)};
        if (cardPresent) TestEnv::writeFile(env->sysroot() + "/dev/mmcblk1p1", "");
        if (job) autoStartJob(*job ? job : nullptr);
        dev->OnSetOpmode(opmode);
        makeRoot();
        initDone();
        EXPECT_TRUE(home()->Startup()->StartupDone());
        if (!text) {
            EXPECT_EQ(home()->MessageBox(), nullptr);
        } else {
            ASSERT_NE(home()->MessageBox(), nullptr);
            EXPECT_EQ(std::tuple(home()->MessageBox()->Title(), home()->MessageBox()->Text(),
                                 sounds(UiSoundKind::Ng)),
                      std::tuple(QString("Warning"), QString(text), 1));
        }
        EXPECT_EQ(std::tuple(Screens::Find(ScreenId::OperationWithJob) != nullptr, job_is_loaded(),
                             opens && loaded(job)),
                  std::tuple(opens, opens, opens));
        EXPECT_TRUE(root->DrvRefreshTimer()->Enabled());
        TearDown();
    }
    SetUp();
}

TEST_F(StartupTest, ScanIndicatorFollowsTheScanAndRunsTheChecks) {
    autoStartJob("j");
    setInternalUsage(95);
    makeRoot();
    auto* startup = home()->Startup();
    scan(1);
    shot("UnitScanning");
    EXPECT_TRUE(startup->ScanningShown() && startup->ScanTimeout()->Enabled());
    scan(0);
    EXPECT_EQ(std::tuple(startup->ScanningShown(), startup->ScanTimeout()->Enabled(),
                         startup->StartupDone(), loaded("j")),
              std::tuple(false, false, true, true));
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Text(), "Low disk space !!!\n\nInternal storage 95%\n");
}

TEST_F(StartupTest, ScanTimeOutReportsAndAutoStarts) {
    autoStartJob("j");
    setInternalUsage(95);
    makeRoot();
    home()->Startup()->ScanTimeout()->SetBegin(30);
    scan(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return home()->MessageBox() != nullptr; }, 20000));
    EXPECT_EQ(std::tuple(home()->MessageBox()->Title(), home()->MessageBox()->Text()),
              std::tuple(QString("Error"), QString("Scanning failed.")));
    EXPECT_EQ(std::tuple(home()->Startup()->ScanningShown(), loaded("j"),
                         home()->Startup()->StartupDone()),
              std::tuple(false, true, true));
}

TEST_F(StartupTest, StorageEventsWithinThePeriodGiveOneRefresh) {
    TestEnv::writeFile(env->sysroot() + "/media/sda1/.keep", "");
    TestEnv::writeFile(env->sysroot() + "/dev/sda1", "");
    makeRoot();
    root->DrvRefreshTimer()->SetPeriod(300);
    int notified = 0, devs = 0;
    QObject guard; // the counters live on this stack frame only
    QObject::connect(&dev->DrvUpdateNotifierEvent, &SystemEvent::triggered, &guard,
                     [&] { ++notified; });
    QObject::connect(&dev->UpdateDevsEvent, &SystemEvent::triggered, &guard, [&] { ++devs; });
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 3; ++i)
        dev->TriggerDrvsUpdate();
    flush();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notified > 0; }, 20000));
    EXPECT_GE(t.elapsed(), 290);
    EXPECT_EQ(std::tuple(dev->GetDrvsLen(), dev->GetDrvDev(0)), std::tuple(1, QString("sda1")));
    // Three events, one refresh: the later events neither restarted nor repeated it; with
    // every queued event handled and the timer off, no second one is pending.
    flush();
    EXPECT_EQ(std::tuple(root->DrvRefreshTimer()->Enabled(), notified, devs),
              std::tuple(false, 1, 1));
}

TEST_F(StartupTest, DiscoveryScanStartsAfterOneHundredMilliseconds) {
    dev->OnSetDebugFlagDisco(true);
    LogCapture log;
    QElapsedTimer t;
    t.start();
    scanning = true;
    makeRoot();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains("send disco scan"); }, 20000));
    EXPECT_GE(t.elapsed(), 95);
    root->ScanTimer()->SetPeriod(50); // the next period picks it up
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.count("send disco scan") >= 2; }, 20000));
    dev->OnSetDebugFlagDisco(false);
}
} // namespace
