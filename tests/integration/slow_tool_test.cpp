// A registered tool whose data connection trickles its answers must not hold up the screen:
// the real zqcapp process in the cell keeps its discovery scan going while it connects
// that tool, and still ends on 'p'. One byte every 0.4 s keeps each answer inside the
// link's 0.5 s byte time-out, so every start-up transaction succeeds slowly instead of
// failing fast. How long the scan gaps and the exit take is bench_slow_tool's figure.
#include "ChildProcess.h"
#include "TestEnv.h"
#include "ToolCell.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Counts the panel's scan requests on the tools' side of the cell: a socket created in the
// network namespace of process `pid` (toolsim's), joined on the interface with address `ip`.
struct ScanListener {
    ScanListener(int pid, const std::string& ip) {
        std::thread([&] {
            int ns = open(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), O_RDONLY);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) return;
            close(ns);
            fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(53256);
            inet_pton(AF_INET, "239.66.77.43", &a.sin_addr);
            ip_mreq m{};
            m.imr_multiaddr = a.sin_addr;
            inet_pton(AF_INET, ip.c_str(), &m.imr_interface);
            if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
                close(fd);
                fd = -1;
            }
        }).join();
    }
    ~ScanListener() {
        if (fd >= 0) close(fd);
    }
    void read() {
        uint8_t buf[64];
        ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 4 && buf[2] == 0 && buf[3] == 1) ++scans;
    }
    int fd = -1;
    size_t scans = 0;
};

// Serves the scan listener and the panel's exit until `done` holds or the deadline passes.
bool serveUntil(ChildProcess& p, ScanListener& scans, const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd f[2] = {{scans.fd, POLLIN, 0}, {p.pidfd(), POLLIN, 0}};
        if (poll(f, p.running() ? 2 : 1, int(left.count())) <= 0) continue;
        if (f[0].revents) scans.read();
        if (p.running() && f[1].revents) p.wait(0);
    }
    return true;
}

TEST(SlowTool, ScreenKeepsScanningAndQuitsWhileATrickleToolConnects) {
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
    TestEnv env;
    SetPanelEnvironment(env.root());
    for (const char* v : {"KEST_DISCO_GROUP", "KEST_DISCO_PORT", "KEST_DISCO_DEST_PORT",
                          "KEST_DISCO_ETH_ADDR", "KEST_DISCO_WLAN_ADDR"})
        unsetenv(v); // the board's discovery endpoints
    const std::string home = env.root() + "/panelhome";
    std::filesystem::create_directories(home);

    // The panel raises eth0 with its static address and joins the group itself.
    ASSERT_TRUE(cell->handLinkToPanel());
    TestEnv::writeFile(home + "/files/setting/setting.kest",
                       "dhcp = static\nip = 10.77.0.1\nnetmask = 255.255.255.0\n"
                       "gateway = 0.0.0.0\n");
    auto sim = cell->startTools({2}, {"--write-regtools", home + "/regtools"});
    ASSERT_TRUE(sim && sim->ok());
    auto* proc = dynamic_cast<ToolsimProcess*>(sim.get());
    ASSERT_NE(proc, nullptr);
    ASSERT_EQ(sim->cmd("drip 0 400"), "ok");
    ScanListener scans(proc->pid(), cell->toolIp(0));
    ASSERT_GE(scans.fd, 0);

    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", home}));
    // The panel connects the registered tool at its first answer; wait for the tool to see
    // the data connection, then for four more scans while the start-up registers trickle in.
    ASSERT_TRUE(serveUntil(p, scans, [&] { return sim->stat(0, "data") >= 1; })) << p.output();
    const size_t before = scans.scans;
    EXPECT_TRUE(serveUntil(p, scans, [&] { return scans.scans >= before + 4 || !p.running(); }));
    EXPECT_GE(scans.scans, before + 4) << "the scan timer stopped\n" << p.output();
    ASSERT_TRUE(p.write("p"));
    EXPECT_TRUE(serveUntil(p, scans, [&] { return !p.running(); })) << p.output();
    EXPECT_EQ(p.status(), 0) << p.output();
}

} // namespace
