// Access point: hostapd.conf per country, band and channel mode, the channel report, the
// Wi-Fi checks, the control protocol through the real wpa_ctrl client against a test
// server, and the stop of exactly the daemon that was started.
#include "ChildProcess.h"
#include "FakeTool.h"
#include "ew_driver.h"
#include "toollink_support.h"
#include "tools_private.h"
#include "unit_common.h"
#include "wlan.h"

#include <sys/socket.h>
#include <sys/un.h>

using kest_test::WaitUntil;
using Lines = std::vector<std::string>;

using toollink_test::setToolState;
using toollink_test::toolState;

namespace {

// ---- hostapd.conf, the channel report, the Wi-Fi checks ----

std::string report(std::initializer_list<std::pair<int, long>> rows) {
    std::string t = "best_channel_24G = 1\n";
    char line[96];
    for (auto [ch, v] : rows) {
        snprintf(line, sizeof line, "The rx cnt of channel %3d = %ld\n", ch, v);
        t += line;
    }
    return t + "best_channel_5G = 36\n";
}

TEST(HostapdConf, LinesInOrderTheChannelReportTheWifiChecksAndManualChannelLists) {
    HostapdConfInput in{"panel-ap", "secret123", 0, 0, 0, -1, 5, 149};
    EXPECT_EQ(Hostapd_ConfLines(in),
              (Lines{"interface=wlan0", "driver=nl80211", "ctrl_interface=/var/run/hostapd",
                     "ctrl_interface_group=0", "ssid=panel-ap", "country_code=US", "hw_mode=g",
                     "channel=5", "max_num_sta=8", "ieee80211n=1", "ieee80211ac=1", "ieee80211d=1",
                     "ieee80211h=1", "wpa=2", "wpa_passphrase=secret123", "wpa_key_mgmt=WPA-PSK",
                     "wpa_pairwise=CCMP"}));
    // The country, band and channel lines.
    // band, country, channel mode, manual channel, best channels reported: the three lines
    const std::tuple<uint32_t, uint32_t, uint32_t, int32_t, int, int, const char*, const char*,
                     const char*>
        rows[] = {
            {0, 0, 0, -1, 9, 44, "country_code=US", "hw_mode=g", "channel=9"},
            {1, 0, 0, -1, 9, 157, "country_code=US", "hw_mode=a", "channel=157"},
            {1, 1, 0, -1, 1, 40, "country_code=FR", "hw_mode=a", "channel=40"},
            {0, 2, 0, -1, 1, 36, "country_code=JP", "hw_mode=g", "channel=1"},
            {1, 7, 0, -1, 1, 48, "country_code=US", "hw_mode=a", "channel=48"},
            {0, 1, 1, 11, 5, 36, "country_code=FR", "hw_mode=g", "channel=11"}, // manual wins
            {1, 2, 1, 44, 5, 36, "country_code=JP", "hw_mode=a", "channel=44"},
            // No report, or no channel picked: the band's first channel, allowed everywhere.
            {0, 0, 0, -1, -1, -1, "country_code=US", "hw_mode=g", "channel=1"},
            {1, 1, 0, -1, -1, -1, "country_code=FR", "hw_mode=a", "channel=36"},
            {1, 7, 0, -1, 5, -1, "country_code=US", "hw_mode=a", "channel=36"},
            {1, 0, 1, -1, 5, 36, "country_code=US", "hw_mode=a", "channel=36"},
            {1, 1, 1, 149, 5, 36, "country_code=FR", "hw_mode=a", "channel=36"},
        };
    for (const auto& [band, country, mode, manual, best24, best5, cc, hw, channel] : rows) {
        in = {"s", "p", band, country, mode, manual, best24, best5};
        Lines l = Hostapd_ConfLines(in);
        ASSERT_EQ(l.size(), 17u);
        EXPECT_EQ(Lines(l.begin() + 5, l.begin() + 8), (Lines{cc, hw, channel}))
            << band << country << mode;
    }
    // The channel report.
    const std::tuple<const char*, uint32_t, std::string, int, int> reports[] = {
        {"lowest of 1, 5, 9", 0, report({{1, 30}, {5, 10}, {9, 20}}), 5, -1},
        {"equal values: first listed", 0, report({{9, 10}, {1, 10}, {5, 10}}), 9, -1},
        {"13 and others never", 0, report({{13, 0}, {6, 0}, {1, 50}}), 1, -1},
        {"US takes the upper band", 0, report({{36, 9}, {149, 3}, {165, 4}}), -1, 149},
        {"Europe: 36..48 only", 1, report({{36, 9}, {44, 5}, {149, 1}, {52, 0}}), -1, 44},
        {"Japan: 36..48 only", 2, report({{40, 2}, {48, 2}, {161, 0}}), -1, 40},
        {"unknown country: 48", 9, report({{36, 1}, {1, 7}}), 1, 48},
        {"negative value", 0, report({{1, -5}, {5, 0}}), 1, -1},
        {"short, bad and long lines", 0,
         "x = 1\nThe rx cnt of channel   a = 1\nThe rx cnt of channel   5 = 1x\n"
         "The rx cnt of channel   9 =\nThe rx cnt of channel   1 = 99999999999999\n" +
             std::string(1001, ' ') + "\nThe rx cnt of channel   1 = 4",
         1, -1},
    };
    for (const auto& [what, country, text, best24, best5] : reports) {
        int b24 = -1, b5 = -1;
        Hostapd_ParseBestChannel(text.data(), text.size(), country, &b24, &b5);
        EXPECT_EQ(std::pair(b24, b5), std::pair(best24, best5)) << what;
    }
    // The Wi-Fi tab's checks (its form's table has the order and the limits): a carriage
    // return is a control character, Latin-1 text is not.
    EXPECT_STREQ(Hostapd_CheckWifiConfMessage(Hostapd_CheckWifiConf("ap", "12345678\r")),
                 "Invalid character in Password");
    EXPECT_STREQ(Hostapd_CheckWifiConfMessage(Hostapd_CheckWifiConf("caf\xe9", "12345678")), "");
    // The manual channel lists (the advanced dialog shows the 5 GHz ones of the US and Japan).
    using V = std::vector<int>;
    auto manual = [](uint32_t band, uint32_t country) {
        int out[32];
        const int n = Hostapd_ManualChannels(band, country, out, 32);
        return V(out, out + n);
    };
    for (uint32_t country : {0u, 1u, 2u})
        EXPECT_EQ(manual(0, country), (V{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})) << country;
    EXPECT_EQ(manual(1, 1), (V{36, 40, 44, 48}));
    int two[2];
    EXPECT_EQ(Hostapd_ManualChannels(1, 0, two, 2), 2);
}

// ---- the daemon's control protocol ----

TEST(HostapdLines, Parse) {
    // a line, its kind and the MAC's last byte (the real client's table below has the plain
    // ones)
    const std::tuple<const char*, int, uint8_t> rows[] = {
        {"<3>AP-STA-DISCONNECTED 02:00:5E:10:20:FF reason=3", HOSTAPD_LINE_STA_LEFT, 0xff},
        {"AP-STA-DISCONNECTED 02:00:5e:10:20:01", HOSTAPD_LINE_STA_LEFT, 0x01},
        {"<3>AP-STA-DISCONNECTED ", HOSTAPD_LINE_NO_MAC, 0},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20", HOSTAPD_LINE_BAD_MAC, 0},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20:0g", HOSTAPD_LINE_BAD_MAC, 0},
        {"<3>AP-STA-DISCONNECTED 102:00:5e:10:20:01", HOSTAPD_LINE_BAD_MAC, 0},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20:011", HOSTAPD_LINE_BAD_MAC, 0},
        {"<3>AP-STA-DISCONNECTED 2:0:5e:10:20:1", HOSTAPD_LINE_BAD_MAC, 0},
        {"<3>AP-STA-DISCONNECTEDX 02:00:5e:10:20:01", HOSTAPD_LINE_OTHER, 0},
        {"<3>AP-ENABLED", HOSTAPD_LINE_AP_ENABLED, 0},
        {"<3>AP-ENABLEDX", HOSTAPD_LINE_OTHER, 0},
        {"<3>AP-DISABLED ", HOSTAPD_LINE_OTHER, 0},
        {"", HOSTAPD_LINE_OTHER, 0},
    };
    for (const auto& [line, kind, last] : rows) {
        uint8_t mac[6] = {};
        const int got = Hostapd_ParseLine(line, strlen(line), mac);
        EXPECT_EQ(std::pair(got, mac[5]), std::pair(kind, last)) << line;
    }
}

// The daemon's side of the control socket: answers ATTACH and DETACH with "OK" and sends
// event lines to the attached client.
class CtrlServer {
  public:
    explicit CtrlServer(const std::string& path) : path_(path) {
        fs::create_directories(fs::path(path).parent_path());
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ADD_FAILURE() << path;
        thread_ = std::thread([this] { serve(); });
    }
    ~CtrlServer() {
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
        unlink(path_.c_str());
    }
    Lines requests() const {
        std::lock_guard<std::mutex> g(lock_);
        return requests_;
    }
    void setStatus(const std::string& text) {
        std::lock_guard<std::mutex> g(lock_);
        status_ = text;
    }
    bool send(const std::string& line) {
        std::lock_guard<std::mutex> g(lock_);
        return sendto(fd_, line.data(), line.size(), 0, reinterpret_cast<sockaddr*>(&client_),
                      clientLen_) == ssize_t(line.size());
    }

  private:
    void serve() {
        char buf[512];
        for (;;) {
            sockaddr_un from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0) return;
            std::lock_guard<std::mutex> g(lock_);
            requests_.emplace_back(buf, size_t(n));
            client_ = from;
            clientLen_ = len;
            const std::string reply = requests_.back() == "STATUS" ? status_ : "OK\n";
            sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }

    std::string status_ = "state=DISABLED\n"; // the answer to STATUS
    std::string path_;
    int fd_ = -1;
    std::thread thread_;
    mutable std::mutex lock_;
    Lines requests_;
    sockaddr_un client_{};
    socklen_t clientLen_ = 0;
};

class HostapdRun : public ::testing::Test {
  protected:
    void SetUp() override {
        EwDriver_SetDeviceObject(&sink);
        Debug_GetFlag()[DEBUG_FLAG_NETLINK] = 1;
        Debug_GetFlag()[DEBUG_FLAG_DISCO] = 1;
        setting_set_str(get_setting_network()->ssid, 128, "panel-ap");
        setting_set_str(get_setting_network()->wifi_password, 128, "secret123");
        get_setting_network()->channel_mode = 1;
        get_setting_network()->manual_channel = 6;
        fs::create_directories(env.sysroot() + "/var/run");
        TestEnv::writeFile(env.sysroot() + "/proc/net/wireless",
                           "Inter-| sta-|\n face | tus |\n wlan0: 0000 0 0 0\n");
    }
    void TearDown() override {
        Hostapd_Kill();
        sink.drain();
        EwDriver_SetDeviceObject(nullptr);
    }
    std::string ctrlPath() const { return env.sysroot() + "/var/run/hostapd/wlan0"; }
    std::string pidFile() const { return env.sysroot() + "/var/run/hostapd.pid"; }
    Lines scanEvents() {
        sink.drain();
        return sink.with("wlan scan");
    }

    TestEnv env;
    RecordingSink sink;
    LogCapture log;
};

TEST_F(HostapdRun, ControlCharacterStartsNothingElseStartWritesThePrivateFileAndReportsTheScan) {
    // A control character in the settings starts nothing.
    setting_set_str(get_setting_network()->wifi_password, 128, "secret123\nwpa=0");
    Hostapd_Run();
    EXPECT_EQ(Hostapd_IsRunning(), 0);
    EXPECT_FALSE(TestEnv::exists("hostapd.conf"));
    EXPECT_TRUE(env.stubCalls().empty());
    EXPECT_EQ(scanEvents(), (Lines{"wlan scan 0"}));
    setting_set_str(get_setting_network()->wifi_password, 128, "secret123");
    // channel mode, the dongle driver's channel report is there, the channel line, the scans,
    // events
    const std::tuple<uint32_t, bool, const char*, size_t, Lines> rows[] = {
        {0, true, "channel=9", 3, {"wlan scan 1", "wlan scan 0"}},
        {1, true, "channel=6", 0, {"wlan scan 0"}},
        {0, false, "channel=1", 3, {"wlan scan 1", "wlan scan 0"}},
    };
    const std::string reportFile = env.sysroot() + "/proc/net/rtl88x2bu/wlan0/best_channel";
    TestEnv::writeFile("hostapd.conf", "old\n");
    chmod("hostapd.conf", 0644);
    for (const auto& [mode, hasReport, channelLine, iwlist, events] : rows) {
        if (hasReport)
            TestEnv::writeFile(reportFile, report({{1, 40}, {9, 12}}));
        else
            fs::remove(reportFile);
        env.clearStubCalls();
        sink.clear();
        get_setting_network()->channel_mode = mode;
        Hostapd_Run();
        EXPECT_EQ(Hostapd_IsRunning(), 1);
        Lines conf = FileLines("hostapd.conf");
        ASSERT_EQ(conf.size(), 17u);
        EXPECT_EQ(std::tuple(conf[4], conf[7], conf[14]),
                  std::tuple("ssid=panel-ap", channelLine, "wpa_passphrase=secret123"));
        EXPECT_EQ(log.contains("no usable 2.4 GHz channel (-1, auto mode), channel 1 instead"),
                  !hasReport);
        EXPECT_EQ(fs::status("hostapd.conf").permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
        Lines calls = env.stubCalls();
        EXPECT_EQ(size_t(std::count(calls.begin(), calls.end(), "iwlist wlan0 scan")), iwlist);
        EXPECT_EQ(calls.back(), "hostapd -B -P " + pidFile() + " hostapd.conf");
        EXPECT_EQ(scanEvents(), events);
        Hostapd_Run(); // running: nothing again
        EXPECT_EQ(env.stubCalls().size(), calls.size());
        Hostapd_Kill();
        EXPECT_EQ(Hostapd_IsRunning(), 0);
    }
    // Secrets never reach a command line.
    for (const std::string& c : env.stubCalls())
        EXPECT_EQ(c.find("secret123"), std::string::npos) << c;
}

TEST_F(HostapdRun, StationLeavingMarksItsToolDisconnectedThroughTheRealClient) {
    TestEnv::writeFile("regtools", regRecord("t0", 1) + regRecord("t1", 2));
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    setToolState(0, TOOL_STATE_CONNECTED);
    setToolState(1, TOOL_STATE_CONNECTED);
    Threads_Init();
    CtrlServer server(ctrlPath());
    Threads_RunSync(LOOP_HOSTAPD, Hostapd_Run); // where the network queue runs it
    ASSERT_EQ(server.requests(), (Lines{"ATTACH", "STATUS"}));
    EXPECT_FALSE(log.contains("join MC group 192.168.131.1")) << "not enabled yet";

    // a line, what the log says to prove it was handled, the tools' states then

    const std::tuple<const char*, const char*, uint32_t, uint32_t> rows[] = {
        {"<3>AP-STA-CONNECTED 02:00:5e:10:20:02", "hostapd say : <3>AP-STA-CONNECTED", 3, 3},
        {"<3>AP-STA-DISCONNECTED", "mac is null", 3, 3},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20:02\n<3>forged", "malformed mac", 3, 3},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20:09", "AP-STA-DISCONNECTED 02:00:5e:10:20:09", 3, 3},
        {"<3>AP-ENABLED ", "join MC group 192.168.131.1", 3, 3},
        {"<3>AP-STA-DISCONNECTED 02:00:5e:10:20:02", "tdx.1 state 3 -> 0", 3, 0},
    };
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    for (const auto& [line, logged, state0, state1] : rows) {
        size_t before = log.count(logged);
        ASSERT_TRUE(server.send(line));
        ASSERT_TRUE(log.waitFor(logged, before + 1, 20000)) << line;
        Threads_RunSync(LOOP_HOSTAPD, [] {}); // the callback has returned
        EXPECT_EQ(std::pair(toolState(0), toolState(1)), std::pair(state0, state1)) << line;
    }
    EXPECT_TRUE(log.contains("02?<3>forged")); // one log line, the break shown as '?'

    Hostapd_Kill();
    EXPECT_EQ(server.requests(), (Lines{"ATTACH", "STATUS", "DETACH"}));
    // "AP-ENABLED" said before the attach: the state asked for joins the group all the same.
    server.setStatus("state=ENABLED\nphy=phy0\n");
    const size_t joins = log.count("join MC group 192.168.131.1");
    Threads_RunSync(LOOP_HOSTAPD, Hostapd_Run);
    EXPECT_EQ(log.count("join MC group 192.168.131.1"), joins + 1);
    Hostapd_Kill();
    setToolState(1, TOOL_STATE_CONNECTED);
    server.send("<3>AP-STA-DISCONNECTED 02:00:5e:10:20:02");
    Threads_RunSync(LOOP_HOSTAPD, [] {});
    EXPECT_EQ(toolState(1), uint32_t(TOOL_STATE_CONNECTED)); // nobody listens any more
}

// A stand-in hostapd: with -B it leaves a background copy of itself (named hostapd) that
// writes its pid to the -P file and sleeps until it is terminated.
const char* kDaemonStub = R"(#!/bin/sh
if [ "$1" = "--daemon" ]; then
    echo $$ >"$2"
    trap 'kill $child 2>/dev/null; exit 0' TERM
    sleep 600 & child=$!
    wait $child
    exit 0
fi
pidfile=
while [ $# -gt 0 ]; do
    case "$1" in -P) pidfile=$2; shift 2 ;; *) shift ;; esac
done
"$0" --daemon "$pidfile" </dev/null >/dev/null 2>&1 &
exit 0
)";

bool alive(pid_t pid) {
    std::string stat = TestEnv::readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

pid_t pidIn(const std::string& file) {
    pid_t pid = 0;
    WaitUntil([&] { return (pid = pid_t(atoi(TestEnv::readFile(file).c_str()))) > 0; });
    return pid;
}

class HostapdDaemon : public HostapdRun {
  protected:
    void SetUp() override {
        HostapdRun::SetUp();
        std::string dir = env.root() + "/daemon-stub";
        fs::create_directories(dir);
        TestEnv::writeFile(dir + "/hostapd", kDaemonStub);
        chmod((dir + "/hostapd").c_str(), 0755);
        setenv("PATH", (dir + ":" + getenv("PATH")).c_str(), 1);
        stub = dir + "/hostapd";
    }
    void TearDown() override {
        HostapdRun::TearDown();
        for (pid_t p : others)
            if (alive(p)) kill(p, SIGTERM);
    }
    std::string stub;
    std::vector<pid_t> others;
};

TEST_F(HostapdDaemon, StopDuringTheWaitForTheSocketEndsTheStartAndStopEndsExactlyThatDaemon) {
    // No control socket appears yet; the stop comes while the start waits for it.
    std::thread starter([] { Hostapd_Run(); });
    pid_t waiting = pidIn(pidFile());
    others.push_back(waiting);
    Hostapd_Kill();
    starter.join();
    EXPECT_TRUE(WaitUntil([&] { return !alive(waiting); }));
    EXPECT_EQ(Hostapd_IsRunning(), 0);
    EXPECT_TRUE(log.contains("wpa_ctrl_open fail"));
    // Another hostapd on the machine, and a stale pid file naming a process that is not one.
    std::string otherPid = env.root() + "/other.pid";
    ASSERT_EQ(system((stub + " -B -P " + otherPid + " other.conf").c_str()), 0);
    pid_t other = pidIn(otherPid);
    others.push_back(other);
    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.start({"/bin/sleep", "600"}));
    TestEnv::writeFile(pidFile(), std::to_string(sleeper.pid()) + "\n");

    CtrlServer server(ctrlPath());
    Hostapd_Run();
    pid_t started = pidIn(pidFile());
    ASSERT_NE(started, sleeper.pid());
    others.push_back(started);
    ASSERT_TRUE(alive(started));
    Hostapd_Kill();
    EXPECT_TRUE(WaitUntil([&] { return !alive(started); }));
    EXPECT_TRUE(alive(other));
    EXPECT_TRUE(alive(sleeper.pid()));
    EXPECT_FALSE(TestEnv::exists(pidFile()));
    Hostapd_Kill(); // stopped: nothing more
    EXPECT_TRUE(alive(other));
}

} // namespace
