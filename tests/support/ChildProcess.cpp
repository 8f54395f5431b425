#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

bool ChildProcess::start(const std::vector<std::string>& args, Options o) {
    int in[2] = {-1, -1}, out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (o.stdinFd < 0 && pipe2(in, O_CLOEXEC) != 0) in[0] = in[1] = -1;
    const int inFd = o.stdinFd >= 0 ? o.stdinFd : in[0];
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) { // only async-signal-safe calls until exec
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (inFd >= 0) dup2(inFd, 0);
        dup2(out[1], 1);
        if (o.stderrToo) dup2(out[1], 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (in[0] >= 0) close(in[0]);
    in_ = in[1];
    out_ = out[0];
    wake_ = eventfd(0, EFD_CLOEXEC);
    reader_ = std::thread([this] { read(); });
    if (pid_ > 0) pidfd_ = int(syscall(SYS_pidfd_open, pid_, 0));
    return pid_ > 0 && pidfd_ >= 0 && inFd >= 0;
}

void ChildProcess::read() {
    char buf[4096];
    for (;;) {
        pollfd p[2] = {{out_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno == EINTR) continue;
        const ssize_t n = p[1].revents ? 0 : ::read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        std::lock_guard<std::mutex> g(lock_);
        if (n > 0) output_.append(buf, size_t(n));
        ended_ = n <= 0;
        changed_.notify_all();
        if (ended_) return;
    }
}

bool ChildProcess::write(const std::string& bytes) {
    return in_ >= 0 && ::write(in_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

std::string ChildProcess::output() {
    std::lock_guard<std::mutex> g(lock_);
    return output_;
}

bool ChildProcess::waitFor(const std::string& needle, int ms) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::milliseconds(ms),
                      [&] { return ended_ || output_.find(needle) != std::string::npos; });
    return output_.find(needle) != std::string::npos;
}

bool ChildProcess::nextLine(std::string* line, int ms) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::milliseconds(ms),
                      [&] { return ended_ || output_.find('\n', taken_) != std::string::npos; });
    const size_t nl = output_.find('\n', taken_);
    if (nl == std::string::npos) return false;
    *line = output_.substr(taken_, nl - taken_);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    taken_ = nl + 1;
    return true;
}

int ChildProcess::wait(int ms) {
    if (pid_ <= 0) return status_;
    pollfd p{pidfd_, POLLIN, 0};
    if (pidfd_ >= 0 && poll(&p, 1, ms) <= 0) return -1;
    int st = 0;
    if (waitpid(pid_, &st, 0) != pid_) return -1;
    pid_ = -1;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    // What it wrote last, up to the end of the output: bounded, since a child it left
    // behind may still hold the pipe.
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, std::chrono::seconds(10), [&] { return ended_; });
    return status_;
}

void ChildProcess::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        wait(-1);
    }
    if (reader_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
        reader_.join();
    }
    for (int* fd : {&in_, &out_, &wake_, &pidfd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void SetPanelEnvironment(const std::string& root) {
    const std::string xdg = root + "/xdg";
    std::filesystem::create_directories(xdg);
    std::filesystem::permissions(xdg, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

std::string ShellOutput(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}
