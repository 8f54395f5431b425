// The system screen: tabs by user level, the information tab's upgrade prompt, the vendor
// text written to its file, and the touch test, each pressed on screen.
#include "ShellFixture.h"
#include "UnitPassword.h"
#include "page/system/PageDebug.h"
#include "page/system/PageSystemInfo.h"
#include "page/system/PageTouchTest.h"

#include <QLabel>
#include <QLineEdit>

namespace {
class SystemScreenTest : public ShellTest {
  protected:
    void TearDown() override {
        if (PageDebug::Instance()) PageDebug::Instance()->Leave();
        ShellTest::TearDown();
    }
    // The system screen as the operator reaches it, logged in with `pwd` (none: guest).
    void openAs(const char* pwd) {
        delete root;
        root = nullptr;
        flush();
        dev->OnSetUserLevel(0);
        makeRoot();
        if (pwd) login(pwd);
        press("tileSystem");
    }
};

// Started by the launcher in place of a program that failed to start, the information tab
// says so: the version shown is the previous program's.
TEST_F(SystemScreenTest, TabsAndUpgradeFollowTheUserLevel) {
    const char* why = "zqcapp failed to start 3 times in a row: starting zqcapp.prev";
    struct Case {
        const char* pwd; // nullptr: guest
        int level;
        bool upgrade, serviceTabs;
        const char* fallback; // why the launcher started this program, if it did
    } cases[] = {{nullptr, 0, false, false, nullptr},
                 {"0", 1, true, false, why},
                 {"vorkel5293", 2, true, true, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        if (c.fallback) setenv("KEST_FALLBACK", c.fallback, 1);
        openAs(c.pwd);
        unsetenv("KEST_FALLBACK");
        ASSERT_EQ(dev->OnGetUserLevel(), c.level);
        EXPECT_EQ(shownText("systemVersion"), QString("v ") + KEST_VERSION);
        EXPECT_EQ(shownText("systemFallback"), QString(c.fallback));
        if (c.fallback) shot("PageSystemInfo_Fallback");
        EXPECT_TRUE(find("tabSystemInfo")->isChecked()); // the first tab
        EXPECT_EQ(find("systemUpgrade")->isEnabled(), c.upgrade);
        EXPECT_EQ(find("tabSystemVendor") != nullptr, c.serviceTabs);
        EXPECT_EQ(find("tabSystemDebug") != nullptr, c.serviceTabs);
        int taps = sounds(UiSoundKind::Tap);
        press("tabSystemStorage");
        EXPECT_TRUE(find<QWidget>("PageSystemStorage")->isVisible());
        EXPECT_FALSE(find<QWidget>("PageSystemInfo")->isVisible());
        EXPECT_EQ(sounds(UiSoundKind::Tap), taps + 1);
        if (c.level == 0) shot("PageSystemStorage");
        if (!c.serviceTabs) continue;
        press("tabSystemDebug");
        Page* debug = Screens::Find(ScreenId::Debug);
        ASSERT_NE(debug, nullptr);
        press("tabSystemDebug"); // still the one page
        EXPECT_EQ(root->findChildren<PageDebug*>().size(), 1);
        debug->Leave();
        flush();
    }
}

TEST_F(SystemScreenTest, UpgradeAsksTheLoginOrTheServicePassword) {
    standIn({ScreenId::SwUpgrade});
    dev->SetSysPwd("4321");
    openAs("4321");
    dev->GetVendorInfo();
    shot("PageSystemInfo");
    // The password typed, whether it opens the upgrade.
    const std::pair<const char*, bool> cases[] = {
        {"0", false}, {"4321", true}, {"vorkel5293", true}, {"43210", false}};
    auto* info = find<PageSystemInfo>("PageSystemInfo");
    for (const auto& [pwd, opens] : cases) {
        SCOPED_TRACE(pwd);
        const int ng = sounds(UiSoundKind::Ng), before = created[ScreenId::SwUpgrade];
        press("systemUpgrade");
        ASSERT_NE(info->Password(), nullptr);
        EXPECT_FALSE(find("systemUpgrade")->isEnabled()); // the tab waits for its dialog
        type(pwd);
        if (opens) shot("PageSystemInfo_Password");
        press("passwordOk");
        EXPECT_EQ(created[ScreenId::SwUpgrade], before + opens);
        EXPECT_FALSE(find("systemUpgrade")->isEnabled());
        if (opens) {
            EXPECT_EQ(info->Password(), nullptr);
            ASSERT_NE(Screens::Find(ScreenId::SwUpgrade), nullptr);
            Screens::Close(ScreenId::SwUpgrade);
        } else {
            EXPECT_EQ(sounds(UiSoundKind::Ng), ng + 1);
            EXPECT_TRUE(info->Password()->Text().isEmpty());
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return info->Password()->IncorrectVisible(); }, 20000));
            press("passwordCancel");
        }
        flush();
        EXPECT_TRUE(find("systemUpgrade")->isEnabled());
    }
}

TEST_F(SystemScreenTest, VendorTextIsWrittenAtOnce) {
    ASSERT_EQ(dev->SetVendorInfo({"old"}), 0);
    openAs("vorkel5293");
    press("tabSystemVendor");
    EXPECT_EQ(find<QLineEdit>("PP_Serial")->text(), "old");
    shot("PageSystemVendor");
    // Typed, the keypad's button pressed, the text stored then.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"acme-7", "textKeypadOk", "acme-7"},
        {"zz", "textKeypadCancel", "acme-7"},
        {"", "textKeypadOk", ""}};
    for (const auto& [typed, button, stored] : cases) {
        SCOPED_TRACE(typed);
        QTest::mouseClick(find<QLineEdit>("PP_Serial"), Qt::LeftButton);
        flush();
        ASSERT_NE(find<QLineEdit>("textKeypadField"), nullptr);
        find<QLineEdit>("textKeypadField")->clear();
        type(typed);
        if (*typed == 'a') shot("PageSystemVendor_Keypad");
        press(button);
        EXPECT_EQ(find<QLineEdit>("textKeypadField"), nullptr);
        const std::string file = TestEnv::readFile("vendor");
        ASSERT_EQ(file.size(), 128u);
        EXPECT_STREQ(file.c_str(), stored);
        EXPECT_EQ(find<QLineEdit>("PP_Serial")->text(), stored);
        press("tabSystemInfo");
        EXPECT_EQ(shownText("systemVendor"), stored);
        press("tabSystemVendor");
    }
}

TEST_F(SystemScreenTest, TouchTestEndsWhenEveryTargetWasTouched) {
    openAs("vorkel5293");
    press("tabSystemVendor");
    // Targets pressed in order, then "Close" pressed, and the OK sound played.
    const std::tuple<int, bool, bool> cases[] = {
        {PageTouchTest::Targets, false, true}, {2, true, false}, {0, true, false}};
    for (const auto& [touches, closeButton, okSound] : cases) {
        SCOPED_TRACE(touches);
        press("vendorTouchTest");
        auto* page = qobject_cast<PageTouchTest*>(Screens::Find(ScreenId::TouchTest));
        ASSERT_NE(page, nullptr);
        // Corners and centre of the whole panel.
        EXPECT_EQ(page->geometry(), root->rect());
        const QRect r = page->rect();
        const QPoint want[] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(),
                               r.center()};
        for (int i = 0; i < PageTouchTest::Targets; ++i) {
            QWidget* t = page->findChild<QWidget*>(QString("touchTarget%1").arg(i));
            const QPoint d = t->geometry().center() - want[i];
            EXPECT_LT(d.manhattanLength(), 160) << i;
        }
        const int oks = sounds(UiSoundKind::Ok);
        for (int i = 0; i < touches; ++i) {
            EXPECT_NE(Screens::Find(ScreenId::TouchTest), nullptr) << i;
            press(QString("touchTarget%1").arg(i).toLatin1().constData());
            if (i == 1 && closeButton) shot("PageTouchTest");
        }
        if (closeButton) press("touchClose");
        EXPECT_EQ(Screens::Find(ScreenId::TouchTest), nullptr);
        EXPECT_EQ(sounds(UiSoundKind::Ok), oks + okSound);
        flush();
    }
}
} // namespace
