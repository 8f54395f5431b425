// The real zqcapp process: start-up sequence, data home, console quit, shutdown order.
#include "TestEnv.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
struct Proc {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string output;

    // `stdinFd` >= 0 replaces the input pipe (a terminal, for example).
    void start(const std::vector<std::string>& args, int stdinFd = -1) {
        int pin[2], pout[2];
        ASSERT_EQ(pipe(pin), 0);
        ASSERT_EQ(pipe(pout), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, stdinFd >= 0 ? stdinFd : pin[0], 0);
        posix_spawn_file_actions_adddup2(&fa, pout[1], 1);
        posix_spawn_file_actions_adddup2(&fa, pout[1], 2);
        posix_spawn_file_actions_addclose(&fa, pin[1]);
        posix_spawn_file_actions_addclose(&fa, pout[0]);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        close(pin[0]);
        close(pout[1]);
        in = pin[1];
        out = pout[0];
    }
    // Reads output until `needle` appears or `ms` pass.
    bool waitFor(const std::string& needle, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (output.find(needle) == std::string::npos) {
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                               end - std::chrono::steady_clock::now())
                               .count());
            if (left <= 0) return false;
            pollfd p{out, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char buf[4096];
            ssize_t n = read(out, buf, sizeof buf);
            if (n <= 0) return output.find(needle) != std::string::npos;
            output.append(buf, size_t(n));
        }
        return true;
    }
    // Waits for the process to exit, reading its output meanwhile (a full pipe would
    // stall it). Blocks on a pidfd, so the deadline only bounds the wait. Returns the exit
    // status (128 + signal), or -1 when the process is still running at the deadline.
    int wait(int ms) {
        int pfd = int(syscall(SYS_pidfd_open, pid, 0));
        if (pfd < 0) return -1;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        bool exited = false;
        while (!exited) {
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                               end - std::chrono::steady_clock::now())
                               .count());
            if (left <= 0) break;
            pollfd p[2] = {{pfd, POLLIN, 0}, {out, POLLIN, 0}};
            if (poll(p, out >= 0 ? 2 : 1, left) <= 0) continue;
            if (p[1].revents) drain(false);
            exited = p[0].revents != 0;
        }
        close(pfd);
        if (!exited) return -1;
        int st = 0;
        if (waitpid(pid, &st, 0) != pid) return -1;
        pid = -1;
        drain(true); // what the process wrote last, up to end of file
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    // Appends what the pipe holds; `toEof` reads until every writer has closed it (a
    // child the panel left behind may hold it: that wait is bounded).
    void drain(bool toEof) {
        if (out < 0) return;
        char buf[4096];
        for (;;) {
            pollfd p{out, POLLIN, 0};
            if (poll(&p, 1, toEof ? 10000 : 0) <= 0) return;
            ssize_t n = read(out, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            output.append(buf, size_t(n));
        }
    }
    ~Proc() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (in >= 0) close(in);
        if (out >= 0) close(out);
    }
};

void setPanelEnv(const TestEnv& env) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", (env.root() + "/xdg").c_str(), 1);
    std::filesystem::create_directories(env.root() + "/xdg");
    std::filesystem::permissions(env.root() + "/xdg", std::filesystem::perms::owner_all);
}
} // namespace

TEST(ZqcappProcess, StartsCreatesDataHomeAndQuitsOnP) {
    TestEnv env;
    setPanelEnv(env);
    std::string home = env.root() + "/panelhome";
    Proc p;
    p.start({ZQCAPP_PATH, "--home", home});
    ASSERT_TRUE(p.waitFor("Start main loop", 20000)) << p.output;
    ASSERT_EQ(write(p.in, "xp", 2), 2);
    EXPECT_EQ(p.wait(20000), 0) << p.output;
    const std::string& o = p.output;
    // Start-up labels padded to 45 characters, in order, then the info block.
    size_t d = o.find("Initialize Display...                        [OK]");
    size_t t = o.find("Initialize Touch Driver...                   ");
    size_t g = o.find("Initialize Graphics Engine...                [OK]");
    size_t m = o.find("Start main loop");
    size_t i = o.find("Color format                                 RGBA8888");
    ASSERT_NE(d, std::string::npos) << o;
    ASSERT_NE(g, std::string::npos) << o;
    EXPECT_LT(d, t);
    EXPECT_LT(t, g);
    EXPECT_LT(g, m);
    EXPECT_LT(m, i);
    // No touch device in the sysroot: reported, start-up goes on.
    EXPECT_NE(o.find("Error: failed to open touch input device."), std::string::npos);
    size_t s1 = o.find("Deinitialize Touch Driver...                 [OK]");
    size_t s2 = o.find("Shutting down Application...                 [OK]");
    size_t s3 = o.find("Deinitialize Graphics Engine...              [OK]");
    ASSERT_NE(s1, std::string::npos) << o;
    EXPECT_LT(i, s1);
    EXPECT_LT(s1, s2);
    EXPECT_LT(s2, s3);
    for (const char* dir : {"files", "files/log", "files/job", "files/setting", "files/image"})
        EXPECT_TRUE(std::filesystem::is_directory(home + "/" + dir)) << dir;
    EXPECT_TRUE(std::filesystem::exists(home + "/files/setting/setting.kest"));
}

TEST(ZqcappProcess, ClosedStandardInputDoesNotSpinAndSignalsNothing) {
    TestEnv env;
    setPanelEnv(env);
    Proc p;
    p.start({ZQCAPP_PATH, "--home", env.root() + "/h"});
    ASSERT_TRUE(p.waitFor("Start main loop", 20000)) << p.output;
    close(p.in);
    p.in = -1;
    // With standard input gone the loop must sleep: sample the process's CPU time.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto cpu = [&] {
        std::string stat = TestEnv::readFile("/proc/" + std::to_string(p.pid) + "/stat");
        size_t rp = stat.rfind(')');
        std::istringstream ss(stat.substr(rp + 2));
        std::string f;
        long utime = 0, stime = 0;
        for (int k = 3; k <= 15; ++k) {
            ss >> f;
            if (k == 14) utime = std::stol(f);
            if (k == 15) stime = std::stol(f);
        }
        return utime + stime;
    };
    long before = cpu();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long used = cpu() - before; // clock ticks (1/100 s)
    EXPECT_LT(used, 50) << "the GUI loop spins with a closed standard input";
    kill(p.pid, SIGTERM);
}

TEST(ZqcappProcess, HelpAndVersion) {
    TestEnv env;
    Proc h;
    h.start({ZQCAPP_PATH, "--help"});
    EXPECT_EQ(h.wait(30000), 0) << h.output;
    for (const char* s : {"--home", "KEST_HOME", "KEST_SYSROOT", "KEST_FBDEV", "QT_QPA_PLATFORM"})
        EXPECT_NE(h.output.find(s), std::string::npos) << s;
    Proc v;
    v.start({ZQCAPP_PATH, "--version"});
    EXPECT_EQ(v.wait(30000), 0) << v.output;
    EXPECT_EQ(v.output.rfind("zqcapp ", 0), 0u);
}

TEST(ZqcappProcess, MissingFramebufferFailsStartUp) {
    TestEnv env;
    unsetenv("QT_QPA_PLATFORM"); // the board path: the panel's own framebuffer checks
    Proc p;
    p.start({ZQCAPP_PATH, "--home", env.root() + "/h"});
    EXPECT_EQ(p.wait(30000), 1);
    EXPECT_NE(p.output.find("Initialize Display...                        Error: failed to open "
                            "framebuffer device."),
              std::string::npos)
        << p.output;
    EXPECT_EQ(p.output.find("Initialize Touch Driver"), std::string::npos);
}

TEST(ZqcappProcess, FailedStartLeavesTheTerminalAsItWas) {
    TestEnv env;
    unsetenv("QT_QPA_PLATFORM");
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    Proc p;
    p.start({ZQCAPP_PATH, "--home", env.root() + "/h"}, slave);
    EXPECT_EQ(p.wait(30000), 1) << p.output;
    struct termios t;
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_TRUE(t.c_lflag & ECHO) << "echo restored";
    EXPECT_TRUE(t.c_lflag & ICANON) << "line mode restored";
    close(slave);
    close(master);
}
