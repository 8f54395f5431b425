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
#include "page/p2p/RestartNotice.h"
#include "setting.h"
#include "threads.h"
#include "upgrade.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <filesystem>
#include <glib.h>

namespace {
using Msg = std::pair<QString, QString>; // a message box's title and text

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
        deliver();
    }
    Msg message(QWidget* dialog) {
        auto* box = qobject_cast<UnitMessageBox*>(dialog);
        if (!box || !box->isVisible()) return {};
        return {box->Title(), box->Text()};
    }
    bool rebooted() const {
        return std::ranges::any_of(env->stubCalls(),
                                   [](const std::string& l) { return l.rfind("reboot", 0) == 0; });
    }
    // A finger on the screen where the widget is: whatever lies over it takes the touch.
    void touch(const char* name) {
        QWidget* w = find<QWidget>(name);
        ASSERT_NE(w, nullptr) << name;
        const QPoint at = w->mapTo(root, w->rect().center());
        QTest::mouseClick(root->windowHandle(), Qt::LeftButton, {}, at);
        flush();
    }
    std::string settingFile() const { return TestEnv::readFile("files/setting/setting.kest"); }
    GMainContext* ctx = nullptr;
    std::string program;
};

const char* kRestart = "Press OK to restart the system.";
const char* kUnchanged = "Failed to load.\n\nThe data is unchanged.";
const char* kRetry = "Failed to upgrade.\n\nPlease retry.";

TEST_F(P2PPagesTest, BackupSavesLoadsAndOffersTheRestartOnlyAfterALoad) {
    TestEnv::writeFile(env->root() + "/broken.p2p", "not an archive");
    // A name, p2pSave or p2pLoad, the file picked in ./files for a load, the result shown,
    // the page stays, the panel restarts, files/job/Body.job afterwards.
    using Row = std::tuple<const char*, const char*, const char*, Msg, bool, bool, std::string>;
    const Row rows[] = {
        {"save", "p2pSave", nullptr, {}, false, false, "saved job"},
        {"broken", "p2pLoad", "broken.p2p", {"Error", kUnchanged}, true, false, "changed job"},
        // Last: after its restart only the restart notice is left.
        {"load", "p2pLoad", "Kest_20261207.p2p", {"Success", kRestart}, true, true, "saved job"},
    };
    for (const auto& [name, button, file, result, pageStays, reboots, job] : rows) {
        SCOPED_TRACE(name);
        env->clearStubCalls();
        if (file && std::string(file) == "broken.p2p")
            TestEnv::writeFile("files/broken.p2p", "not an archive");
        auto* page = qobject_cast<PageP2P*>(Screens::Open(ScreenId::P2P, root));
        ASSERT_NE(page, nullptr);
        flush();
        if (!file) shot("PageP2P");
        press(button);
        if (file) {
            TestEnv::writeFile("files/job/Body.job", "changed job");
            press("p2pFileButton");
            browserPick(file);
        } else {
            press("p2pFolderButton");
            browserPick({});
        }
        press("p2pOk");
        EXPECT_EQ(message(page->Dialog()), Msg("Message", "Please wait ..."));
        if (!file) shot("PageP2P_Processing");
        runQueue();
        ASSERT_EQ(Screens::Find(ScreenId::P2P) != nullptr, pageStays);
        EXPECT_EQ(TestEnv::readFile("files/job/Body.job"), job);
        EXPECT_EQ(TestEnv::readFile("files/log/r.csv"), "results");
        if (!pageStays) {
            EXPECT_TRUE(TestEnv::exists("files/Kest_20261207.p2p"));
            continue;
        }
        EXPECT_EQ(message(page->Dialog()), result);
        shot(reboots ? "PageP2P_LoadSuccess" : "PageP2P_LoadFailed");
        press("msgClose");
        EXPECT_EQ(rebooted(), reboots);
        Screens::Close(ScreenId::P2P);
        flush();
    }
}

// A save writes the settings before its folder chooser opens, and refuses when they cannot
// be written; a load opens all the same, since it is the repair.
TEST_F(P2PPagesTest, OnlyASaveWritesTheSettingsFirst) {
    auto* page = qobject_cast<PageP2P*>(Screens::Open(ScreenId::P2P, root));
    ASSERT_NE(page, nullptr);
    Common_SetWriteFailAfter(0);
    press("p2pSave");
    EXPECT_EQ(message(page->Dialog()), Msg("Error", "Failed to save."));
    EXPECT_EQ(find<QWidget>("PageP2P_SelectFolder"), nullptr);
    press("msgClose");
    press("p2pLoad");
    EXPECT_NE(find<QWidget>("PageP2P_SelectFile"), nullptr);
    press("p2pCancel");
    Common_SetWriteFailAfter(-1);
    dev->OnSetOpmode(1);
    press("p2pSave");
    EXPECT_NE(find<QWidget>("PageP2P_SelectFolder"), nullptr);
    EXPECT_EQ(settingsKeys()["operation mode"], "without job") << "saved before the folder chooser";
}

// Once the loaded files are in place, the panel shows only that it restarts: nothing under
// the notice takes a touch, and no save (leaving the settings, a brightness change) writes
// the settings it still holds over the loaded ones, also when the restart does not come.
TEST_F(P2PPagesTest, AfterALoadOnlyTheRestartNoticeStaysAndNothingIsSavedOverTheLoadedFiles) {
    dev->OnSetOpmode(1);
    ASSERT_EQ(dev->SaveSetting(), 0);
    ASSERT_EQ(Backup_Save("./files/Kest_20261207.p2p"), 0);
    const std::string loaded = settingFile();
    dev->OnSetOpmode(0);
    ASSERT_EQ(dev->SaveSetting(), 0);
    root->show();
    for (const char* button :
         {"tileSetting", "tabSettingSystem", "p2pOpen", "p2pLoad", "p2pFileButton"})
        press(button);
    browserPick("Kest_20261207.p2p");
    press("p2pOk");
    runQueue();
    ASSERT_EQ(settingFile(), loaded);
    press("msgClose");
    EXPECT_TRUE(rebooted());
    auto* notice = find<UnitMessageBox>("restartNotice");
    ASSERT_NE(notice, nullptr);
    // Shown (a hidden box has no message) with its text.
    EXPECT_EQ(message(notice), Msg("Message", RestartNotice::Text));
    EXPECT_FALSE(notice->findChild<QPushButton*>("msgClose")->isVisible());
    shot("PageP2P_Restarting");
    for (const char* under : {"p2pClose", "p2pSave", "tabBack"}) {
        SCOPED_TRACE(under);
        touch(under);
        EXPECT_NE(Screens::Find(ScreenId::P2P), nullptr);
        EXPECT_NE(Screens::Find(ScreenId::Setting), nullptr);
    }
    // Pressed anyway (a key, a screen that slipped through), the page and the saves refuse.
    press("p2pClose");
    EXPECT_NE(Screens::Find(ScreenId::P2P), nullptr);
    press("p2pSave");
    EXPECT_EQ(find<QWidget>("UnitBrowser"), nullptr);
    EXPECT_NE(dev->SaveSetting(), 0);
    dev->OnSetBrightness(2);
    EXPECT_EQ(settingFile(), loaded);
    EXPECT_TRUE(notice->isVisible());
}

// A restart that cannot be asked for leaves the notice up, saying what to do.
TEST_F(P2PPagesTest, ARestartThatFailsSaysToSwitchThePanelOffAndOn) {
    const std::string reboot = env->root() + "/stubs/reboot"; // first on PATH
    std::filesystem::remove(reboot);
    TestEnv::writeFile(reboot, "#!/bin/sh\nexit 1\n");
    std::filesystem::permissions(reboot, std::filesystem::perms::owner_all);
    auto* notice = RestartNotice::Restart(root);
    EXPECT_EQ(message(notice), Msg("Error", RestartNotice::FailedText));
    EXPECT_FALSE(notice->findChild<QPushButton*>("msgClose")->isVisible());
    EXPECT_NE(setting_saves_refused(), nullptr);
}

TEST_F(P2PPagesTest, UpgradeReplacesTheProgramOnlyWithAnExecutableOfThisMachineThatStarts) {
    // The program built beside the tests: the upgrade starts its copy ("--version") first.
    const std::string good = TestEnv::readFile(ZQCAPP_PATH);
    TestEnv::writeFile("files/zqcapp_2.dmk", good);
    TestEnv::writeFile("files/script.dmk", "#!/bin/sh\n");
    // A name, the file chosen (nullptr: none), the confirmation's text (empty when none), the
    // result shown, the program replaced.
    const std::tuple<const char*, const char*, QString, Msg, bool> rows[] = {
        {"no file", nullptr, "", {"Error", "Please select a file."}, false},
        {"not a program", "script.dmk", "Correct ?\n\nscript.dmk", {"Error", kRetry}, false},
        {"program", "zqcapp_2.dmk", "Correct ?\n\nzqcapp_2.dmk", {"Success", kRestart}, true},
    };
    for (const auto& [name, file, confirm, result, replaced] : rows) {
        SCOPED_TRACE(name);
        env->clearStubCalls();
        TestEnv::writeFile(program, "running program");
        auto* page = qobject_cast<PageSwUpgrade*>(Screens::Open(ScreenId::SwUpgrade, root));
        ASSERT_NE(page, nullptr);
        flush();
        if (file) {
            press("swFileButton");
            browserPick(file);
            EXPECT_EQ(find<QLabel>("swFileField")->text(), QString("./files/") + file);
        }
        if (replaced) shot("PageSwUpgrade");
        press("swUpgrade");
        if (!confirm.isEmpty()) {
            EXPECT_EQ(message(page->Dialog()), Msg("Confirmation", confirm));
            if (replaced) shot("PageSwUpgrade_Confirm");
            press("confirmOk");
        }
        if (replaced) {
            EXPECT_TRUE(find<QProgressBar>("swProgress")->isVisible());
            EXPECT_TRUE(kest_test::WaitUntil([&] {
                QCoreApplication::processEvents();
                return !message(page->Dialog()).first.isEmpty();
            }));
            EXPECT_EQ(find<QProgressBar>("swProgress")->value(), 100);
        }
        EXPECT_EQ(message(page->Dialog()), result);
        if (replaced) shot("PageSwUpgrade_Success");
        EXPECT_EQ(TestEnv::readFile(program) == good, replaced);
        EXPECT_EQ(TestEnv::exists(program + ".prev"), replaced);
        press("msgClose");
        EXPECT_EQ(rebooted(), replaced);
        Screens::Close(ScreenId::SwUpgrade);
        flush();
    }
}

} // namespace
