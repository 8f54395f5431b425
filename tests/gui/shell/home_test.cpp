// Home screen: menus from the screen registry, login levels, working screens opened and
// left through the navigator, message box, settings save.
#include "ShellFixture.h"
#include "UnitErrorPopup.h"
#include "UnitMenu.h"
#include "UnitPassword.h"
#include "UnitScrim.h"
#include "common.h"
#include "page/shell/PageHome.h"
#include "page/system/DebugLogModel.h"
#include "page/system/PageDebug.h"

#include <QElapsedTimer>
#include <QLabel>

namespace {
const char* const kDebugSamples[] = {
    "disco_scan_ack.412 : tool 00:1b:2c:4d:5e:01 on eth0, 192.168.0.31:5020",
    "Modbus_Connect.233 : connected 192.168.0.31:5020 (tdx 0)",
    "ew event : update_regtools",
    "Gpio_ReadInput.118 : input 3 -> 1",
    "Bef_Connect.97 : fail to connect 10.0.0.5:7000, Connection refused",
};

class HomeTest : public ShellTest {
  protected:
    PageHome* home() { return root->Home(); }
    // Logout leaves the guest menu with its login tile and no debug button.
    void logoutToGuest() {
        press("tileLogout");
        EXPECT_EQ(std::tuple(home()->AdminMenuShown(), dev->OnGetUserLevel(),
                             find("tileLogin") != nullptr, find("btnDebug")->isVisible()),
                  std::tuple(false, 0, true, false));
    }
};

// Each level's menu in order, every tile with its picture (the subtitles are the look's,
// in the pictures).
TEST_F(HomeTest, MenusCarryTheirTilesInOrder) {
    makeRoot();
    ASSERT_FALSE(home()->AdminMenuShown());
    shot("PageHome_Guest");
    EXPECT_EQ(home()->Menu()->Titles(), QStringList({"Operation", "Monitor", "System", "Login"}));
    EXPECT_EQ(find("tileJobManager"), nullptr);
    dev->SetSysPwd("4321");
    login("4321");
    shot("PageHome_Admin");
    EXPECT_EQ(home()->Menu()->Titles(),
              QStringList({"Operation", "Job Manager", "Parameter", "Monitor", "Remote", "Setting",
                           "System", "Logout", "File browser"}));
    EXPECT_EQ(find("tileLogin"), nullptr);
    for (const char* tile :
         {"tileOperation", "tileJobManager", "tileParameter", "tileMonitor", "tileRemote",
          "tileSetting", "tileSystem", "tileLogout", "tileFilebrowser"}) {
        ASSERT_NE(find(tile), nullptr) << tile;
        EXPECT_FALSE(find(tile)->findChild<QLabel*>("tileIcon")->pixmap().isNull()) << tile;
    }
    EXPECT_EQ(std::tuple(home()->AdminMenuShown(), dev->OnGetUserLevel(), home()->Password(),
                         find("btnDebug")->isVisible()),
              std::tuple(true, 1, nullptr, false));
    logoutToGuest();
}

TEST_F(HomeTest, ServicePasswordGivesItsLevelAndTheDebugPage) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("vorkel5293");
    EXPECT_EQ(std::tuple(home()->AdminMenuShown(), dev->OnGetUserLevel(), home()->Password(),
                         find("btnDebug")->isVisible()),
              std::tuple(true, 2, nullptr, true));
    press("btnDebug");
    ASSERT_NE(PageDebug::Instance(), nullptr);
    for (int i = 0; i < 40; ++i)
        PageDebug::Instance()->Model()->Append(kDebugSamples[i % 5]);
    shot("PageDebug");
    press("debugSettings");
    shot("PageDebugSetting");
    press("debugSettingClose");
    press("debugSave");
    shot("UnitMessageBox_Confirm");
    press("msgClose");
    PageDebug::Instance()->Leave();
    flush();
    logoutToGuest();
}

// Cancel closes the prompt; a wrong password clears it and blinks four times, keeping
// the prompt; a correct one while the error blinks logs in.
TEST_F(HomeTest, PasswordPromptCancelWrongAndCorrectWhileBlinking) {
    makeRoot();
    dev->SetSysPwd("4321");
    press("tileLogin");
    press("passwordCancel");
    EXPECT_EQ(std::tuple(home()->Password(), dev->OnGetUserLevel()), std::tuple(nullptr, 0));
    login("9999");
    UnitPassword* pw = home()->Password();
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(std::tuple(pw->Text(), sounds(UiSoundKind::Ng), dev->OnGetUserLevel(),
                         home()->AdminMenuShown()),
              std::tuple(QString(), 1, 0, false));
    // Record every visibility change of the message until the blinking ends.
    QElapsedTimer t;
    t.start();
    int shows = 0;
    bool last = false;
    while (pw->Blinking() && t.elapsed() < 10000) {
        QTest::qWait(20);
        if (pw->IncorrectVisible() && !last && ++shows == 1) shot("UnitPassword_Incorrect");
        last = pw->IncorrectVisible();
    }
    // Four toggles: on, off, on, off.
    EXPECT_EQ(std::tuple(pw->Blinking(), pw->IncorrectVisible(), shows, home()->Password()),
              std::tuple(false, false, 2, pw));
    EXPECT_GE(t.elapsed(), 1400);
    type("1111");
    shot("UnitPassword");
    press("passwordOk");
    ASSERT_TRUE(home()->Password()->Blinking());
    type("4321");
    press("passwordOk");
    EXPECT_EQ(std::tuple(home()->AdminMenuShown(), dev->OnGetUserLevel(), home()->Password()),
              std::tuple(true, 1, nullptr));
}

TEST_F(HomeTest, OneScreenOfEachKindAndOnlyAtItsLevel) {
    standInAll();
    standIn({ScreenId::Monitor}); // counted
    makeRoot();
    press("tileMonitor");
    Page* monitor = Screens::Find(ScreenId::Monitor);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(std::tuple(Screens::Open(ScreenId::Monitor, home()), created[ScreenId::Monitor]),
              std::tuple(monitor, 1));
    monitor->Leave();
    flush();
    EXPECT_EQ(Screens::Find(ScreenId::Monitor), nullptr);
    press("tileMonitor");
    EXPECT_EQ(created[ScreenId::Monitor], 2);
    // Lowest user level of a screen: guest, administrator, service.
    const std::pair<ScreenId, int> lowest[] = {
        {ScreenId::Setting, 1}, {ScreenId::Browser, 1}, {ScreenId::Debug, 2}};
    for (const auto& [id, lowestLevel] : lowest) {
        for (int level = 0; level <= 2; ++level) {
            dev->OnSetUserLevel(level);
            Page* p = Screens::Open(id, root);
            EXPECT_EQ(p != nullptr, level >= lowestLevel) << int(id) << " at " << level;
            Screens::Close(id);
            flush();
        }
    }
}

TEST_F(HomeTest, SecondMessageIsDroppedWhileOneIsOpen) {
    makeRoot();
    EXPECT_TRUE(home()->ShowMessage("Warning", "first"));
    shot("UnitErrorPopup");
    EXPECT_FALSE(home()->ShowMessage("Error", "second"));
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(std::tuple(home()->MessageBox()->Text(), sounds(UiSoundKind::Ng)),
              std::tuple(QString("first"), 1));
    press("msgClose");
    EXPECT_EQ(std::tuple(home()->MessageBox(), sounds(UiSoundKind::Tap)), std::tuple(nullptr, 1));
    EXPECT_TRUE(home()->ShowMessage("Error", "third"));
}

TEST_F(HomeTest, OperationTileFollowsTheModeAndWarnsOfAMissingLogCard) {
    standInAll();
    // The mode, the log on the card, the card present, the screen opened, the warning.
    const std::tuple<int, bool, bool, ScreenId, bool> cases[] = {
        {1, true, true, ScreenId::OperationWithoutJob, false},
        {0, true, false, ScreenId::OperationWithJob, true},
        {1, true, false, ScreenId::OperationWithoutJob, true},
        {0, false, false, ScreenId::OperationWithJob, false},
    };
    for (const auto& [opmode, logOnCard, cardPresent, opens, warns] : cases) {
        SCOPED_TRACE(testing::Message() << opmode << logOnCard << cardPresent);
        makeRoot();
        if (cardPresent) TestEnv::writeFile(env->sysroot() + "/dev/mmcblk1p1", "");
        dev->OnSetOpmode(opmode);
        dev->OnSetLogPath(logOnCard ? 1 : 0);
        press("tileOperation");
        EXPECT_NE(Screens::Find(opens), nullptr);
        EXPECT_EQ(home()->MessageBox() != nullptr, warns);
        if (warns) {
            EXPECT_EQ(home()->MessageBox()->Title(), "Warning");
            EXPECT_EQ(home()->MessageBox()->Text(),
                      "The log store location is set to MicroSD,\nbut MicroSD does not exist.");
        }
        delete root;
        root = nullptr;
        flush();
        std::remove((env->sysroot() + "/dev/mmcblk1p1").c_str());
    }
}

// Leaving the settings reports a failed save; leaving the browser (a modal
// dialog) makes the program executable.
TEST_F(HomeTest, LeavingSettingsAndTheBrowser) {
    standInAll();
    makeRoot();
    dev->SetSysPwd("4321");
    login("4321");
    press("tileSetting"); // a save that works: the settings screen's tests

    Common_SetWriteFailAfter(0);
    Screens::Find(ScreenId::Setting)->Leave();
    Common_SetWriteFailAfter(-1);
    flush();
    EXPECT_EQ(Screens::Find(ScreenId::Setting), nullptr);
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(std::tuple(home()->MessageBox()->Title(), home()->MessageBox()->Text()),
              std::tuple(QString("Error"), QString("Failed to save.")));
    press("msgClose");

    press("tileFilebrowser");
    Page* browser = Screens::Find(ScreenId::Browser);
    ASSERT_NE(browser, nullptr);
    EXPECT_NE(root->findChild<UnitScrim*>(), nullptr);
    TestEnv::writeFile("zqcapp", "#!/bin/sh\n");
    int taps = sounds(UiSoundKind::Tap);
    browser->Leave();
    flush();
    EXPECT_EQ(std::tuple(Screens::Find(ScreenId::Browser), root->findChild<UnitScrim*>(),
                         sounds(UiSoundKind::Tap), access("zqcapp", X_OK)),
              std::tuple(nullptr, nullptr, taps + 1, 0));
}
} // namespace
