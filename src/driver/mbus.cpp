#include "mbus.h"

#include "debug.h"
#include "ew_driver.h"
#include "threads.h"
#include "tools_private.h"
#include "wire_util.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <modbus.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
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
// Register mirror of each tool: written by the transactions (under the tool's connection
// lock), read without a lock. The values of one read go in as one block under a sequence
// counter (odd while a block is being written), so a reader of several registers copies
// them again until it saw no writer: never half of one read and half of the next, on a
// weakly ordered CPU either.
struct Mirror {
    std::mutex writeLock; // leaf lock: one block writer at a time
    std::atomic<uint32_t> seq{0};
    std::atomic<uint16_t> regs[MBUS_MIRROR_REGS];
};
Mirror mBusReadBuf[TOOL_MAX_REG];

void storeBlock(int tdx, int addr, int count, const uint16_t* values) {
    Mirror& m = mBusReadBuf[tdx];
    std::lock_guard<std::mutex> g(m.writeLock);
    uint32_t s = m.seq.load(std::memory_order_relaxed);
    m.seq.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release); // odd before any value
    for (int i = 0; i < count; ++i)
        m.regs[addr + i].store(values ? values[i] : 0, std::memory_order_relaxed);
    m.seq.store(s + 2, std::memory_order_release); // every value before even
}

void clearMirror(int tdx, int addr, int count) {
    storeBlock(tdx, addr, count, nullptr);
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
    // dead tool without end. The link has its own rule instead: one retry, then the tool
    // is dismissed.
    modbus_set_error_recovery(ctx, MODBUS_ERROR_RECOVERY_PROTOCOL);
    modbus_set_response_timeout(ctx, 1, 0);
    modbus_set_debug(ctx, FALSE);
    modbus_set_slave(ctx, MBUS_UNIT_ID);
    return ctx;
}

namespace {
// A connected, blocking TCP socket within `timeoutMs` (non-blocking connect and poll), or
// -1 with errno set.
int connectFd(uint32_t ip, uint16_t port, int timeoutMs) {
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
    return fd;
}
} // namespace

int Modbus_ConnectTimeout(modbus_t* ctx, uint32_t ip, uint16_t port, int timeoutMs) {
    int fd = connectFd(ip, port, timeoutMs);
    if (fd < 0) return -1;
    modbus_close(ctx); // a context keeps one socket
    modbus_set_socket(ctx, fd);
    return 0;
}

// ---- per-tool connections ----

ToolConn* ToolConn_New(uint32_t ip, uint16_t port) {
    modbus_t* ctx = Modbus_NewCtx(ip, port);
    if (!ctx) {
        DBG_ERR("cannot make a context for %d.%d.%d.%d:%d", IP4(ip), port);
        return nullptr;
    }
    auto* conn = new ToolConn;
    conn->ctx = ctx;
    return conn;
}

ToolConn* ToolConn_Ref(ToolConn* conn) {
    if (conn) conn->refs.fetch_add(1);
    return conn;
}

void ToolConn_Unref(ToolConn* conn) {
    if (!conn || conn->refs.fetch_sub(1) != 1) return;
    // Nobody else can reach it now: no lock needed.
    modbus_close(conn->ctx);
    modbus_free(conn->ctx);
    delete conn;
}

int ToolConn_Fd(ToolConn* conn) {
    std::lock_guard<std::mutex> g(conn->fdLock);
    return conn->fd;
}

int ToolConn_Connect(ToolConn* conn, uint32_t ip, uint16_t port, int timeoutMs) {
    int fd = connectFd(ip, port, timeoutMs);
    if (fd < 0) return -1;
    std::lock_guard<std::mutex> g(conn->fdLock);
    modbus_close(conn->ctx); // a context keeps one socket
    modbus_set_socket(conn->ctx, fd);
    conn->fd = fd;
    if (conn->dropped) shutdown(fd, SHUT_RDWR); // dismissed while connecting
    conn->connected = 1;
    return 0;
}

void ToolConn_Drop(ToolConn** slot) {
    ToolConn* conn = *slot;
    if (!conn) return;
    *slot = nullptr;
    conn->dropped = true;
    {
        // The socket stays open (its number cannot be reused) until the last reference
        // goes; shutting it down ends a blocked send or receive of another thread at once.
        std::lock_guard<std::mutex> g(conn->fdLock);
        if (conn->fd >= 0) shutdown(conn->fd, SHUT_RDWR);
    }
    ToolConn_Unref(conn);
}

// ---- transactions (caller holds conn->lock) ----

namespace {
int connRead(ToolConn* conn, int tdx, int addr, int count) {
    if (!conn || conn->dropped || !conn->connected) {
        clearMirror(tdx, addr, count);
        return MBUS_ERR_NOT_CONNECTED;
    }
    if (count <= 0) return MBUS_OK;
    uint16_t buf[MBUS_MIRROR_REGS];
    int n = readOnce(conn->ctx, addr, count, buf);
    if (n < count) {
        DBG_LOG_PLAIN(DEBUG_FLAG_MODBUS, "Modbus_Read.%d : failed to read (%s), %d.%d-%d, do retry",
                      __LINE__, modbus_strerror(errno), tdx, addr, count);
        modbus_flush(conn->ctx); // a late answer must not pass for the retry's
        n = readOnce(conn->ctx, addr, count, buf);
    }
    if (n < count) {
        DBG_ERR_AS("Modbus_Read", "failed to read (%s), %d.%d-%d", modbus_strerror(errno), tdx,
                   addr, count);
        clearMirror(tdx, addr, count);
        ToolManager_DismissTool_ByConn(conn);
        return MBUS_ERR_DISMISSED;
    }
    storeBlock(tdx, addr, count, buf);
    return MBUS_OK;
}

int connWrite(ToolConn* conn, int tdx, int addr, uint16_t value) {
    if (!conn || conn->dropped || !conn->connected) return MBUS_ERR_NOT_CONNECTED;
    if (modbus_write_register(conn->ctx, addr, value) == 1) return MBUS_OK;
    DBG_LOG_PLAIN(DEBUG_FLAG_MODBUS, "Modbus_Write.%d : failed to write (%s), %d.%d-%d, do retry",
                  __LINE__, modbus_strerror(errno), tdx, addr, value);
    modbus_flush(conn->ctx);
    if (modbus_write_register(conn->ctx, addr, value) == 1) return MBUS_OK;
    // A link the tool closed (rebooted at the same address) fails every later write just
    // as surely as a silent one: dismiss it so the next answer reconnects it.
    int e = errno;
    if (e == ETIMEDOUT || e == EPIPE || e == ECONNRESET || e == ENOTCONN || e == EBADF ||
        e == ECONNABORTED) {
        DBG_ERR_AS("Modbus_Write", "failed to write (%s), %d.%d-%d, do dismiss", modbus_strerror(e),
                   tdx, addr, value);
        ToolManager_DismissTool_ByConn(conn);
        return MBUS_ERR_DISMISSED;
    }
    DBG_ERR_AS("Modbus_Write", "failed to write (%s), %d.%d-%d", modbus_strerror(e), tdx, addr,
               value);
    return MBUS_ERR_WRITE;
}

// What the start-up reads brought; a value is taken only when its read succeeded.
struct StartupValues {
    bool unitOk = false, minOk = false, maxOk = false;
    uint16_t unit = 0, min = 0, max = 0;
};

// The registers written and read when the data connection comes up (conn->lock held).
void startupTransactions(ToolConn* conn, int tdx, uint8_t type, int lockValue, StartupValues* sv) {
    bool ctl = isController(type);
    connWrite(conn, tdx, MBUS_REG_TOOL_LOCK, uint16_t(lockValue));
    connWrite(conn, tdx, ctl ? MBUS_REG_AUTO_DATA_OUT_CTL : MBUS_REG_AUTO_DATA_OUT_DRV, 0);
    connWrite(conn, tdx, MBUS_REG_GRAPH_TRIGGER, 0);
    connWrite(conn, tdx, MBUS_REG_EVENT_OUTPUT, 0);
    int unitReg = ctl ? MBUS_REG_TORQUE_UNIT_CTL : MBUS_REG_TORQUE_UNIT_DRV;
    if ((sv->unitOk = connRead(conn, tdx, unitReg, 1) == MBUS_OK))
        sv->unit = Modbus_GetData(tdx, unitReg);
    if ((sv->minOk = connRead(conn, tdx, MBUS_REG_TORQUE_MIN, 1) == MBUS_OK))
        sv->min = Modbus_GetData(tdx, MBUS_REG_TORQUE_MIN);
    if ((sv->maxOk = connRead(conn, tdx, MBUS_REG_TORQUE_MAX, 1) == MBUS_OK))
        sv->max = Modbus_GetData(tdx, MBUS_REG_TORQUE_MAX);
}

// The tool of this connect attempt, found again after working unlocked: by MAC (a release
// may have renumbered the table) and by its data connection (a dismissal or readdressing
// meanwhile ends the attempt). Registered-table lock held.
RegToolRecord* sameAttempt(const uint8_t* mac, ToolConn* data, int* tdx) {
    *tdx = ToolManager_FindRegTdx_ByMac_Unlocked(mac);
    RegToolRecord* rec = ToolManager_RegTool(*tdx);
    return rec && rec->mbConn == data ? rec : nullptr;
}

// The tool's data connection with a reference, after the index and address checks
// (registered-table lock taken for the lookup only). Sets `*ret` when refused.
ToolConnRef dataConnOf(int tdx, int addr, int count, bool checkRange, const char* fn, int* ret) {
    RegToolsLock g;
    *ret = MBUS_OK;
    if (CheckTdx(tdx, fn, __LINE__)) {
        *ret = MBUS_ERR_TDX;
        return ToolConnRef();
    }
    if (checkRange && CheckMbusAddr(addr, count, fn, __LINE__)) {
        *ret = MBUS_ERR_RANGE;
        return ToolConnRef();
    }
    return ToolConnRef(ToolManager_RegTool(tdx)->mbConn);
}
} // namespace

void Modbus_MsgQProc_Connect(int tdx) {
    Modbus_MsgQProc_ConnectTool(tdx, nullptr);
}

// Works in three short holds of the registered-table lock; the network traffic between
// them runs under the tool's own connection locks only, so the screens and the other
// tools never wait for this tool's connect time-outs and start-up transactions.
void Modbus_MsgQProc_ConnectTool(int tdx, const uint8_t* macIn) {
    uint8_t mac[6];
    uint32_t ip;
    uint16_t port;
    uint8_t type;
    ToolConnRef data;
    {
        RegToolsLock g;
        if (macIn) {
            int now = ToolManager_FindRegTdx_ByMac_Unlocked(macIn);
            if (now < 0) {
                DBG_LOG(DEBUG_FLAG_MODBUS, "connect request for a released tool (tdx.%d) dropped",
                        tdx);
                return;
            }
            tdx = now;
        }
        if (CheckTdx(tdx, "Modbus_MsgQProc_Connect", __LINE__)) return;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        memcpy(mac, rec->mac, 6);
        ip = rec->ip;
        port = rec->port;
        type = rec->type;
        DBG_LOG(DEBUG_FLAG_MODBUS, "Tdx.%d, %d.%d.%d.%d:%d", tdx, IP4(ip), port);
        if (!rec->mbConn) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "Create new ctx for mbus");
            rec->mbConn = ToolConn_New(ip, port);
        }
        data = ToolConnRef(rec->mbConn);
    }
    StartupValues sv;
    if (data) {
        std::lock_guard<std::mutex> cl(data->lock);
        if (!data->dropped && !data->connected) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "Establish a Modbus connection");
            if (ToolConn_Connect(data.get(), ip, port, MBUS_CONNECT_TIMEOUT_MS) != 0)
                DBG_ERR("Failed to connect (modbus)");
            else {
                int code = Modbus_GetScreenCode();
                int lockValue =
                    (code == SCREEN_CODE_OP_WITHOUT_JOB || code == SCREEN_CODE_MONITOR) ? 0 : 1;
                DBG_LOG(DEBUG_FLAG_MODBUS, "Lock control %d", lockValue);
                startupTransactions(data.get(), tdx, type, lockValue, &sv);
            }
        }
    }
    // Dismissed meanwhile (a start-up transaction failed twice, or the screens, keep-alive
    // or a readdressing dropped it): the dismissal has told the screens.
    if (data && data->dropped) return;
    ToolConnRef ev;
    {
        RegToolsLock g;
        RegToolRecord* rec = sameAttempt(mac, data.get(), &tdx);
        if (!rec) return;
        if (!rec->evConn) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "Create new ctx for event");
            rec->evConn = ToolConn_New(ip, uint16_t(port + 1));
        }
        ev = ToolConnRef(rec->evConn);
    }
    if (ev) {
        std::lock_guard<std::mutex> cl(ev->lock);
        if (!ev->dropped && !ev->connected) {
            DBG_LOG(DEBUG_FLAG_MODBUS, "Establish a Event connection");
            if (ToolConn_Connect(ev.get(), ip, uint16_t(port + 1), MBUS_CONNECT_TIMEOUT_MS) != 0)
                DBG_ERR("Failed to connect (event)");
        }
    }
    RegToolsLock g;
    RegToolRecord* rec = sameAttempt(mac, data.get(), &tdx);
    if (!rec) return;
    if (sv.unitOk) rec->torqueUnit = sv.unit;
    if (sv.minOk) rec->torqueMin = sv.min;
    if (sv.maxOk) rec->torqueMax = sv.max;
    bool d = rec->mbConn && rec->mbConn->connected, e = rec->evConn && rec->evConn->connected;
    uint32_t state = (d && e)     ? TOOL_STATE_CONNECTED
                     : (!d && !e) ? TOOL_STATE_FAILED
                                  : TOOL_STATE_HALF;
    DBG_LOG(DEBUG_FLAG_MODBUS, "Notify to EwGUI");
    // Posted before unlocking: a release right after must not renumber the tool under it.
    ToolManager_SetState_Locked(tdx, rec, state, true);
}

int Modbus_Read(int tdx, int addr, int count, int lock) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "%d.%d-%d", tdx, addr, count);
    int ret;
    ToolConnRef conn = dataConnOf(tdx, addr, count, true, __func__, &ret);
    if (ret != MBUS_OK) return ret;
    std::unique_lock<std::mutex> cl;
    if (conn && lock) cl = std::unique_lock<std::mutex>(conn->lock);
    return connRead(conn.get(), tdx, addr, count);
}

int Modbus_Write(int tdx, int addr, uint16_t value, int lock) {
    DBG_LOG(DEBUG_FLAG_MODBUS, "%d.%d-%d", tdx, addr, value);
    int ret;
    ToolConnRef conn = dataConnOf(tdx, addr, 0, false, __func__, &ret);
    if (ret != MBUS_OK) return ret;
    std::unique_lock<std::mutex> cl;
    if (conn && lock) cl = std::unique_lock<std::mutex>(conn->lock);
    return connWrite(conn.get(), tdx, addr, value);
}

uint16_t Modbus_GetData(int tdx, int addr) {
    if (tdx == -1) return 0;
    int t = ((tdx % TOOL_MAX_REG) + TOOL_MAX_REG) % TOOL_MAX_REG;
    int a = ((addr % MBUS_MIRROR_REGS) + MBUS_MIRROR_REGS) % MBUS_MIRROR_REGS;
    return mBusReadBuf[t].regs[a].load(std::memory_order_relaxed);
}

int Modbus_GetBlock(int tdx, int addr, int count, uint16_t* out) {
    if (!out || count < 0) return -1;
    if (tdx < 0 || tdx >= TOOL_MAX_REG) {
        memset(out, 0, sizeof(uint16_t) * size_t(count));
        return tdx == -1 ? 0 : -1;
    }
    if (CheckMbusAddr(addr, count, __func__, __LINE__)) return -1;
    const Mirror& m = mBusReadBuf[tdx];
    for (;;) {
        uint32_t before = m.seq.load(std::memory_order_acquire);
        if (before & 1) { // a writer is copying a block in: a few thousand stores at most
            sched_yield();
            continue;
        }
        for (int i = 0; i < count; ++i)
            out[i] = m.regs[addr + i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire); // every value before the check
        if (m.seq.load(std::memory_order_relaxed) == before) return 0;
    }
}

void Modbus_StoreBlock(int tdx, int addr, int count, const uint16_t* values) {
    if (tdx < 0 || tdx >= TOOL_MAX_REG || count < 0) return;
    if (CheckMbusAddr(addr, count, __func__, __LINE__)) return;
    storeBlock(tdx, addr, count, values);
}

namespace {
// For every registered tool in index order; the count is taken under the lock, the writes
// run after it (each under its own tool's connection lock).
template <typename F> void forEachTool(F f) {
    int n = ToolManager_GetRegToolsLen();
    for (int i = 0; i < n && i < TOOL_MAX_REG; ++i)
        f(i);
}
} // namespace

void tool_lock_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, 1, 1); });
}
void tool_unlock_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, 0, 1); });
}
void tool_lock_all_except_tdx(int tdx) {
    forEachTool([tdx](int i) { Modbus_Write(i, MBUS_REG_TOOL_LOCK, i == tdx ? 0 : 1, 1); });
}
void autolock_off_all() {
    forEachTool([](int i) { Modbus_Write(i, MBUS_REG_AUTO_LOCK, 0, 1); });
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
