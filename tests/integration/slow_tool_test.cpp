// A registered tool whose data connection trickles its answers must not hold up the screen:
// the real zqcapp process in the cell keeps its 3 s discovery scan going while it connects
// that tool, and still ends at once on 'p'. One byte every 0.4 s keeps each answer inside
// the link's 0.5 s byte time-out, so every start-up transaction succeeds slowly (about
// 5 s each) instead of failing fast.
#include "ChildProcess.h"
#include "TestEnv.h"
#include "ToolCell.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Receives the panel's scan requests on the tools' side of the cell, each with the kernel's
// time of arrival, so the gaps measured are the panel's and not this test's scheduling.
class ScanListener {
  public:
    // Created in the network namespace of process `pid` (toolsim's), on the interface
    // with address `ip`.
    ScanListener(int pid, const std::string& ip) {
        std::thread([&] {
            int ns = open(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), O_RDONLY);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) return;
            close(ns);
            fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int one = 1;
            setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            // Microseconds are plenty for gaps of seconds, and qemu-user (the arm64 run)
            // translates SO_TIMESTAMP but not SO_TIMESTAMPNS.
            setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(53256);
            inet_pton(AF_INET, "239.66.77.43", &a.sin_addr);
            ip_mreq m{};
            m.imr_multiaddr = a.sin_addr;
            inet_pton(AF_INET, ip.c_str(), &m.imr_interface);
            if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
                close(fd_);
                fd_ = -1;
            }
        }).join();
    }
    ~ScanListener() {
        if (fd_ >= 0) close(fd_);
    }
    int fd() const { return fd_; }
    // Reads one datagram; records its arrival when it is a scan request.
    void read() {
        uint8_t buf[64];
        char ctl[CMSG_SPACE(sizeof(timeval))];
        iovec iov{buf, sizeof buf};
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = ctl;
        mh.msg_controllen = sizeof ctl;
        ssize_t n = recvmsg(fd_, &mh, MSG_DONTWAIT);
        if (n != 4 || buf[2] != 0 || buf[3] != 1) return;
        for (cmsghdr* c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
                timeval tv;
                memcpy(&tv, CMSG_DATA(c), sizeof tv);
                at.push_back(double(tv.tv_sec) + tv.tv_usec / 1e6);
            }
    }
    std::vector<double> at; // seconds, kernel time of arrival

  private:
    int fd_ = -1;
};

// Serves the scan listener and the panel's exit until `done` holds or the deadline passes.
// Returns done().
bool serveUntil(ChildProcess& p, ScanListener& scans, Clock::time_point deadline,
                const std::function<bool()>& done) {
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd f[2] = {{scans.fd(), POLLIN, 0}, {p.pidfd(), POLLIN, 0}};
        if (poll(f, p.running() ? 2 : 1, int(left.count())) <= 0) continue;
        if (f[0].revents) scans.read();
        if (p.running() && f[1].revents) p.wait(0);
    }
    return true;
}

double largestGap(const std::vector<double>& at, double until) {
    double gap = 0;
    for (size_t i = 1; i < at.size(); ++i)
        gap = std::max(gap, at[i] - at[i - 1]);
    return at.empty() ? until : std::max(gap, until - at.back());
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
    ASSERT_GE(scans.fd(), 0);

    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", home}));
    // The panel connects the registered tool at its first answer (the first scan goes out
    // 100 ms after start-up); wait for the tool to see the data connection.
    const auto start = Clock::now();
    ASSERT_TRUE(serveUntil(p, scans, start + std::chrono::seconds(30), [&] {
        return sim->stat(0, "data") >= 1;
    })) << p.output();
    // Four scan periods while the start-up registers trickle in.
    const size_t before = scans.at.size();
    serveUntil(p, scans, Clock::now() + std::chrono::seconds(20),
               [&] { return scans.at.size() >= before + 4 || !p.running(); });
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const double gap = largestGap(scans.at, double(now.tv_sec) + now.tv_nsec / 1e9);
    EXPECT_LE(gap, 4.5) << "the scan timer stopped for " << gap << " s\n" << p.output();

    ASSERT_TRUE(p.write("p"));
    const auto quit = Clock::now();
    EXPECT_TRUE(serveUntil(p, scans, quit + std::chrono::seconds(5), [&] { return !p.running(); }))
        << "'p' did not end the panel within 5 s\n"
        << p.output();
    EXPECT_EQ(p.status(), 0) << p.output();
}

} // namespace
