// MQTT publisher against Debian's broker on a loopback port: the catch-up of N results
// stored while the broker was away (from the connect to the last one at the subscriber),
// beside mosquitto_pub publishing the same payloads at QoS 1 from a file; then one result
// at a time, from the store's commit (its watch) to the subscriber's line, p50 and p99.
#include "ChildProcess.h"
#include "MqttBroker.h"
#include "TestEnv.h"
#include "debug.h"
#include "mqttpub.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
StoredResult row(int64_t id) {
    StoredResult r;
    r.id = id;
    r.time = "2026-03-04 05:06:07";
    r.utcOffset = 3600;
    r.job = "Door";
    r.step = "S1";
    r.tool = "ZQ-1";
    r.barcode = "VIN-0001";
    r.status = 1;
    r.torque = 1234;
    r.targetTorque = 1250;
    r.extra.unit = 2;
    return r;
}

struct MemStore {
    std::mutex lock;
    std::vector<StoredResult> rows;
    int64_t cursor = 0;
    std::function<void(int64_t)> watcher;
    int64_t acked() {
        std::lock_guard<std::mutex> g(lock);
        return cursor;
    }
    MqttStore ops() {
        MqttStore s;
        s.read = [this](int64_t after, size_t max, std::vector<StoredResult>* out) {
            std::lock_guard<std::mutex> g(lock);
            auto it = std::upper_bound(rows.begin(), rows.end(), after,
                                       [](int64_t a, const StoredResult& r) { return a < r.id; });
            for (; it != rows.end() && out->size() < max; ++it)
                out->push_back(*it);
            return int(out->size());
        };
        s.cursor = [this](const char*) { return acked(); };
        s.ack = [this](const char*, int64_t id) {
            std::lock_guard<std::mutex> g(lock);
            cursor = std::max(cursor, id);
            return 0;
        };
        s.backlog = [this](const char*) {
            std::lock_guard<std::mutex> g(lock);
            return size_t(std::count_if(rows.begin(), rows.end(),
                                        [this](const StoredResult& r) { return r.id > cursor; }));
        };
        s.watch = [this](std::function<void(int64_t)> fn) {
            std::lock_guard<std::mutex> g(lock);
            watcher = std::move(fn);
            return 1;
        };
        s.unwatch = [this](int) {
            std::lock_guard<std::mutex> g(lock);
            watcher = nullptr;
        };
        return s;
    }
};

// Takes the subscriber's lines until the one of result `id`; false at the deadline.
bool until(ChildProcess& sub, int64_t id) {
    const std::string needle = "{\"id\":" + std::to_string(id) + ",";
    std::string line;
    while (sub.nextLine(&line, 60000))
        if (line.compare(0, needle.size(), needle) == 0) return true;
    return false;
}
} // namespace

int main() {
    const size_t count = getenv("BENCH_COUNT") ? size_t(atol(getenv("BENCH_COUNT"))) : 10000;
    const size_t samples = 300;
    TestEnv env;
    Debug_SetQuiet(true);
    kest_test::MqttBroker mqtt(env.root() + "/broker");
    const int port = mqtt.port;
    std::string why;
    if (!mqtt.start("allow_anonymous true\npersistence false\nlog_type information\n"
                    "log_type subscribe\nmax_queued_messages 0\n",
                    &why)) {
        fprintf(stderr, "broker did not start: %s\n", why.c_str());
        return 1;
    }
    ChildProcess& broker = *mqtt.process;
    ChildProcess sub;
    if (!sub.start({"/usr/bin/mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(port), "-q",
                    "1", "-c", "-i", "bench-sub", "-t", "kest/station/results"}) ||
        !broker.waitFor("bench-sub 1 kest/station/results")) {
        fprintf(stderr, "subscriber did not subscribe: %s\n", broker.output().c_str());
        return 1;
    }

    // The results stored while the broker was away, then the publisher connects.
    MemStore store;
    for (size_t i = 1; i <= count; ++i)
        store.rows.push_back(row(int64_t(i)));
    load_setting();
    Mqtt_ApplySetting(1, 0x7f000001, uint32_t(port), "kest/station", "", "");
    auto t0 = Clock::now();
    Mqtt_Start(store.ops());
    Threads_Init();
    if (!until(sub, int64_t(count))) return 1;
    double panel = std::chrono::duration<double>(Clock::now() - t0).count();
    while (store.acked() != int64_t(count))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    double panelAcked = std::chrono::duration<double>(Clock::now() - t0).count();

    // The same payloads (the next IDs) from mosquitto_pub, one line each, QoS 1.
    const std::string lines = env.root() + "/payloads";
    {
        std::string all;
        for (size_t i = 1; i <= count; ++i)
            all += Mqtt_ResultJson(row(int64_t(count + i))) + "\n";
        TestEnv::writeFile(lines, all);
    }
    int in = open(lines.c_str(), O_RDONLY | O_CLOEXEC);
    ChildProcess pub;
    ChildProcess::Options o;
    o.stdinFd = in;
    auto t1 = Clock::now();
    if (!pub.start({"/usr/bin/mosquitto_pub", "-h", "127.0.0.1", "-p", std::to_string(port), "-q",
                    "1", "-t", "kest/station/results", "-l"},
                   o))
        return 1;
    if (!until(sub, int64_t(2 * count))) return 1;
    double raw = std::chrono::duration<double>(Clock::now() - t1).count();
    close(in);
    pub.wait(60000);

    printf("catch-up of %zu results after a broker outage (QoS 1, %zu bytes each)\n", count,
           Mqtt_ResultJson(row(1)).size());
    printf("publisher on loop Q  %9.0f results/s  (all acknowledged after %.2f s)\n", count / panel,
           panelAcked);
    printf("mosquitto_pub -l     %9.0f results/s  (ratio panel/mosquitto_pub time %.2f)\n",
           count / raw, panel / raw);

    // One result at a time: commit to the subscriber's line.
    std::vector<double> us;
    for (size_t i = 0; i < samples; ++i) {
        int64_t id = int64_t(2 * count + i + 1);
        StoredResult r = row(id);
        {
            std::lock_guard<std::mutex> g(store.lock);
            store.rows.push_back(r);
        }
        auto t = Clock::now();
        store.watcher(id);
        if (!until(sub, id)) return 1;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
        while (store.acked() != id)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    std::sort(us.begin(), us.end());
    printf("result -> subscriber line (%zu samples): p50 %.0f us, p99 %.0f us\n", samples,
           us[us.size() / 2], us[us.size() * 99 / 100]);
    Mqtt_Stop();
    return 0;
}
