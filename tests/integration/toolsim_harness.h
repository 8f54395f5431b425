// Test helpers around the toolsim program: the toolsim process with its control socket,
// and a discovery client socket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

std::string toolsimPath();

// A running toolsim; the destructor ends it ("quit", then SIGKILL after 2 s).
class Toolsim {
  public:
    // Starts toolsim with the given arguments plus --control and --no-stdin; waits for
    // its "ready" line. ok() tells whether it came up.
    explicit Toolsim(const std::vector<std::string>& args);
    ~Toolsim();
    Toolsim(const Toolsim&) = delete;
    Toolsim& operator=(const Toolsim&) = delete;
    bool ok() const { return ctl_ >= 0; }
    int pid() const { return pid_; }
    // Sends one command line, returns the answer line (without newline).
    std::string cmd(const std::string& line);
    // Value of "key=" in the answer of "stats T".
    long stat(int tool, const std::string& key);
    // Ends the process abruptly (SIGKILL).
    void kill();

  private:
    int pid_ = -1, ctl_ = -1;
    std::string dir_, rxbuf_;
};

// UDP socket bound to the discovery port and joined to the group on `ifaceIp`.
class DiscoClient {
  public:
    explicit DiscoClient(const std::string& ifaceIp = "127.0.0.1");
    ~DiscoClient();
    bool ok() const { return fd_ >= 0; }
    int send(const std::vector<uint8_t>& datagram);
    // Next datagram within timeoutMs, empty when none.
    std::vector<uint8_t> recv(int timeoutMs);
    // All datagrams of the given type arriving within timeoutMs.
    std::vector<std::vector<uint8_t>> collect(uint16_t type, int timeoutMs);

  private:
    int fd_ = -1;
};

std::vector<uint8_t> scanRequest();

} // namespace harness
