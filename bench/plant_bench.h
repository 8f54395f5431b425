// The plant's side of the result benchmarks: an Open Protocol client that subscribes to
// results and acknowledges each 0061, and an MQTT subscriber (libmosquitto, in this
// process) on a broker of the test support's, each noting when every tightening ID reached
// it (bench::nowUs, the clock of toolsim's send stamps).
#pragma once

#include "opframe.h"
#include "toolsim_bench.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace bench {

// First receipt of each tightening ID.
struct Receipts {
    std::mutex lock;
    std::map<int64_t, uint64_t> at;
    void add(int64_t id, uint64_t t) {
        std::lock_guard<std::mutex> g(lock);
        at.emplace(id, t);
    }
    size_t size() {
        std::lock_guard<std::mutex> g(lock);
        return at.size();
    }
};

class OpPlantClient {
  public:
    ~OpPlantClient() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    // Connects, starts the session and subscribes; false when the server does not answer.
    bool start(int port, Receipts* r) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        std::string d;
        if (!send(OpBuild(OP_MID_START, 1, "")) || next(&d) != OP_MID_START_ACK) return false;
        if (!send(OpBuild(OP_MID_RESULT_SUBSCRIBE, 1, "")) || next(&d) != OP_MID_ACCEPTED)
            return false;
        thread_ = std::thread([this, r] {
            std::string data;
            while (!stop_) {
                const int mid = next(&data);
                if (mid == -2) return; // the server closed the session
                if (mid < 0) continue;
                if (mid != OP_MID_RESULT || data.size() < 10) continue;
                r->add(std::atoll(data.c_str() + data.size() - 10), nowUs());
                send(OpBuild(OP_MID_RESULT_ACK, 1, ""));
            }
        });
        return true;
    }

  private:
    bool send(const std::string& t) {
        return ::send(fd_, t.data(), t.size(), MSG_NOSIGNAL) == ssize_t(t.size());
    }
    // The next telegram's MID and data; -1 when none came within a tenth of a second, -2
    // when the server closed.
    int next(std::string* data) {
        for (int tries = 0; tries < 100; ++tries) {
            const size_t nul = buf_.find('\0');
            if (nul != std::string::npos) {
                const int mid = nul >= 20 ? std::atoi(buf_.substr(4, 4).c_str()) : -1;
                *data = nul >= 20 ? buf_.substr(20, nul - 20) : "";
                buf_.erase(0, nul + 1);
                return mid;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) return -1;
            char b[4096];
            const ssize_t n = recv(fd_, b, sizeof b, 0);
            if (n <= 0) return -2;
            buf_.append(b, size_t(n));
        }
        return -1;
    }
    int fd_ = -1;
    std::string buf_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class MqttPlantSub {
  public:
    ~MqttPlantSub() {
        if (!m_) return;
        mosquitto_disconnect(m_);
        mosquitto_loop_stop(m_, true);
        mosquitto_destroy(m_);
    }
    // Subscribes to `<topic>/results` at QoS 1; the broker's SUBACK is the caller's to wait.
    bool start(const std::string& host, int port, const std::string& topic, Receipts* r) {
        mosquitto_lib_init();
        m_ = mosquitto_new("bench-plant", true, r);
        if (!m_) return false;
        mosquitto_message_callback_set(m_, [](mosquitto*, void* u, const mosquitto_message* msg) {
            const char* p = static_cast<const char*>(msg->payload);
            if (msg->payloadlen > 6 && std::strncmp(p, "{\"id\":", 6) == 0)
                static_cast<Receipts*>(u)->add(std::atoll(p + 6), nowUs());
        });
        return mosquitto_connect(m_, host.c_str(), port, 30) == MOSQ_ERR_SUCCESS &&
               mosquitto_subscribe(m_, nullptr, (topic + "/results").c_str(), 1) ==
                   MOSQ_ERR_SUCCESS &&
               mosquitto_loop_start(m_) == MOSQ_ERR_SUCCESS;
    }

  private:
    mosquitto* m_ = nullptr;
};

} // namespace bench
