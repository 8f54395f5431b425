// The discovery scan while a trickling tool connects (root: the simulated cell). The real
// zqcapp process connects a registered tool whose data connection sends one byte every
// 0.4 s; the largest gap between the panel's scan requests reaching the tools' side is
// reported beside the same panel with a tool that answers at once (the raw path), and the
// time 'p' takes to end it. The scan period is 3 s: a gap near it means the scan timer
// kept going while the tool connected.
#include "ChildProcess.h"
#include "ScanListener.h"
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
