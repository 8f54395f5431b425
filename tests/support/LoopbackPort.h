// Loopback TCP ports for the tests' servers and clients: the address, one port nothing
// listens on, and whether one is listening yet.
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kest_test {

inline sockaddr_in LoopbackAddr(int port = 0) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Binds `fd` to a port of the system's choice on loopback: the port, 0 when it did not bind.
inline uint16_t BindLoopback(int fd) {
    sockaddr_in a = LoopbackAddr();
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

inline int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int port = BindLoopback(fd);
    close(fd);
    return port;
}

// A loopback port held bound but not listening, for a peer that must be down: connecting
// to it is refused, and while it is held neither another test's server nor a connection's
// own ephemeral port (a socket that would connect to itself) can take it.
class ClosedPort {
  public:
    ClosedPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(fd_)) {}
    ~ClosedPort() { close(fd_); }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    uint16_t port() const { return port_; }

  private:
    int fd_;
    uint16_t port_;
};

inline bool PortListening(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = LoopbackAddr(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

} // namespace kest_test
