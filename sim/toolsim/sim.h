// The toolsim process: up to 8 virtual tools behind one poll loop, with discovery on
// the multicast group, a Modbus/TCP server and an event connection per tool, and the
// line-command control interface (standard input and a Unix socket).
#pragma once

#include "tool.h"

#include <memory>
#include <string>
#include <vector>

namespace toolsim {

struct Options {
    std::string bind = "127.0.0.1"; // default tool address and multicast interface
    std::string mcastIf;            // multicast interface address (default: bind)
    std::string iface;              // take the bind address from this interface
    std::string control;            // Unix socket path for line commands
    bool useStdin = true;
    bool exitOnEof = false;
    bool replyUnicast = false; // acks to the requester instead of the group
    int ackWaitMs = 1000;      // 0: do not wait for 4016 between events
    bool stamp = false;        // send time (monotonic us) in A1..A3 of every frame
    int verbose = 0;
    int autoPeriodMs = 0; // > 0: every tool starts in automatic mode
    int autoNgEvery = 0;
    std::vector<ToolIdentity> tools;
};

class Sim {
  public:
    explicit Sim(Options opts);
    ~Sim();
    // Opens the discovery socket, the tools' listeners and the control socket.
    int start();
    // Runs until "quit" (or end of standard input with exitOnEof). Returns 0.
    int run();
    // Executes one control line; returns the one-line answer ("ok ..." or "err ...").
    std::string command(const std::string& line);

  private:
    struct Link {
        int listenFd = -1, evListenFd = -1, evFd = -1;
        std::vector<int> dataFds;
        modbus_t* ctx = nullptr;
        uint16_t tid = 0;
        int dripMs = 0; // > 0: Modbus answers leave one byte every dripMs ms
    };
    // Answer bytes of a slow tool still to go out on one data connection.
    struct Drip {
        int t, fd;
        std::string bytes;
        Clock::time_point next;
    };
    struct Client {
        int fd;
        std::string buf;
    };

    Options opts_;
    std::vector<std::unique_ptr<VirtualTool>> tools_;
    std::vector<Link> links_;
    int discoFd_ = -1, controlFd_ = -1;
    std::vector<Client> clients_;
    std::vector<Drip> drips_;
    int capture_[2] = {-1, -1}; // socket pair that catches a slow tool's answers
    std::string stdinBuf_;
    bool stdinOpen_ = true, quit_ = false;
    uint32_t mcastIf_ = 0;

    void log(int level, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    int openDisco();
    int openListeners(int t);
    void closeLinks(int t, bool listenersToo);
    void closeData(int t, int fd);
    void closeEvent(int t);
    void onDisco();
    void sendDisco(const std::vector<uint8_t>& d, const void* to);
    void advertise(int t, uint8_t cause);
    void onAccept(int t, bool event);
    void onData(int t, int fd);
    void serve(int t, int fd, const uint8_t* q, int rc);
    void captureDrip(int t, int fd);
    void pumpDrips();
    void onEventFd(int t);
    void handleEffect(int t, int fd, const WriteEffect& fx);
    void pump(int t);
    int sendRaw(int t, const std::vector<uint8_t>& frame);
    void afterProduce(int t);
    void timers();
    int nextTimeoutMs() const;
    void onControlAccept();
    void onClient(size_t i);
    void onStdin();
    std::string doCommand(const std::vector<std::string>& w);
    std::string listTools() const;
    std::string stats(int t) const;
};

} // namespace toolsim
