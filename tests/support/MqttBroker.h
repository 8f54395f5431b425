// Debian's broker on a loopback port of its own, its configuration and sessions in a folder
// of the test's: the plant side of the MQTT tests and benchmark.
#pragma once

#include "ChildProcess.h"
#include "TestEnv.h"

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kest_test {

// A loopback TCP port nothing listens on now.
inline int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

struct MqttBroker {
    explicit MqttBroker(std::string folder) : dir(std::move(folder)) {}
    std::string dir;
    int port = FreePort();
    std::unique_ptr<ChildProcess> process;

    // Starts it with `extra` configuration lines and waits until it runs; false with its
    // output in `why` otherwise. It stays root and keeps its sessions in the folder.
    bool start(const std::string& extra, std::string* why = nullptr) {
        std::filesystem::create_directories(dir);
        TestEnv::writeFile(dir + "/mosquitto.conf",
                           "listener " + std::to_string(port) + " 127.0.0.1\nuser root\n" +
                               "persistence_location " + dir + "/\nlog_dest stderr\n" + extra);
        process = std::make_unique<ChildProcess>();
        const bool ok = process->start({"/usr/sbin/mosquitto", "-c", dir + "/mosquitto.conf"}) &&
                        process->waitFor(" running");
        if (!ok && why) *why = process->output();
        return ok;
    }
    // SIGTERM, so it saves its sessions; its exit status.
    int stop() {
        kill(process->pid(), SIGTERM);
        return process->wait(20000);
    }
    // A subscriber in a persistent session (`id`) printing "<topic> <payload>" lines.
    bool subscribe(ChildProcess& sub, const std::string& id, const std::string& topic) {
        return sub.start({"/usr/bin/mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(port),
                          "-q", "1", "-c", "-i", id, "-t", topic, "-v"}) &&
               process->waitFor("Sending SUBACK to " + id);
    }
};

} // namespace kest_test
