// Register reads per second through the panel's Modbus link (registry lock, index and
// range checks, mirror) against raw libmodbus reads of the same registers from the same
// loopback server in the same run.
#include "common.h"
#include "debug.h"
#include "disco.h"
#include "mbus.h"
#include "tools.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {
// One client at a time, answered from a full register map.
struct Server {
    int lfd = -1;
    uint16_t port = 0;
    std::atomic<bool> stop{false};
    std::thread th;
    Server() {
        lfd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        listen(lfd, 2);
        th = std::thread([this] { run(); });
    }
    ~Server() {
        stop = true;
        th.join();
        close(lfd);
    }
    void run() {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
        modbus_mapping_t* map = modbus_mapping_new(0, 0, 6000, 6000);
        for (int i = 0; i < 6000; ++i)
            map->tab_registers[i] = uint16_t(i);
        uint8_t q[MODBUS_TCP_MAX_ADU_LENGTH];
        int c = -1;
        while (!stop) {
            pollfd p[2] = {{lfd, POLLIN, 0}, {c, POLLIN, 0}};
            if (poll(p, 2, 20) <= 0) continue;
            if (p[0].revents & POLLIN) {
                if (c >= 0) close(c);
                c = accept(lfd, nullptr, nullptr);
                modbus_set_socket(ctx, c);
                continue;
            }
            if (c >= 0 && (p[1].revents & POLLIN)) {
                int rc = modbus_receive(ctx, q);
                if (rc <= 0) {
                    close(c);
                    c = -1;
                } else {
                    modbus_reply(ctx, q, rc, map);
                }
            }
        }
        if (c >= 0) close(c);
        modbus_mapping_free(map);
        modbus_free(ctx);
    }
};

double perSecond(int n, Clock::duration d) {
    return n / std::chrono::duration<double>(d).count();
}
} // namespace

int main(int argc, char** argv) {
    int reads = argc > 1 ? atoi(argv[1]) : 20000;
    char tmpl[] = "/tmp/bench-mbus-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    Common_SetHome(tmpl);
    Debug_SetQuiet(true);
    Server server;

    // Raw path: a plain libmodbus client.
    modbus_t* raw = modbus_new_tcp("127.0.0.1", server.port);
    if (modbus_connect(raw) != 0) return 1;
    uint16_t buf[10];
    auto t0 = Clock::now();
    for (int i = 0; i < reads; ++i)
        if (modbus_read_registers(raw, 100, 10, buf) != 10) return 1;
    auto rawTime = Clock::now() - t0;
    modbus_close(raw);
    modbus_free(raw);

    // Panel path: a registered, connected tool read with Modbus_Read.
    ToolManager_LoadRegTools();
    ToolInfo info{};
    info.ip = 0x7f000001;
    info.port = server.port;
    info.type = TOOL_TYPE_ZQ;
    info.mac[5] = 1;
    uint8_t ack[DISCO_ACK_LEN];
    Disco_EncodeAck(DISCO_SCAN_ACK, &info, ack);
    Disco_Proc(ack, sizeof ack, TOOL_NETIF_ETH);
    ToolManager_MoveTool_DiscoToReg(0);
    Modbus_MsgQProc_Connect(0); // the event connection fails here; the data one is up
    t0 = Clock::now();
    for (int i = 0; i < reads; ++i)
        if (Modbus_Read(0, 100, 10, 1) != 0) {
            fprintf(stderr, "panel read failed at %d\n", i);
            return 1;
        }
    auto panelTime = Clock::now() - t0;
    if (Modbus_GetData(0, 109) != 109) return 1;

    double rawRate = perSecond(reads, rawTime), panelRate = perSecond(reads, panelTime);
    printf("modbus reads of 10 registers over loopback: raw %.0f/s, panel %.0f/s, ratio %.3f\n",
           rawRate, panelRate, panelRate / rawRate);
    std::string cmd = std::string("rm -rf ") + Common_ShellQuote(tmpl);
    Common_System(cmd);
    return 0;
}
