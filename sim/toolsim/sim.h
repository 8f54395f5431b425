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
    // As a tool on a real network: discovery only through the multicast group (joined on
    // the tools' interface), acks and advertises to the group, never to a requester.
    bool groupOnly = false;
    // Discovery: where the tools listen (a multicast group is joined, a unicast address
    // bound) and where acks and advertises go (default: the same).
    uint32_t discoIp = 0, replyIp = 0;
    uint16_t discoPort = 0, replyPort = 0;
    std::string regtools; // write the panel's "./regtools" for these tools at start
    bool announce = true; // "ready N" on standard output once serving
    int ackWaitMs = 1000; // 0: do not wait for 4016 between events
    bool stamp = false;   // send time (monotonic us) in A1..A3 of every frame
    int verbose = 0;
    int autoPeriodMs = 0; // > 0: every tool starts in automatic mode
    int autoNgEvery = 0;
    std::vector<ToolIdentity> tools;
};

// Fills `o` from the program's arguments (see --help); 0, 1 for --help, -1 with `err`.
int parseArgs(const std::vector<std::string>& args, Options* o, std::string* err);
// The panel's "./regtools" naming `tools`, written whole or not at all.
int writeRegtools(const std::string& path, const std::vector<ToolIdentity>& tools);

class Sim {
  public:
    explicit Sim(Options opts);
    ~Sim();
    // Opens the discovery socket, the tools' listeners and the control socket.
    int start();
    // Runs until "quit" (or end of standard input with exitOnEof). Returns 0.
    int run();
    // Executes one control line; returns the one-line answer ("ok ..." or "err ...").
    // "wait" is answered only by a control client (it holds the answer back).
    std::string command(const std::string& line);
    // A connected stream socket that sends control lines, like a control-socket client
    // (in-process use: the other end of a socket pair). Call before run().
    void addClient(int fd);

  private:
    struct Link {
        int listenFd = -1, evListenFd = -1, evFd = -1;
        std::vector<int> dataFds;
        modbus_t* ctx = nullptr;
        uint16_t tid = 0;
        int dripMs = 0; // > 0: Modbus answers leave one byte every dripMs ms
        int ackWaitMs = 0;
        int ignore = 0;             // the next n data requests get no answer
        bool ignoreTrigger = false; // writes of 4100 get no answer and change nothing
        bool eventPort = true;      // the event listener is open
        std::string trace;          // requests since the last "trace" command
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
        bool waiting = false; // a "wait" is pending: further lines wait too
    };
    // A held-back answer to "wait T COND..": given when every condition holds or at the
    // deadline. fd -1 is standard input.
    struct Waiter {
        int fd, tool;
        std::vector<std::string> conds;
        Clock::time_point deadline;
    };

    Options opts_;
    std::vector<std::unique_ptr<VirtualTool>> tools_;
    std::vector<Link> links_;
    int discoFd_ = -1, controlFd_ = -1;
    std::vector<Client> clients_;
    std::vector<Drip> drips_;
    int capture_[2] = {-1, -1}; // socket pair that catches a slow tool's answers
    std::vector<Waiter> waiters_;
    std::string stdinBuf_;
    bool stdinOpen_ = true, stdinWaiting_ = false, quit_ = false;
    uint32_t mcastIf_ = 0;
    uint64_t discoRequests_ = 0; // scan and search requests answered

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
    void lines(int fd, std::string& buf, bool* waiting);
    bool startWait(int fd, const std::string& line);
    int holds(const Waiter& w) const; // 1 all hold, 0 not yet, -1 bad condition
    void checkWaiters();
    std::string traceCommand(int t, const std::vector<std::string>& w);
    std::string doCommand(const std::vector<std::string>& w);
    std::string listTools() const;
    std::string stats(int t) const;
};

} // namespace toolsim
