// USB hot-plug in the GUI: the module's descriptors wake Qt's loop, the cycle runs the
// handlers, several drive events give one refresh 3 s after the first, and the status
// bar follows the Wi-Fi dongle.
#include "UsbShellFixture.h"
#include "UsbWatch.h"
#include "page/shell/PageStatusBar.h"

#include <QElapsedTimer>

namespace {
class UsbGuiTest : public UsbShellTest {
  protected:
    bool wifiIcon() {
        for (int i = 0; i < PageStatusBar::MaxIcons; ++i)
            if (root->StatusBar()
                    ->findChild<QLabel*>(QString("devIcon%1").arg(i))
                    ->property("picture") == "dev_wifi")
                return true;
        return false;
    }
};

TEST_F(UsbGuiTest, DescriptorsWakeTheLoop) {
    UsbWatch watch;
    EXPECT_EQ(watch.Watched(), 2); // the source's and the retry timer's
    int woken = 0;
    QObject::connect(&watch, &UsbWatch::woken, [&] { ++woken; });
    src.Plug(0x0781, 0x5567);
    ASSERT_TRUE(QTest::qWaitFor([&] { return woken > 0; }, int(kest_test::kWaitLimit.count())));
}

TEST_F(UsbGuiTest, SeveralEventsOneDriveRefreshThreeSecondsLaterAndTheWifiIcon) {
    makeRoot();
    int notified = 0, devs = 0;
    QObject guard;
    QObject::connect(&dev->DrvUpdateNotifierEvent, &SystemEvent::triggered, &guard,
                     [&] { ++notified; });
    QObject::connect(&dev->UpdateDevsEvent, &SystemEvent::triggered, &guard, [&] { ++devs; });
    ASSERT_FALSE(wifiIcon());
    QElapsedTimer t;
    t.start();
    src.Plug(0x0781, 0x5567); // a stick
    src.Plug(0x0BDA, 0xB812); // the dongle
    src.Pull(0x0781, 0x5567);
    ASSERT_TRUE(until([&] { return notified > 0; }));
    EXPECT_GE(t.elapsed(), 2900);
    EXPECT_EQ(devs, 1);
    EXPECT_TRUE(wifiIcon());
    // The dongle pulled: the next refresh, the first after the three events, drops its icon.
    src.Pull(0x0BDA, 0xB812);
    ASSERT_TRUE(until([&] { return notified > 1; }));
    EXPECT_EQ(std::tuple(notified, devs, wifiIcon()), std::tuple(2, 2, false));
}
} // namespace
