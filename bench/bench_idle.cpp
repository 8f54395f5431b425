// Idle cost of a running zqcapp: CPU share and wake-ups per second over N seconds with
// nothing happening, beside a reference loop that sleeps 1 us per cycle, measured in the
// same run. With --closed-stdin its standard input is closed once the main loop runs (the
// console gone: the loop must still sleep). Usage: bench_idle [seconds=30] [--closed-stdin]
#include "TestPaths.h"
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
struct Usage {
    double cpuSeconds = 0;
    long switches = 0;
};

// CPU time and context switches (voluntary + involuntary) summed over all threads.
Usage usageOf(pid_t pid) {
    Usage u;
    std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(base.c_str());
    if (!d) return u;
    long ticks = sysconf(_SC_CLK_TCK);
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::string t = base + "/" + e->d_name;
        std::ifstream st(t + "/stat");
        std::string s((std::istreambuf_iterator<char>(st)), {});
        size_t rp = s.rfind(')');
        if (rp == std::string::npos) continue;
        std::istringstream ss(s.substr(rp + 2));
        std::string f;
        long ut = 0, stt = 0;
        for (int k = 3; k <= 15; ++k) {
            ss >> f;
            if (k == 14) ut = std::stol(f);
            if (k == 15) stt = std::stol(f);
        }
        u.cpuSeconds += double(ut + stt) / double(ticks);
        std::ifstream status(t + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                u.switches += std::stol(line.substr(line.find(':') + 1));
        }
    }
    closedir(d);
    return u;
}
} // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? atoi(argv[1]) : 30;
    const bool closedIn = argc > 2 && std::string(argv[2]) == "--closed-stdin";
    char tmpl[] = "/tmp/kest-bench-idle-XXXXXX";
    std::string root = mkdtemp(tmpl);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("KEST_SYSROOT", (root + "/sysroot").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    std::string stubs = std::string(KEST_SOURCE_DIR) + "/sim/stubs";
    // amixer must not touch the real mixer: a recording stub first on PATH.
    std::string stubDir = root + "/stubs";
    mkdir(stubDir.c_str(), 0755);
    symlink((stubs + "/record-stub").c_str(), (stubDir + "/amixer").c_str());
    setenv("PATH", (stubDir + ":" + getenv("PATH")).c_str(), 1);

    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return 1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, out[1], 2);
    std::string home = root + "/home";
    const char* args[] = {ZQCAPP_PATH, "--home", home.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, ZQCAPP_PATH, &fa, nullptr, const_cast<char**>(args), environ) != 0)
        return 1;
    close(in[0]);
    close(out[1]);
    // Wait for the main loop, then let start-up settle.
    std::string text;
    char buf[4096];
    while (text.find("Start main loop") == std::string::npos) {
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) return 1;
        text.append(buf, size_t(n));
    }
    std::thread drain([fd = out[0]] {
        char b[4096];
        while (read(fd, b, sizeof b) > 0) {
        }
    });
    if (closedIn) close(in[1]);
    std::this_thread::sleep_for(std::chrono::seconds(2));

    // Reference: a loop that sleeps 1 us per cycle, in its own thread, same period.
    std::atomic<bool> stop{false};
    std::atomic<long> refCycles{0};
    struct rusage r0, r1;
    std::thread ref([&] {
        getrusage(RUSAGE_THREAD, &r0);
        while (!stop) {
            usleep(1);
            ++refCycles;
        }
        getrusage(RUSAGE_THREAD, &r1);
    });
    Usage a = usageOf(pid);
    auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Usage b = usageOf(pid);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    stop = true;
    ref.join();
    if (closedIn || write(in[1], "p", 1) != 1) kill(pid, SIGTERM);
    if (!closedIn) close(in[1]);
    int st;
    waitpid(pid, &st, 0);
    drain.join();

    double cpu = (b.cpuSeconds - a.cpuSeconds) / wall * 100.0;
    double wakes = double(b.switches - a.switches) / wall;
    double refCpu =
        ((r1.ru_utime.tv_sec - r0.ru_utime.tv_sec) + (r1.ru_stime.tv_sec - r0.ru_stime.tv_sec) +
         (r1.ru_utime.tv_usec - r0.ru_utime.tv_usec) / 1e6 +
         (r1.ru_stime.tv_usec - r0.ru_stime.tv_usec) / 1e6) /
        wall * 100.0;
    double refWakes = double((r1.ru_nvcsw + r1.ru_nivcsw) - (r0.ru_nvcsw + r0.ru_nivcsw)) / wall;
    printf("idle over %.1f s\n", wall);
    printf("  zqcapp:          %6.3f %% of one core, %8.1f wake-ups/s\n", cpu, wakes);
    printf("  1 us sleep loop: %6.3f %% of one core, %8.1f wake-ups/s (%ld cycles)\n", refCpu,
           refWakes, refCycles.load());
    printf("  ratio zqcapp/reference: cpu %.4f, wake-ups %.5f\n", refCpu > 0 ? cpu / refCpu : 0.0,
           refWakes > 0 ? wakes / refWakes : 0.0);
    printf("  goal: < 0.5 %% and < 30 wake-ups/s: %s\n",
           (cpu < 0.5 && wakes < 30) ? "met" : "NOT met");
    std::string cmd = "rm -rf '" + root + "'";
    return system(cmd.c_str()) == 0 ? 0 : 0;
}
