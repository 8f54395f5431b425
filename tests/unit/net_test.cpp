// Link monitor: the netlink walk, what link and address messages do on the netlink loop,
// the card watcher and the network message queue.
#include "toollink_support.h"

#include "ChildProcess.h"
#include "ethernet.h"
#include "net.h"
#include "wire_util.h"
#include "wlan.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

using namespace toollink_test;

namespace {

// ---- netlink messages as the kernel writes them ----

void put(std::vector<uint8_t>& b, const void* p, size_t n) {
    const uint8_t* c = static_cast<const uint8_t*>(p);
    b.insert(b.end(), c, c + n);
}
void align(std::vector<uint8_t>& b) {
    b.resize((b.size() + 3) / 4 * 4);
}
void attr(std::vector<uint8_t>& b, uint16_t type, const void* p, size_t n) {
    uint16_t h[2] = {uint16_t(4 + n), type};
    put(b, h, 4);
    put(b, p, n);
    align(b);
}
std::vector<uint8_t> msg(uint16_t type, const std::vector<uint8_t>& body) {
    nlmsghdr h{};
    h.nlmsg_len = uint32_t(NLMSG_HDRLEN + body.size());
    h.nlmsg_type = type;
    std::vector<uint8_t> b;
    put(b, &h, sizeof h);
    put(b, body.data(), body.size());
    align(b);
    return b;
}
std::vector<uint8_t> link(const char* name, uint32_t flags, int index = 2) {
    ifinfomsg i{};
    i.ifi_index = index;
    i.ifi_flags = flags;
    std::vector<uint8_t> body;
    put(body, &i, sizeof i);
    if (name) attr(body, IFLA_IFNAME, name, strlen(name) + 1);
    return msg(RTM_NEWLINK, body);
}
std::vector<uint8_t> addr(const char* label, std::vector<uint32_t> ips, uint8_t family = AF_INET) {
    ifaddrmsg a{};
    a.ifa_family = family;
    a.ifa_index = 2;
    std::vector<uint8_t> body;
    put(body, &a, sizeof a);
    for (uint32_t ip : ips) {
        uint8_t v[4] = {uint8_t(ip >> 24), uint8_t(ip >> 16), uint8_t(ip >> 8), uint8_t(ip)};
        attr(body, IFA_ADDRESS, v, 4);
    }
    if (label) attr(body, IFA_LABEL, label, strlen(label) + 1);
    return msg(RTM_NEWADDR, body);
}
std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> b;
    for (const auto& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

const uint32_t UP = IFF_UP, RUN = IFF_UP | IFF_RUNNING;

std::string walk(const std::vector<uint8_t>& b) {
    std::string out;
    auto sink = [](const NetNlinkItem* it, void* u) {
        std::string& o = *static_cast<std::string*>(u);
        char line[96];
        if (it->kind == NET_NL_NEWLINK)
            snprintf(line, sizeof line, "link %s %x;", it->ifname, it->flags);
        else if (it->kind == NET_NL_NEWADDR)
            snprintf(line, sizeof line, "addr %s %u;", it->ifname, it->family);
        else
            snprintf(line, sizeof line, "ip %d.%d.%d.%d;", IP4(it->addr));
        o += line;
    };
    // An exact-size copy: a read beyond the bytes is caught by the sanitizers.
    std::vector<uint8_t> copy(b);
    const int end = Net_WalkNlinkRoute(copy.data(), copy.size(), sink, &out);
    return out + " " + std::to_string(end);
}

TEST(NetWalk, MessagesGiveItemsInOrderAndMalformedOnesEndTheWalk) {
    auto shortAttr = link("eth0", RUN);
    shortAttr[NLMSG_HDRLEN + sizeof(ifinfomsg)] = 2; // attribute length 2
    auto cutAddr = addr("eth0", {0x0a000001});
    cutAddr[NLMSG_HDRLEN + sizeof(ifaddrmsg)] = 6; // address attribute of 2 bytes
    auto overlong = link("eth0", RUN);
    overlong[0] = uint8_t(overlong.size() + 4);
    auto tooShort = link("eth0", RUN);
    tooShort[0] = 8;
    auto linkBody = msg(RTM_NEWLINK, std::vector<uint8_t>(12));
    auto errorMsg = msg(NLMSG_ERROR, std::vector<uint8_t>(20));
    const std::tuple<std::vector<uint8_t>, std::string> rows[] = {
        {link("eth0", RUN), "link eth0 41; 0"},
        {link(nullptr, UP), "link  1; 0"},
        {addr("eth0", {0x0a4d0005, 0xc0a80001}), "addr eth0 2;ip 10.77.0.5;ip 192.168.0.1; 0"},
        {addr("eth0", {0x0a4d0005}, AF_INET6), "addr eth0 10; 0"},
        {cat({link("eth0", UP), errorMsg, addr("wlan0", {1})}),
         "link eth0 1;addr wlan0 2;ip 0.0.0.1; 0"},
        {cat({link("eth0", UP), msg(NLMSG_DONE, {}), link("wlan0", UP)}), "link eth0 1; 1"},
        {cat({link("eth0", UP), std::vector<uint8_t>(8)}), "link eth0 1; -1"},
        {cat({link("eth0", UP), overlong}), "link eth0 1; -2"},
        {tooShort, " -2"},
        {linkBody, " -3"},
        {msg(RTM_NEWADDR, std::vector<uint8_t>(4)), " -3"},
        {cat({shortAttr, link("wlan0", UP)}), " -4"},
        {cutAddr, " -4"},
        {msg(RTM_DELLINK, std::vector<uint8_t>(16)), " 0"},
    };
    for (const auto& [buf, want] : rows)
        EXPECT_EQ(walk(buf), want);
}

// ---- what the messages do, on the netlink loop ----

class NetMonitor : public DriverFixture {
  protected:
    void SetUp() override {
        startDriver();
        for (int f : {DEBUG_FLAG_NETLINK, DEBUG_FLAG_DISCO, DEBUG_FLAG_BEF})
            Debug_GetFlag()[f] = 1;
        // A client that runs until stopped, as the real one does ("ends" makes it quit).
        TestEnv::writeFile(env.root() + "/dhcp/dhcpcd",
                           "#!/bin/sh\necho \"dhcpcd $*\" >>\"$KEST_STUB_LOG\"\n"
                           "[ -e \"$0.ends\" ] && { echo $$ >\"$0.ended\"; exit 0; }\n"
                           "exec sleep 1000\n");
        chmod((env.root() + "/dhcp/dhcpcd").c_str(), 0755);
        setenv("PATH", (env.root() + "/dhcp:" + getenv("PATH")).c_str(), 1);
        env.clearStubCalls();
    }
    // Handles the message on the netlink loop; a client it started has recorded its
    // command line before the next message can stop it.
    void feed(const std::vector<uint8_t>& b) {
        const int before = dhcpd_is_run();
        Threads_RunSync(LOOP_NETLINK, [&] { Net_ProcNlinkRoute(b.data(), b.size()); });
        if (!before && dhcpd_is_run()) {
            ++started;
            EXPECT_TRUE(kest_test::WaitUntil([&] { return clientLines() >= started; }));
        }
    }
    size_t clientLines() {
        return size_t(std::ranges::count_if(
            env.stubCalls(), [](const std::string& l) { return l.rfind("dhcpcd", 0) == 0; }));
    }
    size_t started = 0;
    // The queue's source runs at idle priority, after a Threads_RunSync: wait until it
    // took every message, then for the one in hand.
    static void drainNetQ() {
        EXPECT_TRUE(kest_test::WaitUntil([] { return WorkQueue_Length(Net_GetMsgQ()) == 0; }));
        Threads_RunSync(LOOP_HOSTAPD, [] {});
    }
    void setNet(uint32_t dhcp, uint32_t ip, uint32_t mask, uint32_t gw) {
        SettingNetwork* n = get_setting_network();
        n->dhcp = dhcp, n->ip = ip, n->netmask = mask, n->gateway = gw;
    }
    LogCapture log;
};

// What the backup handler of the network queue took: the kinds and paths.
std::vector<std::pair<int, std::string>> taken;

TEST_F(NetMonitor, LinkAndAddressMessagesDriveAddressingAndMembershipBackupMessagesTheirHandler) {
    const uint32_t IP = 0x0a4d0001, MASK = 0xffffff00, GW = 0x0a4d00fe;
    const char* kClear = "ifconfig eth0 0.0.0.0"; // a static address left from before goes
    using Msgs = std::vector<std::vector<uint8_t>>;
    // name, dhcp, ip, gateway, messages, the command lines in order, the log lines that must
    // be there and those that must not
    using Row = std::tuple<const char*, uint32_t, uint32_t, uint32_t, Msgs, Lines, Lines, Lines>;
    const Row rows[] = {
        Row("static address 0: no command, still joins with 0", 0, 0, GW, {link("eth0", RUN)}, {},
            {"join MC group 0.0.0.0"}, {}),
        Row("static address message waits for the link", 0, IP, 0, {addr("eth0", {IP})}, {},
            {"Netlink event RTM_NEWADDR : eth0", "eth0 STATIC : wait RTM_NEWLINK"},
            {"join MC group"}),
        Row("dhcp: repeated link-up starts the client once", 1, 0, 0,
            {link("eth0", RUN), link("eth0", RUN), link("eth0", RUN)}, {kClear, "dhcpcd -B eth0"},
            {"dhcp", "link up, run dhcpd"}, {"join MC group"}),
        Row("interface down", 1, 0, 0, {link("eth0", 0)}, {},
            {"eth0 interface down, kill dhcpd & leave MC group"}, {"Close server stream"}),
        Row("other interfaces are only logged", 1, IP, 0,
            {link("tools0", RUN), addr("lo", {0x7f000001})}, {},
            {"Netlink RTM_NEWLINK : tools0", "Netlink event RTM_NEWADDR : lo"}, {"join MC group"}),
        Row("wlan0 address waits for the link", 0, IP, 0, {addr("wlan0", {HOSTAPD_AP_ADDR})}, {},
            {"wlan0 : wait RTM_NEWLINK"}, {}),
    };
    for (const auto& [name, dhcp, ip, gw, msgs, commands, lines, absent] : rows) {
        SCOPED_TRACE(name);
        setNet(dhcp, ip, MASK, gw);
        log.clear();
        env.clearStubCalls();
        started = 0;
        for (const auto& m : msgs)
            feed(m);
        EXPECT_EQ(env.stubCalls(), commands);
        for (const auto& l : lines)
            EXPECT_TRUE(log.contains(l)) << l;
        for (const auto& l : absent)
            EXPECT_FALSE(log.contains(l)) << l;
        feed(link("eth0", 0)); // leaves the client stopped and the group left for the next row
        EXPECT_EQ(dhcpd_is_run(), 0);
    }
    // Backup messages reach the installed handler with their path.
    const std::string longPath(200, 'p');
    Net_SetBackupHandler(nullptr);
    ASSERT_EQ(Net_PushMsgQ_P2PSave("/media/a.p2p"), 0);
    drainNetQ();
    EXPECT_TRUE(log.contains("no backup handler, save of \"/media/a.p2p\" dropped"));

    Net_SetBackupHandler([](int kind, const char* path) { taken.emplace_back(kind, path); });
    Net_PushMsgQ_P2PSave("/media/b.p2p");
    Net_PushMsgQ_P2PLoad(longPath.c_str());
    Net_PushMsgQ_P2PLoad(nullptr);
    drainNetQ();
    EXPECT_EQ(taken,
              (std::vector<std::pair<int, std::string>>{{NET_MSG_P2P_SAVE, "/media/b.p2p"},
                                                        {NET_MSG_P2P_LOAD, longPath.substr(0, 127)},
                                                        {NET_MSG_P2P_LOAD, ""}}));

    Net_ProcMsgQ(new NetMsg{7, "x"});
    EXPECT_TRUE(log.contains("invalid network message kind 7"));
}

TEST_F(NetMonitor, StoppingTheClientEndsExactlyTheProcessStarted) {
    // A client that stays, writing its process number, with a helper of its own that
    // ignores SIGTERM (as the real client's privilege-separation helpers may), and a
    // stranger of the same name.
    const std::string bin = env.root() + "/client";
    // The helper's and the client's process numbers go beside the client's folder.
    TestEnv::writeFile(bin + "/dhcpcd",
                       "#!/bin/sh\nd=$(dirname \"$0\")/..\n"
                       "[ $# -eq 0 ] || echo \"dhcpcd $*\" >>\"$KEST_STUB_LOG\"\n"
                       "[ $# -eq 0 ] || sh -c 'trap \"\" TERM; echo $$ >\"$0\"; exec sleep 1000' "
                       "\"$d/helper\" &\necho $$ >>\"$d/pids\"\nexec sleep 1000\n");
    chmod((bin + "/dhcpcd").c_str(), 0755);
    setenv("PATH", (bin + ":" + getenv("PATH")).c_str(), 1);
    auto written = [&](const char* name) { return FileLines(env.root() + "/" + name); };
    ChildProcess stranger;
    ASSERT_TRUE(stranger.start({bin + "/dhcpcd"}));
    ASSERT_TRUE(kest_test::WaitUntil([&] { return written("pids").size() == 1; }));

    setNet(1, 0, 0, 0);
    feed(link("eth0", RUN));
    feed(link("eth0", RUN));
    ASSERT_TRUE(kest_test::WaitUntil([&] { return written("pids").size() == 2; }));
    const pid_t ours = pid_t(std::stol(written("pids")[1]));
    EXPECT_EQ(kill(ours, 0), 0);
    ASSERT_TRUE(kest_test::WaitUntil([&] { return written("helper").size() == 1; }));
    const std::string helper = "/proc/" + written("helper")[0] + "/stat";
    auto ended = [&] { // gone, or a zombie waiting for its new parent
        std::string st = TestEnv::readFile(helper);
        return st.empty() || st.find(") Z ") != std::string::npos;
    };
    EXPECT_FALSE(ended());
    feed(link("eth0", UP));
    EXPECT_TRUE(kest_test::WaitUntil(ended)) << "its helper ended with it";
    EXPECT_EQ(dhcpd_is_run(), 0);
    EXPECT_NE(kill(ours, 0), 0) << "stopped and reaped";
    EXPECT_EQ(kill(stranger.pid(), 0), 0) << "a client started by anything else stays";
    EXPECT_EQ(written("pids").size(), 2u) << "started once";
}

TEST_F(NetMonitor, AClientThatEndedByItselfIsStartedAgainAtTheNextLinkUp) {
    const std::string client = env.root() + "/dhcp/dhcpcd";
    TestEnv::writeFile(client + ".ends", "");
    setNet(1, 0, 0, 0);
    feed(link("eth0", RUN));
    ASSERT_TRUE(kest_test::WaitUntil([&] { return FileLines(client + ".ended").size() == 1; }));
    const std::string stat = "/proc/" + FileLines(client + ".ended")[0] + "/stat";
    ASSERT_TRUE(kest_test::WaitUntil(
        [&] { return TestEnv::readFile(stat).find(") Z ") != std::string::npos; }));
    unlink((client + ".ends").c_str());
    feed(link("eth0", RUN));
    EXPECT_TRUE(kest_test::WaitUntil([&] { return clientLines() == 2; })) << "started again";
    EXPECT_TRUE(log.contains("dhcpcd ended by itself"));
    feed(link("eth0", 0));
}

TEST_F(NetMonitor, WlanUpAndDownTheCardWatcherAndEthernetLinkLostDismissesOnlyItsTools) {
    TestEnv::writeFile(env.sysroot() + "/proc/net/wireless", " wlan0: 0000 0 0 0\n");
    feed(link("wlan0", UP));
    EXPECT_TRUE(log.contains("interface up, run hostapd"));
    drainNetQ();
    EXPECT_EQ(Hostapd_IsRunning(), 1);
    feed(link("wlan0", 0));
    EXPECT_TRUE(log.contains("interface down, kill hostapd & leave MC group"));
    drainNetQ(); // the stop is made on the access point's worker
    EXPECT_EQ(Hostapd_IsRunning(), 0);
    // The card watcher: a card partition added or removed raises the drive update.
    const std::tuple<std::string, bool> rows[] = {
        {std::string("add@/devices/platform/mmc1/mmc1:0001/block/mmcblk1/mmcblk1p1") + '\0' +
             "ACTION=add" + '\0' + "DEVNAME=mmcblk1p1",
         true},
        {"remove@/devices/block/mmcblk1/mmcblk1p1", true},
        {"change@/devices/block/mmcblk1/mmcblk1p1", false},
        {"add@/devices/block/mmcblk1/mmcblk1p10", false},
        {"add@/devices/block/mmcblk3/mmcblk3p2", false},
        {"bind@/devices/address/mmcblk1p1", false},
        {"add", false},
        {"", false},
        {"mmcblk1p1 add", false},
    };
    for (const auto& [event, raises] : rows) {
        SCOPED_TRACE(event);
        EXPECT_EQ(Net_KobjIsSdChange(event.data(), event.size()), raises ? 1 : 0);
        sink.clear();
        Net_ProcNlinkKobj(event.data(), event.size());
        EwDriver_PushMsgQ_InitDone(); // a later event: everything before it is delivered
        ASSERT_TRUE(sink.waitFor("init_done"));
        EXPECT_EQ(sink.count("update_drvs"), raises ? 1u : 0u);
    }
    // The Ethernet link lost under DHCP dismisses only the Ethernet tools.
    setNet(1, 0, 0, 0);
    feedAck(makeInfo(1), TOOL_NETIF_ETH);
    feedAck(makeInfo(2), TOOL_NETIF_WLAN);
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_EQ(std::tuple(toolState(0), toolState(1)), std::tuple(2u, 2u));
    feed(link("eth0", UP));
    // Ethernet: dismissed; Wi-Fi: untouched
    EXPECT_EQ(std::tuple(toolState(0), toolState(1)), std::tuple(0u, 2u));
}

} // namespace
