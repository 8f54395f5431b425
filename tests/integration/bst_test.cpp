// Bit socket tray driver against traysim on a real pseudo-terminal linked into the
// sysroot as "ttyUSB0". Ticks are driven by hand (as the 200 ms timer would) except in
// the last test, which runs the tray worker itself.
#include "RecordingSink.h"
#include "TestEnv.h"
#include "TraySimProcess.h"
#include "bst.h"
#include "debug.h"
#include "threads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using V = std::vector<std::string>;

namespace {
int present(uint16_t v, uint16_t p) {
    return v == 0x0403 && p == 0x6001;
}
int absent(uint16_t, uint16_t) {
    return 0;
}

class BstTest : public ::testing::Test {
  protected:
    TestEnv env;
    RecordingSink sink;
    std::string node;

    void SetUp() override {
        // chmod of the serial node is recorded, not run (the node links to a real pty).
        std::string stubs = env.root() + "/bst-stubs";
        fs::create_directories(stubs);
        fs::create_symlink(std::string(KEST_SOURCE_DIR) + "/sim/stubs/record-stub",
                           stubs + "/chmod");
        setenv("PATH", (stubs + ":" + getenv("PATH")).c_str(), 1);
        fs::create_directories(env.sysroot() + "/dev");
        node = env.sysroot() + "/dev/ttyUSB0";
        EwDriver_SetDeviceObject(&sink);
        Debug_GetFlag()[DEBUG_FLAG_BST] = 1;
    }
    void TearDown() override {
        sink.drain();
        EwDriver_SetDeviceObject(nullptr);
        bst_set_usb_search(nullptr);
    }
    std::unique_ptr<TraySimProcess> startTray() {
        return std::make_unique<TraySimProcess>(
            V{"--link", node, "--preset", "3", "--alarm", "0", "--opmode", "1", "--sockets", "6"});
    }
    // Events of the driver (debug lines left out).
    V events() {
        sink.drain();
        V out;
        for (const auto& e : sink.events)
            if (e.rfind("debug", 0) != 0) out.push_back(e);
        sink.clear();
        return out;
    }
    void openTray() {
        bst_set_usb_search(present);
        bst_init();
        bst_main();
        bst_main();
        ASSERT_EQ(events(), (V{"bst_hotplug 1", "bst_hotplug 1", "bst_event 7 3 0 1"}));
    }
};
} // namespace

TEST_F(BstTest, TrayPresentAtStartOpensChangesRaiseEventsAndFailuresAreCounted) {
    auto tray = startTray();
    bst_set_usb_search(present);
    bst_init();
    EXPECT_EQ(std::tuple(get_bst_status(), get_bst_preset()),
              std::tuple(uint32_t(BST_STATUS_ARRIVED), -1));
    LogCapture log;
    bst_main();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_OPEN));
    EXPECT_EQ(events(), (V{"bst_hotplug 1", "bst_hotplug 1"}));
    EXPECT_EQ(env.stubCalls(), V{"chmod a+rw " + node});
    EXPECT_TRUE(log.contains("BST dev_no is 0") && log.contains("bst open success"));
    bst_main();
    EXPECT_EQ(events(), V{"bst_event 7 3 0 1"});
    EXPECT_EQ(get_bst_no_socket(), 6);
    EXPECT_TRUE(log.contains("preset change 0xffffffff to 0x3"));
    bst_main(); // nothing changed
    EXPECT_EQ(events(), V{});

    // Changes raise events with their mask; a forced alarm (set_bst_alarm, -1 for none) is compared
    // at the next tick.
    // the tray's commands, the forced alarm, the events
    const std::tuple<V, int, V> cases[] = {
        {{"alarm 1"}, -1, {"bst_event 2 3 1 1"}},
        {{"preset 5", "opmode 0"}, -1, {"bst_event 5 5 1 0"}},
        {{"sockets 8"}, -1, V{}}, // no_socket alone: logged, no event
        {{"preset 6", "sockets 9"}, -1, {"bst_event 1 6 1 0"}},
        {{"alarm 0", "opmode 1", "preset 1"}, -1, {"bst_event 7 1 0 1"}},
        {{"alarm 2"}, -1, {"bst_event 2 1 2 1"}},
        {V{}, 2, V{}}, // the tray reports 2 as well: nothing to say
        {{"alarm 0"}, -1, {"bst_event 2 1 0 1"}},
        {V{}, 2, {"bst_event 2 1 0 1"}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& [script, forcedAlarm, expect] = cases[i];
        for (const auto& s : script)
            ASSERT_EQ(tray->send(s), "ok");
        if (forcedAlarm >= 0) set_bst_alarm(forcedAlarm);
        bst_main();
        EXPECT_EQ(events(), expect);
    }
    EXPECT_EQ(get_bst_no_socket(), 9);
    EXPECT_TRUE(log.contains("no_socket change 0x6 to 0x8") &&
                log.contains("alarm change 0x0 to 0x1"));

    // A communication failure counts the failures since the last reset.
    ASSERT_EQ(tray->send("silent"), "ok");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bst_read(BST_REG_ALARM), -1);
    ASSERT_EQ(tray->send("back"), "ok");
    for (int i = 0; i < 3; ++i)
        bst_main();
    EXPECT_EQ(events(), V{});
    EXPECT_EQ(get_bst_read_fail_cnt(), 5u);
    ASSERT_EQ(tray->send("silent"), "ok");
    EXPECT_EQ(bst_read(BST_REG_PRESET), -1); // the sixth, however much later
    EXPECT_EQ(events(), V{"bst_commfail 1"});
    EXPECT_EQ(bst_read(BST_REG_PRESET), -1); // later failures raise nothing more
    EXPECT_EQ(events(), V{});
    ASSERT_EQ(tray->send("back"), "ok");
    EXPECT_EQ(bst_read(BST_REG_PRESET), 1);
    EXPECT_EQ(events(), V{"bst_commfail 0"});
    EXPECT_EQ(get_bst_read_fail_cnt(), 0u);
    EXPECT_EQ(bst_read(BST_REG_PRESET), 1);
    EXPECT_EQ(events(), V{});
    // A silent tray turns the values unknown and fails in the second tick.
    ASSERT_EQ(tray->send("silent"), "ok");
    bst_main(); // four failures: the values become -1
    EXPECT_EQ(events(), V{"bst_event 7 -1 -1 -1"});
    EXPECT_EQ(get_bst_no_socket(), -1);
    bst_main();
    EXPECT_EQ(events(), V{"bst_commfail 1"});
}

TEST_F(BstTest, UnplugClosesKeepsTheSocketCountAndAFailedReopenDropsTheLink) {
    auto tray = startTray();
    openTray();
    EXPECT_EQ(bst_write(BST_REG_SOCKET_REQUEST, 4), 1);
    EXPECT_EQ(tray->send("request"), "request 4");
    bst_left_proc();
    bst_main();
    EXPECT_EQ(events(), V{"bst_hotplug 0"});
    EXPECT_EQ(std::tuple(get_bst_status(), get_bst_preset(), get_bst_alarm(), get_bst_opmode(),
                         get_bst_no_socket()),
              std::tuple(uint32_t(BST_STATUS_NONE), -1, -1, -1, 6));
    EXPECT_EQ(bst_write(BST_REG_SOCKET_REQUEST, 2), -1);
    EXPECT_EQ(tray->send("request"), "request 4");
    // A departure seen with no tray still reports the tray gone.
    bst_left_proc();
    bst_main();
    EXPECT_EQ(events(), V{"bst_hotplug 0"});

    // Plugged again it opens anew; then its node is replaced by one that is not a serial
    // port, and the tray is reported anew.
    bst_arrive_proc();
    bst_main();
    bst_main();
    ASSERT_EQ(events(), (V{"bst_hotplug 1", "bst_hotplug 1", "bst_event 7 3 0 1"}));
    fs::remove(node);
    TestEnv::writeFile(node, "");
    bst_arrive_proc();
    bst_main();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_NONE));
    EXPECT_EQ(bst_write(BST_REG_SOCKET_REQUEST, 5), -1) << "no write through the old link";
    EXPECT_EQ(tray->send("request"), "request 4");
}

TEST_F(BstTest, ArrivalLaterAndMissingNodes) {
    bst_set_usb_search(absent);
    bst_init();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_NONE));
    bst_main();
    EXPECT_EQ(events(), V{});
    EXPECT_EQ(bst_write(BST_REG_SOCKET_REQUEST, 1), -1);
    // Arrival with no serial node: open counts as done, there is no link.
    bst_arrive_proc();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_ARRIVED));
    LogCapture log;
    bst_main();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_OPEN));
    EXPECT_TRUE(log.contains("BST dev_no is -1"));
    // Only the tick reports it: the open step raises its event once a link is connected.
    EXPECT_EQ(events(), V{"bst_hotplug 1"});
    for (int i = 0; i < 10; ++i)
        bst_main();
    EXPECT_EQ(events(), V{});
    EXPECT_EQ(std::tuple(get_bst_read_fail_cnt(), get_bst_preset()), std::tuple(0u, -1));
    bst_left_proc();
    bst_main();
    events();
    // A node that is not a serial port: the open fails and is not retried.
    TestEnv::writeFile(env.sysroot() + "/dev/ttyUSB4", "");
    bst_arrive_proc();
    bst_main();
    EXPECT_TRUE(log.contains("bst open fail") && get_bst_status() == BST_STATUS_NONE);
    EXPECT_EQ(events(), V{});
}

TEST_F(BstTest, TrayWorkerPollsOnItsOwnTimer) {
    auto tray = startTray();
    bst_set_usb_search(present);
    Bst_Start();
    Threads_Init();
    ASSERT_TRUE(sink.waitFor("bst_event", 5000));
    EXPECT_EQ(sink.with("bst_hotplug"), (V{"bst_hotplug 1", "bst_hotplug 1"}));
    EXPECT_EQ(sink.with("bst_event"), V{"bst_event 7 3 0 1"});
    ASSERT_EQ(tray->send("preset 9"), "ok");
    ASSERT_TRUE(sink.waitFor("bst_event 1 9", 5000));
    bst_left_proc();
    ASSERT_TRUE(sink.waitFor("bst_hotplug 0", 5000));
}

TEST_F(BstTest, UnplugDuringASlowOpenIsNotLost) {
    auto tray = startTray();
    // chmod stands still until the test lets it go: the tray leaves in the middle of the open.
    // It says so on one FIFO and waits on another.
    std::string gate = env.root() + "/gate";
    std::string chmod = env.root() + "/bst-stubs/chmod";
    fs::remove(chmod);
    ASSERT_EQ(mkfifo((gate + ".in").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((gate + ".go").c_str(), 0600), 0);
    TestEnv::writeFile(chmod,
                       "#!/bin/sh\necho in > '" + gate + ".in'\nread x < '" + gate + ".go'\n");
    fs::permissions(chmod, fs::perms::owner_all);
    bst_set_usb_search(present);
    bst_init();
    const int in = open((gate + ".in").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::thread tick([] { bst_main(); });
    pollfd p{in, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 10000), 1) << "chmod did not start";
    close(in);
    bst_left_proc();
    TestEnv::writeFile(gate + ".go", "go\n"); // opens once chmod reads
    tick.join();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_LEFT)) << "the departure is kept";
    bst_main();
    EXPECT_EQ(get_bst_status(), uint32_t(BST_STATUS_NONE));
    EXPECT_EQ(events(), (V{"bst_hotplug 1", "bst_hotplug 1", "bst_hotplug 0"}));
    EXPECT_EQ(bst_write(BST_REG_SOCKET_REQUEST, 1), -1);
}
