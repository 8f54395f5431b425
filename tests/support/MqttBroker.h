// Debian's broker on a loopback port of its own, its configuration and sessions in a folder
// of the test's: the plant side of the MQTT tests and benchmark.
#pragma once

#include "ChildProcess.h"
#include "LoopbackPort.h"
#include "TestEnv.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kest_test {

struct MqttBroker {
    explicit MqttBroker(std::string folder) : dir(std::move(folder)) {}
    std::string dir;
    int port = FreePort();
    std::string address = "127.0.0.1"; // where it listens and its subscribers connect
    // Starts its program: here, or on the tools' side of the simulated cell.
    std::function<std::unique_ptr<ChildProcess>(const std::vector<std::string>&)> launch =
        [](const std::vector<std::string>& argv) {
            auto c = std::make_unique<ChildProcess>();
            return c->start(argv) ? std::move(c) : nullptr;
        };
    std::unique_ptr<ChildProcess> process;

    // Starts it with `extra` configuration lines and waits until it runs; false with its
    // output in `why` otherwise. It stays root and keeps its sessions in the folder.
    bool start(const std::string& extra, std::string* why = nullptr) {
        std::filesystem::create_directories(dir);
        TestEnv::writeFile(dir + "/mosquitto.conf",
                           "listener " + std::to_string(port) + " " + address + "\nuser root\n" +
                               "persistence_location " + dir + "/\nlog_dest stderr\n" + extra);
        process = launch({"/usr/sbin/mosquitto", "-c", dir + "/mosquitto.conf"});
        const bool ok = process && process->waitFor(" running");
        if (!ok && why) *why = process ? process->output() : "not started";
        return ok;
    }
    // SIGTERM, so it saves its sessions; its exit status.
    int stop() {
        kill(process->pid(), SIGTERM);
        return process->wait(20000);
    }
    // A subscriber in a persistent session (`id`) printing "<topic> <payload>" lines.
    bool subscribe(ChildProcess& sub, const std::string& id, const std::string& topic) {
        return sub.start({"/usr/bin/mosquitto_sub", "-h", address, "-p", std::to_string(port), "-q",
                          "1", "-c", "-i", id, "-t", topic, "-v"}) &&
               process->waitFor("Sending SUBACK to " + id);
    }
};

// The tightening IDs of the results a subscriber printed for `topic`, in the order they came.
inline std::vector<int64_t> ReceivedIds(const std::string& out, const std::string& topic) {
    std::vector<int64_t> ids;
    const std::string key = topic + "/results {\"id\":";
    for (size_t p = out.find(key); p != std::string::npos; p = out.find(key, p + 1))
        ids.push_back(std::stoll(out.substr(p + key.size())));
    return ids;
}
// Each ID once, in the order of its first arrival (QoS 1 may repeat one).
inline std::vector<int64_t> FirstArrivals(const std::vector<int64_t>& ids) {
    std::vector<int64_t> first;
    for (int64_t id : ids)
        if (std::find(first.begin(), first.end(), id) == first.end()) first.push_back(id);
    return first;
}

} // namespace kest_test
