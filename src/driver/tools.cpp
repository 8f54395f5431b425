// The tool registry's tables (registered and discovered tools), their locks and record
// access, the load and save of the registered table, dismissal, and registration, release
// and rename. What discovery's answers and silences do to the tables is in tools_disco.cpp.
#include "tools.h"

#include "common.h"
#include "debug.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "tools_private.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Never destroyed: worker threads use the tables until the process ends, so no exit-time
// destructor may run under them.
RegToolsState& regTools = *new RegToolsState;
DiscoToolsState& discoTools = *new DiscoToolsState;

namespace {
std::atomic<int> currTDX{-1};
std::atomic<ToolLinkLostHook> linkLostHook{nullptr};
std::atomic<const ToolBarcodeOps*> barcodeOps{nullptr};
} // namespace

int ToolManager_FindRegLocked(const uint8_t* mac) {
    for (size_t i = 0; i < regTools.tools.size(); ++i)
        if (memcmp(regTools.tools[i].mac, mac, 6) == 0) return int(i);
    return -1;
}

int ToolManager_FindDiscoLocked(const uint8_t* mac) {
    for (size_t i = 0; i < discoTools.tools.size(); ++i)
        if (memcmp(discoTools.tools[i].info.mac, mac, 6) == 0) return int(i);
    return -1;
}

int ToolManager_PushConnect(int tdx) {
    return Modbus_MsgQ_Push_Connect(tdx, regTools.tools[size_t(tdx)].mac);
}

void ToolManager_DropLinks(RegToolRecord* rec) {
    ToolManager_TeardownRxWatch(rec);
    ToolConn_Drop(&rec->mbConn);
    ToolConn_Drop(&rec->evConn);
}

void ToolManager_LockRegTools() {
    regTools.lock.lock();
}
void ToolManager_UnlockRegTools() {
    regTools.lock.unlock();
}
void ToolManager_LockDiscoTools() {
    discoTools.lock.lock();
}
void ToolManager_UnlockDiscoTools() {
    discoTools.lock.unlock();
}

int CheckTdx(int tdx, const char* caller, int line) {
    int count = int(regTools.tools.size());
    if (tdx >= 0 && tdx < count && tdx <= TOOL_MAX_REG - 1) return 0;
    if (tdx != -1)
        Debug_WriteLog(1, "%s.%d : invalid regtdx %d/%d", caller ? caller : "?", line, tdx, count);
    return 1;
}

RegToolRecord* ToolManager_RegTool(int tdx) {
    if (tdx < 0 || tdx >= int(regTools.tools.size()) || tdx >= TOOL_MAX_REG) return nullptr;
    return &regTools.tools[size_t(tdx)];
}

DiscoToolRecord* ToolManager_DiscoTool(int index) {
    if (index < 0 || index >= int(discoTools.tools.size())) return nullptr;
    return &discoTools.tools[size_t(index)];
}

int ToolManager_RegToolsLen_Unlocked() {
    return int(regTools.tools.size());
}

int ToolManager_TdxOfCurrentWatch_Unlocked() {
    GSource* current = g_main_current_source();
    if (!current || g_source_is_destroyed(current)) return -1;
    for (int i = 0; i < ToolManager_RegToolsLen_Unlocked(); ++i)
        if (ToolManager_RegTool(i) && ToolManager_RegTool(i)->rxWatch == current) return i;
    return -1;
}

int ToolManager_GetRegToolsLen() {
    RegToolsLock g;
    return int(regTools.tools.size());
}

int ToolManager_GetDiscoToolsLen() {
    DiscoToolsLock g;
    return int(discoTools.tools.size());
}

int ToolManager_GetToolView(int tdx, ToolView* out) {
    memset(out, 0, sizeof *out);
    RegToolsLock g;
    const RegToolRecord* r = ToolManager_RegTool(tdx);
    if (!r) return -1;
    memcpy(out->name, r->name, TOOL_NAME_SIZE - 1);
    memcpy(out->serial, r->serial, TOOL_SERIAL_SIZE);
    memcpy(out->defname, r->defname, TOOL_DEFNAME_SIZE);
    out->model = r->model;
    memcpy(out->mac, r->maccopy, 6);
    out->type = r->type;
    out->ip = r->ip;
    out->port = r->port;
    out->busy = r->busy;
    out->netif = r->netif;
    out->state = r->state;
    out->cause = r->cause;
    out->version = r->version;
    out->torqueUnit = r->torqueUnit;
    out->torqueMin = r->torqueMin;
    out->torqueMax = r->torqueMax;
    out->dataUp = r->mbConn && r->mbConn->connected.load();
    out->eventUp = r->evConn && r->evConn->connected.load();
    return 0;
}

int ToolManager_GetDiscoToolView(int index, DiscoToolView* out) {
    memset(out, 0, sizeof *out);
    DiscoToolsLock g;
    const DiscoToolRecord* r = ToolManager_DiscoTool(index);
    if (!r) return -1;
    out->info = r->info;
    memcpy(out->defname, r->defname, TOOL_DEFNAME_SIZE);
    out->cause = r->cause;
    out->netif = r->netif;
    return 0;
}

int ToolManager_FindDiscoTdx_ByMac(const uint8_t* mac) {
    if (!mac) return -1;
    DiscoToolsLock g;
    return ToolManager_FindDiscoLocked(mac);
}

int ToolManager_FindRegTdx_ByMac(const uint8_t* mac) {
    if (!mac) return -1;
    RegToolsLock g;
    return ToolManager_FindRegLocked(mac);
}
int ToolManager_FindRegTdx_ByMac_Unlocked(const uint8_t* mac) {
    return mac ? ToolManager_FindRegLocked(mac) : -1;
}

int ToolManager_FindTdx_ByName(const char* name) {
    if (!name) {
        DBG_ERR("invalid parameters : tname is null");
        return -1;
    }
    RegToolsLock g;
    for (size_t i = 0; i < regTools.tools.size(); ++i)
        if (strcmp(regTools.tools[i].name, name) == 0) return int(i);
    return -1;
}

const char* ToolManager_GetToolName_ByTdx(int tdx) {
    thread_local char nameCopy[TOOL_NAME_SIZE];
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    if (!rec) return nullptr;
    memcpy(nameCopy, rec->name, TOOL_NAME_SIZE);
    nameCopy[TOOL_NAME_SIZE - 1] = 0;
    return nameCopy;
}

void ToolManager_SetCurrTdx(int tdx) {
    currTDX.store(tdx);
}
int ToolManager_GetCurrTdx() {
    return currTDX.load();
}

void ToolManager_SetBarcodeOps(const ToolBarcodeOps* ops) {
    barcodeOps.store(ops);
}

BarcodeTable** ToolManager_BarcodeSlot(int tdx) {
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    return rec ? &rec->barcode : nullptr;
}

void ToolManager_SetState_Locked(int tdx, RegToolRecord* rec, uint32_t state, bool post) {
    if (rec->state != state)
        DBG_LOG(DEBUG_FLAG_MODBUS, "tdx.%d state %u -> %u", tdx, unsigned(rec->state),
                unsigned(state));
    const bool lost = rec->state == TOOL_STATE_CONNECTED && state != TOOL_STATE_CONNECTED;
    rec->state = state;
    if (post) EwDriver_PushMsgQ_UpdateRegTools(tdx, int32_t(state));
    if (ToolLinkLostHook hook = linkLostHook.load(); lost && hook) hook(tdx);
}

void ToolManager_SetLinkLostHook(ToolLinkLostHook hook) {
    linkLostHook.store(hook);
}

void ToolManager_TeardownRxWatch(RegToolRecord* rec) {
    if (rec->rxWatch) {
        g_source_destroy(rec->rxWatch);
        g_source_unref(rec->rxWatch);
        rec->rxWatch = nullptr;
    }
    if (rec->rxChannel) {
        g_io_channel_unref(rec->rxChannel); // the socket belongs to the connection
        rec->rxChannel = nullptr;
    }
    rec->rxGraph = 0;
    rec->evParked = 0;
}

void ToolManager_TeardownEventWatch(RegToolRecord* rec) {
    if (rec->rxGraph)
        rec->evParked = 0;
    else
        ToolManager_TeardownRxWatch(rec);
}

// ---- load and save ----

int ToolManager_LoadRegTools() {
    {
        RegToolsLock g;
        regTools.tools.clear();
        regTools.tools.reserve(TOOL_MAX_REG);
    }
    {
        DiscoToolsLock g;
        discoTools.tools.clear();
    }
    EwDriver_SetCurrTdxSource([]() -> int32_t { return ToolManager_GetCurrTdx(); });
    Modbus_Init();
    std::vector<RegToolRecord> loaded;
    if (RegTools_ReadFile(&loaded) != 0) return -1;
    std::vector<std::string> folders;
    {
        RegToolsLock g;
        for (const RegToolRecord& rec : loaded) {
            regTools.tools.push_back(rec);
            folders.push_back(ToolManager_ToolDir(rec.name));
        }
    }
    for (const auto& d : folders)
        if (Common_MkdirP(d, 0777) != 0)
            DBG_ERR("fail to create %s, %s", d.c_str(), strerror(errno));
    return 0;
}

int ToolManager_SaveRegTools() {
    std::vector<uint8_t> data;
    {
        RegToolsLock g;
        data.resize(regTools.tools.size() * REGTOOLS_RECORD_SIZE);
        for (size_t i = 0; i < regTools.tools.size(); ++i)
            RegTools_EncodeRecord(&regTools.tools[i], &data[i * REGTOOLS_RECORD_SIZE]);
    }
    return RegTools_WriteFile(data);
}

// ---- dismissal ----

int ToolManager_DismissTool_ByTdx(int tdx, int lock) {
    std::unique_lock<std::mutex> g(regTools.lock, std::defer_lock);
    if (lock) g.lock();
    if (CheckTdx(tdx, __func__, __LINE__)) return -1;
    RegToolRecord* rec = &regTools.tools[size_t(tdx)];
    bool hadCtx = rec->mbConn || rec->evConn;
    ToolManager_DropLinks(rec);
    rec->miss = 0;
    int expected = tdx;
    bool wasCurrent = currTDX.compare_exchange_strong(expected, -1);
    if (wasCurrent) EwDriver_PushMsgQ_UpdateCurrTdx(); // the screens leave the tool first
    ToolManager_SetState_Locked(tdx, rec, TOOL_STATE_IDLE, wasCurrent || hadCtx);
    return 0;
}

void ToolManager_DismissTool_ByConn(ToolConn* conn) {
    if (!conn) return;
    RegToolsLock g;
    for (size_t i = 0; i < regTools.tools.size(); ++i)
        if (regTools.tools[i].mbConn == conn || regTools.tools[i].evConn == conn) {
            ToolManager_DismissTool_ByTdx(int(i), 0);
            return;
        }
}

int ToolManager_DismissTool_ByNetIf(uint32_t netif) {
    RegToolsLock g;
    for (size_t i = 0; i < regTools.tools.size(); ++i)
        if (regTools.tools[i].netif == netif) ToolManager_DismissTool_ByTdx(int(i), 0);
    return 0;
}

int ToolManager_DismissTool_All() {
    RegToolsLock g;
    for (size_t i = 0; i < regTools.tools.size(); ++i)
        ToolManager_DismissTool_ByTdx(int(i), 0);
    return 0;
}

// ---- registration, release, rename ----

int ToolManager_MoveTool_DiscoToReg(int index) {
    DiscoToolsLock dg;
    int len = int(discoTools.tools.size());
    if (index < 0 || index >= len) {
        Debug_WriteLog(1, "invalid disco_index : %d / %d \n", len, index);
        return -1;
    }
    RegToolsLock rg;
    if (regTools.tools.size() >= TOOL_MAX_REG) {
        DBG_ERR("registered table full (%d tools)", TOOL_MAX_REG);
        return -1;
    }
    const DiscoToolRecord& d = discoTools.tools[size_t(index)];
    RegToolRecord rec;
    memset(&rec, 0, sizeof rec);
    ToolManager_MakeRegName(d.info.type, d.info.serial, rec.name);
    memcpy(rec.serial, d.info.serial, TOOL_SERIAL_SIZE);
    rec.model = d.info.model;
    memcpy(rec.mac, d.info.mac, 6);
    memcpy(rec.defname, d.defname, TOOL_DEFNAME_SIZE);
    rec.type = d.info.type;
    rec.ip = d.info.ip;
    rec.port = d.info.port;
    memcpy(rec.maccopy, d.info.mac, 6);
    rec.busy = d.info.busy;
    rec.netif = d.netif;
    rec.cause = d.cause;
    rec.version = d.info.version;
    const ToolBarcodeOps* ops = barcodeOps.load();
    rec.barcode = ops ? ops->create() : nullptr;
    regTools.tools.push_back(rec);
    int tdx = int(regTools.tools.size()) - 1;
    std::string dir = ToolManager_ToolDir(rec.name);
    discoTools.tools.erase(discoTools.tools.begin() + index);
    // Unqueued, the tool waits idle for its next answer instead of "connecting" for good.
    ToolManager_SetState_Locked(
        tdx, &regTools.tools.back(),
        ToolManager_PushConnect(tdx) == 0 ? TOOL_STATE_CONNECTING : TOOL_STATE_IDLE, true);
    EwDriver_PushMsgQ_UpdateDiscoTools();
    rg.unlock();
    dg.unlock();
    // Without its folder the tool's barcode table cannot be saved later.
    if (Common_MkdirP(dir, 0777) != 0)
        DBG_ERR("fail to create %s, %s", dir.c_str(), strerror(errno));
    return 0;
}

int ToolManager_MoveTool_RegToDisco(int tdx) {
    {
        RegToolsLock g;
        int len = int(regTools.tools.size());
        if (tdx < 0 || tdx >= len) {
            Debug_WriteLog(1, "invalid reg_index : %d / %d \n", len, tdx);
            return -1;
        }
        RegToolRecord* rec = &regTools.tools[size_t(tdx)];
        ToolManager_DropLinks(rec);
        rmdir(ToolManager_ToolDir(rec->name).c_str()); // only an empty folder goes
        const ToolBarcodeOps* ops = barcodeOps.load();
        if (rec->barcode && ops) ops->destroy(rec->barcode);
        rec->barcode = nullptr;
        regTools.tools.erase(regTools.tools.begin() + tdx);
        // The current tool index follows its tool when later tools move down, and never
        // points at the released tool's successor.
        int cur = currTDX.load();
        if (cur >= tdx && currTDX.compare_exchange_strong(cur, cur == tdx ? -1 : cur - 1))
            EwDriver_PushMsgQ_UpdateCurrTdx();
        EwDriver_PushMsgQ_UpdateRegTools(-1, -1);
    }
    Disco_Send_ScanReq(0);
    return 0;
}

int ToolManager_SetTorqueUnit_ByTdx(int tdx, uint16_t unit) {
    RegToolsLock g;
    if (tdx < 0 || tdx >= int(regTools.tools.size())) {
        DBG_ERR("invalid tdx (%d)", tdx);
        return -1;
    }
    regTools.tools[size_t(tdx)].torqueUnit = unit;
    return 0;
}

int ToolManager_SetToolName_ByTdx(int tdx, const char* name) {
    RegToolsLock g;
    int len = int(regTools.tools.size());
    if (tdx < 0 || tdx >= len || tdx >= TOOL_MAX_REG || !ToolManager_NameIsSafe(name)) {
        DBG_ERR("invalid parameters (%d,%d,%s)", tdx, len, name ? name : "(null)");
        return -1;
    }
    RegToolRecord* rec = &regTools.tools[size_t(tdx)];
    char newName[TOOL_NAME_SIZE] = {};
    memcpy(newName, name, strnlen(name, TOOL_NAME_SIZE - 1));
    if (strcmp(newName, rec->name) == 0) return 0; // same folder: nothing to move or merge
    if (ToolManager_MoveToolFolder(rec, newName, barcodeOps.load()) != 0) return -1;
    memcpy(rec->name, newName, TOOL_NAME_SIZE);
    return 0;
}