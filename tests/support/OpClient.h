// A plant client written from the public description of the Open Protocol telegrams
// (length, MID, revision, blanks, NUL), over a real socket, for the server's tests.
#pragma once

#include "LoopbackPort.h"

#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

struct OpReply {
    int mid = -1; // -1: the server closed, -2: nothing within the deadline
    std::string data;
};

struct OpClient {
    int fd = -1;
    bool closed = false;
    std::string buf;
    explicit OpClient(int port) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = kest_test::LoopbackAddr(port);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    ~OpClient() { close(fd); }
    void raw(const std::string& bytes) {
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    void send(int mid, int rev = 1, const std::string& data = "", char noAck = ' ') {
        char h[32];
        snprintf(h, sizeof h, "%04zu%04d%03d%c        ", 20 + data.size(), mid, rev, noAck);
        raw(std::string(h) + data + std::string(1, '\0'));
    }
    // The next telegram: its length field must count what came before its NUL.
    OpReply next() {
        for (;;) {
            size_t nul = buf.find('\0');
            if (nul != std::string::npos) {
                OpReply t;
                EXPECT_EQ(std::to_string(nul), std::to_string(std::stoi(buf.substr(0, 4))));
                t.mid = std::stoi(buf.substr(4, 4));
                t.data = buf.substr(20, nul - 20);
                buf.erase(0, nul + 1);
                return t;
            }
            if (closed) return {-1, ""};
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) return {-2, ""};
            char b[4096];
            ssize_t n = recv(fd, b, sizeof b, 0);
            if (n <= 0) return {-1, ""};
            buf.append(b, size_t(n));
        }
    }
    // A whole telegram is there, or the server closed: next() does not wait then.
    bool has() {
        if (closed || buf.find('\0') != std::string::npos) return true;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return false;
        char b[4096];
        ssize_t n = recv(fd, b, sizeof b, 0);
        if (n <= 0) return closed = true;
        buf.append(b, size_t(n));
        return buf.find('\0') != std::string::npos;
    }
    std::string expect(int mid) {
        OpReply t = next();
        EXPECT_EQ(t.mid, mid) << t.data;
        return t.data;
    }
    void start() {
        send(1, 1);
        expect(2);
    }
};

// Fields of a 0061 result (revision 1): the tightening ID (parameter 23, the last) and the
// torque (parameter 15, x 100 in six digits); the whole data where the layout differs.
inline int64_t OpResultId(const std::string& d) {
    return d.size() >= 10 ? std::stoll(d.substr(d.size() - 10)) : -1;
}
inline std::string OpResultTorque(const std::string& d) {
    return d.size() > 126 && d.compare(118, 2, "15") == 0 ? d.substr(120, 6) : d;
}
