// Home screen: menus from the screen registry, login levels, working screens opened and
// left through the navigator, message box, settings save.
#include "ShellFixture.h"
#include "UnitErrorPopup.h"
#include "UnitMenu.h"
#include "UnitPassword.h"
#include "UnitScrim.h"
#include "common.h"
#include "page/shell/PageHome.h"

#include <QElapsedTimer>
#include <QLabel>

namespace {
class HomeTest : public ShellTest {
  protected:
    PageHome* home() { return root->Home(); }
};

// Each level's menu in order, every tile with its picture (the subtitles are the look's,
// in the pictures).
TEST_F(HomeTest, MenusCarryTheirTilesInOrder) {
    makeRoot();
    ASSERT_FALSE(home()->AdminMenuShown());
    EXPECT_EQ(home()->Menu()->Titles(), QStringList({"Operation", "Monitor", "System", "Login"}));
    EXPECT_EQ(find("tileJobManager"), nullptr);
    dev->SetSysPwd("4321");
    login("4321");
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
}

TEST_F(HomeTest, TilesOfScreensNotBuiltAreDisabled) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("4321");
    EXPECT_TRUE(find("tileJobManager")->isEnabled()); // built: every tile has its screen
    EXPECT_TRUE(find("tileParameter")->isEnabled());
    EXPECT_TRUE(find("tileMonitor")->isEnabled());
    EXPECT_TRUE(find("tileSystem")->isEnabled()); // its network status tab
    delete root;
    root = nullptr;
    standIn({ScreenId::JobManager});
    makeRoot();
    login("4321");
    EXPECT_TRUE(find("tileJobManager")->isEnabled());
    EXPECT_TRUE(find("tileOperation")->isEnabled()); // the job screen
    // The operation tile follows the screen of the mode in force.
    standIn({ScreenId::OperationWithoutJob});
    dev->OnSetOpmode(1);
    EXPECT_TRUE(find("tileOperation")->isEnabled());
}

TEST_F(HomeTest, LoginAndServicePasswordsGiveTheirLevels) {
    struct Case {
        const char* typed;
        int level;
        bool debugButton;
    };
    for (Case c : {Case{"4321", 1, false}, Case{"vorkel5293", 2, true}}) {
        SCOPED_TRACE(c.typed);
        makeRoot();
        dev->SetSysPwd("4321");
        login(c.typed);
        EXPECT_TRUE(home()->AdminMenuShown());
        EXPECT_EQ(dev->OnGetUserLevel(), c.level);
        EXPECT_EQ(home()->Password(), nullptr);
        EXPECT_EQ(find("btnDebug")->isVisible(), c.debugButton);
        press("tileLogout");
        EXPECT_FALSE(home()->AdminMenuShown());
        EXPECT_EQ(dev->OnGetUserLevel(), 0);
        EXPECT_NE(find("tileLogin"), nullptr);
        EXPECT_FALSE(find("btnDebug")->isVisible());
        delete root;
        root = nullptr;
        flush();
    }
}

// Cancel closes the prompt; a wrong password clears it and blinks four times, keeping
// the prompt; a correct one while the error blinks logs in.
TEST_F(HomeTest, PasswordPromptCancelWrongAndCorrectWhileBlinking) {
    makeRoot();
    dev->SetSysPwd("4321");
    press("tileLogin");
    press("passwordCancel");
    EXPECT_EQ(home()->Password(), nullptr);
    EXPECT_EQ(dev->OnGetUserLevel(), 0);
    login("9999");
    UnitPassword* pw = home()->Password();
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(pw->Text(), "");
    EXPECT_EQ(sounds(UiSoundKind::Ng), 1);
    EXPECT_EQ(dev->OnGetUserLevel(), 0);
    EXPECT_FALSE(home()->AdminMenuShown());
    // Record every visibility change of the message until the blinking ends.
    QElapsedTimer t;
    t.start();
    int shows = 0;
    bool last = false;
    while (pw->Blinking() && t.elapsed() < 10000) {
        QTest::qWait(20);
        if (pw->IncorrectVisible() && !last) ++shows;
        last = pw->IncorrectVisible();
    }
    EXPECT_FALSE(pw->Blinking());
    EXPECT_FALSE(pw->IncorrectVisible());
    EXPECT_EQ(shows, 2); // four toggles: on, off, on, off
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_EQ(home()->Password(), pw);
    type("1111");
    press("passwordOk");
    ASSERT_TRUE(home()->Password()->Blinking());
    type("4321");
    press("passwordOk");
    EXPECT_TRUE(home()->AdminMenuShown());
    EXPECT_EQ(dev->OnGetUserLevel(), 1);
    EXPECT_EQ(home()->Password(), nullptr);
}

TEST_F(HomeTest, OneScreenOfEachKindAndOnlyAtItsLevel) {
    standInAll();
    standIn({ScreenId::Monitor}); // counted
    makeRoot();
    press("tileMonitor");
    Page* monitor = Screens::Find(ScreenId::Monitor);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(Screens::Open(ScreenId::Monitor, home()), monitor);
    EXPECT_EQ(created[ScreenId::Monitor], 1);
    monitor->Leave();
    flush();
    EXPECT_EQ(Screens::Find(ScreenId::Monitor), nullptr);
    press("tileMonitor");
    EXPECT_EQ(created[ScreenId::Monitor], 2);
    // Lowest user level of a screen: guest, administrator, service.
    struct Case {
        ScreenId id;
        int level;
    };
    for (Case c :
         {Case{ScreenId::Setting, 1}, Case{ScreenId::Browser, 1}, Case{ScreenId::Debug, 2}}) {
        for (int level = 0; level <= 2; ++level) {
            dev->OnSetUserLevel(level);
            Page* p = Screens::Open(c.id, root);
            EXPECT_EQ(p != nullptr, level >= c.level) << int(c.id) << " at " << level;
            Screens::Close(c.id);
            flush();
        }
    }
}

TEST_F(HomeTest, SecondMessageIsDroppedWhileOneIsOpen) {
    makeRoot();
    EXPECT_TRUE(home()->ShowMessage("Warning", "first"));
    EXPECT_FALSE(home()->ShowMessage("Error", "second"));
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Text(), "first");
    EXPECT_EQ(sounds(UiSoundKind::Ng), 1);
    press("msgClose");
    EXPECT_EQ(home()->MessageBox(), nullptr);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 1);
    EXPECT_TRUE(home()->ShowMessage("Error", "third"));
}

TEST_F(HomeTest, OperationTileFollowsTheModeAndWarnsOfAMissingLogCard) {
    standInAll();
    struct Case {
        int opmode;
        bool logOnCard, cardPresent;
        ScreenId opens;
        bool warns;
    };
    const Case cases[] = {
        {1, true, true, ScreenId::OperationWithoutJob, false},
        {0, true, false, ScreenId::OperationWithJob, true},
        {1, true, false, ScreenId::OperationWithoutJob, true},
        {0, false, false, ScreenId::OperationWithJob, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(&c - cases));
        makeRoot();
        if (c.cardPresent) TestEnv::writeFile(env->sysroot() + "/dev/mmcblk1p1", "");
        dev->OnSetOpmode(c.opmode);
        dev->OnSetLogPath(c.logOnCard ? 1 : 0);
        press("tileOperation");
        EXPECT_NE(Screens::Find(c.opens), nullptr);
        EXPECT_EQ(home()->MessageBox() != nullptr, c.warns);
        if (c.warns) {
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
    EXPECT_EQ(home()->MessageBox()->Title(), "Error");
    EXPECT_EQ(home()->MessageBox()->Text(), "Failed to save.");
    press("msgClose");

    press("tileFilebrowser");
    Page* browser = Screens::Find(ScreenId::Browser);
    ASSERT_NE(browser, nullptr);
    EXPECT_NE(root->findChild<UnitScrim*>(), nullptr);
    TestEnv::writeFile("zqcapp", "#!/bin/sh\n");
    int taps = sounds(UiSoundKind::Tap);
    browser->Leave();
    flush();
    EXPECT_EQ(Screens::Find(ScreenId::Browser), nullptr);
    EXPECT_EQ(root->findChild<UnitScrim*>(), nullptr);
    EXPECT_EQ(sounds(UiSoundKind::Tap), taps + 1);
    EXPECT_EQ(access("zqcapp", X_OK), 0);
}
} // namespace
