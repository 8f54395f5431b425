// The panel's discovery scan as the tools' side of a cell sees it: a socket in the network
// namespace of a tool process, joined to the discovery group on one tool address, and the
// panel process served beside it.
#pragma once

#include "ChildProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Receives the panel's scan requests on the tools' side of the cell, each with the kernel's
// time of arrival, so the gaps measured are the panel's and not this program's scheduling.
class ScanListener {
  public:
    ScanListener(int pid, const std::string& ip) {
        std::thread([&] {
            int ns = open(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), O_RDONLY);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) return;
            close(ns);
            fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int one = 1;
            setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            // Microseconds are plenty for gaps of seconds, and qemu-user translates
            // SO_TIMESTAMP but not SO_TIMESTAMPNS.
            setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(53256);
            inet_pton(AF_INET, "239.66.77.43", &a.sin_addr);
            ip_mreq m{};
            m.imr_multiaddr = a.sin_addr;
            inet_pton(AF_INET, ip.c_str(), &m.imr_interface);
            if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
                close(fd_);
                fd_ = -1;
            }
        }).join();
    }
    ~ScanListener() {
        if (fd_ >= 0) close(fd_);
    }
    int fd() const { return fd_; }
    void read() {
        uint8_t buf[64];
        char ctl[CMSG_SPACE(sizeof(timeval))];
        iovec iov{buf, sizeof buf};
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = ctl;
        mh.msg_controllen = sizeof ctl;
        ssize_t n = recvmsg(fd_, &mh, MSG_DONTWAIT);
        if (n != 4 || buf[2] != 0 || buf[3] != 1) return;
        for (cmsghdr* c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
                timeval tv;
                memcpy(&tv, CMSG_DATA(c), sizeof tv);
                at.push_back(double(tv.tv_sec) + tv.tv_usec / 1e6);
            }
    }
    std::vector<double> at; // seconds, kernel time of arrival

  private:
    int fd_ = -1;
};

// Reads scans and reaps the panel until `done` holds (true) or the deadline passes (false).
inline bool serveUntil(ChildProcess& p, ScanListener& scans,
                       std::chrono::steady_clock::time_point deadline,
                       const std::function<bool()>& done) {
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd f[2] = {{scans.fd(), POLLIN, 0}, {p.pidfd(), POLLIN, 0}};
        if (poll(f, p.running() ? 2 : 1, int(left.count())) <= 0) continue;
        if (f[0].revents) scans.read();
        if (p.running() && f[1].revents) p.wait(0);
    }
    return true;
}
