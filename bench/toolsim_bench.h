// Shared parts of the event benchmarks: the two receive paths measured side by side.
//   raw:   libmodbus event clients polled by one thread, acknowledge on a data client;
//   panel: the driver layer (registry, Modbus link, event channel) with a consumer
//          thread woken by the driver-to-GUI queue, taking each result and acknowledging.
// Both run in the simulated cell against toolsim; the caller is root.
#pragma once

#include "TestEnv.h"
#include "ToolCell.h"

#include "common.h"
#include "debug.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "operation.h"
#include "tools.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <modbus.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

inline uint64_t nowUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000;
}
// The send time toolsim put in A1..A3 (--stamp).
inline uint64_t stampOf(uint16_t a1, uint16_t a2, uint16_t a3) {
    return (uint64_t(a1) << 32) | (uint64_t(a2) << 16) | a3;
}
inline double pct(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

// n drivers (type 2) stamping their send time into every frame.
inline std::unique_ptr<Toolsim> startTools(ToolCell& cell, int n,
                                           const std::vector<std::string>& extra) {
    std::vector<std::string> a = {"--stamp"};
    a.insert(a.end(), extra.begin(), extra.end());
    return cell.startTools(std::vector<int>(size_t(n), 2), a);
}

// Tools 0..tools-1 each fasten `per` results at `rate` per second, their starts spread
// over one period so the frames do not arrive in lockstep.
inline void startBursts(Toolsim& sim, int tools, int per, int rate) {
    for (int t = 0; t < tools; t++) {
        sim.cmd("burst " + std::to_string(t) + " " + std::to_string(per) + " " +
                std::to_string(1000000 / rate));
        std::this_thread::sleep_for(std::chrono::microseconds(1000000 / rate / tools));
    }
}

// Prints p50 and p99 of both paths and their ratio, path over raw.
inline void reportLatencies(const char* rawName, const std::vector<double>& raw,
                            const char* pathName, const std::vector<double>& path) {
    const double r50 = pct(raw, 0.5), r99 = pct(raw, 0.99), p50 = pct(path, 0.5),
                 p99 = pct(path, 0.99);
    std::printf("  %-32s: %zu results, p50 %.0f us, p99 %.0f us\n", rawName, raw.size(), r50, r99);
    std::printf("  %-32s: %zu results, p50 %.0f us, p99 %.0f us\n", pathName, path.size(), p50,
                p99);
    std::printf("  %-32s: p50 %.2f, p99 %.2f\n", "ratio to raw", r50 > 0 ? p50 / r50 : 0,
                r99 > 0 ? p99 / r99 : 0);
}

// Raw path: `onFrame(tool, frame, len)` for every frame; stops when `done()` is true.
struct RawLink {
    std::vector<modbus_t*> data, ev;
    bool open(ToolCell& cell, int n) {
        for (int i = 0; i < n; i++) {
            const std::string ip = cell.toolIp(i);
            modbus_t* d = modbus_new_tcp(ip.c_str(), cell.port());
            modbus_t* e = modbus_new_tcp(ip.c_str(), cell.port() + 1);
            modbus_set_slave(d, 255);
            modbus_set_response_timeout(d, 1, 0);
            modbus_set_response_timeout(e, 1, 0);
            if (modbus_connect(d) != 0 || modbus_connect(e) != 0) return false;
            data.push_back(d);
            ev.push_back(e);
        }
        return true;
    }
    ~RawLink() {
        for (auto* c : data)
            modbus_close(c), modbus_free(c);
        for (auto* c : ev)
            modbus_close(c), modbus_free(c);
    }
    void writeAll(int reg, int v) {
        for (auto* d : data)
            modbus_write_register(d, reg, v);
    }
    // The raw durable path for `total` results: each frame appended to "raw.csv",
    // fdatasync'ed, then acknowledged with one write. `start` makes the tools fasten.
    // Send-to-acknowledge latencies in microseconds (frames carry send stamps).
    std::vector<double> durableAckLatencies(int total, const std::function<void()>& start) {
        std::vector<double> raw;
        const int fd = ::open("raw.csv", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        std::vector<pollfd> fds;
        for (auto* e : ev)
            fds.push_back({modbus_get_socket(e), POLLIN, 0});
        start();
        uint8_t buf[MODBUS_TCP_MAX_ADU_LENGTH];
        while (int(raw.size()) < total && poll(fds.data(), fds.size(), 5000) > 0) {
            for (size_t i = 0; i < fds.size(); i++) {
                if (!(fds[i].revents & POLLIN)) continue;
                if (modbus_receive_confirmation(ev[i], buf) < 37) continue;
                const auto be = [&](int o) { return uint16_t((buf[o] << 8) | buf[o + 1]); };
                char line[160];
                const int len =
                    snprintf(line, sizeof line, "%u,%u,%u,%u\n", be(11), be(13), be(17), be(27));
                (void)!write(fd, line, size_t(len));
                fdatasync(fd);
                modbus_write_register(data[i], 4016, 1);
                raw.push_back(double(nowUs() - stampOf(be(21), be(23), be(25))));
            }
        }
        close(fd);
        return raw;
    }
    // Receives until done() or `timeoutMs` without traffic; acknowledges every frame.
    void receive(const std::function<void(int, const uint8_t*, int)>& onFrame,
                 const std::function<bool()>& done, int timeoutMs = 5000) {
        std::vector<pollfd> fds;
        for (auto* e : ev)
            fds.push_back({modbus_get_socket(e), POLLIN, 0});
        uint8_t buf[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!done()) {
            if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
            for (size_t i = 0; i < fds.size(); i++) {
                if (!(fds[i].revents & POLLIN)) continue;
                const int n = modbus_receive_confirmation(ev[i], buf);
                if (n < 37) continue;
                onFrame(int(i), buf, n);
                modbus_write_register(data[i], 4016, 1);
            }
        }
    }
};

// Panel path: the driver layer on this side of the cell with a consumer thread.
class PanelLink : public EwDriverSink {
  public:
    std::function<void(int, const FastenResult&)> onResult;

    // The driver layer in `env` (stubs first on PATH, the board's files in the sysroot),
    // whose "./regtools" names the tools: the first scan's answers connect them.
    bool start(int n, ToolCell& cell, const TestEnv& env) {
        std::system(
            (std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + env.sysroot()).c_str());
        Debug_SetQuiet(true);
        if (EwDriver_Initialize(this) != 0) return false;
        cell.driverStarted();
        consumer_ = std::thread([this] { consume(); });
        Disco_Send_ScanReq(0);
        std::unique_lock<std::mutex> g(lock_);
        return changed_.wait_for(g, std::chrono::seconds(10), [&] { return connected == n; });
    }
    void stop() {
        stop_ = true;
        if (consumer_.joinable()) consumer_.join();
        EwDriver_Deinitialize();
    }

    void UpdateRegtools(int32_t, int32_t s) override {
        std::lock_guard<std::mutex> g(lock_);
        if (s == TOOL_STATE_CONNECTED) connected++;
        changed_.notify_all();
    }
    void TriggerFastenEvent(int32_t t) override {
        FastenResult r{};
        if (Operation_TakeEvent(t, &r) == 0) {
            if (onResult) onResult(t, r);
            Modbus_Write(t, MBUS_REG_EVENT_ACK, 1, 1);
        }
    }
    void UpdateDiscotools() override {}
    void UpdateCurrTdx(int32_t) override {}
    void TriggerGraphEvent(int32_t) override {}
    void TriggerInput(int32_t, int32_t) override {}
    void TriggerDrvsUpdate() override {}
    void TriggerBcode(const char*) override {}
    void TriggerEwDebug(const char*) override {}
    void TriggerEwInitDone() override {}
    void TriggerImgTooLarge(int32_t, int32_t) override {}
    void TriggerWlanScanEvent(int32_t) override {}
    void TriggerWithJobDisconnFlagSet(int32_t, int32_t) override {}
    void TriggerTTY(int32_t) override {}
    void TriggerProcessing(int32_t) override {}
    void TriggerBstHotplug(int32_t) override {}
    void TriggerBstEvent(int32_t, int32_t, int32_t, int32_t) override {}
    void TriggerBstCommFail(int32_t) override {}
    void TriggerUpdateDevs() override {}

  private:
    // The consumer sleeps on the queue's eventfd like the GUI loop does.
    void consume() {
        const int fd = EwDriver_GetWakeFd();
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                uint64_t v;
                (void)!read(fd, &v, sizeof v);
            }
            EwDriver_ProcessData();
        }
    }
    std::thread consumer_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::condition_variable changed_;
    int connected = 0;
};

} // namespace bench
