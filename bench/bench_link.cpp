// Link changes in the simulated cell (root), each beside a raw path in the same run:
//   link down: the peer's link dropped -> the panel has dismissed its Ethernet tools, left
//     the group and closed forwarding ("Close server stream (link down)."), against a bare
//     netlink listener seeing the same link message;
//   link up: the peer's link back -> the first scan ack a tool sends to the group reaches
//     the panel (address applied or leased, group joined, scans every 20 ms), against the
//     bare listener seeing the link running again.
// Under static addressing, and under DHCP (a real dnsmasq and dhcpcd) when installed.
// Times are from the command that changes the link. BENCH_ROUNDS rounds (default 10).
#include "RecordingSink.h"
#include "TestEnv.h"
#include "ToolCell.h"
#include "toolsim_bench.h"

#include "ethernet.h"
#include "net.h"
#include "setting.h"
#include "threads.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

using bench::nowUs;
using bench::pct;

namespace {

// The raw path: a netlink listener of its own, stamping eth0's running state changes.
struct RawListener {
    int fd = -1;
    std::atomic<uint64_t> downAt{0}, upAt{0};
    std::atomic<bool> stop{false};
    std::thread th;
    RawListener() {
        fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        sockaddr_nl a{};
        a.nl_family = AF_NETLINK;
        a.nl_groups = RTMGRP_LINK;
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const unsigned eth0 = if_nametoindex("eth0");
        th = std::thread([this, eth0] {
            alignas(nlmsghdr) char buf[8192];
            while (!stop) {
                pollfd p = {fd, POLLIN, 0};
                if (poll(&p, 1, 100) <= 0) continue;
                ssize_t n = recv(fd, buf, sizeof buf, 0);
                const uint64_t t = nowUs();
                for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, size_t(n));
                     h = NLMSG_NEXT(h, n)) {
                    if (h->nlmsg_type != RTM_NEWLINK) continue;
                    auto* i = static_cast<ifinfomsg*>(NLMSG_DATA(h));
                    if (unsigned(i->ifi_index) != eth0) continue;
                    if ((i->ifi_flags & IFF_UP) && !(i->ifi_flags & IFF_RUNNING) && !downAt)
                        downAt = t;
                    if ((i->ifi_flags & IFF_RUNNING) && !upAt) upAt = t;
                }
            }
        });
    }
    ~RawListener() {
        stop = true;
        th.join();
        close(fd);
    }
};

// Times of the panel's log lines that end each path.
std::atomic<uint64_t> closedAt{0}, ackAt{0};

bool member() {
    return discoGroupMembers().count("eth0") == 1;
}

void measure(const char* mode, ToolCell& cell, RawListener& raw, int rounds) {
    std::vector<double> rawDown, panelDown, rawUp, panelUp;
    for (int r = 0; r < rounds; ++r) {
        raw.downAt = 0, closedAt = 0;
        uint64_t t0 = nowUs();
        cell.onToolsSide("ip link set tools0 down");
        kest_test::WaitUntil([&] { return raw.downAt && closedAt && !member(); });
        rawDown.push_back(double(raw.downAt - t0));
        panelDown.push_back(double(closedAt - t0));

        raw.upAt = 0, ackAt = 0;
        t0 = nowUs();
        cell.onToolsSide("ip link set tools0 up");
        const uint64_t limit = nowUs() + 60000000;
        while (!ackAt && nowUs() < limit) {
            Disco_Send_ScanReq(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        rawUp.push_back(double(raw.upAt - t0));
        panelUp.push_back(double(ackAt - t0));
    }
    std::printf("%s addressing, %d rounds\n link down:\n", mode, rounds);
    bench::reportLatencies("bare netlink listener", rawDown, "panel: dismissed, left, closed",
                           panelDown);
    std::printf(" link up:\n");
    bench::reportLatencies("bare netlink listener (running)", rawUp, "panel: first tool answering",
                           panelUp);
}

} // namespace

int main() {
    const int rounds = getenv("BENCH_ROUNDS") ? atoi(getenv("BENCH_ROUNDS")) : 10;
    TestEnv env;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) {
        std::fprintf(stderr, "bench_link: needs root for the cell's namespaces\n");
        return 1;
    }
    if (!cell->handLinkToPanel()) return 1;
    auto tools = cell->startTools({2, 3}, {"--ack-wait", "1000"});
    if (!tools) return 1;
    Debug_SetQuiet(true);
    Debug_SetLineHook([](const char* line) {
        if (strstr(line, "Close server stream (link down).")) closedAt = nowUs();
        if (strstr(line, "scan ack") && !ackAt) ackAt = nowUs();
    });
    RecordingSink sink;
    sink.recordDebug = false;
    EwDriver_Initialize(&sink);
    for (int f : {DEBUG_FLAG_NETLINK, DEBUG_FLAG_DISCO, DEBUG_FLAG_BEF})
        Debug_GetFlag()[f] = 1;
    RawListener raw;

    SettingNetwork* n = get_setting_network();
    n->dhcp = 0, n->ip = 0x0A4D0001, n->netmask = 0xFFFFFF00, n->gateway = 0;
    Net_Init();
    if (!kest_test::WaitUntil(member)) return 1;
    measure("static", *cell, raw, rounds);

    if (DhcpPeersInstalled()) {
        const std::string dir = env.root() + "/dhcp";
        WriteDhcpClient(dir);
        setenv("PATH", (dir + ":" + getenv("PATH")).c_str(), 1);
        auto server = cell->startOnToolsSide(DhcpServerArgs(dir));
        if (!server || !server->waitFor("DHCP, IP range")) return 1;
        n->dhcp = 1;
        system("ip addr flush dev eth0 && ip link set eth0 down && ip link set eth0 up");
        if (!kest_test::WaitUntil(member)) return 1;
        measure("DHCP", *cell, raw, rounds);
        Threads_RunSync(LOOP_NETLINK, [] { dhcpd_kill(); });
    }
    Debug_SetLineHook(nullptr);
    return 0;
}
