// The backup and upgrade screens pressed on the root: the archive goes through the real
// network message queue (iterated here) and the backup module over the data home, the
// upgrade replaces a program file in the data home, and the restart is the reboot stub.
#include "ShellFixture.h"
#include "UnitMessageBox.h"
#include "backup.h"
#include "common.h"
#include "net.h"
#include "page/p2p/PageP2P.h"
#include "page/p2p/PageSwUpgrade.h"
#include "threads.h"
#include "upgrade.h"

#include <QLabel>
#include <QProgressBar>
#include <glib.h>

namespace {

class P2PPagesTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Common_SetFixedTime(localInstant(2026, 12, 7, 9, 30));
        EwDriver_SetDeviceObject(dev);
        ctx = g_main_context_new();
        Net_SetMsgQ(WorkQueue_New(ctx, [](void* m) { Net_ProcMsgQ(m); }));
        Backup_Start();
        PageSwUpgrade::StepMs = 1;
        program = env->home() + "/zqcapp";
        Upgrade_SetProgramPath(program.c_str());
        TestEnv::writeFile("files/job/Body.job", "saved job");
        TestEnv::writeFile("files/log/r.csv", "results");
        makeRoot();
        login("0");
    }
    void TearDown() override {
        Net_SetMsgQ(nullptr); // the queue stays allocated: its context is no longer iterated
        Net_SetBackupHandler(nullptr);
        Upgrade_SetProgramPath(nullptr);
        PageSwUpgrade::StepMs = 100;
        Common_ClearFixedTime();
        ShellTest::TearDown();
        g_main_context_unref(ctx);
    }
    // The queue's worker takes every message, then the GUI cycle delivers "processing".
    void runQueue() {
        while (g_main_context_iteration(ctx, FALSE)) {
        }
        EwDriver_ProcessData();
        flush();
    }
    std::pair<QString, QString> message(QWidget* dialog) {
        auto* box = qobject_cast<UnitMessageBox*>(dialog);
        if (!box || !box->isVisible()) return {};
        return {box->Title(), box->Text()};
    }
    bool rebooted() const {
        for (const auto& l : env->stubCalls())
            if (l.rfind("reboot", 0) == 0) return true;
        return false;
    }
    GMainContext* ctx = nullptr;
    std::string program;
};

const char* kRestart = "Press OK to restart the system.";
const char* kUnchanged = "Failed to load.\n\nThe data is unchanged.";
const char* kRetry = "Failed to upgrade.\n\nPlease retry.";

TEST_F(P2PPagesTest, BackupSavesLoadsAndOffersTheRestartOnlyAfterALoad) {
    TestEnv::writeFile(env->root() + "/broken.p2p", "not an archive");
    struct Row {
        const char* name;
        const char* button; // p2pSave or p2pLoad
        const char* file;   // picked in ./files for a load
        std::pair<QString, QString> result;
        bool pageStays, reboots;
        std::string job; // files/job/Body.job afterwards
    } rows[] = {
        {"save", "p2pSave", nullptr, {}, false, false, "saved job"},
        {"load", "p2pLoad", "Kest_20261207.p2p", {"Success", kRestart}, true, true, "saved job"},
        {"broken", "p2pLoad", "broken.p2p", {"Error", kUnchanged}, true, false, "changed job"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        env->clearStubCalls();
        if (r.file && std::string(r.file) == "broken.p2p")
            TestEnv::writeFile("files/broken.p2p", "not an archive");
        auto* page = qobject_cast<PageP2P*>(Screens::Open(ScreenId::P2P, root));
        ASSERT_NE(page, nullptr);
        flush();
        if (&r == &rows[0]) shot("PageP2P");
        press(r.button);
        if (r.file) {
            TestEnv::writeFile("files/job/Body.job", "changed job");
            press("p2pFileButton");
            browserPick(r.file);
        } else {
            press("p2pFolderButton");
            browserPick({});
        }
        press("p2pOk");
        EXPECT_EQ(message(page->Dialog()),
                  std::make_pair(QString("Message"), QString("Please wait ...")));
        if (&r == &rows[0]) shot("PageP2P_Processing");
        runQueue();
        ASSERT_EQ(Screens::Find(ScreenId::P2P) != nullptr, r.pageStays);
        EXPECT_EQ(TestEnv::readFile("files/job/Body.job"), r.job);
        EXPECT_EQ(TestEnv::readFile("files/log/r.csv"), "results");
        if (!r.pageStays) {
            EXPECT_TRUE(TestEnv::exists("files/Kest_20261207.p2p"));
            continue;
        }
        EXPECT_EQ(message(page->Dialog()), r.result);
        shot(r.reboots ? "PageP2P_LoadSuccess" : "PageP2P_LoadFailed");
        press("msgClose");
        EXPECT_EQ(rebooted(), r.reboots);
        Screens::Close(ScreenId::P2P);
        flush();
    }
}

TEST_F(P2PPagesTest, UpgradeReplacesTheProgramOnlyWithAnExecutableOfThisMachineThatStarts) {
    // The program built beside the tests: the upgrade starts its copy ("--version") first.
    const std::string good = TestEnv::readFile(ZQCAPP_PATH);
    TestEnv::writeFile("files/zqcapp_2.dmk", good);
    TestEnv::writeFile("files/script.dmk", "#!/bin/sh\n");
    struct Row {
        const char* name;
        const char* file; // nullptr: none chosen
        QString confirm;  // the confirmation's text, empty when none
        std::pair<QString, QString> result;
        bool replaced;
    } rows[] = {
        {"no file", nullptr, "", {"Error", "Please select a file."}, false},
        {"not a program", "script.dmk", "Correct ?\n\nscript.dmk", {"Error", kRetry}, false},
        {"program", "zqcapp_2.dmk", "Correct ?\n\nzqcapp_2.dmk", {"Success", kRestart}, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        env->clearStubCalls();
        TestEnv::writeFile(program, "running program");
        auto* page = qobject_cast<PageSwUpgrade*>(Screens::Open(ScreenId::SwUpgrade, root));
        ASSERT_NE(page, nullptr);
        flush();
        if (r.file) {
            press("swFileButton");
            browserPick(r.file);
            EXPECT_EQ(find<QLabel>("swFileField")->text(), QString("./files/") + r.file);
        }
        if (r.replaced) shot("PageSwUpgrade");
        press("swUpgrade");
        if (!r.confirm.isEmpty()) {
            EXPECT_EQ(message(page->Dialog()), std::make_pair(QString("Confirmation"), r.confirm));
            if (r.replaced) shot("PageSwUpgrade_Confirm");
            press("confirmOk");
        }
        if (r.replaced) {
            EXPECT_TRUE(find<QProgressBar>("swProgress")->isVisible());
            EXPECT_TRUE(kest_test::WaitUntil([&] {
                QCoreApplication::processEvents();
                return !message(page->Dialog()).first.isEmpty();
            }));
            EXPECT_EQ(find<QProgressBar>("swProgress")->value(), 100);
        }
        EXPECT_EQ(message(page->Dialog()), r.result);
        if (r.replaced) shot("PageSwUpgrade_Success");
        EXPECT_EQ(TestEnv::readFile(program) == good, r.replaced);
        EXPECT_EQ(TestEnv::exists(program + ".prev"), r.replaced);
        press("msgClose");
        EXPECT_EQ(rebooted(), r.replaced);
        Screens::Close(ScreenId::SwUpgrade);
        flush();
    }
}

} // namespace
