// Open Protocol catch-up: a client that reconnects takes N unacknowledged results, each
// 0061 answered by 0062, from the server on loop "P", against a bare loop writing the same
// telegrams on a socket and reading the same answers. Then one result at a time: from the
// store's commit (its watch) to the 0061 on the client's socket, p50 and p99. Last, the same
// catch-up served from the result store itself (SQLite on loop "O", in a data home of its
// own). The tool-to-0061 figure of a whole run is bench_gui_result_ack_screen's.
#include "TestEnv.h"
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "opframe.h"
#include "opsrv.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
    r.tool = "ZQ-1";
    r.barcode = "VIN-0001";
    r.status = 1;
    r.torque = 1234;
    r.targetTorque = 1250;
    return r;
}

// Rows in memory, as the store hands them out.
struct MemStore {
    std::mutex lock;
    std::vector<StoredResult> rows;
    int64_t cursor = 0;
    std::function<void(int64_t)> watcher;
    OpSrvStore ops() {
        OpSrvStore s;
        s.read = [this](int64_t after, size_t max, std::vector<StoredResult>* out) {
            std::lock_guard<std::mutex> g(lock);
            auto it = std::upper_bound(rows.begin(), rows.end(), after,
                                       [](int64_t a, const StoredResult& r) { return a < r.id; });
            for (; it != rows.end() && out->size() < max; ++it)
                out->push_back(*it);
            return int(out->size());
        };
        s.get = [](int64_t, StoredResult*) { return -1; };
        s.cursor = [this](const char*) {
            std::lock_guard<std::mutex> g(lock);
            return cursor;
        };
        s.ack = [this](const char*, int64_t id) {
            std::lock_guard<std::mutex> g(lock);
            cursor = std::max(cursor, id);
            return 0;
        };
        s.watch = [this](std::function<void(int64_t)> fn) {
            watcher = std::move(fn);
            return 1;
        };
        s.unwatch = [](int) {};
        return s;
    }
};

int connectTo(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
    return fd;
}

// Reads up to the next NUL; returns the telegram's MID or -1, its data in `data`.
int readTelegram(int fd, std::string& buf, std::string* data = nullptr) {
    for (;;) {
        size_t nul = buf.find('\0');
        if (nul != std::string::npos) {
            int mid = atoi(buf.substr(4, 4).c_str());
            if (data) *data = nul >= 20 ? buf.substr(20, nul - 20) : "";
            buf.erase(0, nul + 1);
            return mid;
        }
        char b[65536];
        ssize_t n = read(fd, b, sizeof b);
        if (n <= 0) return -1;
        buf.append(b, size_t(n));
    }
}

void writeAll(int fd, const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
        ssize_t n = write(fd, s.data() + off, s.size() - off);
        if (n <= 0) return;
        off += size_t(n);
    }
}

// The client: start, subscribe, take `n` results answering each.
double catchUp(uint16_t port, size_t n) {
    int fd = connectTo(port);
    if (fd < 0) return -1;
    std::string buf;
    auto t = Clock::now();
    writeAll(fd, OpBuild(OP_MID_START, 1, ""));
    if (readTelegram(fd, buf) != OP_MID_START_ACK) return -1;
    writeAll(fd, OpBuild(OP_MID_RESULT_SUBSCRIBE, 1, ""));
    if (readTelegram(fd, buf) != OP_MID_ACCEPTED) return -1;
    const std::string ack = OpBuild(OP_MID_RESULT_ACK, 1, "");
    for (size_t i = 0; i < n; ++i) {
        if (readTelegram(fd, buf) != OP_MID_RESULT) return -1;
        writeAll(fd, ack);
    }
    double s = std::chrono::duration<double>(Clock::now() - t).count();
    close(fd);
    return s;
}

// The bare loop: one socket, the same telegrams built beforehand, the same answers read.
double bare(size_t n) {
    int lfd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
    listen(lfd, 1);
    std::thread server([lfd, n] {
        int c = accept(lfd, nullptr, nullptr);
        int one = 1;
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::string buf;
        readTelegram(c, buf);
        writeAll(c, OpBuild_StartAck(1, OpIdentity{}));
        readTelegram(c, buf);
        writeAll(c, OpBuild_Accepted(OP_MID_RESULT_SUBSCRIBE));
        for (size_t i = 0; i < n; ++i) {
            writeAll(c, OpBuild_Result(1, row(int64_t(i) + 1)));
            if (readTelegram(c, buf) != OP_MID_RESULT_ACK) break;
        }
        readTelegram(c, buf); // the client's close
        close(c);
    });
    double s = catchUp(ntohs(a.sin_port), n);
    server.join();
    close(lfd);
    return s;
}
// The catch-up from the real store: `n` result lines handed to it as the log writer does,
// committed, then served by the server wired to the store.
double storedCatchUp(size_t n) {
    TestEnv env;
    load_setting();
    get_setting_plant()->op_enable = 1;
    get_setting_plant()->op_port = 0;
    if (ResultStore_Init() != 0 || ResultStore_Join(OP_PEER) != 0) return -1;
    struct tm now;
    Common_LocalTime(&now);
    FastenResult r;
    r.Status = 1;
    r.ConvTorque = 1234;
    r.TargetTorque = 1250;
    std::vector<ResultWrittenLine> lines;
    off_t end = 0;
    for (size_t i = 0; i < n; ++i) {
        r.ScrewNo = uint16_t(i % 1000);
        lines.push_back({EventLog_FormatLine(now, "Door", "S1", "VIN-0001", "ZQ-1", r), {}});
        end += off_t(lines.back().line.size());
    }
    ResultStore_Written(EventLog_FileName(EventLog_DirName(0, now), now), end, std::move(lines));
    ResultStore_Flush();
    if (ResultStore_Backlog(OP_PEER) != n || OpSrv_Init() != 0) return -1;
    Threads_RunSync(LOOP_OPSRV, [] {});
    const double s = catchUp(uint16_t(OpSrv_BoundPort()), n);
    OpSrv_Stop();
    ResultStore_Shutdown();
    return s;
}
} // namespace

int main(int argc, char** argv) {
    size_t count = argc > 1 ? size_t(atol(argv[1])) : 10000;
    size_t samples = argc > 2 ? size_t(atol(argv[2])) : 2000;
    Debug_SetQuiet(true);
    MemStore store;
    for (size_t i = 1; i <= count; ++i)
        store.rows.push_back(row(int64_t(i)));
    get_setting_plant()->op_enable = 1;
    get_setting_plant()->op_port = 0;
    OpSrv_Start(store.ops());
    Threads_Init();
    Threads_RunSync(LOOP_OPSRV, [] {});
    uint16_t port = uint16_t(OpSrv_BoundPort());
    if (!port) return 1;

    double panel = catchUp(port, count);
    double raw = bare(count);
    if (panel <= 0 || raw <= 0) return 1;
    printf("catch-up of %zu unacknowledged results (0061 rev 1 + 0062 each)\n", count);
    printf("server on loop P   %10.0f results/s\n", count / panel);
    printf("bare socket loop   %10.0f results/s  (ratio bare/panel time %.2f, goal >= 0.5)\n",
           count / raw, raw / panel);

    // One result at a time: commit to 0061 on the client.
    int fd = connectTo(port);
    std::string buf;
    writeAll(fd, OpBuild(OP_MID_START, 1, ""));
    readTelegram(fd, buf);
    writeAll(fd, OpBuild(OP_MID_RESULT_SUBSCRIBE, 1, ""));
    readTelegram(fd, buf);
    const std::string ack = OpBuild(OP_MID_RESULT_ACK, 1, "");
    std::vector<double> us;
    for (size_t i = 0; i < samples; ++i) {
        int64_t id = int64_t(count + i + 1);
        auto t = Clock::now();
        {
            std::lock_guard<std::mutex> g(store.lock);
            store.rows.push_back(row(id));
        }
        store.watcher(id);
        // A result the catch-up's client closed on before its 0062 was taken comes first.
        for (std::string data;;) {
            if (readTelegram(fd, buf, &data) != OP_MID_RESULT || data.size() < 10) return 1;
            const bool mine = atoll(data.c_str() + data.size() - 10) == id;
            if (mine)
                us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
            writeAll(fd, ack);
            if (mine) break;
        }
        // The next result comes once this acknowledgement moved the cursor.
        for (;;) {
            {
                std::lock_guard<std::mutex> g(store.lock);
                if (store.cursor == id) break;
            }
            std::this_thread::yield();
        }
    }
    close(fd);
    std::sort(us.begin(), us.end());
    printf("result -> 0061 on the client (%zu samples): p50 %.0f us, p99 %.0f us\n", samples,
           us[us.size() / 2], us[us.size() * 99 / 100]);
    OpSrv_Stop();
    const double stored = storedCatchUp(count);
    if (stored <= 0) return 1;
    printf("from the result store %7.0f results/s  (ratio bare/store time %.2f, goal >= 0.5)\n",
           count / stored, raw / stored);
    return 0;
}
