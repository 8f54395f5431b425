#include "operation.h"

#include "bef.h"
#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "mbus.h"
#include "setting.h"
#include "threads.h"
#include "tools_private.h"
#include "wire_util.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glib.h>
#include <modbus.h>
#include <mutex>
#include <poll.h>
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
std::atomic<OperationToolErrorHook> toolErrorHook{nullptr};

void barcodeText(const uint8_t* frame, int len, char out[33]) {
    int n = 0;
    while (n < 32 && FASTEN_BARCODE_OFFSET + n < len && frame[FASTEN_BARCODE_OFFSET + n]) {
        out[n] = char(frame[FASTEN_BARCODE_OFFSET + n]);
        ++n;
    }
    out[n] = 0;
}

// A watch parked by the curve watch while it was receiving: the frame it read is still
// the tool's result. Lock held; -1 when none.
int tdxOfParkedWatch(const ToolConn* ev) {
    for (int i = 0; i < ToolManager_RegToolsLen_Unlocked(); ++i) {
        RegToolRecord* rec = ToolManager_RegTool(i);
        if (rec && rec->evConn == ev && rec->rxGraph && rec->evParked) return i;
    }
    return -1;
}

// The peer closed the event connection (or it failed): drop it so the tool is retried at its
// next discovery answer (state 4), instead of the watch firing on end-of-file forever.
// Registered-table lock held.
void eventLinkLost(int tdx, RegToolRecord* rec) {
    DBG_ERR_AS("fastening_event_cb", "event connection of tdx.%d closed by the tool", tdx);
    ToolManager_TeardownEventWatch(rec);
    ToolConn_Drop(&rec->evConn);
    if (rec->state == TOOL_STATE_CONNECTED)
        ToolManager_SetState_Locked(tdx, rec, TOOL_STATE_HALF, true);
}

// Unread frames whose "fastening" reached no screen (it went away meanwhile) would
// otherwise be taken by the next screen's events, each one result late. A "fastening"
// still on its way then finds a newer frame or nothing (not fresh). Lock held.
void dropUnread(RegToolRecord* rec, int tdx) {
    if (rec->evqCount)
        DBG_LOG(DEBUG_FLAG_EWEVENT, "tdx.%d: %u unread result(s) dropped", tdx,
                unsigned(rec->evqCount));
    rec->evqHead = 0;
    rec->evqCount = 0;
}

// Reads and drops the whole frames waiting on an event connection whose output was
// turned off: the tool sent them before, keeps those results stored, and sends them
// again first (4015 := 1) or drops them (4015 := 2). Holds ev->lock.
void dropSentBeforeOff(ToolConn* ev, int tdx) {
    const int fd = ToolConn_Fd(ev);
    int frames = 0;
    uint8_t frame[TOOL_FRAME_SIZE];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        uint8_t peek;
        if (fd < 0 || poll(&p, 1, 0) != 1 || !(p.revents & POLLIN) ||
            recv(fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT) != 1)
            break; // nothing left, or end of file (the watch sees that)
        if (modbus_receive_confirmation(ev->ctx, frame) < 0) {
            modbus_flush(ev->ctx);
            break;
        }
        ++frames;
    }
    if (frames)
        DBG_LOG(DEBUG_FLAG_EWEVENT, "tdx.%d: %d frame(s) sent before event output went off dropped",
                tdx, frames);
}

void queueFrame(RegToolRecord* rec, int tdx, const uint8_t* frame, int len) {
    if (rec->evqCount == TOOL_EVENT_QUEUE_DEPTH) {
        DBG_ERR_AS("fastening_event_cb", "event queue of tdx.%d full, oldest result dropped", tdx);
        rec->evqHead = (rec->evqHead + 1) % TOOL_EVENT_QUEUE_DEPTH;
        --rec->evqCount;
    }
    ToolEventFrame& slot = rec->evq[(rec->evqHead + rec->evqCount) % TOOL_EVENT_QUEUE_DEPTH];
    slot.len = uint16_t(len);
    memcpy(slot.bytes, frame, size_t(len));
    ++rec->evqCount;
}

// What the receive step saw.
enum class Rx { Frame, Lost, Skip, Gone };

// Receives one frame from the event connection under its own lock (not the registry's:
// a tool that sends slowly holds up nobody else). `dataUp` is the data connection state.
Rx receiveFrame(ToolConn* ev, GSource* watch, GIOCondition cond, bool dataUp, void* dataCtx,
                int tdx, uint8_t* frame, int* len) {
    std::lock_guard<std::mutex> cl(ev->lock);
    // Torn down while we waited (output turned off): what is there now belongs to no
    // screen, and the next watch's start drops it.
    if (g_source_is_destroyed(watch)) return Rx::Gone;
    int fd = ToolConn_Fd(ev);
    uint8_t peek;
    ssize_t peeked = fd < 0 ? -1 : recv(fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && fd >= 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) &&
        !(cond & (G_IO_ERR | G_IO_NVAL)) && !ev->dropped)
        return Rx::Skip; // taken meanwhile (a new watch's start dropped it): nothing to wait for
    if (ev->dropped || fd < 0 || (cond & (G_IO_ERR | G_IO_NVAL)) || peeked <= 0) return Rx::Lost;
    if (!dataUp) {
        DBG_ERR_AS("fastening_event_cb", "invalid status (%p/%d)", dataCtx, 0);
        // Read the frame and drop it, or the watch would fire again at once.
        ssize_t n = recv(fd, frame, TOOL_FRAME_SIZE, MSG_DONTWAIT);
        DBG_ERR_AS("fastening_event_cb",
                   "event frame of tdx.%d dropped (%d bytes), data connection down", tdx, int(n));
        return Rx::Skip;
    }
    *len = modbus_receive_confirmation(ev->ctx, frame);
    if (*len < FASTEN_FRAME_MIN) {
        const char* err = *len < 0 ? modbus_strerror(errno) : "short frame";
        modbus_flush(ev->ctx);
        DBG_ERR_AS("fastening_event_cb", "invalid data len from tdx.%d, expect %d but %d, %s\n",
                   tdx, FASTEN_FRAME_DRIVER, *len, err);
        return Rx::Skip;
    }
    return Rx::Frame;
}

gboolean fastening_event_cb(GIOChannel*, GIOCondition cond, gpointer) {
    ToolConnRef ev;
    int tdx;
    uint8_t type;
    bool dataUp;
    void* dataCtx;
    {
        RegToolsLock g;
        tdx = ToolManager_TdxOfCurrentWatch_Unlocked();
        if (CheckTdx(tdx, "fastening_event_cb", __LINE__)) return G_SOURCE_REMOVE;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        ev = ToolConnRef(rec->evConn);
        type = rec->type;
        dataUp = rec->mbConn && rec->mbConn->connected;
        dataCtx = rec->mbConn ? static_cast<void*>(rec->mbConn->ctx) : nullptr;
    }
    uint8_t frame[TOOL_FRAME_SIZE] = {};
    int len = 0;
    Rx rx = ev ? receiveFrame(ev.get(), g_main_current_source(), cond, dataUp, dataCtx, tdx, frame,
                              &len)
               : Rx::Lost;
    if (rx == Rx::Skip) return G_SOURCE_CONTINUE;
    if (rx == Rx::Gone) return G_SOURCE_REMOVE;
    RegToolsLock g;
    tdx = ToolManager_TdxOfCurrentWatch_Unlocked(); // found again: the table may have changed
                                                    // meanwhile
    const bool parked = tdx < 0 && (tdx = tdxOfParkedWatch(ev.get())) >= 0;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    if (!rec || rec->evConn != ev.get()) return G_SOURCE_REMOVE; // dismissed or released
    if (rx == Rx::Lost) {
        eventLinkLost(tdx, rec);
        return G_SOURCE_REMOVE;
    }
    len = Operation_NormaliseFrame(frame, len, TOOL_FRAME_SIZE, type);
    memcpy(rec->frame, frame, TOOL_FRAME_SIZE);
    rec->frameLen = len;
    queueFrame(rec, tdx, frame, len);
    if (get_setting_operation()->operation_mode == 1) { // "without job"
        if (fet_enable.load() & (1u << tdx)) add_fet_item(tdx, frame, len);
    } else if (be16(frame + 33) == FASTEN_STATUS_BARCODE) {
        char code[33];
        barcodeText(frame, len, code);
        if (OperationSetBarcode set = barcodeSet.load()) set(code);
    }
    const uint16_t status = be16(frame + 33), error = be16(frame + 29);
    if (error && (status == 1 || status == 2))
        if (OperationToolErrorHook hook = toolErrorHook.load()) hook(tdx, error);
    EwDriver_PushMsgQ_RecvBackupData(tdx);
    if (get_setting_share()->bef_enable) Bef_PushMsgQ(tdx, frame, size_t(len));
    return parked ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

void installEventWatch(RegToolRecord* rec, int fd) {
    rec->rxChannel = g_io_channel_unix_new(fd);
    rec->rxWatch =
        g_io_create_watch(rec->rxChannel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR | G_IO_NVAL));
    g_source_set_callback(rec->rxWatch, G_SOURCE_FUNC(fastening_event_cb), nullptr, nullptr);
    // The callback never runs the loop itself. Without this GLib takes the socket out of
    // the poll set around every dispatch and wakes the loop twice for it.
    g_source_set_can_recurse(rec->rxWatch, TRUE);
    g_source_attach(rec->rxWatch, Threads_GetContext(LOOP_DATABACKUP));
}
} // namespace

void Operation_ResumeEventWatch_Locked(int tdx, RegToolRecord* rec) {
    ToolConn* ev = rec->evConn;
    int fd = ev && ev->connected && !ev->dropped ? ToolConn_Fd(ev) : -1;
    if (rec->rxWatch || fd < 0) return;
    DBG_LOG(DEBUG_FLAG_EWEVENT, "tdx.%d: event watch resumed", tdx);
    installEventWatch(rec, fd);
}

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

int Operation_DecodeFrame(const uint8_t* frame, int len, FastenResult* out) {
    *out = FastenResult{};
    if (!frame || len < FASTEN_FRAME_MIN) return -1;
    out->EventNo = be16(frame + 9);
    for (int i = 0; i < 13; ++i) // registers 1..13 start at byte 11
        out->*kFastenResultRegs[i] = be16(frame + 11 + 2 * i);
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
    ToolConnRef ev; // set when a new watch is to start on it
    {
        RegToolsLock g;
        RegToolRecord* rec = CheckTdx(tdx, __func__, __LINE__) ? nullptr : ToolManager_RegTool(tdx);
        int fd = rec && rec->mbConn && rec->evConn && rec->evConn->connected
                     ? ToolConn_Fd(rec->evConn)
                     : -1;
        if (fd < 0) {
            // Without a receiving watch the tool's results would be sent into the void.
            if (rec) DBG_ERR("tdx.%d has no event connection", tdx);
            return -1;
        }
        // A running watch stays: its frames are results for the screen asking now. Behind
        // a curve watch the event watch is parked, to start when the curve watch goes.
        if (!rec->rxWatch || (rec->rxGraph && !rec->evParked)) ev = ToolConnRef(rec->evConn);
    }
    if (ev) {
        // Connection lock before the table's, as the receiver takes them.
        std::lock_guard<std::mutex> cl(ev->lock);
        if (ev->outputOff.exchange(false)) dropSentBeforeOff(ev.get(), tdx);
        RegToolsLock g;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        if (!rec || rec->evConn != ev.get()) {
            DBG_ERR("tdx.%d lost its event connection", tdx); // renewed: its "connected" follows
            return -1;
        }
        if (rec->rxGraph && !rec->evParked) {
            dropUnread(rec, tdx);
            rec->evParked = 1;
        } else if (!rec->rxWatch) {
            dropUnread(rec, tdx); // left by an earlier connection or screen
            installEventWatch(rec, ToolConn_Fd(ev.get()));
        }
    }
    return Modbus_Write(tdx, MBUS_REG_EVENT_OUTPUT, skipStored ? 2 : 1, 1);
}

int fastening_event_disable(int tdx) {
    ToolConnRef ev;
    {
        RegToolsLock g;
        RegToolRecord* rec = CheckTdx(tdx, __func__, __LINE__) ? nullptr : ToolManager_RegTool(tdx);
        if (!rec) return -1;
        ToolManager_TeardownEventWatch(rec);
        dropUnread(rec, tdx);
        ev = ToolConnRef(rec->evConn);
    }
    int ret = Modbus_Write(tdx, MBUS_REG_EVENT_OUTPUT, 0, 1);
    // Only a tool that took the write has stopped sending; otherwise what arrives is new.
    if (ret == MBUS_OK && ev) ev->outputOff = true;
    return ret;
}

int Operation_TakeEvent(int tdx, FastenResult* out) {
    RegToolsLock g;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int ret = -1;
    *out = FastenResult{};
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
    return ret;
}

int Operation_QueuedEvents(int tdx) {
    RegToolsLock g;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    return rec ? int(rec->evqCount) : 0;
}

int Operation_GetNoPendingEvent(int tdx) {
    if (tdx < 0) return 0;
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0 || v.state != TOOL_STATE_CONNECTED ||
        Modbus_Read(tdx, MBUS_REG_EVENT_NEWEST, 2, 1) != MBUS_OK)
        return 0;
    uint16_t counters[2]; // newest and delivered, from one read
    if (Modbus_GetBlock(tdx, MBUS_REG_EVENT_NEWEST, 2, counters) != 0) return 0;
    return Operation_PendingEvents(counters[0], counters[1], v.type);
}

// ---- fastening event table ----

int add_fet_item(int tdx, const uint8_t* frame, int len) {
    if (!frame || len < FASTEN_FRAME_MIN) return -1;
    FetItem item;
    Operation_DecodeFrame(frame, len, &item); // the tool's own barcode text
    struct tm tm;
    Common_LocalTime(&tm);
    char when[64];
    snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    memcpy(item.time, when, sizeof item.time - 1);
    if (const char* name = ToolManager_GetToolName_ByTdx(tdx))
        snprintf(item.toolName, sizeof item.toolName, "%s", name);
    if (get_setting_operation()->barcode_if != 1) { // not "remote": the reader's code
        memset(item.Barcode, 0, sizeof item.Barcode);
        if (OperationGetBarcode get = barcodeGet.load()) {
            get(item.Barcode, sizeof item.Barcode);
            item.Barcode[32] = 0;
        }
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

void Operation_SetToolErrorHook(OperationToolErrorHook hook) {
    toolErrorHook.store(hook);
}

void Operation_SetBarcodeHooks(OperationSetBarcode setCurr, OperationGetBarcode getCurr) {
    barcodeSet.store(setCurr);
    barcodeGet.store(getCurr);
}
