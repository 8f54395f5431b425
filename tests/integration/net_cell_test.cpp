// The link monitor over real kernel events in the cell's network namespaces: the panel's
// eth0 starts down without address; the panel raises it, addresses it (static, or DHCP
// from a real dnsmasq on the tools' side with the real dhcpcd in a mount namespace of
// its own), joins the discovery group, and follows the peer's link going down and up.
// On the cell's Wi-Fi leg, tools on wlan0 are found once the access point joins the
// group there. Tools answer the group only. Root only.
#include "CsvRead.h"
#include "ToolCell.h"

#include "debug.h"
#include "disco.h"
#include "ethernet.h"
#include "net.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"
#include "wlan.h"

#include <algorithm>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

using kest_test::WaitUntil;

namespace {

class NetCell : public ToolCellTest {
  protected:
    NetCell() : ToolCellTest(ToolCell::Namespaces) {}
    // Starts the driver with eth0 left to the test, the monitor's notes on.
    Result start(const std::vector<int>& types) {
        cell->autoLink = false;
        if (!cell->handLinkToPanel()) return ::testing::AssertionFailure() << "eth0 down";
        if (Result r = startTools(types); !r) return r;
        if (Result r = startDriver(); !r) return r;
        for (int f : {DEBUG_FLAG_NETLINK, DEBUG_FLAG_BEF})
            Debug_GetFlag()[f] = 1;
        return ::testing::AssertionSuccess();
    }
    // On the monitor's loop, as the settings screen's write comes before a later message.
    void setNet(uint32_t dhcp, uint32_t ip, uint32_t gw) {
        Threads_RunSync(LOOP_NETLINK, [=] {
            SettingNetwork* n = get_setting_network();
            n->dhcp = dhcp, n->ip = ip, n->netmask = 0xFFFFFF00, n->gateway = gw;
        });
    }
    static bool member() { return discoGroupMembers().count("eth0") == 1; }
    bool peerLink(bool up) {
        return cell->onToolsSide(std::string("ip link set tools0 ") + (up ? "up" : "down")) == 0;
    }
    // Forgets the discovered tools, scans, and waits until `n` are discovered again.
    bool foundAgain(int n) {
        ToolManager_RemoveAll_DiscoTools();
        return scan() && ToolManager_GetDiscoToolsLen() == n;
    }
    // The log's lines are counted by the scan helper: never cleared here, a line is waited
    // for as one more than were there before the action.
    struct Seen {
        LogCapture& log;
        std::string needle;
        size_t before;
        bool again() const { return log.waitFor(needle, before + 1); }
    };
    Seen seen(const std::string& needle) { return {log, needle, log.count(needle)}; }
    bool hasStub(const std::string& line) { return std::ranges::count(env.stubCalls(), line) > 0; }
};

// A static address is applied and the group joined on eth0, with the route only for a
// gateway; the peer's link going down leaves the group and closes forwarding, its return
// rejoins; a card's kernel device event raises the drive update.
TEST_F(NetCell, StaticAddressPeerLinkAndDeviceEvents) {
    ASSERT_TRUE(start({2, 3}));
    // The gateway, the kernel's default route afterwards.
    const std::pair<uint32_t, const char*> rows[] = {
        {0, ""}, {0x0A4D00FE, "default via 10.77.0.254 dev eth0"}};
    bool first = true;
    for (const auto& [gw, route] : rows) {
        SCOPED_TRACE(gw);
        setNet(0, 0x0A4D0001, gw);
        env.clearStubCalls();
        const Seen join = seen("join MC group 10.77.0.1");
        if (first) {
            Net_Init(); // "ifconfig eth0 up": the link's first rise
        } else {
            ASSERT_EQ(system("ip link set eth0 down"), 0);
            ASSERT_TRUE(WaitUntil([] { return !member(); })) << "left at interface down";
            ASSERT_EQ(system("ip link set eth0 up"), 0);
        }
        first = false;
        ASSERT_TRUE(WaitUntil(member)) << "joined on eth0";
        ASSERT_TRUE(join.again());
        EXPECT_NE(ShellOutput("ip -br addr show dev eth0").find("10.77.0.1/24"), std::string::npos);
        EXPECT_TRUE(hasStub("ifconfig eth0 10.77.0.1 netmask 255.255.255.0 up"));
        EXPECT_EQ(hasStub("route add default gw 10.77.0.254"), gw != 0);
        EXPECT_EQ(ShellOutput("ip route show default").find("default") == std::string::npos,
                  !*route);
        EXPECT_NE(ShellOutput("ip route show default").find(route), std::string::npos);
        EXPECT_TRUE(foundAgain(2)) << "the tools answering the group only are found";
    }
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const Seen down = seen("link down, leave MC group"),
                   closed = seen("Close server stream (link down).");
        ASSERT_TRUE(peerLink(false));
        EXPECT_TRUE(WaitUntil([] { return !member(); })) << "left";
        EXPECT_TRUE(down.again());
        EXPECT_TRUE(closed.again());
        ASSERT_TRUE(peerLink(true));
        EXPECT_TRUE(WaitUntil(member)) << "joined again";
        EXPECT_TRUE(foundAgain(2)) << "the tools answering the group only are found again";
    }

    // A card's device event as the kernel sends it, to the group the watcher listens on
    // (only this namespace hears it), raises the drive update; which events raise it is
    // the net monitor's unit table.
    const int s = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    ASSERT_GE(s, 0);
    sockaddr_nl to{};
    to.nl_family = AF_NETLINK;
    to.nl_groups = 1;
    const std::string ev = std::string("add@/devices/platform/mmc1/block/mmcblk1/mmcblk1p1") +
                           '\0' + "SUBSYSTEM=block";
    sink.clear();
    ASSERT_EQ(sendto(s, ev.data(), ev.size() + 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              ssize_t(ev.size() + 1));
    EXPECT_TRUE(sink.waitFor("update_drvs"));
    EwDriver_PushMsgQ_InitDone(); // a later event: everything before it is delivered
    ASSERT_TRUE(sink.waitFor("init_done"));
    EXPECT_EQ(sink.count("update_drvs"), 1u);
    close(s);
}

TEST_F(NetCell, DhcpLeaseFromARealServerJoinsTheGroupAndALostLinkDismissesTheTools) {
    if (!DhcpPeersInstalled()) GTEST_SKIP() << "needs dnsmasq and dhcpcd";
    ASSERT_TRUE(start({2, 3}));
    const std::string dir = env.root() + "/dhcp";
    WriteDhcpClient(dir);
    setenv("PATH", (dir + ":" + getenv("PATH")).c_str(), 1);
    auto server = cell->startOnToolsSide(DhcpServerArgs(dir));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitFor("DHCP, IP range")) << server->output();
    setNet(1, 0, 0);
    Debug_GetFlag()[DEBUG_FLAG_DISCO] = 1;

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const Seen lease = seen("eth0 DHCP : 10.77.0.1");
        if (round == 0)
            Net_Init();
        else
            ASSERT_TRUE(peerLink(true));
        ASSERT_TRUE(log.waitFor(lease.needle, lease.before + 1, 60000)) << server->output();
        ASSERT_TRUE(WaitUntil(member)) << "joined with the leased address";
        EXPECT_TRUE(log.contains("join MC group 10.77.0.1")); // 10.77.0.100..150
        EXPECT_EQ(dhcpd_is_run(), 1);
        // While dhcpcd still sets its routes a connect can fail; the scan timer's next
        // keep-alive pass connects the tool then, as on the board.
        bool both = round == 0 && registerAll();
        for (int pass = 0; pass < 5 && !both; ++pass) {
            ASSERT_TRUE(pass == 0 && round == 1 ? scan() : tick());
            both = waitState(0, TOOL_STATE_CONNECTED) && waitState(1, TOOL_STATE_CONNECTED);
        }
        ASSERT_TRUE(both) << "the tools are found and connected";
        sink.clear();
        const Seen closed = seen("Close server stream (link down).");
        ASSERT_TRUE(peerLink(false));
        EXPECT_TRUE(sink.waitFor("update_regtools 0 0")) << "Ethernet tools dismissed";
        EXPECT_TRUE(WaitUntil([] { return !member(); })) << "left";
        EXPECT_TRUE(closed.again());
        Threads_RunSync(LOOP_NETLINK, [] {});
        EXPECT_EQ(dhcpd_is_run(), 0) << "the client stopped";
        EXPECT_EQ(state(1), TOOL_STATE_IDLE);
    }
    EXPECT_EQ(std::ranges::count(env.stubCalls(), "dhcpcd -B eth0"), 2) << "once per link-up";
}

// A panel restarted while eth0 is up (a service restart, an upgrade, the launcher's
// fallback) gets no link message for it: it acts on the state the link is in, static (the
// address there already) and DHCP (the old client gone with its lease).
TEST_F(NetCell, AStartWithEth0AlreadyUpAddressesItAndJoinsTheGroup) {
    ASSERT_TRUE(start({2, 3}));
    setNet(0, 0x0A4D0001, 0);
    // eth0 comes up before the panel's start: what the monitor makes of the kernel's
    // messages for it is undone, as a restarted panel would not have heard them.
    ASSERT_EQ(system("ip link set eth0 up && ip addr add 10.77.0.1/24 dev eth0"), 0);
    ASSERT_TRUE(WaitUntil([] {
        return ShellOutput("ip -br link show dev eth0").find(" UP ") != std::string::npos;
    })) << "carrier";
    ASSERT_TRUE(WaitUntil(member));
    const Seen linkUp = seen("link up, set static address");
    ASSERT_TRUE(log.waitFor(linkUp.needle, 1)); // the message for the carrier handled too
    Threads_RunSync(LOOP_NETLINK, [] { Disco_Leave_McGroup(Disco_GetSocket_Eth()); });
    ASSERT_FALSE(member());
    env.clearStubCalls();
    Net_Init();
    ASSERT_TRUE(WaitUntil(member)) << "joined on eth0 without a link message";
    EXPECT_TRUE(hasStub("ifconfig eth0 10.77.0.1 netmask 255.255.255.0 up"));
    EXPECT_TRUE(foundAgain(2)) << "the tools answering the group only are found";
    if (!DhcpPeersInstalled()) return;

    const std::string dir = env.root() + "/dhcp";
    WriteDhcpClient(dir);
    setenv("PATH", (dir + ":" + getenv("PATH")).c_str(), 1);
    auto server = cell->startOnToolsSide(DhcpServerArgs(dir));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitFor("DHCP, IP range")) << server->output();
    Threads_RunSync(LOOP_NETLINK, [] { Disco_Leave_McGroup(Disco_GetSocket_Eth()); });
    ASSERT_EQ(system("ip addr flush dev eth0"), 0);
    setNet(1, 0, 0);
    const Seen lease = seen("eth0 DHCP : 10.77.0.1");
    Net_Init();
    ASSERT_TRUE(log.waitFor(lease.needle, lease.before + 1, 60000)) << server->output();
    EXPECT_TRUE(WaitUntil(member)) << "joined with the leased address";
    EXPECT_EQ(dhcpd_is_run(), 1);
}

class WifiLeg : public ToolCellTest {
  protected:
    WifiLeg() : ToolCellTest(ToolCell::Namespaces) { cell->wifiLeg = true; }
};

// Tools on Wi-Fi answer the group, as on the Ethernet: once the access point is up (the
// join its "AP-ENABLED" makes) they are found, filed as Wi-Fi tools and connect over
// wlan0; a Wi-Fi dismissal (the dongle pulled) takes them and leaves the Ethernet's.
TEST_F(WifiLeg, ToolsAnsweringTheGroupOnWlan0AreWifiTools) {
    ASSERT_TRUE(startTools({2}));
    auto wifi = cell->startWifiTools({3});
    ASSERT_TRUE(wifi) << "toolsim on the Wi-Fi leg";
    ASSERT_TRUE(startDriver());
    Threads_RunSync(LOOP_HOSTAPD,
                    [] { Disco_Join_McGroup(Disco_GetSocket_Wlan(), HOSTAPD_AP_ADDR); });
    EXPECT_EQ(discoGroupMembers(), (std::set<std::string>{"eth0", "wlan0"}));

    Disco_Send_ScanReq(0);
    ASSERT_TRUE(tools->wait(0, "requests>=1"));
    ASSERT_TRUE(wifi->wait(0, "requests>=1")) << "the scan reaches wlan0";
    ASSERT_TRUE(log.waitFor("scan ack " + cell->toolIp(0)));
    ASSERT_TRUE(log.waitFor("scan ack " + ToolCell::wifiToolIp(0)));
    Threads_RunSync(LOOP_DISCO_ETH, [] {});
    Threads_RunSync(LOOP_DISCO_WLAN, [] {});
    ASSERT_EQ(ToolManager_GetDiscoToolsLen(), 2);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_TRUE(sink.waitFor("update_regtools 0 3"));
    ASSERT_TRUE(sink.waitFor("update_regtools 1 3"));

    const int wifiTdx =
        ToolManager_FindRegTdx_ByMac(reinterpret_cast<const uint8_t*>(mac(3, 16).data()));
    const int ethTdx = 1 - wifiTdx;
    ASSERT_TRUE(wifiTdx == 0 || wifiTdx == 1);
    ToolView v;
    ASSERT_EQ(ToolManager_GetToolView(wifiTdx, &v), 0);
    EXPECT_EQ(v.netif, uint32_t(TOOL_NETIF_WLAN));
    EXPECT_EQ(v.ip, 0xC0A8830Bu); // 192.168.131.11
    ASSERT_EQ(ToolManager_GetToolView(ethTdx, &v), 0);
    EXPECT_EQ(v.netif, uint32_t(TOOL_NETIF_ETH));

    ToolManager_DismissTool_ByNetIf(TOOL_NETIF_WLAN);
    EXPECT_TRUE(waitState(wifiTdx, TOOL_STATE_IDLE));
    EXPECT_EQ(state(ethTdx), TOOL_STATE_CONNECTED);
}

} // namespace
