#include "toolsim_harness.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace harness {
std::string toolsimPath() {
    return std::string(SIM_BIN_DIR) + "/toolsim/toolsim";
}

static bool readLine(int fd, std::string& buf, std::string* line, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t nl = buf.find('\n');
        if (nl != std::string::npos) {
            *line = buf.substr(0, nl);
            buf.erase(0, nl + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char tmp[4096];
        const ssize_t n = read(fd, tmp, sizeof tmp);
        if (n <= 0) return false;
        buf.append(tmp, static_cast<size_t>(n));
    }
}

Toolsim::Toolsim(const std::vector<std::string>& args) {
    char tmpl[] = "/tmp/toolsim-test-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir_ = tmpl;
    const std::string sock = dir_ + "/ctl";
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> argv = {toolsimPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"--control", sock, "--no-stdin"});
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        std::vector<char*> av;
        for (auto& a : argv)
            av.push_back(a.data());
        av.push_back(nullptr);
        execv(av[0], av.data());
        _exit(127);
    }
    close(out[1]);
    std::string buf, line;
    const bool ready = readLine(out[0], buf, &line, 5000) && line.rfind("ready", 0) == 0;
    close(out[0]);
    if (!ready) return;
    ctl_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, sock.c_str(), sizeof a.sun_path - 1);
    if (connect(ctl_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(ctl_);
        ctl_ = -1;
    }
}

Toolsim::~Toolsim() {
    if (ctl_ >= 0) {
        cmd("quit");
        close(ctl_);
    }
    if (pid_ > 0) {
        int st;
        for (int i = 0; i < 200; i++) {
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid_ > 0) kill();
    }
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

void Toolsim::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int st;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    if (ctl_ >= 0) close(ctl_);
    ctl_ = -1;
}

std::string Toolsim::cmd(const std::string& line) {
    if (ctl_ < 0) return "err no toolsim";
    const std::string l = line + "\n";
    if (write(ctl_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) return "err write";
    std::string reply;
    if (!readLine(ctl_, rxbuf_, &reply, 5000)) return "err timeout";
    return reply;
}

long Toolsim::stat(int tool, const std::string& key) {
    const std::string s = cmd("stats " + std::to_string(tool));
    const size_t p = s.find(" " + key + "=");
    if (p == std::string::npos) return -1;
    return std::stol(s.substr(p + key.size() + 2));
}

DiscoClient::DiscoClient(const std::string& ifaceIp) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(53256);
    ip_mreq m{};
    inet_pton(AF_INET, "239.66.77.43", &m.imr_multiaddr);
    inet_pton(AF_INET, ifaceIp.c_str(), &m.imr_interface);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0 ||
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &m.imr_interface, sizeof m.imr_interface) !=
            0) {
        close(fd_);
        fd_ = -1;
    }
}

DiscoClient::~DiscoClient() {
    if (fd_ >= 0) close(fd_);
}

int DiscoClient::send(const std::vector<uint8_t>& d) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(53256);
    inet_pton(AF_INET, "239.66.77.43", &a.sin_addr);
    return static_cast<int>(
        sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a));
}

std::vector<uint8_t> DiscoClient::recv(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return {};
    std::vector<uint8_t> buf(2048);
    const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
}

std::vector<std::vector<uint8_t>> DiscoClient::collect(uint16_t type, int timeoutMs) {
    std::vector<std::vector<uint8_t>> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        auto d = recv(static_cast<int>(left));
        if (d.size() >= 4 && ((d[2] << 8) | d[3]) == type) out.push_back(d);
    }
    return out;
}

std::vector<uint8_t> scanRequest() {
    return {0x34, 0x12, 0x00, 0x01};
}

} // namespace harness
