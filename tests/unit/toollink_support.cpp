#include "toollink_support.h"

#include "wire.h"

namespace toollink_test {

void DriverFixture::startDriver(bool recordConnects) {
    SetLoopbackDisco();
    sink.recordDebug = false;
    EwDriver_Initialize(&sink);
    Threads_RunSync(LOOP_MODBUS, [] {}); // the loop's own queue is installed by now
    if (recordConnects) {
        idleCtx = g_main_context_new();
        recordQ = WorkQueue_New(idleCtx, [this](void* item) {
            const uint32_t* w = static_cast<const uint32_t*>(item);
            popped.push_back(int(w[1]));
            free(item);
        });
        // The loop's own queue lives for the whole process, as in the program.
        static std::vector<WorkQueue*> replaced;
        replaced.push_back(Modbus_GetMsgQ());
        Modbus_SetMsgQ(recordQ);
    }
    sink.drain();
}

std::vector<int> DriverFixture::takeConnects() {
    popped.clear();
    while (idleCtx && g_main_context_iteration(idleCtx, FALSE)) {
    }
    return popped;
}

void DriverFixture::TearDown() {
    ToolManager_DismissTool_All();
    Disco_Deinit();
    quiesceLoops();
    sink.drain();
}

DriverFixture::~DriverFixture() {
    EwDriver_Deinitialize();
}

ToolInfo makeInfo(uint8_t macLast, uint8_t type, uint32_t ip, uint16_t port, const char* serial) {
    ToolInfo i;
    memset(&i, 0, sizeof i);
    memcpy(i.serial, serial, strnlen(serial, sizeof i.serial));
    i.model = 7000;
    i.ip = ip;
    i.port = port;
    const uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, macLast};
    memcpy(i.mac, mac, 6);
    i.version = 1234;
    i.type = type;
    return i;
}

uint32_t toolState(int tdx) {
    ToolView v{};
    EXPECT_EQ(ToolManager_GetToolView(tdx, &v), 0) << tdx;
    return v.state;
}

void setToolState(int tdx, uint32_t state, int netif) {
    RegToolsLock g;
    if (netif >= 0) ToolManager_RegTool(tdx)->netif = uint32_t(netif);
    ToolManager_SetState_Locked(tdx, ToolManager_RegTool(tdx), state, false);
}

void feedAck(const ToolInfo& info, uint32_t netif, uint8_t busy) {
    toolsim::ToolIdentity id;
    id.serial.assign(info.serial, strnlen(info.serial, sizeof info.serial));
    id.model = info.model;
    id.ip = info.ip;
    id.port = info.port;
    memcpy(id.mac, info.mac, 6);
    id.busy = busy != 0;
    id.version = info.version;
    id.type = info.type;
    const auto d = toolsim::encodeAck(toolsim::kScanAck, id);
    Disco_Proc(d.data(), d.size(), netif);
}

} // namespace toollink_test
