// Forwarded messages per second over loopback, from the result log through the result
// store to the server, against raw sends of the same messages on a plain TCP socket.
#include "bef.h"
#include "debug.h"
#include "eventlog.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
// Listens on 127.0.0.1, accepts one connection and counts the bytes until `expect`.
struct Sink {
    int lfd = -1;
    uint16_t port = 0;
    std::atomic<size_t> got{0};
    std::thread th;
    Sink() {
        lfd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        listen(lfd, 1);
    }
    void start(size_t expect) {
        th = std::thread([this, expect] {
            int c = accept(lfd, nullptr, nullptr);
            char buf[65536];
            while (got < expect) {
                ssize_t n = read(c, buf, sizeof buf);
                if (n <= 0) break;
                got += size_t(n);
            }
            close(c);
        });
    }
    ~Sink() {
        if (th.joinable()) th.join();
        close(lfd);
    }
};

std::vector<uint8_t> frame() {
    std::vector<uint8_t> f(70, 0);
    f[5] = 64;
    f[6] = 1;
    f[7] = 3;
    f[8] = 61;
    return f;
}
} // namespace

int main(int argc, char** argv) {
    size_t count = argc > 1 ? size_t(atol(argv[1])) : 50000;
    Debug_SetQuiet(true);
    auto f = frame();

    // Panel path: results logged while connected (their lines and store rows in a
    // temporary data home); time until the server has every byte.
    char home[] = "/tmp/kest-bench-bef-XXXXXX";
    if (!mkdtemp(home) || chdir(home) != 0) return 1;
    Sink panelSink;
    panelSink.start(count * 72);
    SettingShare* sh = get_setting_share();
    sh->bef_enable = 0;
    get_setting_plant()->store_size = uint32_t(count * 2);
    Bef_init();
    ResultStore_Init();
    Threads_Init();
    Bef_ApplySetting(1, INADDR_LOOPBACK, panelSink.port);
    if (Bef_ConnectTimerCallback() != 1) return 1;
    const std::string line = "2026-12-08 10:00:00,j,s,-,t,1,2,3.00,4.00,5,6,7,8,9,0,0,1,0,\n";
    auto t = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        ResultExtra x;
        x.tdx = int(i % 8);
        x.frame = f;
        EventLog_Queue(line, -1, std::move(x));
    }
    while (panelSink.got < count * 72)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    double panel = std::chrono::duration<double>(Clock::now() - t).count();

    // Raw path: one thread sending the same 72-byte messages one send() each.
    Sink rawSink;
    rawSink.start(count * 72);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(rawSink.port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 1;
    uint8_t msg[BEF_MSG_MAX];
    t = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        int n = Bef_BuildMsg(int(i % 8), f.data(), f.size(), msg);
        if (send(s, msg, size_t(n), 0) != n) return 1;
    }
    while (rawSink.got < count * 72)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    double raw = std::chrono::duration<double>(Clock::now() - t).count();
    close(s);

    printf("%zu messages of 72 bytes over loopback\n", count);
    printf("Bef queue + sender  %10.0f msg/s\n", count / panel);
    printf("raw send()          %10.0f msg/s  (ratio panel/raw time %.2f)\n", count / raw,
           panel / raw);
    Bef_ApplySetting(0, 0, 0);
    EventLog_Shutdown();
    ResultStore_Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
