// Home screen: menus, login levels, working screens, message box, settings save.
#include "ShellFixture.h"
#include "UnitErrorPopup.h"
#include "UnitMenu.h"
#include "UnitPassword.h"
#include "common.h"
#include "page/shell/PageHome.h"

#include <QElapsedTimer>
#include <QLabel>

namespace {
class Counted : public Page {
  public:
    explicit Counted(int* created) { ++*created; }
};

class HomeTest : public ShellTest {
  protected:
    void TearDown() override {
        for (int s = 0; s < PageHome::ScreenCount; ++s)
            PageHome::SetFactory(PageHome::Screen(s), nullptr);
        ShellTest::TearDown();
    }
    PageHome* home() { return root->Home(); }
    int created[PageHome::ScreenCount] = {};
    void registerAll() {
        for (int s = 0; s < PageHome::ScreenCount; ++s)
            PageHome::SetFactory(PageHome::Screen(s),
                                 [this, s] { return new Counted(&created[s]); });
    }
    void login(const QString& pwd) {
        press("tileLogin");
        ASSERT_NE(home()->Password(), nullptr);
        type(pwd);
        press("passwordOk");
    }
};

TEST_F(HomeTest, MenusCarryTheirTilesInOrder) {
    makeRoot();
    ASSERT_FALSE(home()->AdminMenuShown());
    EXPECT_EQ(home()->Menu()->Titles(), QStringList({"Operation", "Monitor", "System", "Login"}));
    struct Row {
        const char* tile;
        const char* subtitle;
    };
    for (Row r :
         {Row{"tileOperation", "Start your job"}, Row{"tileMonitor", "Graph, IO, Error ..."},
          Row{"tileSystem", "SW Version, Storage usage ..."},
          Row{"tileLogin", "as Administrator"}}) {
        auto* b = find(r.tile);
        ASSERT_NE(b, nullptr) << r.tile;
        QStringList texts;
        for (auto* l : b->findChildren<QLabel*>())
            texts << l->text();
        EXPECT_TRUE(texts.contains(r.subtitle)) << r.tile;
    }
    dev->SetSysPwd("4321");
    login("4321");
    EXPECT_EQ(home()->Menu()->Titles(),
              QStringList({"Operation", "Job Manager", "Parameter", "Monitor", "Remote", "Setting",
                           "System", "Logout", "File browser"}));
}

TEST_F(HomeTest, TilesOfScreensNotBuiltAreDisabled) {
    PageHome::SetFactory(PageHome::Monitor, [this] { return new Counted(&created[0]); });
    makeRoot();
    EXPECT_TRUE(find("tileMonitor")->isEnabled());
    EXPECT_FALSE(find("tileSystem")->isEnabled());
    EXPECT_FALSE(find("tileOperation")->isEnabled());
    EXPECT_TRUE(find("tileLogin")->isEnabled());
}

TEST_F(HomeTest, LoginPasswordGivesAdministratorLevel) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("4321");
    EXPECT_TRUE(home()->AdminMenuShown());
    EXPECT_EQ(dev->OnGetUserLevel(), 1);
    EXPECT_EQ(home()->Password(), nullptr);
    EXPECT_FALSE(find("btnDebug")->isVisible());
}

TEST_F(HomeTest, ServicePasswordGivesServiceLevel) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("vorkel5293");
    EXPECT_TRUE(home()->AdminMenuShown());
    EXPECT_EQ(dev->OnGetUserLevel(), 2);
    EXPECT_TRUE(find("btnDebug")->isVisible());
}

TEST_F(HomeTest, WrongPasswordClearsBlinksFourTimesAndKeepsThePrompt) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("9999");
    UnitPassword* pw = home()->Password();
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(pw->Text(), "");
    EXPECT_EQ(services->count(UiSoundKind::Ng), 1);
    EXPECT_EQ(dev->OnGetUserLevel(), 0);
    EXPECT_FALSE(home()->AdminMenuShown());
    // Record every visibility change of the message until the blinking ends.
    QElapsedTimer t;
    t.start();
    int shows = 0;
    bool last = false;
    while (pw->Blinking() && t.elapsed() < 4000) {
        QTest::qWait(20);
        if (pw->IncorrectVisible() && !last) ++shows;
        last = pw->IncorrectVisible();
    }
    EXPECT_FALSE(pw->Blinking());
    EXPECT_FALSE(pw->IncorrectVisible());
    EXPECT_EQ(shows, 2); // four toggles: on, off, on, off
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_EQ(home()->Password(), pw);
}

TEST_F(HomeTest, CorrectLoginWhileTheErrorBlinks) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("1111");
    ASSERT_TRUE(home()->Password()->Blinking());
    type("4321");
    press("passwordOk");
    EXPECT_TRUE(home()->AdminMenuShown());
    EXPECT_EQ(dev->OnGetUserLevel(), 1);
    EXPECT_EQ(home()->Password(), nullptr);
}

TEST_F(HomeTest, CancelClosesThePrompt) {
    makeRoot();
    press("tileLogin");
    press("passwordCancel");
    EXPECT_EQ(home()->Password(), nullptr);
    EXPECT_EQ(dev->OnGetUserLevel(), 0);
}

TEST_F(HomeTest, LogoutReturnsToGuest) {
    makeRoot();
    dev->SetSysPwd("4321");
    login("vorkel5293");
    press("tileLogout");
    EXPECT_FALSE(home()->AdminMenuShown());
    EXPECT_EQ(dev->OnGetUserLevel(), 0);
    EXPECT_NE(find("tileLogin"), nullptr);
    EXPECT_FALSE(find("btnDebug")->isVisible());
}

TEST_F(HomeTest, PresentingAnOpenScreenAgainDoesNothing) {
    registerAll();
    makeRoot();
    press("tileMonitor");
    ASSERT_NE(home()->OpenScreen(PageHome::Monitor), nullptr);
    home()->PresentMonitor();
    EXPECT_EQ(created[PageHome::Monitor], 1);
    home()->OpenScreen(PageHome::Monitor)->Leave();
    flush();
    EXPECT_EQ(home()->OpenScreen(PageHome::Monitor), nullptr);
    press("tileMonitor");
    EXPECT_EQ(created[PageHome::Monitor], 2);
}

TEST_F(HomeTest, SecondMessageIsDroppedWhileOneIsOpen) {
    makeRoot();
    EXPECT_TRUE(home()->ShowMessage("Warning", "first"));
    EXPECT_FALSE(home()->ShowMessage("Error", "second"));
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Text(), "first");
    EXPECT_EQ(services->count(UiSoundKind::Ng), 1);
    press("msgClose");
    EXPECT_EQ(home()->MessageBox(), nullptr);
    EXPECT_EQ(services->count(UiSoundKind::Tap), 1);
    EXPECT_TRUE(home()->ShowMessage("Error", "third"));
}

TEST_F(HomeTest, OperationTileFollowsTheOperationMode) {
    registerAll();
    TestEnv::writeFile(env->sysroot() + "/dev/mmcblk1p1", "");
    makeRoot();
    dev->OnSetOpmode(1);
    press("tileOperation");
    EXPECT_NE(home()->OpenScreen(PageHome::OperationWithoutJob), nullptr);
    EXPECT_EQ(home()->OpenScreen(PageHome::OperationWithJob), nullptr);
    EXPECT_EQ(home()->MessageBox(), nullptr);
}

TEST_F(HomeTest, OperationWarnsWhenTheLogCardIsMissing) {
    registerAll();
    makeRoot();
    dev->OnSetLogPath(1);
    press("tileOperation");
    EXPECT_NE(home()->OpenScreen(PageHome::OperationWithJob), nullptr);
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Title(), "Warning");
    EXPECT_EQ(home()->MessageBox()->Text(),
              "The log store location is set to MicroSD,\nbut MicroSD does not exist.");
}

TEST_F(HomeTest, LeavingSettingsSavesAndReportsAFailure) {
    registerAll();
    makeRoot();
    dev->SetSysPwd("4321");
    login("4321");
    press("tileSetting");
    dev->OnSetScrewCountDir(1);
    home()->OpenScreen(PageHome::Setting)->Leave();
    flush();
    EXPECT_NE(TestEnv::readFile("files/setting/setting.kest").find("= down"), std::string::npos);
    EXPECT_EQ(home()->MessageBox(), nullptr);

    press("tileSetting");
    Common_SetWriteFailAfter(0);
    home()->OpenScreen(PageHome::Setting)->Leave();
    flush();
    EXPECT_EQ(home()->OpenScreen(PageHome::Setting), nullptr);
    ASSERT_NE(home()->MessageBox(), nullptr);
    EXPECT_EQ(home()->MessageBox()->Title(), "Error");
    EXPECT_EQ(home()->MessageBox()->Text(), "Failed to save.");
}

TEST_F(HomeTest, LeavingTheBrowserMakesTheProgramExecutable) {
    registerAll();
    makeRoot();
    dev->SetSysPwd("4321");
    login("4321");
    press("tileFilebrowser");
    ASSERT_NE(home()->OpenScreen(PageHome::Browser), nullptr);
    TestEnv::writeFile("zqcapp", "#!/bin/sh\n");
    home()->OpenScreen(PageHome::Browser)->Leave();
    flush();
    EXPECT_EQ(home()->OpenScreen(PageHome::Browser), nullptr);
    EXPECT_EQ(access("zqcapp", X_OK), 0);
}
} // namespace
