// The start of the GUI benches that time one virtual tool: offscreen Qt in a temporary data
// home, the tool registered from its scan answer and connected, and a plain libmodbus
// client of the same tool for the raw path.
#pragma once

#include "FakeTool.h"
#include "TestEnv.h"

#include "debug.h"
#include "disco.h"
#include "mbus.h"
#include "tools.h"

#include <cstdlib>
#include <modbus.h>

inline void benchOffscreen() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_NO_GLIB", "1", 1);
}

// Registers and connects tool 0 of `tool` as the panel does after a scan; then a raw
// client of it (null when it cannot connect).
inline modbus_t* benchConnect(FakeTool& tool) {
    Debug_SetQuiet(true);
    ToolManager_LoadRegTools();
    const auto ack = tool.ack(0);
    Disco_Proc(ack.data(), ack.size(), TOOL_NETIF_ETH);
    ToolManager_MoveTool_DiscoToReg(0);
    Modbus_MsgQProc_Connect(0);
    modbus_t* raw = modbus_new_tcp(FakeTool::loopbackIp(0).c_str(), tool.port());
    if (raw && modbus_connect(raw) != 0) {
        modbus_free(raw);
        return nullptr;
    }
    return raw;
}
