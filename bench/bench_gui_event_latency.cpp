// Post-to-handler latency of the driver-to-GUI queue: a worker thread posts bursts of
// 1000 "fastening" events; the real GUI cycle (EwProcess) delivers them to a handler of
// the device object's FastenEvent. Beside it, the same burst through a plain
// mutex/condition-variable queue to a waiting thread, measured in the same run.
#include "ApplicationDeviceClass.h"
#include "EwRuntime.h"
#include "TestPaths.h"
#include "common.h"
#include "debug.h"
#include "ew_driver.h"

#include "UnitTdxData.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
constexpr int kBurst = 1000;
constexpr int kRounds = 5;

double pct(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

std::vector<double> rawQueue() {
    std::vector<double> lat;
    std::mutex m;
    std::condition_variable cv;
    std::deque<Clock::time_point> q;
    for (int r = 0; r < kRounds; ++r) {
        int got = 0;
        std::thread consumer([&] {
            while (got < kBurst) {
                std::unique_lock<std::mutex> g(m);
                cv.wait(g, [&] { return !q.empty(); });
                while (!q.empty()) {
                    lat.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - q.front())
                            .count());
                    q.pop_front();
                    ++got;
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (int i = 0; i < kBurst; ++i) {
            std::lock_guard<std::mutex> g(m);
            q.push_back(Clock::now());
            cv.notify_one();
        }
        consumer.join();
    }
    return lat;
}
} // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/kest-bench-lat-XXXXXX";
    std::string root = mkdtemp(tmpl);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("KEST_SYSROOT", (root + "/sysroot").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    std::string stubDir = root + "/stubs";
    Common_MkdirP(stubDir);
    symlink((std::string(KEST_SOURCE_DIR) + "/sim/stubs/record-stub").c_str(),
            (stubDir + "/amixer").c_str());
    setenv("PATH", (stubDir + ":" + getenv("PATH")).c_str(), 1);
    Common_SetHome((root + "/home").c_str());
    EwSetArgs(argc, argv);
    if (!EwInit()) return 1;
    Debug_SetQuiet(true);

    std::vector<Clock::time_point> sent(kBurst);
    std::vector<double> lat;
    int received = 0;
    QObject::connect(&ApplicationDevice()->FastenEvent, &SystemEvent::triggered, [&](QObject* ctx) {
        int seq = static_cast<UnitTdxData*>(ctx)->Tdx;
        lat.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - sent[size_t(seq)]).count());
        ++received;
    });
    for (int r = 0; r < kRounds; ++r) {
        received = 0;
        std::thread poster([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // GUI is asleep by now
            for (int i = 0; i < kBurst; ++i) {
                sent[size_t(i)] = Clock::now();
                EwDriver_PushMsgQ_RecvBackupData(i);
            }
        });
        while (received < kBurst)
            EwProcess();
        poster.join();
    }
    std::vector<double> raw = rawQueue();
    printf("post-to-handler latency, %d bursts of %d events\n", kRounds, kBurst);
    printf("  panel queue -> GUI handler: p50 %8.1f us, p99 %8.1f us\n", pct(lat, 0.5),
           pct(lat, 0.99));
    printf("  raw mutex/condvar queue:    p50 %8.1f us, p99 %8.1f us\n", pct(raw, 0.5),
           pct(raw, 0.99));
    printf("  ratio panel/raw: p50 %.2f, p99 %.2f\n",
           pct(lat, 0.5) / std::max(pct(raw, 0.5), 0.001),
           pct(lat, 0.99) / std::max(pct(raw, 0.99), 0.001));
    EwDone();
    std::string cmd = "rm -rf '" + root + "'";
    return system(cmd.c_str()) == 0 ? 0 : 0;
}
