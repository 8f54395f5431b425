#include "mbus.h"

#include "debug.h"
#include "ew_driver.h"
#include "threads.h"
#include "tools.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
struct ConnectMsg {
    uint32_t kind; // 0 = connect
    uint32_t tdx;
    uint8_t hasMac;
    uint8_t mac[6];
};
struct ModbusState {
    std::atomic<WorkQueue*> modbus_MsgQ{nullptr};
    std::atomic<int> screenCode{0};
    bool setupAdded = false;
};
ModbusState mbus;
// Register mirror: written under the registered-table lock, read without it.
std::atomic<uint16_t> mBusReadBuf[TOOL_MAX_REG][MBUS_MIRROR_REGS];

#define IP4(ip)                                                                                    \
    int((ip) >> 24 & 0xff), int((ip) >> 16 & 0xff), int((ip) >> 8 & 0xff), int((ip)&0xff)

void clearMirror(int tdx, int addr, int count) {
    for (int i = 0; i < count; ++i)
        mBusReadBuf[tdx][addr + i].store(0, std::memory_order_relaxed);
}

bool isController(uint8_t type) {
    return type == TOOL_TYPE_XWC || type == TOOL_TYPE_XWTC;
}

int readOnce(modbus_t* ctx, int addr, int count, uint16_t* out) {
    if (addr >= 3000 && addr <= 4999) return modbus_read_input_registers(ctx, addr, count, out);
    return modbus_read_registers(ctx, addr, count, out);
}

void connectHandler(void* item) {
    auto* msg = static_cast<ConnectMsg*>(item);
    if (msg->kind == 0)
        Modbus_MsgQProc_ConnectTool(int(msg->tdx), msg->hasMac ? msg->mac : nullptr);
    free(msg);
}
} // namespace

void Modbus_Init() {
    if (mbus.setupAdded) return;
    mbus.setupAdded = true;
    Threads_AddSetup(LOOP_MODBUS, [] {
        Modbus_SetMsgQ(WorkQueue_New(Threads_GetContext(LOOP_MODBUS), connectHandler));
    });
}

void Modbus_SetMsgQ(WorkQueue* queue) {
    mbus.modbus_MsgQ.store(queue);
}
WorkQueue* Modbus_GetMsgQ() {
    return mbus.modbus_MsgQ.load();
}

int Modbus_MsgQ_Push_Connect(int tdx, const uint8_t* mac) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "Push connect msg");
    WorkQueue* q = mbus.modbus_MsgQ.load();
    auto* msg = static_cast<ConnectMsg*>(calloc(1, sizeof(ConnectMsg))); // freed by the worker
    if (!msg) abort();
    msg->kind = 0;
    msg->tdx = uint32_t(tdx);
    if (mac) {
        msg->hasMac = 1;
        memcpy(msg->mac, mac, 6);
    }
    if (!q || WorkQueue_Push(q, msg) != 0) {
        DBG_ERR("no connect queue, request for tdx.%d dropped", tdx);
        free(msg);
        return -1;
    }
    return 0;
}

void Modbus_SetScreenCode(int code) {
    mbus.screenCode.store(code);
}
int Modbus_GetScreenCode() {
    return mbus.screenCode.load();
}

int CheckMbusAddr(int addr, int count, const char* caller, int line) {
    if (addr >= 0 && count >= 0 && addr + count <= MBUS_MIRROR_REGS) return 0;
    Debug_WriteLog(1, "%s.%d : addr out of range, %d-%d", caller ? caller : "?", line, addr, count);
    return 1;
}

modbus_t* Modbus_NewCtx(uint32_t ip, uint16_t port) {
    char ipText[20];
    snprintf(ipText, sizeof ipText, "%d.%d.%d.%d", IP4(ip));
    modbus_t* ctx = modbus_new_tcp(ipText, port);
    if (!ctx) return nullptr;
    // Protocol recovery only: with link recovery on, libmodbus retries a failed send to a
    // dead tool without end while the registered-table lock is held. The link has its own
    // rule instead: one retry, then the tool is dismissed.
    modbus_set_error_recovery(ctx, MODBUS_ERROR_RECOVERY_PROTOCOL);
    modbus_set_response_timeout(ctx, 1, 0);
    modbus_set_debug(ctx, FALSE);
    modbus_set_slave(ctx, MBUS_UNIT_ID);
    return ctx;
}

int Modbus_ConnectTimeout(modbus_t* ctx, uint32_t ip, uint16_t port, int timeoutMs) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(ip);
    sa.sin_port = htons(port);
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        do
            rc = poll(&p, 1, timeoutMs);
        while (rc < 0 && errno == EINTR);
        if (rc == 0) {
            errno = ETIMEDOUT;
            rc = -1;
        } else if (rc > 0) {
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            errno = err;
            rc = err ? -1 : 0;
        }
    }
    if (rc < 0) {
        int e = errno;
        close(fd);
        // The caller's line says which link; this one says where and why.
        DBG_LOG(DEBUG_FLAG_MODBUS, "connect to %d.%d.%d.%d:%d fail, %s", IP4(ip), port,
                strerror(e));
        errno = e;
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK); // libmodbus waits with select on a blocking fd
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    modbus_close(ctx); // a context keeps one socket
    modbus_set_socket(ctx, fd);
    return 0;
}

void Modbus_MsgQProc_Connect(int tdx) {
    Modbus_MsgQProc_ConnectTool(tdx, nullptr);
}

void Modbus_MsgQProc_ConnectTool(int tdx, const uint8_t* mac) {
    ToolManager_LockRegTools();
    if (mac) {
        int now = ToolManager_FindRegTdx_ByMac_Unlocked(mac);
        if (now < 0) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "connect request for a released tool (tdx.%d) dropped", tdx);
            ToolManager_UnlockRegTools();
            return;
        }
        tdx = now;
    }
    if (CheckTdx(tdx, "Modbus_MsgQProc_Connect", __LINE__)) {
        ToolManager_UnlockRegTools();
        return;
    }
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    DBG_LOG(DEBUG_FLAG_MODBUS, "Tdx.%d, %d.%d.%d.%d:%d", tdx, IP4(rec->ip), rec->port);
    if (!rec->mbCtx) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "Create new ctx for mbus");
        rec->mbCtx = Modbus_NewCtx(rec->ip, rec->port);
        rec->mbConnected = 0;
    }
    if (rec->mbCtx && !rec->mbConnected) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "Establish a Modbus connection");
        if (Modbus_ConnectTimeout(rec->mbCtx, rec->ip, rec->port, MBUS_CONNECT_TIMEOUT_MS) != 0) {
            rec->mbConnected = 0;
            DBG_ERR("Failed to connect (modbus)");
        } else {
            rec->mbConnected = 1;
            int code = Modbus_GetScreenCode();
            int lockValue =
                (code == SCREEN_CODE_OP_WITHOUT_JOB || code == SCREEN_CODE_MONITOR) ? 0 : 1;
            DBG_LOG(DEBUG_FLAG_MODBUS, "Lock control %d", lockValue);
            bool ctl = isController(rec->type);
            Modbus_Write(tdx, MBUS_REG_TOOL_LOCK, uint16_t(lockValue), 0);
            Modbus_Write(tdx, ctl ? MBUS_REG_AUTO_DATA_OUT_CTL : MBUS_REG_AUTO_DATA_OUT_DRV, 0, 0);
            Modbus_Write(tdx, MBUS_REG_GRAPH_TRIGGER, 0, 0);
            Modbus_Write(tdx, MBUS_REG_EVENT_OUTPUT, 0, 0);
            int unitReg = ctl ? MBUS_REG_TORQUE_UNIT_CTL : MBUS_REG_TORQUE_UNIT_DRV;
            if (Modbus_Read(tdx, unitReg, 1, 0) == 0)
                rec->torqueUnit = Modbus_GetData(tdx, unitReg);
            if (Modbus_Read(tdx, MBUS_REG_TORQUE_MIN, 1, 0) == 0)
                rec->torqueMin = Modbus_GetData(tdx, MBUS_REG_TORQUE_MIN);
            if (Modbus_Read(tdx, MBUS_REG_TORQUE_MAX, 1, 0) == 0)
                rec->torqueMax = Modbus_GetData(tdx, MBUS_REG_TORQUE_MAX);
            if (!rec->mbCtx) { // dismissed by a failed start-up transaction; it posted state 0
                ToolManager_UnlockRegTools();
                return;
            }
        }
    }
    if (!rec->evCtx) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "Create new ctx for event");
        rec->evCtx = Modbus_NewCtx(rec->ip, uint16_t(rec->port + 1));
        rec->evConnected = 0;
    }
    if (rec->evCtx && !rec->evConnected) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "Establish a Event connection");
        if (Modbus_ConnectTimeout(rec->evCtx, rec->ip, uint16_t(rec->port + 1),
                                  MBUS_CONNECT_TIMEOUT_MS) != 0) {
            rec->evConnected = 0;
            DBG_ERR("Failed to connect (event)");
        } else {
            rec->evConnected = 1;
        }
    }
    uint32_t state = (rec->mbConnected && rec->evConnected)     ? TOOL_STATE_CONNECTED
                     : (!rec->mbConnected && !rec->evConnected) ? TOOL_STATE_FAILED
                                                                : TOOL_STATE_HALF;
    rec->state = state;
    DBG_LOG(DEBUG_FLAG_MODBUS, "Notify to EwGUI");
    // Posted before unlocking: a release right after must not renumber the tool under it.
    EwDriver_PushMsgQ_UpdateRegTools(tdx, int32_t(state));
    ToolManager_UnlockRegTools();
}

int Modbus_Read(int tdx, int addr, int count, int lock) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "%d.%d-%d", tdx, addr, count);
    if (lock) ToolManager_LockRegTools();
    int ret = MBUS_OK;
    RegToolRecord* rec = nullptr;
    uint16_t buf[MBUS_MIRROR_REGS];
    if (CheckTdx(tdx, __func__, __LINE__)) {
        ret = MBUS_ERR_TDX;
    } else if (CheckMbusAddr(addr, count, __func__, __LINE__)) {
        ret = MBUS_ERR_RANGE;
    } else if (rec = ToolManager_RegTool(tdx), !rec->mbCtx || !rec->mbConnected) {
        clearMirror(tdx, addr, count);
        ret = MBUS_ERR_NOT_CONNECTED;
    } else if (count > 0) {
        int n = readOnce(rec->mbCtx, addr, count, buf);
        if (n < count) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "failed to read (%s), %d.%d-%d, do retry",
                    modbus_strerror(errno), tdx, addr, count);
            modbus_flush(rec->mbCtx); // a late answer must not pass for the retry's
            n = readOnce(rec->mbCtx, addr, count, buf);
        }
        if (n < count) {
            DBG_ERR("failed to read (%s), %d.%d-%d", modbus_strerror(errno), tdx, addr, count);
            clearMirror(tdx, addr, count);
            ToolManager_DismissTool_ByTdx(tdx, 0);
            ret = MBUS_ERR_DISMISSED;
        } else {
            for (int i = 0; i < count; ++i)
                mBusReadBuf[tdx][addr + i].store(buf[i], std::memory_order_relaxed);
        }
    }
    if (lock) ToolManager_UnlockRegTools();
    return ret;
}

int Modbus_Write(int tdx, int addr, uint16_t value, int lock) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "%d.%d-%d", tdx, addr, value);
    if (lock) ToolManager_LockRegTools();
    int ret = MBUS_OK;
    RegToolRecord* rec = nullptr;
    if (CheckTdx(tdx, __func__, __LINE__)) {
        ret = MBUS_ERR_TDX;
    } else if (rec = ToolManager_RegTool(tdx), !rec->mbCtx || !rec->mbConnected) {
        ret = MBUS_ERR_NOT_CONNECTED;
    } else if (modbus_write_register(rec->mbCtx, addr, value) != 1) {
        DBG_LOG(DEBUG_FLAG_MODBUS, "failed to write (%s), %d.%d-%d, do retry",
                modbus_strerror(errno), tdx, addr, value);
        modbus_flush(rec->mbCtx);
        if (modbus_write_register(rec->mbCtx, addr, value) != 1) {
            // A link the tool closed (rebooted at the same address) fails every later write
            // just as surely as a silent one: dismiss it so the next answer reconnects it.
            int e = errno;
            if (e == ETIMEDOUT || e == EPIPE || e == ECONNRESET || e == ENOTCONN || e == EBADF ||
                e == ECONNABORTED) {
                DBG_ERR("failed to write (%s), %d.%d-%d, do dismiss", modbus_strerror(errno), tdx,
                        addr, value);
                ToolManager_DismissTool_ByTdx(tdx, 0);
                ret = MBUS_ERR_DISMISSED;
            } else {
                DBG_ERR("failed to write (%s), %d.%d-%d", modbus_strerror(errno), tdx, addr, value);
                ret = MBUS_ERR_WRITE;
            }
        }
    }
    if (lock) ToolManager_UnlockRegTools();
    return ret;
}

uint16_t Modbus_GetData(int tdx, int addr) {
    if (tdx == -1) return 0;
    int t = ((tdx % TOOL_MAX_REG) + TOOL_MAX_REG) % TOOL_MAX_REG;
    int a = ((addr % MBUS_MIRROR_REGS) + MBUS_MIRROR_REGS) % MBUS_MIRROR_REGS;
    return mBusReadBuf[t][a].load(std::memory_order_relaxed);
}

namespace {
template <typename F> void forEachTool(F f) {
    ToolManager_LockRegTools();
    int n = ToolManager_RegToolsLen_Unlocked();
    for (int i = 0; i < n && i < TOOL_MAX_REG; ++i)
        f(i);
    ToolManager_UnlockRegTools();
}
} // namespace

void tool_lock_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, 1, 0); });
}
void tool_unlock_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, 0, 0); });
}
void tool_lock_all_except_tdx(int tdx) {
    forEachTool([tdx](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, i == tdx ? 0 : 1, 0); });
}
void autolock_off_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_AUTO_LOCK, 0, 0); });
}

void Mbus_EncodeText(const char* text, uint16_t regs[16]) {
    size_t n = text ? strnlen(text, 32) : 0;
    for (size_t i = 0; i < 16; ++i) {
        uint8_t hi = 2 * i < n ? uint8_t(text[2 * i]) : 0;
        uint8_t lo = 2 * i + 1 < n ? uint8_t(text[2 * i + 1]) : 0;
        regs[i] = uint16_t(hi << 8 | lo);
    }
}

void Mbus_DecodeText(const uint16_t regs[16], char out[33]) {
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = char(regs[i] >> 8);
        out[2 * i + 1] = char(regs[i] & 0xff);
    }
    out[32] = 0;
}
