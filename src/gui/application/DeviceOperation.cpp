// Device-object family "fastening event channel and tool lock": event output per tool,
// decoded results, the fastening event table, pending stored events and tool locks.
#include "ApplicationDeviceClass.h"
#include "UnitFastenEventData.h"
#include "UnitFetItem.h"
#include "debug.h"
#include "eventlog.h"
#include "mbus.h"
#include "operation.h"
#include "tools.h"
#include "wire_util.h"

#include <cstring>

namespace {
// Pending stored events per tool index, as last read by GetNoPendingEvent.
int32_t noPendingEvent[TOOL_MAX_REG];
} // namespace

int32_t ApplicationDeviceClass::OnGetFetEnable() {
    return int32_t(fet_get_enable());
}

void ApplicationDeviceClass::OnSetFetEnable(int32_t mask) {
    fet_set_enable(uint32_t(mask));
    emit FetEnableChanged();
}

int32_t ApplicationDeviceClass::EnableDataBackup(int32_t tdx, int32_t skipStored) {
    if (tdx < 0 || tdx >= TOOL_MAX_REG) {
        DBG_ERR("invalid tdx %d", tdx);
        return -1;
    }
    return EventLog_QueueTask([tdx, skipStored] { fastening_event_enable(tdx, skipStored); });
}

int32_t ApplicationDeviceClass::DisableDataBackup(int32_t tdx) {
    if (tdx < 0 || tdx >= TOOL_MAX_REG) {
        DBG_ERR("invalid tdx %d", tdx);
        return -1;
    }
    return EventLog_QueueTask([tdx] { fastening_event_disable(tdx); });
}

UnitFastenEventData* ApplicationDeviceClass::GetFastenEventData(int32_t tdx) {
    FastenResult r;
    int taken = Operation_TakeEvent(tdx, &r);
    auto* d = new UnitFastenEventData;
    d->Fill(r);
    d->Fresh = taken == 0;
    return d;
}

int32_t ApplicationDeviceClass::GetFetLen() {
    return get_fet_len();
}
bool ApplicationDeviceClass::GetFetItem(int32_t index, UnitFetItem* out) {
    FetItem item;
    if (!out || get_fet_item(index, &item) != 0) return false;
    static_cast<FastenResult&>(*out) = item;
    out->Seq = item.seq;
    memcpy(out->Time, item.time, sizeof out->Time);
    memcpy(out->ToolName, item.toolName, sizeof out->ToolName);
    return true;
}

void ApplicationDeviceClass::ClearFet() {
    clear_fet();
}

int32_t ApplicationDeviceClass::GetNoPendingEvent(int32_t tdx) {
    int32_t n = Operation_GetNoPendingEvent(tdx);
    if (tdx >= 0 && tdx < TOOL_MAX_REG) noPendingEvent[tdx] = n;
    return n;
}

void ApplicationDeviceClass::ClearNoPendingEvent() {
    for (auto& n : noPendingEvent)
        n = 0;
}

int32_t ApplicationDeviceClass::SetToolLock(int32_t tdx, int32_t value) {
    if (tdx < 0) return MBUS_ERR_NOT_CONNECTED;
    return Modbus_Write(tdx, MBUS_REG_TOOL_LOCK, uint16_t(value), 1);
}

int32_t ApplicationDeviceClass::SetAutoLock(int32_t tdx, int32_t value) {
    if (tdx < 0 || tdx >= ToolManager_GetRegToolsLen()) return -1;
    return Modbus_Write(tdx, MBUS_REG_AUTO_LOCK, uint16_t(value), 1);
}

int32_t ApplicationDeviceClass::SetScrewCnt(int32_t tdx, int32_t count) {
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0) return -1;
    // Controllers and drivers keep the screw count at different addresses.
    return Modbus_Write(tdx, isController(v.type) ? MBUS_REG_SCREW_CNT_CTL : MBUS_REG_SCREW_CNT_DRV,
                        uint16_t(count), 1);
}

void ApplicationDeviceClass::ToolLockAll() {
    tool_lock_all();
}
void ApplicationDeviceClass::ToolLockExceptTdx(int32_t tdx) {
    tool_lock_all_except_tdx(tdx);
}
