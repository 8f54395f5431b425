// Discovery: wire format, datagram processing and the two endpoints over loopback.
#include "toollink_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/utsname.h>

using namespace toollink_test;

namespace {

const uint8_t kInfoBytes[36] = {
    'S',  'N',  '-',  '4',  '2',  0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0x00, 0x01, 0xE2, 0x40, // model 123456
    0x7f, 0x00, 0x00, 0x05,                                     // 127.0.0.5
    0x13, 0x9C,                                                 // port 5020
    0x02, 0x11, 0x22, 0x33, 0x44, 0x55,                         // mac
    0x01,                                                       // busy
    0x04, 0xD2,                                                 // version 1234
    0x03};                                                      // type ZQT

TEST(DiscoWire, ToolInfoEncodesBackAsItWasDecodedAndASearchTextIsCut) {
    // Decoded (every field of it is what the tools' traffic checks), then encoded back.
    ToolInfo i;
    Disco_DecodeToolInfo(kInfoBytes, &i);
    uint8_t back[36];
    Disco_EncodeToolInfo(&i, back);
    EXPECT_EQ(memcmp(back, kInfoBytes, 36), 0);
    // A search's text is cut to 15 characters (the header and the advertise's layout are
    // what the datagrams sent and taken check).
    uint8_t search[DISCO_SEARCH_REQ_LEN];
    Disco_EncodeSearchReq("0123456789abcdefXYZ", search);
    EXPECT_EQ(std::tuple(search[3], std::string((char*)search + 4), search[19]),
              std::tuple(2, "0123456789abcde", 0));
}

// ---- processing, with the registry running ----

class DiscoProc : public DriverFixture {
  protected:
    void SetUp() override {
        startDriver();
        Debug_GetFlag()[DEBUG_FLAG_DISCO] = 1;
    }
    std::vector<uint8_t> ack(uint16_t type, const ToolInfo& i) {
        std::vector<uint8_t> b(DISCO_ACK_LEN);
        Disco_EncodeAck(type, &i, b.data());
        return b;
    }
    std::vector<uint8_t> advertise(uint8_t cause, const ToolInfo& i) {
        std::vector<uint8_t> b(DISCO_ADVERTISE_LEN);
        Disco_EncodeAdvertise(cause, &i, b.data());
        return b;
    }
    // The datagram cut to, or padded with 0xee to, `n` bytes.
    static std::vector<uint8_t> resized(std::vector<uint8_t> b, size_t n) {
        b.resize(n, 0xee);
        return b;
    }
    int proc(const std::vector<uint8_t>& b, uint32_t netif = 1) {
        // An exact-size heap copy, so reading past the end is caught by the sanitizers.
        std::vector<uint8_t> copy(b);
        return Disco_Proc(copy.data(), copy.size(), netif);
    }
};

// Causes 1, 2, 4 readdress and 5 renews the event link of registered tools only (the
// registry's transitions table has the states and events).
TEST_F(DiscoProc, AdvertisesReachOnlyRegisteredTools) {
    ToolInfo t = makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, 5020, "A");
    for (uint8_t cause : {1, 2, 4, 5})
        EXPECT_EQ(proc(advertise(cause, t)), 0) << int(cause); // unknown tool: nothing
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_TRUE(takeConnects().empty());

    proc(ack(DISCO_SCAN_ACK, t));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    takeConnects();
    sink.drain();
    ToolInfo moved = makeInfo(1, TOOL_TYPE_XWC, 0x7f000009, 6000, "B");
    EXPECT_EQ(proc(advertise(2, moved), TOOL_NETIF_WLAN), 0);
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
    EXPECT_EQ(sink.drain(), (Lines{"disconn flag 0 1"}));
    ToolView v;
    ASSERT_EQ(ToolManager_GetToolView(0, &v), 0);
    EXPECT_EQ(std::tuple(v.state, v.ip, v.port, v.cause, v.netif, std::string(v.serial)),
              std::tuple(uint32_t(TOOL_STATE_CONNECTING), 0x7f000009u, 6000, 2, 2u, "B"));
    EXPECT_EQ(std::tuple(v.type, std::string(v.name)), std::tuple(TOOL_TYPE_ZQ, "ZQA"))
        << "type and name stay";
}

// ---- real endpoints on loopback ----

sockaddr_in udpAddress(const char* addr, int port) {
    sockaddr_in a{AF_INET, htons(uint16_t(port)), {}, {}};
    inet_pton(AF_INET, addr, &a.sin_addr);
    return a;
}

void sendTo(const char* addr, int port, const std::vector<uint8_t>& b) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in a = udpAddress(addr, port);
    sendto(s, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    close(s);
}

TEST_F(DiscoProc, AnswersOnEachEndpointRecordTheirInterfaceAndRequestsReachTheDestination) {
    int port = atoi(getenv("KEST_DISCO_PORT"));
    // Only the Ethernet endpoint (any address) takes the first; the Wi-Fi endpoint is bound to
    // 127.0.0.1 here.
    sendTo("127.0.0.2", port, ack(DISCO_SCAN_ACK, makeInfo(1)));
    sendTo("127.0.0.1", port, ack(DISCO_SCAN_ACK, makeInfo(2)));
    ASSERT_TRUE(waitFor([] { return ToolManager_GetDiscoToolsLen() == 2; }));
    for (int i = 0; i < 2; ++i) {
        DiscoToolView d;
        ASSERT_EQ(ToolManager_GetDiscoToolView(i, &d), 0);
        EXPECT_EQ(d.netif, d.info.mac[5] == 1 ? 1u : 2u) << i;
    }
    // Scan and search reach the destination; a failed Ethernet send still sends on Wi-Fi.
    int dest = atoi(getenv("KEST_DISCO_DEST_PORT"));
    int rx = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in at = udpAddress("127.0.0.1", dest);
    ASSERT_EQ(bind(rx, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
    EXPECT_EQ(Disco_Send_ScanReq(0), 0);
    EXPECT_EQ(Disco_Send_SearchReq("ZQ12"), 0);
    EXPECT_EQ(Disco_Send_SearchReq(nullptr), 0); // nothing sent
    std::vector<std::vector<uint8_t>> got;
    pollfd p{rx, POLLIN, 0};
    while (poll(&p, 1, 500) > 0) {
        uint8_t buf[64];
        ssize_t n = recv(rx, buf, sizeof buf, 0);
        got.emplace_back(buf, buf + n);
    }
    // scan and search, each from both endpoints
    std::vector<uint8_t> scan = {0x34, 0x12, 0, 1}, search = {0x34, 0x12, 0, 2, 'Z', 'Q', '1', '2'};
    search.resize(DISCO_SEARCH_REQ_LEN);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector{scan, scan, search, search}));
    // A failed Ethernet send still sends on Wi-Fi and returns the failure: replace the Ethernet
    // socket by one that cannot send to an IPv4 address.
    int unixSock = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(dup2(unixSock, Disco_GetSocket_Eth()), 0);
    close(unixSock);
    LogCapture log;
    EXPECT_EQ(Disco_Send_ScanReq(0), -1);
    EXPECT_TRUE(log.contains("fail to send scan to eth") &&
                !log.contains("fail to send scan to wlan"));
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    close(rx);
}

TEST_F(DiscoProc, ScanWithKeepAliveLeaveWithoutMembershipFailedJoinAndDatagramsByTypeAndLength) {
    proc(ack(DISCO_SCAN_ACK, makeInfo(1)));
    sink.drain();
    for (int i = 0; i < 3; ++i)
        Disco_Send_ScanReq(1);
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 1);
    Disco_Send_ScanReq(0); // no keep-alive pass
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 1);
    EXPECT_TRUE(sink.drain().empty());
    Disco_Send_ScanReq(1); // the fourth silent pass drops it, and the screens hear of it
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    // A leave without membership, and a failed join.
    Debug_GetFlag()[DEBUG_FLAG_NETLINK] = 1;
    LogCapture log;
    EXPECT_EQ(Disco_Leave_McGroup(Disco_GetSocket_Eth()), 0);
    EXPECT_EQ(Disco_Join_McGroup(-1, 0x7f000001), -1);
    // The attempted join is recorded, so a leave now tries the drop and reports it.
    EXPECT_EQ(Disco_Leave_McGroup(-1), -1);
    for (const char* l :
         {"leave MC group", "join MC group 127.0.0.1", "set multicast interface fail : ",
          "fail to join MC group : ", "fail to leave MC group , "})
        EXPECT_TRUE(log.contains(l)) << l;
    EXPECT_EQ(Disco_Leave_McGroup(-1), 0); // the record was cleared anyway
    // Datagrams by type and length (the list is empty again).
    ToolInfo t = makeInfo(3);
    using Bytes = std::vector<uint8_t>;
    const std::tuple<const char*, Bytes, int, const char*, int> cases[] = {
        {"scan from another controller", Bytes{0x34, 0x12, 0, 1}, 0,
         "recv disco req (1) from other controller", 0},
        {"search from another controller", Bytes{0, 0, 0, 2, 'x'}, 0,
         "recv disco req (2) from other controller", 0},
        {"too short for a header", {0x34, 0x12, 0}, -1, nullptr, 0},
        {"unknown type", {0x34, 0x12, 0, 5}, -1, "invalid message type, 0x5", 0},
        {"ack one byte short", resized(ack(DISCO_SCAN_ACK, t), DISCO_ACK_LEN - 1), -1,
         "short disco message", 0},
        {"advertise cut after the cause", {0x34, 0x12, 0, 0x81, 1}, -1, "short disco message", 0},
        {"advertise cause 0", advertise(0, t), -1, "invalid advertise cuase (0x00)", 0},
        {"advertise cause 6", advertise(6, t), -1, "invalid advertise cuase (0x06)", 0},
        {"advertise cause 255", advertise(255, t), -1, "invalid advertise cuase (0xff)", 0},
        {"scan ack", ack(DISCO_SCAN_ACK, t), 0, "scan ack 127.0.0.1", 1},
        {"search ack with trailing bytes", resized(ack(DISCO_SEARCH_ACK, makeInfo(4)), 100), 0,
         "search ack 127.0.0.1", 2},
    };
    for (const auto& [what, bytes, result, logged, discoLen] : cases) {
        LogCapture log;
        EXPECT_EQ(proc(bytes), result) << what;
        EXPECT_TRUE(!logged || log.contains(logged)) << what;
        EXPECT_EQ(ToolManager_GetDiscoToolsLen(), discoLen) << what;
    }
}

TEST(DiscoEndpoints, WifiEndpointBindsBeforeItsAddressExistsAndConfigComesFromTheEnvironment) {
    TestEnv env;
    SetLoopbackDisco("192.0.2.77"); // an address this machine does not have (yet)
    LogCapture log;
    Threads_Init();
    Disco_Init();
    EXPECT_FALSE(log.contains("Disco_OpenSocket_Wlan.") || log.contains("Disco_OpenSocket_Eth."))
        << "no failure line";
    ASSERT_GE(Disco_GetSocket_Wlan(), 0);
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ASSERT_EQ(getsockname(Disco_GetSocket_Wlan(), reinterpret_cast<sockaddr*>(&local), &len), 0);
    EXPECT_EQ(ntohl(local.sin_addr.s_addr), 0xC000024Du) << "bound to its own address";
    Disco_Deinit();
    EXPECT_EQ(Disco_GetSocket_Eth(), -1);
    quiesceLoops();
    // The configuration comes from the environment.
    setenv("KEST_DISCO_PORT", "40001", 1);
    unsetenv("KEST_DISCO_DEST_PORT");
    setenv("KEST_DISCO_GROUP", "239.1.2.3", 1);
    setenv("KEST_DISCO_WLAN_ADDR", "not an address", 1);
    unsetenv("KEST_DISCO_ETH_ADDR");
    DiscoConfig c;
    Disco_ConfigFromEnv(&c);
    // The Wi-Fi address text is unusable: the default stays.
    EXPECT_EQ(std::tuple(c.port, c.destPort, c.group, c.wlanAddr, c.ethAddr),
              std::tuple(40001, 40001, 0xEF010203u, 0xC0A88301u, 0u));
}

} // namespace

// ---- memberships of the two sockets, as the kernel's table shows them (root) ----

namespace {
std::string kernelRelease() {
    utsname u{};
    return uname(&u) == 0 ? u.release : "?";
}
int sh(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}
} // namespace

TEST(DiscoGroup, EachSocketKeepsItsOwnMembershipAndANewAddressReplacesTheOld) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
    TestEnv env;
    ASSERT_EQ(unshare(CLONE_NEWNET), 0);
    ASSERT_EQ(sh("ip link add a0 type veth peer name a1 && ip addr add 10.1.0.1/24 dev a0 && "
                 "ip addr add 10.2.0.1/24 dev a1 && ip link set a0 up && ip link set a1 up"),
              0);
    LogCapture log;
    Debug_GetFlag()[DEBUG_FLAG_NETLINK] = 1;
    DiscoConfig config; // the default group, whatever an earlier case of this process set
    Disco_DefaultConfig(&config);
    Disco_SetConfig(&config);
    const int eth = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int wlan = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    using Set = std::set<std::string>;
    EXPECT_EQ(Disco_Join_McGroup(eth, 0x0a010001), 0);
    EXPECT_EQ(Disco_Join_McGroup(wlan, 0x0a020001), 0);
    EXPECT_EQ(discoGroupMembers(), (Set{"a0", "a1"}));
    EXPECT_EQ(Disco_Leave_McGroup(eth), 0); // the Ethernet leave keeps the Wi-Fi membership
    EXPECT_EQ(discoGroupMembers(), (Set{"a1"}));
    EXPECT_EQ(Disco_Leave_McGroup(eth), 0); // nothing recorded any more
    EXPECT_EQ(Disco_Join_McGroup(eth, 0x0a010001), 0);
    EXPECT_EQ(Disco_Join_McGroup(wlan, 0x0a010001), 0); // a new address replaces a1's
    EXPECT_EQ(discoGroupMembers(), (Set{"a0"}));
    EXPECT_EQ(Disco_Join_McGroup(eth, 0x0a010001), 0); // the same address again
    EXPECT_EQ(Disco_Leave_McGroup(wlan), 0);
    EXPECT_EQ(discoGroupMembers(), (Set{"a0"}));
    EXPECT_EQ(Disco_Leave_McGroup(eth), 0);
    EXPECT_EQ(discoGroupMembers(), Set{});
    // The address gone before the leave (a DHCP client removes it as it stops).
    EXPECT_EQ(Disco_Join_McGroup(eth, 0x0a010001), 0);
    ASSERT_EQ(sh("ip addr del 10.1.0.1/24 dev a0"), 0);
    EXPECT_EQ(Disco_Leave_McGroup(eth), 0);
    EXPECT_EQ(discoGroupMembers(), Set{}) << "kernel " << kernelRelease();
    EXPECT_FALSE(log.contains("no interface holds") || log.contains("unknown"))
        << "every join knew its interface";
    close(eth);
    close(wlan);
}
