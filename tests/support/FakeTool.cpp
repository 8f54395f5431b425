#include "FakeTool.h"
#include "TestPaths.h"

#include "sim.h"
#include "tools_private.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// One line from `fd` within `ms` (blocking in poll), buffered in `buf`.
bool readLine(int fd, std::string& buf, std::string* line, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
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
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0) return false;
        char tmp[4096];
        const ssize_t n = read(fd, tmp, sizeof tmp);
        if (n <= 0) return false;
        buf.append(tmp, size_t(n));
    }
}

std::mt19937 rnd(unsigned(getpid()) * 2654435761u ^ unsigned(time(nullptr)));

// A UDP port nobody holds on `addr` now.
int FreeUdpPort(const char* addr) {
    for (;;) { // bound once without address reuse: nobody holds it on any local address
        const int port = 20000 + int(rnd() % 40000),
                  s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        inet_pton(AF_INET, addr, &a.sin_addr);
        const bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        if (ok) return port;
    }
}

} // namespace

std::string regRecord(const char* name, uint8_t macLast, uint8_t type, uint32_t model) {
    RegToolRecord rec;
    memset(&rec, 0, sizeof rec);
    strncpy(rec.name, name, TOOL_NAME_SIZE - 1);
    memcpy(rec.serial, "SER", 3);
    rec.model = model;
    const uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, macLast};
    memcpy(rec.mac, mac, 6);
    rec.type = type;
    uint8_t out[REGTOOLS_RECORD_SIZE];
    RegTools_EncodeRecord(&rec, out);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

void SetLoopbackDisco(const char* wlanAddr, int port, int dest) {
    if (!port) port = FreeUdpPort("0.0.0.0");
    while (!dest || dest == port)
        dest = FreeUdpPort("127.0.0.1");
    setenv("KEST_DISCO_GROUP", "127.0.0.1", 1);
    setenv("KEST_DISCO_DEST_PORT", std::to_string(dest).c_str(), 1);
    setenv("KEST_DISCO_PORT", std::to_string(port).c_str(), 1);
    setenv("KEST_DISCO_ETH_ADDR", "0.0.0.0", 1);
    setenv("KEST_DISCO_WLAN_ADDR", wlanAddr, 1);
}

Toolsim::~Toolsim() {
    if (fd_ >= 0) close(fd_);
}

std::string Toolsim::cmd(const std::string& line) {
    if (fd_ < 0) return "err no toolsim";
    const std::string l = line + "\n";
    if (send(fd_, l.data(), l.size(), MSG_NOSIGNAL) != ssize_t(l.size())) return "err send";
    // toolsim answers every line; the limit only bounds a broken peer ("wait" adds its own).
    std::string reply;
    return readLine(fd_, rx_, &reply, 70000) ? reply : "err no answer";
}

bool Toolsim::wait(int t, const std::string& conds, int ms) {
    return cmd("wait " + std::to_string(t) + " " + conds + " ms=" + std::to_string(ms)) == "ok";
}

long Toolsim::stat(int t, const std::string& key) {
    const std::string s = cmd("stats " + std::to_string(t));
    const size_t p = s.find(" " + key + "=");
    return p == std::string::npos ? -1 : std::atol(s.c_str() + p + key.size() + 2);
}

std::string Toolsim::trace(int t) {
    const std::string s = cmd("trace " + std::to_string(t));
    return s.size() > 3 ? s.substr(3) : "";
}

long Toolsim::reg(int t, int reg) {
    const std::string s = cmd("get " + std::to_string(t) + " " + std::to_string(reg));
    return s.rfind("ok ", 0) == 0 ? std::atol(s.c_str() + 3) : -1;
}

FakeTool::FakeTool(const std::vector<std::string>& args) {
    toolsim::Options o;
    std::string err;
    if (toolsim::parseArgs(args, &o, &err) != 0) {
        fprintf(stderr, "FakeTool: %s\n", err.c_str());
        return;
    }
    o.useStdin = false;
    o.announce = false;
    for (const auto& id : o.tools)
        acks_.push_back(toolsim::encodeAck(toolsim::kScanAck, id));
    port_ = o.tools[0].port;
    sim_ = std::make_unique<toolsim::Sim>(o);
    int sv[2];
    if (sim_->start() != 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return;
    sim_->addClient(sv[0]);
    fd_ = sv[1];
    thread_ = std::thread([this] {
        // A real tool answers within milliseconds; the panel dismisses one that is silent
        // for two of its 1 s response timeouts. On a loaded test host this thread competes
        // with the panel's own threads and the load, so it runs ahead of them where the
        // host allows (root, as in CI); elsewhere it keeps the default.
        setpriority(PRIO_PROCESS, id_t(gettid()), -10); // this thread only
        sim_->run();
    });
}

FakeTool::~FakeTool() {
    if (thread_.joinable()) {
        cmd("quit");
        thread_.join();
    }
}

std::unique_ptr<FakeTool> FakeTool::onLoopback(const std::vector<int>& types,
                                               const std::vector<std::string>& extra) {
    for (int attempt = 0; attempt < 50; attempt++) {
        const int port = 20000 + 2 * int(rnd() % 15000), disco = FreeUdpPort("127.0.0.1"),
                  panel = FreeUdpPort("0.0.0.0");
        if (disco == panel) continue;
        std::vector<std::string> args = {"--disco",    "127.0.0.1:" + std::to_string(disco),
                                         "--reply-to", "127.0.0.2:" + std::to_string(panel),
                                         "--ack-wait", kTestAckWaitMs};
        for (size_t i = 0; i < types.size(); i++)
            args.insert(args.end(),
                        {"--tool", std::to_string(types[i]) + ",ip=" + loopbackIp(int(i)) +
                                       ",port=" + std::to_string(port)});
        args.insert(args.end(), extra.begin(), extra.end());
        auto tool = std::make_unique<FakeTool>(args);
        if (!tool->ok()) continue; // a port was taken meanwhile
        SetLoopbackDisco("127.0.0.1", panel, disco);
        return tool;
    }
    return nullptr;
}

ToolsimProcess::ToolsimProcess(const std::vector<std::string>& args) {
    char tmpl[] = "/tmp/toolsim-test-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir_ = tmpl;
    const std::string sock = dir_ + "/ctl";
    std::vector<std::string> argv = {std::string(SIM_BIN_DIR) + "/toolsim/toolsim"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"--control", sock, "--no-stdin"});
    std::string line;
    if (!proc_.start(argv, {.stderrToo = false}) || !proc_.nextLine(&line, 10000) ||
        line.rfind("ready", 0) != 0)
        return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, sock.c_str(), sizeof a.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        fd_ = fd;
    else
        close(fd);
}

ToolsimProcess::~ToolsimProcess() {
    if (fd_ >= 0) cmd("quit");
    proc_.wait(5000); // its exit, or SIGKILL after 5 s
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}
