// A TCP server on 127.0.0.1 and a free port for the forwarding tests: it accepts connections
// one after the other and records every byte received. It can stop reading (with small
// buffers, so the panel's sends soon find them full) and can stream bytes the panel never
// asked for.
#pragma once

#include "LoopbackPort.h"
#include "Wait.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class TcpServer {
  public:
    explicit TcpServer(int rcvbuf = 0) {
        lfd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(lfd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (rcvbuf) setsockopt(lfd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
        port_ = kest_test::BindLoopback(lfd_);
        listen(lfd_, 4);
        th_ = std::thread([this] { run(); });
    }
    ~TcpServer() {
        stop_ = true;
        th_.join();
        if (cfd_ >= 0) close(cfd_);
        close(lfd_);
    }
    uint16_t port() const { return port_; }
    int accepts() {
        std::lock_guard<std::mutex> g(m_);
        return accepts_;
    }
    std::string data() {
        std::lock_guard<std::mutex> g(m_);
        return data_;
    }
    // The server ends the current connection (the client sees end of stream).
    void dropClient() { drop_ = true; }
    void pauseReading(bool on) { paused_ = on; }
    void streamToClient(bool on) { stream_ = on; }
    bool waitBytes(size_t n, std::chrono::milliseconds limit = kest_test::kWaitLimit) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, limit, [&] { return data_.size() >= n; });
    }
    bool waitAccepts(int n, std::chrono::milliseconds limit = kest_test::kWaitLimit) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, limit, [&] { return accepts_ >= n; });
    }

  private:
    void run() {
        static const char chunk[4096] = {};
        while (!stop_) {
            if (drop_.exchange(false) && cfd_ >= 0) {
                close(cfd_);
                cfd_ = -1;
            }
            short ev = short((paused_ ? 0 : POLLIN) | (stream_ ? POLLOUT : 0));
            pollfd p[2] = {{lfd_, POLLIN, 0}, {cfd_, ev, 0}};
            if (poll(p, cfd_ >= 0 && ev ? 2 : 1, 20) <= 0) continue;
            if (p[0].revents & POLLIN) {
                int c = accept4(lfd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0) {
                    if (cfd_ >= 0) close(cfd_);
                    cfd_ = c;
                    std::lock_guard<std::mutex> g(m_);
                    ++accepts_;
                    cv_.notify_all();
                }
                continue;
            }
            if (cfd_ < 0) continue;
            if (p[1].revents & POLLOUT && send(cfd_, chunk, sizeof chunk, MSG_NOSIGNAL) < 0) {
                close(cfd_);
                cfd_ = -1;
            } else if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buf[65536];
                ssize_t n = read(cfd_, buf, sizeof buf);
                if (n <= 0) {
                    close(cfd_);
                    cfd_ = -1;
                } else {
                    std::lock_guard<std::mutex> g(m_);
                    data_.append(buf, size_t(n));
                    cv_.notify_all();
                }
            }
        }
    }
    int lfd_ = -1, cfd_ = -1;
    uint16_t port_ = 0;
    std::thread th_;
    std::atomic<bool> stop_{false}, drop_{false}, paused_{false}, stream_{false};
    std::mutex m_;
    std::condition_variable cv_;
    int accepts_ = 0;
    std::string data_;
};
