#include "operation.h"

#include "bef.h"
#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "mbus.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glib.h>
#include <modbus.h>
#include <mutex>
#include <sys/socket.h>
#include <vector>

static_assert(TOOL_EVENT_FRAME_MAX == MODBUS_TCP_MAX_ADU_LENGTH,
              "a queued frame holds the largest frame libmodbus receives");
static_assert(TOOL_FRAME_SIZE >= MODBUS_TCP_MAX_ADU_LENGTH, "receive buffer too small");

namespace {
struct FetState {
    std::mutex lock;
    uint32_t seq = 0;
    uint32_t writeIndex = 0;
    std::vector<FetItem> items;
};
FetState& fet = *new FetState; // never destroyed (see tools.cpp)
std::atomic<uint32_t> fet_enable{0};
std::atomic<OperationSetBarcode> barcodeSet{nullptr};
std::atomic<OperationGetBarcode> barcodeGet{nullptr};

uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

bool isController(uint8_t type) {
    return type == TOOL_TYPE_XWC || type == TOOL_TYPE_XWTC;
}

// Registers 1..13 start at byte 11.
void decodeRegs(const uint8_t* f, uint16_t* v) {
    for (int i = 0; i < 13; ++i)
        v[i] = be16(f + 11 + 2 * i);
}

void barcodeText(const uint8_t* frame, int len, char out[33]) {
    int n = 0;
    while (n < 32 && FASTEN_BARCODE_OFFSET + n < len && frame[FASTEN_BARCODE_OFFSET + n]) {
        out[n] = char(frame[FASTEN_BARCODE_OFFSET + n]);
        ++n;
    }
    out[n] = 0;
}

// The record whose receive watch is running now (indexes move when tools are released,
// so the watch is matched, not a stored index). Registered-table lock held.
int tdxOfCurrentWatch() {
    GSource* current = g_main_current_source();
    for (int i = 0; i < ToolManager_RegToolsLen_Unlocked(); ++i)
        if (ToolManager_RegTool(i) && ToolManager_RegTool(i)->rxWatch == current) return i;
    return -1;
}

// The peer closed the event connection (or it failed): drop it so the tool is retried at its next
// discovery answer (state 4), instead of the watch firing on end-of-file forever.
void eventLinkLost(int tdx, RegToolRecord* rec) {
    DBG_ERR("event connection of tdx.%d closed by the tool", tdx);
    ToolManager_TeardownRxWatch(rec);
    ToolManager_ReleaseCtx(&rec->evCtx, &rec->evConnected);
    if (rec->state == TOOL_STATE_CONNECTED) {
        rec->state = TOOL_STATE_HALF;
        EwDriver_PushMsgQ_UpdateRegTools(tdx, TOOL_STATE_HALF);
    }
}

void queueFrame(RegToolRecord* rec, int tdx, const uint8_t* frame, int len) {
    if (rec->evqCount == TOOL_EVENT_QUEUE_DEPTH) {
        DBG_ERR("event queue of tdx.%d full, oldest result dropped", tdx);
        rec->evqHead = (rec->evqHead + 1) % TOOL_EVENT_QUEUE_DEPTH;
        --rec->evqCount;
    }
    ToolEventFrame& slot = rec->evq[(rec->evqHead + rec->evqCount) % TOOL_EVENT_QUEUE_DEPTH];
    slot.len = uint16_t(len);
    memcpy(slot.bytes, frame, size_t(len));
    ++rec->evqCount;
}

gboolean fastening_event_cb(GIOChannel*, GIOCondition cond, gpointer) {
    ToolManager_LockRegTools();
    if (g_source_is_destroyed(g_main_current_source())) {
        ToolManager_UnlockRegTools();
        return G_SOURCE_REMOVE;
    }
    int tdx = tdxOfCurrentWatch();
    if (CheckTdx(tdx, "fastening_event_cb", __LINE__)) {
        ToolManager_UnlockRegTools();
        return G_SOURCE_REMOVE;
    }
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int fd = rec->evCtx ? modbus_get_socket(rec->evCtx) : -1;
    uint8_t peek;
    if (fd < 0 || (cond & (G_IO_ERR | G_IO_NVAL)) ||
        recv(fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
        eventLinkLost(tdx, rec);
        ToolManager_UnlockRegTools();
        return G_SOURCE_REMOVE;
    }
    if (!rec->mbCtx || !rec->mbConnected) {
        DBG_ERR("invalid status (%p/%d)", static_cast<void*>(rec->mbCtx), int(rec->mbConnected));
        // Read the frame and drop it, or the watch would fire again at once.
        ssize_t n = recv(fd, rec->frame, TOOL_FRAME_SIZE, MSG_DONTWAIT);
        DBG_ERR("event frame of tdx.%d dropped (%d bytes), data connection down", tdx, int(n));
        ToolManager_UnlockRegTools();
        return G_SOURCE_CONTINUE;
    }
    memset(rec->frame, 0, FASTEN_FRAME_DRIVER);
    int len = modbus_receive_confirmation(rec->evCtx, rec->frame);
    if (len < FASTEN_FRAME_MIN) {
        const char* err = len < 0 ? modbus_strerror(errno) : "short frame";
        modbus_flush(rec->evCtx);
        Debug_WriteLog(1, "%s.%d : invalid data len from tdx.%d, expect %d but %d, %s\n",
                       "fastening_event_cb", __LINE__, tdx, FASTEN_FRAME_DRIVER, len, err);
        ToolManager_UnlockRegTools();
        return G_SOURCE_CONTINUE;
    }
    len = Operation_NormaliseFrame(rec->frame, len, TOOL_FRAME_SIZE, rec->type);
    rec->frameLen = len;
    queueFrame(rec, tdx, rec->frame, len);
    if (get_setting_operation()->operation_mode == 1) { // "without job"
        if (fet_enable.load() & (1u << tdx)) add_fet_item(tdx, rec->frame, len);
    } else if (be16(rec->frame + 33) == FASTEN_STATUS_BARCODE) {
        char code[33];
        barcodeText(rec->frame, len, code);
        if (OperationSetBarcode set = barcodeSet.load()) set(code);
    }
    EwDriver_PushMsgQ_RecvBackupData(tdx);
    if (get_setting_share()->bef_enable) Bef_PushMsgQ(tdx, rec->frame, size_t(len));
    ToolManager_UnlockRegTools();
    return G_SOURCE_CONTINUE;
}
} // namespace

int Operation_Init() {
    std::lock_guard<std::mutex> g(fet.lock);
    fet.seq = 0;
    fet.writeIndex = 0;
    fet.items.clear();
    fet.items.reserve(FET_CAPACITY);
    return 0;
}

// ---- pure frame functions ----

int Operation_NormaliseFrame(uint8_t* frame, int len, size_t cap, uint8_t type) {
    if (!frame || len < FASTEN_FRAME_MIN) return -1;
    if (!isController(type) || len == FASTEN_FRAME_MIN) return len;
    int n = 0;
    while (n < 32 && FASTEN_BARCODE_OFFSET + 2 * n + 1 < len) {
        uint8_t c = frame[FASTEN_BARCODE_OFFSET + 2 * n + 1]; // low byte of register n
        if (!c) break;
        frame[FASTEN_BARCODE_OFFSET + n] = c; // never ahead of the bytes still to read
        ++n;
    }
    int newLen = FASTEN_BARCODE_OFFSET + n;
    int delta = newLen - len; // -64 + n for a full controller frame
    if (size_t(newLen) < cap) frame[newLen] = 0;
    frame[8] = uint8_t(frame[8] + delta);
    uint16_t l = uint16_t(be16(frame + 4) + delta);
    frame[4] = uint8_t(l >> 8);
    frame[5] = uint8_t(l);
    return newLen;
}

int Operation_DecodeFrame(const uint8_t* frame, int len, FastenEventRecord* out) {
    memset(out, 0, sizeof *out);
    if (!frame || len < FASTEN_FRAME_MIN) return -1;
    uint16_t v[13];
    decodeRegs(frame, v);
    uint16_t* f[13] = {&out->FastenTime, &out->Preset, &out->TargetTorque, &out->ConvTorque,
                       &out->Speed,      &out->A1,     &out->A2,           &out->A3,
                       &out->ScrewNo,    &out->Error,  &out->Direction,    &out->Status,
                       &out->Snug};
    for (int i = 0; i < 13; ++i)
        *f[i] = v[i];
    barcodeText(frame, len, out->Barcode);
    return 0;
}

uint16_t Operation_PendingEvents(uint16_t newest, uint16_t delivered, uint8_t type) {
    if (newest > delivered) return uint16_t(newest - delivered);
    if (newest == delivered) return 0;
    uint32_t m = isController(type) ? 100 : 65032;
    // A delivered count past the counter's range would wrap to a huge backlog.
    if (uint32_t(delivered) > m + newest) return 0;
    return uint16_t(m - delivered + newest);
}

// ---- event output per tool ----

int fastening_event_enable(int tdx, int skipStored) {
    ToolManager_LockRegTools();
    RegToolRecord* rec = CheckTdx(tdx, __func__, __LINE__) ? nullptr : ToolManager_RegTool(tdx);
    if (!rec || !rec->mbCtx || !rec->evCtx || !rec->evConnected) {
        // Without a receiving watch the tool's results would be sent into the void.
        if (rec) DBG_ERR("tdx.%d has no event connection", tdx);
        ToolManager_UnlockRegTools();
        return -1;
    }
    if (!rec->rxWatch) {
        rec->rxChannel = g_io_channel_unix_new(modbus_get_socket(rec->evCtx));
        rec->rxWatch = g_io_create_watch(rec->rxChannel,
                                         GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR | G_IO_NVAL));
        g_source_set_callback(rec->rxWatch, G_SOURCE_FUNC(fastening_event_cb), nullptr, nullptr);
        g_source_attach(rec->rxWatch, Threads_GetContext(LOOP_DATABACKUP));
    }
    int ret = Modbus_Write(tdx, MBUS_REG_EVENT_OUTPUT, skipStored ? 2 : 1, 0);
    ToolManager_UnlockRegTools();
    return ret;
}

int fastening_event_disable(int tdx) {
    ToolManager_LockRegTools();
    RegToolRecord* rec = CheckTdx(tdx, __func__, __LINE__) ? nullptr : ToolManager_RegTool(tdx);
    if (!rec) {
        ToolManager_UnlockRegTools();
        return -1;
    }
    ToolManager_TeardownRxWatch(rec);
    int ret = Modbus_Write(tdx, MBUS_REG_EVENT_OUTPUT, 0, 0);
    ToolManager_UnlockRegTools();
    return ret;
}

int Operation_TakeEvent(int tdx, FastenEventRecord* out) {
    ToolManager_LockRegTools();
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int ret = -1;
    memset(out, 0, sizeof *out);
    if (rec) {
        bool fresh = rec->evqCount > 0;
        if (fresh) {
            rec->evLast = rec->evq[rec->evqHead];
            rec->evqHead = (rec->evqHead + 1) % TOOL_EVENT_QUEUE_DEPTH;
            --rec->evqCount;
        }
        ret = Operation_DecodeFrame(rec->evLast.bytes, rec->evLast.len, out);
        // After a full ring dropped a frame, the surplus event finds nothing new: say so,
        // so the result is not counted twice.
        if (ret == 0 && !fresh) ret = 1;
    }
    ToolManager_UnlockRegTools();
    return ret;
}

int Operation_QueuedEvents(int tdx) {
    ToolManager_LockRegTools();
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int n = rec ? int(rec->evqCount) : 0;
    ToolManager_UnlockRegTools();
    return n;
}

int Operation_GetNoPendingEvent(int tdx) {
    if (tdx < 0) return 0;
    ToolManager_LockRegTools();
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int n = 0;
    if (rec && rec->mbCtx && rec->state == TOOL_STATE_CONNECTED &&
        Modbus_Read(tdx, MBUS_REG_EVENT_NEWEST, 2, 0) == MBUS_OK)
        n = Operation_PendingEvents(Modbus_GetData(tdx, MBUS_REG_EVENT_NEWEST),
                                    Modbus_GetData(tdx, MBUS_REG_EVENT_DELIVERED), rec->type);
    ToolManager_UnlockRegTools();
    return n;
}

// ---- fastening event table ----

int add_fet_item(int tdx, const uint8_t* frame, int len) {
    if (!frame || len < FASTEN_FRAME_MIN) return -1;
    FetItem item;
    memset(&item, 0, sizeof item);
    struct tm tm;
    Common_LocalTime(&tm);
    char when[64];
    snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    memcpy(item.time, when, sizeof item.time - 1);
    if (const char* name = ToolManager_GetToolName_ByTdx(tdx))
        snprintf(item.toolName, sizeof item.toolName, "%s", name);
    uint16_t v[13];
    decodeRegs(frame, v);
    uint16_t* f[13] = {&item.FastenTime, &item.Preset, &item.TargetTorque, &item.ConvTorque,
                       &item.Speed,      &item.A1,     &item.A2,           &item.A3,
                       &item.ScrewNo,    &item.Error,  &item.Direction,    &item.Status,
                       &item.Snug};
    for (int i = 0; i < 13; ++i)
        *f[i] = v[i];
    if (get_setting_operation()->barcode_if == 1) { // "remote": the tool's own text
        barcodeText(frame, len, item.barcode);
    } else if (OperationGetBarcode get = barcodeGet.load()) {
        get(item.barcode, sizeof item.barcode);
        item.barcode[32] = 0;
    }
    std::lock_guard<std::mutex> g(fet.lock);
    item.seq = ++fet.seq;
    if (fet.items.size() < FET_CAPACITY) {
        fet.items.push_back(item);
    } else {
        fet.items[fet.writeIndex] = item;
        fet.writeIndex = (fet.writeIndex + 1) % FET_CAPACITY;
    }
    return 0;
}

int get_fet_len() {
    std::lock_guard<std::mutex> g(fet.lock);
    return int(fet.items.size());
}

int get_fet_item(int index, FetItem* out) {
    std::lock_guard<std::mutex> g(fet.lock);
    if (index < 0 || index >= int(fet.items.size())) return -1;
    *out = fet.items[size_t(index)];
    return 0;
}

void clear_fet() {
    std::lock_guard<std::mutex> g(fet.lock);
    fet.seq = 0;
    fet.writeIndex = 0;
    std::vector<FetItem>().swap(fet.items);
    fet.items.reserve(FET_CAPACITY);
}

uint32_t fet_get_enable() {
    return fet_enable.load();
}
void fet_set_enable(uint32_t mask) {
    fet_enable.store(mask);
}

void Operation_SetBarcodeHooks(OperationSetBarcode setCurr, OperationGetBarcode getCurr) {
    barcodeSet.store(setCurr);
    barcodeGet.store(getCurr);
}
