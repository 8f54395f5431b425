// USB hot-plug through an injected event source: the ten registrations, and what plugging
// and pulling each kind of device does, handled as the GUI cycle does (woken by the
// module's descriptors, then the queue drained).
#include "FakeTool.h"
#include "UsbTestSource.h"
#include "bst.h"
#include "toollink_support.h"
#include "tools_private.h"
#include "unit_common.h"
#include "usb.h"
#include "wlan.h"

#include <poll.h>

using Lines = std::vector<std::string>;

using toollink_test::setToolState;
using toollink_test::toolState;

namespace {
constexpr uint16_t kIptime[2] = {0x0BDA, 0xB812}, kTplink[2] = {0x2357, 0x0115},
                   kTool[2] = {0x0483, 0x5740}, kTray[2] = {0x0403, 0x6001},
                   kStick[2] = {0x0781, 0x5567};

class UsbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EwDriver_SetDeviceObject(&sink);
        sink.recordDebug = false;
        Debug_GetFlag()[DEBUG_FLAG_NETLINK] = 1;
        Usb_SetEventSource(&src);
    }
    void TearDown() override {
        sink.drain();
        EwDriver_SetDeviceObject(nullptr);
        Usb_SetEventSource(nullptr);
    }
    // The GUI loop: sleeps on the USB descriptors and the queue's, then runs a cycle.
    bool cycleUntil(const std::function<bool()>& cond) {
        auto end = std::chrono::steady_clock::now() + kest_test::kWaitLimit;
        for (;;) {
            sink.drain();
            if (cond()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::vector<pollfd> p;
            for (UsbPollFd f : Usb_GetPollFds())
                p.push_back({f.fd, f.events, 0});
            p.push_back({EwDriver_GetWakeFd(), POLLIN, 0});
            poll(p.data(), p.size(), 1000);
        }
    }
    Lines events() {
        sink.drain();
        Lines e = sink.events;
        sink.clear();
        return e;
    }
    size_t ifups() const {
        return size_t(std::ranges::count(env.stubCalls(),
                                         "ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up"));
    }
    void wlan0(bool present) {
        TestEnv::writeFile(env.sysroot() + "/proc/net/wireless",
                           present ? "Inter-|\n wlan0: 0000\n" : "Inter-|\n");
    }

    TestEnv env;
    RecordingSink sink;
    UsbTestSource src;
    LogCapture log;
};

TEST_F(UsbTest, WithoutLibraryOrHotplugNothingElseTenRegistrationsAFailedOneStopsNone) {
    // The library's init result, hotplug offered, the line logged.
    const std::tuple<int, bool, const char*> rows[] = {
        {-99, true, "libusb_init fail : LIBUSB_ERROR_TEST"},
        {0, false, "hotplug capabilites are not supported on this platform"},
    };
    for (const auto& [init, hotplug, line] : rows) {
        UsbTestSource s;
        s.initResult = init;
        s.hotplug = hotplug;
        Usb_SetEventSource(&s);
        log.clear();
        EXPECT_EQ(Usb_Init(), -1);
        EXPECT_TRUE(s.regs.empty());
        EXPECT_TRUE(log.contains(line));
        Usb_SetEventSource(&src);
    }
    src.failRegistration = {1, 8};
    ASSERT_EQ(Usb_Init(), 0);
    // Vendor, product and events of each registration that took, in order.
    using Reg = std::tuple<int, int, int>;
    std::vector<Reg> regs;
    for (const auto& r : src.regs)
        regs.emplace_back(r.vendor, r.product, r.events);
    const std::vector<Reg> want = {{0x0BDA, 0xB812, 1}, {0x2357, 0x0115, 1}, {0x2357, 0x0115, 2},
                                   {0x0483, 0x5740, 1}, {0x0483, 0x5740, 2}, {0x0403, 0x6001, 1},
                                   {0x0403, 0x6001, 2}, {-1, -1, 2}};
    EXPECT_EQ(regs, want);
    EXPECT_TRUE(log.contains("register wifi(iptime) left event fail : LIBUSB_ERROR_TEST"));
    EXPECT_TRUE(log.contains("register storage arrive event fail : LIBUSB_ERROR_TEST"));
}

TEST_F(UsbTest, PluggingAndPullingEachKind) {
    TestEnv::writeFile("regtools", regRecord("eth", 1) + regRecord("wifi", 2));
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    ASSERT_EQ(Usb_Init(), 0);
    wlan0(true);
    // What happens, plugged or pulled, the device, the events posted, the line logged.
    const std::tuple<const char*, bool, const uint16_t*, Lines, const char*> rows[] = {
        {"stick in", true, kStick, {"update_drvs"}, nullptr},
        {"stick out", false, kStick, {"update_drvs"}, nullptr},
        {"tray in", true, kTray, {"update_drvs"}, "BST arrived"},
        {"tray out", false, kTray, {"update_drvs"}, "BST left"},
        {"iptime in", true, kIptime, {"update_drvs"}, "Wi-Fi dongle arrived"},
        {"tplink in", true, kTplink, {"update_drvs"}, "Wi-Fi dongle arrived"},
        {"tool out", false, kTool, {"tty 0", "update_drvs"}, "ttyACM left"},
    };
    for (const auto& [what, plug, dev, posted, logged] : rows) {
        log.clear();
        env.clearStubCalls();
        plug ? src.Plug(dev[0], dev[1]) : src.Pull(dev[0], dev[1]);
        ASSERT_TRUE(cycleUntil([&, n = posted.size()] { return sink.events.size() >= n; })) << what;
        EXPECT_EQ(events(), posted) << what;
        EXPECT_TRUE(!logged || log.contains(logged)) << what;
        if (dev == kTray) {
            EXPECT_EQ(get_bst_status(), plug ? 1u : 3u) << what;
        }
        EXPECT_EQ(ifups(), dev == kIptime || dev == kTplink ? 1u : 0u) << what;
        EXPECT_EQ(usb_search_vpid(dev[0], dev[1]), plug ? 1 : 0) << what;
    }
    EXPECT_EQ(is_wifi_dongle_connected(), 1);

    // Pulling the dongle: its tools dismissed at once, the access point stopped.
    setToolState(0, TOOL_STATE_CONNECTED, TOOL_NETIF_ETH);
    setToolState(1, TOOL_STATE_CONNECTED, TOOL_NETIF_WLAN);
    Hostapd_Run();
    ASSERT_EQ(Hostapd_IsRunning(), 1);
    src.Pull(kIptime[0], kIptime[1]);
    ASSERT_TRUE(cycleUntil([&] { return sink.count("update_drvs") > 0; }));
    EXPECT_TRUE(log.contains("Wi-Fi dongle left"));
    EXPECT_EQ(std::tuple(toolState(0), toolState(1), Hostapd_IsRunning()),
              std::tuple(uint32_t(TOOL_STATE_CONNECTED), uint32_t(TOOL_STATE_IDLE), 0));
}

TEST_F(UsbTest, DongleInterfaceIsWaitedForOnTimerTicksAndAPullEndsTheWait) {
    ASSERT_EQ(Usb_Init(), 0);
    wlan0(false);
    src.Plug(kIptime[0], kIptime[1]);
    ASSERT_TRUE(cycleUntil([&] { return log.contains("Wi-Fi dongle arrived"); }));
    EXPECT_EQ(ifups(), 0u);
    wlan0(true); // the driver has made the interface
    ASSERT_TRUE(cycleUntil([&] { return ifups() == 1; }));

    // Pulled while waiting: the interface showing up later brings nothing up.
    wlan0(false);
    src.Plug(kTplink[0], kTplink[1]);
    src.Pull(kTplink[0], kTplink[1]);
    ASSERT_TRUE(cycleUntil([&] { return log.contains("Wi-Fi dongle left"); }));
    wlan0(true);
    // A tool plugged without a serial node gives up after its own ten ticks, time in which
    // a wait still running would have seen wlan0.
    src.Plug(kTool[0], kTool[1]);
    ASSERT_TRUE(cycleUntil([&] { return log.contains("no ttyACM node"); }));
    EXPECT_EQ(ifups(), 1u);
    EXPECT_EQ(sink.count("tty"), 0u);
}
} // namespace
