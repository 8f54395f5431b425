// The registry's side of discovery: what a tool's answer, its leaving or a new address
// does to its entry in either table, and the keep-alive that drops tools gone silent. Apart
// from the tables and the registration (tools.cpp), which these only update.
#include "tools.h"

#include "ew_driver.h"
#include "mbus.h"
#include "tools_private.h"

#include <cstring>
#include <mutex>
#include <vector>

// ---- discovery answers ----

namespace {
// Removes the discovered entry with this MAC; disco lock held. True when one was there.
bool removeDiscoLocked(const uint8_t* mac) {
    int i = ToolManager_FindDiscoLocked(mac);
    if (i < 0) return false;
    discoTools.tools.erase(discoTools.tools.begin() + i);
    return true;
}

// Queues a connect request and enters state 2; a request that cannot be queued leaves
// the tool in `otherwise`, so its next answer asks again.
void connectOr(int tdx, RegToolRecord* rec, uint32_t otherwise) {
    ToolManager_SetState_Locked(
        tdx, rec, ToolManager_PushConnect(tdx) == 0 ? uint32_t(TOOL_STATE_CONNECTING) : otherwise,
        false);
}

// A registered tool answered; registered-table lock held.
void updateRegLocked(int tdx, const ToolInfo* info, uint8_t cause, uint32_t netif) {
    RegToolRecord* rec = &regTools.tools[size_t(tdx)];
    rec->netif = netif;
    rec->miss = 0;
    switch (rec->state) {
    case TOOL_STATE_IDLE:
        rec->cause = cause;
        rec->version = info->version;
        memcpy(rec->serial, info->serial, TOOL_SERIAL_SIZE);
        rec->model = info->model;
        rec->ip = info->ip;
        rec->port = info->port;
        rec->busy = info->busy;
        if (rec->busy)
            ToolManager_SetState_Locked(tdx, rec, TOOL_STATE_BUSY, true);
        else
            connectOr(tdx, rec, TOOL_STATE_IDLE);
        break;
    case TOOL_STATE_BUSY:
        rec->busy = info->busy;
        if (!rec->busy) connectOr(tdx, rec, TOOL_STATE_BUSY);
        break;
    case TOOL_STATE_CONNECTING:
        break;
    case TOOL_STATE_CONNECTED:
        if (rec->ip == info->ip && rec->port == info->port) break;
        ToolManager_DismissTool_ByTdx(tdx, 0);
        rec->ip = info->ip;
        rec->port = info->port;
        connectOr(tdx, rec, TOOL_STATE_IDLE);
        break;
    default:
        ToolManager_PushConnect(tdx);
        break; // 4 and 5: retry; the attempt sets the state
    }
}

// An unregistered tool answered; discovered-table lock held. True when the list changed.
bool updateDiscoLocked(const ToolInfo* info, uint8_t cause, uint32_t netif) {
    int i = ToolManager_FindDiscoLocked(info->mac);
    if (i < 0) {
        if (info->busy) return false;
        DiscoToolRecord rec;
        memset(&rec, 0, sizeof rec);
        rec.info = *info;
        ToolManager_MakeDefaultName(info, rec.defname);
        rec.netif = netif;
        discoTools.tools.push_back(rec);
        return true;
    }
    if (info->busy) {
        discoTools.tools.erase(discoTools.tools.begin() + i);
        return true;
    }
    DiscoToolRecord* rec = &discoTools.tools[size_t(i)];
    memcpy(rec->info.serial, info->serial, TOOL_SERIAL_SIZE);
    rec->info.model = info->model;
    rec->info.ip = info->ip;
    rec->info.port = info->port;
    rec->info.busy = info->busy;
    rec->info.version = info->version;
    rec->info.type = info->type;
    if (cause) rec->cause = cause;
    rec->netif = netif;
    rec->miss = 0;
    return false;
}

// A tool left (advertise cause 3) or its Wi-Fi station disconnected.
void toolLeaves(const uint8_t* mac) {
    {
        RegToolsLock g;
        int tdx = ToolManager_FindRegLocked(mac);
        if (tdx >= 0) ToolManager_DismissTool_ByTdx(tdx, 0);
    }
    bool removed;
    {
        DiscoToolsLock g;
        removed = removeDiscoLocked(mac);
    }
    if (removed) EwDriver_PushMsgQ_UpdateDiscoTools();
}
} // namespace

int ToolManager_UpdateToolState_ByDisco(const ToolInfo* info, uint8_t cause, uint32_t netif) {
    if (!info) return -1;
    if (cause == 3) {
        toolLeaves(info->mac);
        return 0;
    }
    if (cause == 5) {
        int tdx;
        {
            RegToolsLock g;
            tdx = ToolManager_FindRegLocked(info->mac);
            if (tdx < 0) return 0;
            RegToolRecord* rec = &regTools.tools[size_t(tdx)];
            ToolManager_TeardownEventWatch(rec);
            ToolConn_Drop(&rec->evConn);
        }
        Modbus_MsgQ_Push_Connect(tdx, info->mac);
        return 0;
    }
    // The lookup and the update happen under the locks so an index cannot go stale.
    std::unique_lock<std::mutex> dg(discoTools.lock);
    std::unique_lock<std::mutex> rg(regTools.lock);
    int tdx = ToolManager_FindRegLocked(info->mac);
    if (tdx >= 0) {
        dg.unlock();
        updateRegLocked(tdx, info, cause, netif);
        return 0;
    }
    rg.unlock();
    bool changed = updateDiscoLocked(info, cause, netif);
    dg.unlock();
    if (changed) EwDriver_PushMsgQ_UpdateDiscoTools();
    return 0;
}

int ToolManager_Readdress(const ToolInfo* info, uint8_t cause, uint32_t netif) {
    if (!info) return -1;
    RegToolsLock g;
    int tdx = ToolManager_FindRegLocked(info->mac);
    if (tdx < 0) return 0;
    RegToolRecord* rec = &regTools.tools[size_t(tdx)];
    ToolManager_DropLinks(rec);
    rec->version = info->version;
    rec->cause = cause;
    memcpy(rec->serial, info->serial, TOOL_SERIAL_SIZE);
    rec->model = info->model;
    rec->ip = info->ip;
    rec->port = info->port;
    rec->busy = info->busy;
    rec->netif = netif;
    rec->miss = 0;
    connectOr(tdx, rec, TOOL_STATE_IDLE);
    EwDriver_PushMsgQ_SetDisconnFlag(tdx, 1);
    return 0;
}

int ToolManager_UpdateToolState_ByHostapd(const uint8_t* mac) {
    if (!mac) return -1;
    toolLeaves(mac);
    return 0;
}

// ---- keep-alive ----

void ToolManager_KeepAlive_DiscoTools() {
    int removed = 0;
    {
        DiscoToolsLock g;
        for (int i = int(discoTools.tools.size()) - 1; i >= 0; --i) {
            DiscoToolRecord& r = discoTools.tools[size_t(i)];
            if (r.miss > 2) {
                discoTools.tools.erase(discoTools.tools.begin() + i);
                ++removed;
            } else {
                ++r.miss;
            }
        }
    }
    for (int i = 0; i < removed; ++i)
        EwDriver_PushMsgQ_UpdateDiscoTools();
}

void ToolManager_KeepAlive_RegTools() {
    RegToolsLock g;
    for (size_t i = 0; i < regTools.tools.size(); ++i) {
        RegToolRecord& r = regTools.tools[i];
        if (r.state != TOOL_STATE_CONNECTED) continue;
        if (r.miss > 2) {
            r.miss = 0;
            ToolManager_DismissTool_ByTdx(int(i), 0);
        } else {
            ++r.miss;
        }
    }
}

void ToolManager_RemoveAll_DiscoTools() {
    DiscoToolsLock g;
    discoTools.tools.clear();
}
