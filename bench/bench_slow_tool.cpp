// The discovery scan while a trickling tool connects (root: the simulated cell). The real
// zqcapp process connects a registered tool whose data connection sends one byte every
// 0.4 s; the largest gap between the panel's scan requests reaching the tools' side is
// reported beside the same panel with a tool that answers at once (the raw path), and the
// time 'p' takes to end it. The scan period is 3 s: a gap near it means the scan timer
// kept going while the tool connected.
#include "ChildProcess.h"
#include "TestEnv.h"
#include "ToolCell.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
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
// time of arrival, so the gaps measured are the panel's and not this program's scheduling.
class ScanListener {
  public:
    ScanListener(int pid, const std::string& ip) {
        std::thread([&] {
            int ns = open(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), O_RDONLY);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) return;
            close(ns);
            fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int one = 1;
            setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            // Microseconds are plenty for gaps of seconds, and qemu-user translates
            // SO_TIMESTAMP but not SO_TIMESTAMPNS.
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

struct Figures {
    double gap = -1, quit = -1;
};

// One panel start with the registered tool answering at `drip` ms per byte (0: at once).
Figures run(int drip) {
    Figures f;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) return f;
    TestEnv env;
    SetPanelEnvironment(env.root());
    for (const char* v : {"KEST_DISCO_GROUP", "KEST_DISCO_PORT", "KEST_DISCO_DEST_PORT",
                          "KEST_DISCO_ETH_ADDR", "KEST_DISCO_WLAN_ADDR"})
        unsetenv(v);
    const std::string home = env.root() + "/panelhome";
    std::filesystem::create_directories(home);
    if (!cell->handLinkToPanel()) return f;
    TestEnv::writeFile(home + "/files/setting/setting.kest",
                       "dhcp = static\nip = 10.77.0.1\nnetmask = 255.255.255.0\n"
                       "gateway = 0.0.0.0\n");
    auto sim = cell->startTools({2}, {"--write-regtools", home + "/regtools"});
    auto* proc = dynamic_cast<ToolsimProcess*>(sim.get());
    if (!proc || !sim->ok()) return f;
    if (drip > 0 && sim->cmd("drip 0 " + std::to_string(drip)) != "ok") return f;
    ScanListener scans(proc->pid(), cell->toolIp(0));
    ChildProcess p;
    if (scans.fd() < 0 || !p.start({ZQCAPP_PATH, "--home", home})) return f;
    if (!serveUntil(p, scans, Clock::now() + std::chrono::seconds(30),
                    [&] { return sim->stat(0, "data") >= 1; }))
        return f;
    const size_t before = scans.at.size();
    serveUntil(p, scans, Clock::now() + std::chrono::seconds(20),
               [&] { return scans.at.size() >= before + 4 || !p.running(); });
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    f.gap = largestGap(scans.at, double(now.tv_sec) + now.tv_nsec / 1e9);
    p.write("p");
    const auto quit = Clock::now();
    if (serveUntil(p, scans, quit + std::chrono::seconds(30), [&] { return !p.running(); }))
        f.quit = std::chrono::duration<double>(Clock::now() - quit).count();
    return f;
}

} // namespace

int main() {
    if (geteuid() != 0) {
        std::puts("bench_slow_tool: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const Figures raw = run(0), slow = run(400);
    if (raw.gap < 0 || slow.gap < 0) {
        fprintf(stderr, "bench_slow_tool: the cell or the panel did not come up\n");
        return 1;
    }
    printf("largest scan gap: trickle tool %.2f s, prompt tool %.2f s (ratio %.2f)\n", slow.gap,
           raw.gap, slow.gap / raw.gap);
    printf("'p' to exit:      trickle tool %.2f s, prompt tool %.2f s\n", slow.quit, raw.quit);
    return 0;
}
