// Register reads per second through the panel's Modbus link (registry lock, index and
// range checks, mirror) against raw libmodbus reads of the same registers from the same
// virtual tool (toolsim's code in this process, on loopback) in the same run.
#include "FakeTool.h"
#include "TestEnv.h"

#include "debug.h"
#include "disco.h"
#include "mbus.h"
#include "tools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <modbus.h>

using Clock = std::chrono::steady_clock;

namespace {
double perSecond(int n, Clock::duration d) {
    return n / std::chrono::duration<double>(d).count();
}
} // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? atoi(argv[1]) : 20000;
    TestEnv env;
    Debug_SetQuiet(true);
    auto tool = FakeTool::onLoopback({2});
    if (!tool) return 1;
    const std::string ip = FakeTool::loopbackIp(0);

    // Panel path: the tool registered from its scan answer, connected, read with Modbus_Read.
    ToolManager_LoadRegTools();
    const auto ack = tool->ack(0);
    Disco_Proc(ack.data(), ack.size(), TOOL_NETIF_ETH);
    ToolManager_MoveTool_DiscoToReg(0);
    Modbus_MsgQProc_Connect(0);
    // Raw path: a plain libmodbus client of the same tool.
    modbus_t* raw = modbus_new_tcp(ip.c_str(), tool->port());
    if (modbus_connect(raw) != 0) return 1;

    // Both paths in alternating blocks, so a change of the machine's load hits both alike.
    Clock::duration rawTime{}, panelTime{};
    uint16_t buf[10];
    for (int done = 0; done < reads; done += 1000) {
        auto t0 = Clock::now();
        for (int i = 0; i < 1000; ++i)
            if (modbus_read_registers(raw, 100, 10, buf) != 10) return 1;
        rawTime += Clock::now() - t0;
        t0 = Clock::now();
        for (int i = 0; i < 1000; ++i)
            if (Modbus_Read(0, 100, 10, 1) != 0) {
                fprintf(stderr, "panel read failed at %d\n", done + i);
                return 1;
            }
        panelTime += Clock::now() - t0;
    }
    if (Modbus_GetData(0, 109) != buf[9]) return 1;
    modbus_close(raw);
    modbus_free(raw);

    const double rawRate = perSecond(reads, rawTime), panelRate = perSecond(reads, panelTime);
    printf("modbus reads of 10 registers over loopback: raw %.0f/s, panel %.0f/s, ratio %.3f\n",
           rawRate, panelRate, panelRate / rawRate);
    ToolManager_DismissTool_All();
    return 0;
}
