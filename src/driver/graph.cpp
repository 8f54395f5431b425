#include "graph.h"

#include "debug.h"
#include "ew_driver.h"
#include "threads.h"
#include "tools_private.h"
#include "wire_util.h"

#include <cerrno>
#include <cstring>
#include <glib.h>
#include <modbus.h>
#include <mutex>
#include <sys/socket.h>

static_assert(GRAPH_FRAME_MAX == MODBUS_TCP_MAX_ADU_LENGTH, "a curve is one Modbus/TCP frame");
static_assert(GRAPH_FRAME_MAX <= GRAPH_HEADER_SIZE + 4 * GRAPH_SAMPLES_MAX, "");
static_assert(TOOL_CURVE_SIZE == GRAPH_FRAME_MAX, "the record keeps the largest curve");
static_assert(TOOL_FRAME_SIZE >= GRAPH_FRAME_MAX, "a curve is received whole");

std::atomic<int> Graph_EnableTrigger_RefCnt{0};

GraphFrameVerdict Graph_CheckFrame(const uint8_t* frame, int len, GraphFrameInfo* info, int cap) {
    if (info) *info = GraphFrameInfo{};
    if (len == GRAPH_ACK_LEN) return GRAPH_FRAME_TRIGGER_ACK;
    if (!frame || len < GRAPH_HEADER_SIZE) return GRAPH_FRAME_SHORT;
    GraphFrameInfo fi;
    fi.ch1 = be16(frame + GRAPH_OFF_CH1);
    fi.ch2 = be16(frame + GRAPH_OFF_CH2);
    fi.n = be16(frame + GRAPH_OFF_N);
    fi.channels = fi.ch2 ? 2 : 1;
    if (info) *info = fi;
    if (fi.n > GRAPH_SAMPLES_MAX) return GRAPH_FRAME_TOO_BIG;
    if (len != GRAPH_HEADER_SIZE + 2 * fi.channels * fi.n) return GRAPH_FRAME_MISMATCH;
    if (len > cap) return GRAPH_FRAME_OVERSIZE;
    return GRAPH_FRAME_OK;
}

namespace {
const uint8_t kTriggerRequest[6] = {0xFF, 0x06, 0x10, 0x04, 0x00, 0x01}; // 4100 := 1

bool dataUp(const RegToolRecord* rec) {
    return rec->mbConn && rec->mbConn->connected && !rec->mbConn->dropped;
}

void logInvalidStatus(const char* fn, int line, const RegToolRecord* rec) {
    Debug_WriteLog(1, "%s.%d : invalid status (%p/%d)", fn, line,
                   rec->mbConn ? static_cast<void*>(rec->mbConn->ctx) : nullptr,
                   rec->mbConn ? int(rec->mbConn->connected.load()) : 0);
}

// Takes the curve watch out of the slot and brings a parked event watch back. Lock held.
void removeGraphWatch(int tdx, RegToolRecord* rec) {
    if (!rec->rxGraph) return;
    const bool resume = rec->evParked;
    ToolManager_TeardownRxWatch(rec);
    if (resume) Operation_ResumeEventWatch_Locked(tdx, rec);
}

enum class CurveRx { Frame, Lost, Skip, Gone, Error };

// One frame from the data connection under its own lock: a screen's transaction on the
// same connection finishes first and takes its own answer, so what is left is ours.
CurveRx receiveFrame(ToolConn* mb, GSource* watch, GIOCondition cond, uint8_t* frame, int* len) {
    std::lock_guard<std::mutex> cl(mb->lock);
    if (g_source_is_destroyed(watch)) return CurveRx::Gone;
    int fd = ToolConn_Fd(mb);
    uint8_t peek;
    ssize_t peeked = fd < 0 ? -1 : recv(fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && fd >= 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) &&
        !(cond & (G_IO_ERR | G_IO_NVAL)) && !mb->dropped)
        return CurveRx::Skip; // a transaction's answer, taken by the transaction
    if (mb->dropped || fd < 0 || (cond & (G_IO_ERR | G_IO_NVAL)) || peeked <= 0)
        return CurveRx::Lost;
    *len = modbus_receive_confirmation(mb->ctx, frame);
    if (*len < 0) {
        DBG_ERR_AS("Graph_RecvCB", "fail to recv trigger event (%s)", modbus_strerror(errno));
        modbus_flush(mb->ctx); // the rest of a frame it could not take
        return CurveRx::Error;
    }
    return CurveRx::Frame;
}

gboolean Graph_RecvCB(GIOChannel*, GIOCondition cond, gpointer) {
    ToolConnRef mb;
    int tdx;
    {
        RegToolsLock g;
        tdx = ToolManager_TdxOfCurrentWatch_Unlocked();
        DBG_LOG(DEBUG_FLAG_MODBUS, "trigger event by tdx.%d", tdx);
        if (CheckTdx(tdx, __func__, __LINE__)) return G_SOURCE_REMOVE;
        mb = ToolConnRef(ToolManager_RegTool(tdx)->mbConn);
    }
    uint8_t frame[TOOL_FRAME_SIZE] = {};
    int len = 0;
    CurveRx rx =
        mb ? receiveFrame(mb.get(), g_main_current_source(), cond, frame, &len) : CurveRx::Lost;
    if (rx == CurveRx::Skip || rx == CurveRx::Error) return G_SOURCE_CONTINUE;
    if (rx == CurveRx::Gone) return G_SOURCE_REMOVE;
    RegToolsLock g;
    tdx = ToolManager_TdxOfCurrentWatch_Unlocked(); // found again: the table may have changed
                                                    // meanwhile
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    if (!rec || rec->mbConn != mb.get()) return G_SOURCE_REMOVE; // dismissed or released
    if (rx == CurveRx::Lost) {
        // The tool closed its data connection: nothing more comes on it, and every
        // transaction would fail. Dismissed, it comes back through discovery.
        DBG_ERR_AS("Graph_RecvCB", "data connection of tdx.%d closed by the tool", tdx);
        ToolManager_DismissTool_ByTdx(tdx, 0);
        return G_SOURCE_REMOVE;
    }
    DBG_LOG(DEBUG_FLAG_MODBUS, "success to recv trigger event");
    GraphFrameInfo fi;
    GraphFrameVerdict verdict = Graph_CheckFrame(frame, len, &fi);
    if (verdict == GRAPH_FRAME_TRIGGER_ACK) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "event is trigger enable response");
        Graph_EnableTrigger_RefCnt.store(0);
        return G_SOURCE_CONTINUE;
    }
    DBG_LOG(DEBUG_FLAG_MODBUS, "event is trigger data (%d)", len);
    switch (verdict) {
    case GRAPH_FRAME_SHORT:
        DBG_ERR("event len too short (%d)", len);
        return G_SOURCE_CONTINUE;
    case GRAPH_FRAME_TOO_BIG:
        DBG_ERR("graph data too big (%d)", fi.n);
        return G_SOURCE_CONTINUE;
    case GRAPH_FRAME_MISMATCH:
        DBG_ERR("graph data len mismatch (%d, %d)", len, fi.n);
        return G_SOURCE_CONTINUE;
    case GRAPH_FRAME_OVERSIZE:
        DBG_ERR("graph data longer than its buffer (%d, %d)", len, GRAPH_FRAME_MAX);
        return G_SOURCE_CONTINUE;
    default:
        break;
    }
    memcpy(rec->curve, frame, size_t(len));
    rec->curveLen = len;
    EwDriver_PushMsgQ_RecvGraphData(tdx);
    return G_SOURCE_CONTINUE;
}
} // namespace

int Modbus_WriteRaw_EnableGraphTrigger(int tdx) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "tdx.%d", tdx);
    ToolConnRef mb;
    {
        RegToolsLock g;
        if (CheckTdx(tdx, __func__, __LINE__)) return 2;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        if (!dataUp(rec)) return 3;
        if (Graph_EnableTrigger_RefCnt.load() > 2) {
            DBG_ERR("Fail to enable graph triggger");
            // The requests outstanding were this tool's: the next tool starts from none.
            Graph_EnableTrigger_RefCnt.store(0);
            ToolManager_DismissTool_ByTdx(tdx, 0);
            return 0;
        }
        Graph_EnableTrigger_RefCnt.fetch_add(1);
        mb = ToolConnRef(rec->mbConn);
    }
    std::lock_guard<std::mutex> cl(mb->lock);
    if (!mb->dropped && modbus_send_raw_request(mb->ctx, kTriggerRequest, 6) < 0)
        DBG_ERR("fail to send trigger request to tdx.%d (%s)", tdx, modbus_strerror(errno));
    return 0;
}

int Graph_EnableCB_ByTdx(int tdx) {
    RegToolsLock g;
    if (CheckTdx(tdx, __func__, __LINE__)) return 2;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int fd = dataUp(rec) ? ToolConn_Fd(rec->mbConn) : -1;
    if (fd < 0) {
        logInvalidStatus(__func__, __LINE__, rec);
        return 3;
    }
    // One slot: whatever runs there goes first, so no watch is left unreferenced. An
    // event watch is parked, to come back when the curve watch goes.
    const bool park = rec->rxWatch && (!rec->rxGraph || rec->evParked);
    ToolManager_TeardownRxWatch(rec);
    rec->rxChannel = g_io_channel_unix_new(fd);
    rec->rxWatch =
        g_io_create_watch(rec->rxChannel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR | G_IO_NVAL));
    g_source_set_callback(rec->rxWatch, G_SOURCE_FUNC(Graph_RecvCB), nullptr, nullptr);
    g_source_set_can_recurse(rec->rxWatch, TRUE); // as the event watch (operation.cpp)
    g_source_attach(rec->rxWatch, Threads_GetContext(LOOP_GRAPH));
    rec->rxGraph = 1;
    rec->evParked = park;
    return 0;
}

int Graph_DisableCB_ByTdx(int tdx) {
    RegToolsLock g;
    if (CheckTdx(tdx, __func__, __LINE__)) return 2;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    if (!dataUp(rec)) {
        logInvalidStatus(__func__, __LINE__, rec);
        return 3;
    }
    removeGraphWatch(tdx, rec);
    return 0;
}

void Graph_DisableCB_All() {
    RegToolsLock g;
    for (int i = 0; i < ToolManager_RegToolsLen_Unlocked(); ++i)
        if (RegToolRecord* rec = ToolManager_RegTool(i)) removeGraphWatch(i, rec);
}

int Graph_GetFrame(int tdx, GraphFrameCopy* out) {
    *out = GraphFrameCopy{};
    RegToolsLock g;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    if (!rec || rec->curveLen <= 0 ||
        Graph_CheckFrame(rec->curve, rec->curveLen, &out->info) != GRAPH_FRAME_OK)
        return -1;
    memcpy(out->bytes, rec->curve, size_t(rec->curveLen));
    out->len = rec->curveLen;
    out->torqueUnit = rec->torqueUnit;
    out->torqueMin = rec->torqueMin;
    return 0;
}

uint16_t Graph_Field(const GraphFrameCopy* f, int offset) {
    if (!f || offset < 0 || offset + 2 > f->len) return 0;
    return be16(f->bytes + offset);
}

int16_t Graph_Sample(const GraphFrameCopy* f, int channel, int i) {
    if (!f || i < 0 || i >= f->info.n || channel < 1 || channel > f->info.channels) return 0;
    return int16_t(Graph_Field(f, GRAPH_HEADER_SIZE + 2 * ((channel - 1) * f->info.n + i)));
}
