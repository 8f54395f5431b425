// The network status tab over real interfaces: veth eth0 and wlan0 in a network
// namespace of the test's own (root; skipped otherwise), the gateway from "route -n".
#include "ShellFixture.h"
#include "common.h"
#include "page/network/PageSystemNetwork.h"

#include <QLabel>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class SystemNetworkTest : public ShellTest {
  protected:
    void TearDown() override {
        if (oldNet_ >= 0) setns(oldNet_, CLONE_NEWNET), close(oldNet_);
        ShellTest::TearDown();
    }
    bool ip(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"ip"};
        argv.insert(argv.end(), args.begin(), args.end());
        return Common_Run(argv) == 0;
    }
    QString text(const char* name) {
        auto* l = find<QLabel>(name);
        return l ? l->text() : "missing";
    }
    int oldNet_ = -1;
};

TEST_F(SystemNetworkTest, ShowsTheInterfacesWhenShown) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for its network namespace";
    oldNet_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(unshare(CLONE_NEWNET), 0);
    ASSERT_TRUE(ip({"link", "add", "eth0", "address", "02:11:22:33:44:55", "type", "veth", "peer",
                    "name", "peer0"}));
    ASSERT_TRUE(ip({"addr", "add", "10.9.8.7/24", "dev", "eth0"}));
    ASSERT_TRUE(ip({"link", "set", "eth0", "up"}));
    // "route -n" as the board prints eth0's default route.
    std::string route = env->root() + "/stubs/route";
    unlink(route.c_str());
    TestEnv::writeFile(route, "#!/bin/sh\necho '0.0.0.0         10.9.8.1        0.0.0.0         "
                              "UG    0      0        0 eth0'\n");
    chmod(route.c_str(), 0755);

    makeRoot();
    press("tileSystem");
    int taps = sounds(UiSoundKind::Tap);
    press("tabSystemNetwork");
    const std::pair<const char*, const char*> noWlan[] = {
        {"eth0Ip", "10.9.8.7"},           {"eth0Mask", "255.255.255.0"}, {"eth0Gw", "10.9.8.1"},
        {"eth0Mac", "02-11-22-33-44-55"}, {"wlan0Ip", "0.0.0.0"},        {"wlan0Mask", "0.0.0.0"},
        {"wlan0Mac", "00-00-00-00-00-00"}};
    for (auto [name, value] : noWlan)
        EXPECT_EQ(text(name), value) << name;

    // The access point's interface appears; showing the tab again reads it.
    ASSERT_TRUE(ip({"link", "add", "wlan0", "address", "0a:bb:cc:dd:ee:0f", "type", "veth", "peer",
                    "name", "peer1"}));
    ASSERT_TRUE(ip({"addr", "add", "192.168.131.1/24", "dev", "wlan0"}));
    EXPECT_EQ(text("wlan0Ip"), "0.0.0.0");
    press("tabSystemNetwork");
    EXPECT_EQ((QStringList{text("wlan0Ip"), text("wlan0Mask"), text("wlan0Mac")}),
              (QStringList{"192.168.131.1", "255.255.255.0", "0a-bb-cc-dd-ee-0f"}));
    EXPECT_EQ(sounds(UiSoundKind::Tap), taps + 2);
}
} // namespace
