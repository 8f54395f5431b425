// Backup event forwarding client. What it sends comes from the result store, from the
// cursor "bef": the forwarding worker ("L") reads the rows after it while connected,
// sends them one at a time on a non-blocking socket, and moves the cursor as each send
// completes, so a server that was down gets what happened meanwhile, in order. It waits
// for a slow server on its loop, never under the lock; the reconnect timer on the default
// loop connects. One lock serialises every change of the connection state and each send
// call, so a close from the GUI never waits long.
#include "bef.h"

#include "debug.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <gio/gio.h>
#include <glib-unix.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>

namespace {
// Rows read from the store at a time.
constexpr size_t BEF_WINDOW = 256;

struct BefMsg {
    int64_t id;   // the row it was made from
    uint32_t len; // 0: a row not forwarded (no frame), only its cursor moves
    uint8_t data[BEF_MSG_MAX];
};

struct BefCtx {
    std::mutex lock; // the connection state below and every send
    GSocket* socket = nullptr;
    GSource* connectTimer = nullptr;
    GSocketAddress* serverAddr = nullptr;
    GIOChannel* channel = nullptr;
    GSource* watch = nullptr;
    std::atomic<int> connected{0};
    unsigned generation = 0;      // bumped by every close; stale watches and attempts see it
    BefMsg* current = nullptr;    // the message being sent, taken from the queue
    size_t sent = 0;              // bytes of it the socket took
    int failures = 0;             // failed sends of it; the second closes the link
    GSource* writeWait = nullptr; // waits (at most 3 s) for the socket to take more
    size_t unexpected = 0;        // bytes the server sent on this link
};
// Never destroyed: the forwarding worker may still run while the process exits.
BefCtx& bef_ctx = *new BefCtx;

// The next messages: rows of the store read after the cursor, in ID order.
struct BefQueue {
    std::mutex lock;
    std::deque<BefMsg*> items;
    int64_t readUpTo = 0;   // the newest row read into `items`
    bool scheduled = false; // a sender dispatch is pending on the forwarding loop
    int watch = 0;          // the store's commit watch
};
// Never destroyed: messages still read at exit stay reachable.
BefQueue& bef_MsgQ = *new BefQueue;

gboolean senderDispatch(gpointer);

// Rows the store holds beyond those read (a plain compare, no query).
bool moreLocked() {
    return !bef_MsgQ.items.empty() ||
           ResultStore_LastId() > std::max(bef_MsgQ.readUpTo, ResultStore_Cursor(BEF_PEER));
}

// The next rows after the cursor (or after those read already) into messages. A row
// without the tool's frame (taken back from the day file) or whose frame does not fit is
// not forwarded: its cursor moves all the same, in its place.
void readRowsLocked() {
    if (!bef_MsgQ.items.empty()) return;
    const int64_t after = std::max(bef_MsgQ.readUpTo, ResultStore_Cursor(BEF_PEER));
    std::vector<StoredResult> rows;
    if (ResultStore_Read(after, BEF_WINDOW, &rows) <= 0) return;
    for (const StoredResult& r : rows) {
        auto* m = static_cast<BefMsg*>(malloc(sizeof(BefMsg)));
        if (!m) abort(); // allocation failure ends the process
        m->id = r.id;
        m->len = 0;
        bef_MsgQ.readUpTo = r.id;
        const int tdx = r.extra.tdx;
        int n = -1;
        if (tdx >= 0 && !r.extra.frame.empty()) {
            DBG_LOG(DEBUG_FLAG_BEF, "Push asyncQ, on TDX,%d. ", tdx);
            n = Bef_BuildMsg(tdx, r.extra.frame.data(), r.extra.frame.size(), m->data);
            if (n < 0)
                DBG_ERR("frame of %d bytes refused (tdx %d)", int(r.extra.frame.size()), tdx);
        } else {
            DBG_LOG(DEBUG_FLAG_BEF, "result %lld has no frame, not forwarded", (long long)r.id);
        }
        if (n > 0) m->len = uint32_t(n);
        bef_MsgQ.items.push_back(m);
    }
}

// Wakes the sender when there is work and a connection (no polling).
void kickSender() {
    GMainContext* ctx = Threads_GetContext(LOOP_BEF);
    if (!ctx) return;
    {
        std::lock_guard<std::mutex> g(bef_MsgQ.lock);
        if (bef_MsgQ.scheduled || !bef_ctx.connected.load() || !moreLocked()) return;
        bef_MsgQ.scheduled = true;
    }
    GSource* s = g_idle_source_new();
    g_source_set_callback(s, senderDispatch, nullptr, nullptr);
    g_source_attach(s, ctx);
    g_source_unref(s);
}

// One message per dispatch, so the loop's other sources (the receive watch) run between.
// While the socket is full the write wait carries on instead.
gboolean senderDispatch(gpointer) {
    Bef_ProcMsgQ();
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    std::lock_guard<std::mutex> q(bef_MsgQ.lock);
    if (bef_ctx.writeWait || !bef_ctx.connected.load() || (!moreLocked() && !bef_ctx.current)) {
        bef_MsgQ.scheduled = false;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

void timerDelLocked();

// Ends the timer once the link is up. The decision is taken under the lock, so a close
// that ran after the attempt (and found this timer armed) keeps it running, and the
// record is cleared only while it still holds this timer: a later close arms afresh.
gboolean timerCallback(gpointer) {
    Bef_ConnectTimerCallback();
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    if (bef_ctx.connectTimer != g_main_current_source()) return G_SOURCE_REMOVE;
    if (!bef_ctx.connected.load()) return G_SOURCE_CONTINUE;
    timerDelLocked();
    return G_SOURCE_REMOVE;
}

void timerAddLocked() {
    DBG_LOG(DEBUG_FLAG_BEF, "Add timer for server connection. ");
    if (bef_ctx.connectTimer) return;
    GSource* s = g_timeout_source_new_seconds(BEF_RECONNECT_SECONDS);
    g_source_set_callback(s, timerCallback, nullptr, nullptr);
    g_source_attach(s, Threads_GetContext(LOOP_DEFAULT));
    bef_ctx.connectTimer = s;
}

void timerDelLocked() {
    if (!bef_ctx.connectTimer) return;
    g_source_destroy(bef_ctx.connectTimer);
    g_source_unref(bef_ctx.connectTimer);
    bef_ctx.connectTimer = nullptr;
}

void dropWaitLocked() {
    if (!bef_ctx.writeWait) return;
    g_source_destroy(bef_ctx.writeWait);
    g_source_unref(bef_ctx.writeWait);
    bef_ctx.writeWait = nullptr;
}

void closeLocked(const char* reason) {
    // Down before the line is out: whoever waits for the line finds the link down.
    bef_ctx.connected = 0;
    DBG_LOG(DEBUG_FLAG_BEF, "Close server stream (%s).", reason ? reason : "");
    ++bef_ctx.generation;
    dropWaitLocked();
    if (bef_ctx.current) {
        // A message the server refused twice is dropped (its cursor moves past it); one
        // cut short by any other close is sent whole on the next link.
        if (strcmp(reason ? reason : "", "Send error") == 0) {
            ResultStore_Ack(BEF_PEER, bef_ctx.current->id);
            free(bef_ctx.current);
        } else {
            std::lock_guard<std::mutex> q(bef_MsgQ.lock);
            bef_MsgQ.items.push_front(bef_ctx.current);
        }
        bef_ctx.current = nullptr;
    }
    bef_ctx.unexpected = 0;
    if (bef_ctx.serverAddr) g_object_unref(bef_ctx.serverAddr);
    bef_ctx.serverAddr = nullptr;
    if (bef_ctx.watch) {
        g_source_destroy(bef_ctx.watch);
        g_source_unref(bef_ctx.watch);
        bef_ctx.watch = nullptr;
    }
    if (bef_ctx.channel) g_io_channel_unref(bef_ctx.channel);
    bef_ctx.channel = nullptr;
    if (bef_ctx.socket) {
        g_socket_close(bef_ctx.socket, nullptr);
        g_object_unref(bef_ctx.socket);
        bef_ctx.socket = nullptr;
    }
    if (get_setting_share()->bef_enable == 1)
        timerAddLocked();
    else
        timerDelLocked(); // switched off: stay closed
}

gboolean recvCallback(GIOChannel*, GIOCondition, gpointer data) {
    unsigned gen = GPOINTER_TO_UINT(data);
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    if (gen != bef_ctx.generation || !bef_ctx.socket) return G_SOURCE_REMOVE;
    DBG_LOG(DEBUG_FLAG_BEF, "Recv callback on server stream ???");
    char buf[1024];
    GError* err = nullptr;
    gssize n = g_socket_receive(bef_ctx.socket, buf, sizeof buf, nullptr, &err);
    DBG_LOG_PLAIN(DEBUG_FLAG_BEF, "Rlen is %d \n", int(n));
    if (n == 0) {
        DBG_LOG(DEBUG_FLAG_BEF, "Read len 0");
        closeLocked("Recv FIN");
        return G_SOURCE_REMOVE;
    }
    if (n < 0) {
        bool wouldBlock = g_error_matches(err, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        if (!wouldBlock) DBG_ERR("server stream receive fail : %s", err ? err->message : "");
        g_clear_error(&err);
        // Woken without data; or the sender waits on this socket too: it meets the error
        // in this same loop pass and decides the message's fate (one retry, then "Send
        // error"), whichever watch runs first.
        if (wouldBlock || bef_ctx.writeWait) return G_SOURCE_CONTINUE;
        closeLocked("Recv error");
        return G_SOURCE_REMOVE;
    }
    // The server has nothing to say on this link: one that keeps talking would hold the
    // panel busy discarding, so the link is closed and made again at the next tick.
    bef_ctx.unexpected += size_t(n);
    if (bef_ctx.unexpected > BEF_RECV_LIMIT) {
        DBG_ERR("server sent %d bytes unasked, reconnecting", int(bef_ctx.unexpected));
        closeLocked("Unexpected data");
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

gboolean writableCallback(gint, GIOCondition, gpointer);

// Waits on the forwarding loop until the socket takes data, at most the send limit.
void armWaitLocked() {
    GSource* s = g_unix_fd_source_new(g_socket_get_fd(bef_ctx.socket), G_IO_OUT);
    g_source_set_ready_time(s, g_get_monotonic_time() + gint64(BEF_CONNECT_TIMEOUT_MS) * 1000);
    g_source_set_callback(s, G_SOURCE_FUNC(writableCallback), GUINT_TO_POINTER(bef_ctx.generation),
                          nullptr);
    g_source_attach(s, Threads_GetContext(LOOP_BEF));
    bef_ctx.writeWait = s;
    DBG_LOG(DEBUG_FLAG_BEF, "send waits for the server");
}

// One failed send of the current message; the second closes the link. False when closed.
bool failLocked(const char* why) {
    ++bef_ctx.failures;
    DBG_ERR("send fail, try %d of 2 : %s", bef_ctx.failures, why);
    if (bef_ctx.failures < 2) return true;
    closeLocked("Send error");
    return false;
}

// Sends what the socket takes of the current message without waiting. A full socket
// arms the write wait; a finished message is freed.
void sendLocked() {
    while (bef_ctx.current && bef_ctx.socket) {
        GError* err = nullptr;
        gssize n = g_socket_send(
            bef_ctx.socket, reinterpret_cast<const gchar*>(bef_ctx.current->data) + bef_ctx.sent,
            bef_ctx.current->len - bef_ctx.sent, nullptr, &err);
        if (n > 0) {
            bef_ctx.sent += size_t(n);
            if (bef_ctx.sent < bef_ctx.current->len) continue; // a short send is completed
            ResultStore_Ack(BEF_PEER, bef_ctx.current->id);
            free(bef_ctx.current);
            bef_ctx.current = nullptr;
            return;
        }
        if (n < 0 && g_error_matches(err, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK)) {
            g_clear_error(&err);
            armWaitLocked();
            return;
        }
        std::string why = err ? err->message : "no progress";
        g_clear_error(&err);
        if (!failLocked(why.c_str())) return;
    }
}

gboolean writableCallback(gint, GIOCondition cond, gpointer data) {
    bool more;
    {
        std::lock_guard<std::mutex> g(bef_ctx.lock);
        if (GPOINTER_TO_UINT(data) != bef_ctx.generation ||
            bef_ctx.writeWait != g_main_current_source())
            return G_SOURCE_REMOVE;
        dropWaitLocked();
        if (cond == 0 && !failLocked("the server took nothing for 3 s")) return G_SOURCE_REMOVE;
        sendLocked();
        more = !bef_ctx.writeWait && bef_ctx.connected.load();
    }
    if (more) kickSender();
    return G_SOURCE_REMOVE;
}

// A fresh IPv4 TCP socket with the 3 s limits, no-delay and a small send buffer.
GSocket* newSocket() {
    GError* err = nullptr;
    GSocket* s =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, &err);
    if (!s) {
        DBG_ERR("socket create fail : %s", err ? err->message : "");
        g_clear_error(&err);
        return nullptr;
    }
    g_socket_set_blocking(s, TRUE);
    g_socket_set_timeout(s, BEF_CONNECT_TIMEOUT_MS / 1000);
    if (!g_socket_set_option(s, IPPROTO_TCP, TCP_USER_TIMEOUT, BEF_CONNECT_TIMEOUT_MS, &err) ||
        !g_socket_set_option(s, IPPROTO_TCP, TCP_NODELAY, 1, &err) ||
        !g_socket_set_option(s, SOL_SOCKET, SO_SNDBUF, BEF_SEND_BUFFER, &err)) {
        DBG_ERR("socket option fail : %s", err ? err->message : "");
        g_clear_error(&err);
    }
    return s;
}
} // namespace

int Bef_BuildMsg(int tdx, const uint8_t* frame, size_t len, uint8_t out[BEF_MSG_MAX]) {
    if (!frame || len < BEF_FRAME_MIN || len > BEF_FRAME_MAX) return -1;
    memcpy(out, frame, 4);
    unsigned length = ((unsigned(frame[4]) << 8) | frame[5]) + 2;
    out[4] = uint8_t(length >> 8);
    out[5] = uint8_t(length);
    out[6] = frame[6];
    out[7] = frame[7];
    out[8] = uint8_t(frame[8] + 2);
    out[9] = uint8_t(tdx & 0xff);
    out[10] = uint8_t((tdx >> 8) & 0xff);
    memcpy(out + 11, frame + 9, len - 9);
    return int(len + 2);
}

int Bef_init() {
    {
        std::lock_guard<std::mutex> g(bef_ctx.lock);
        bef_ctx.socket = nullptr;
        bef_ctx.connectTimer = nullptr;
        bef_ctx.serverAddr = nullptr;
        bef_ctx.channel = nullptr;
        bef_ctx.watch = nullptr;
        bef_ctx.connected = 0;
    }
    {
        std::lock_guard<std::mutex> q(bef_MsgQ.lock);
        for (BefMsg* m : bef_MsgQ.items)
            free(m);
        bef_MsgQ.items.clear();
        bef_MsgQ.readUpTo = 0;
        if (bef_MsgQ.watch) ResultStore_Unwatch(bef_MsgQ.watch);
        // Each commit wakes the sender; the first (the store's start-up) also gives a
        // forwarding that is on its cursor, so what comes while the server is down waits.
        bef_MsgQ.watch = ResultStore_Watch([](int64_t) {
            if (get_setting_share()->bef_enable == 1) ResultStore_Join(BEF_PEER);
            kickSender();
        });
    }
    if (get_setting_share()->bef_enable == 1) ResultStore_Join(BEF_PEER);
    Threads_AddSetup(LOOP_BEF, [] {
        std::lock_guard<std::mutex> g(bef_ctx.lock);
        if (get_setting_share()->bef_enable == 1) timerAddLocked();
    });
    return 0;
}

int Bef_ProcMsgQ() {
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    if (!bef_ctx.connected.load() || !bef_ctx.socket || bef_ctx.writeWait) return 1;
    while (!bef_ctx.current) {
        std::lock_guard<std::mutex> q(bef_MsgQ.lock);
        readRowsLocked();
        if (bef_MsgQ.items.empty()) return 1;
        BefMsg* m = bef_MsgQ.items.front();
        bef_MsgQ.items.pop_front();
        if (m->len == 0) { // not forwarded: only its place in the order
            ResultStore_Ack(BEF_PEER, m->id);
            free(m);
            continue;
        }
        bef_ctx.current = m;
        bef_ctx.sent = 0;
        bef_ctx.failures = 0;
        DBG_LOG(DEBUG_FLAG_BEF, "Pop asyncQ, send ...");
    }
    sendLocked();
    return 1;
}

void Bef_ConnectTimerAdd() {
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    timerAddLocked();
}

void Bef_ConnectTimerDel() {
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    timerDelLocked();
}

int Bef_ConnectTimerCallback() {
    DBG_LOG(DEBUG_FLAG_BEF, "Try to connect server ... ");
    unsigned gen;
    GSocketAddress* addr;
    {
        std::lock_guard<std::mutex> g(bef_ctx.lock);
        if (bef_ctx.connected.load()) return 1;
        if (!bef_ctx.serverAddr) {
            const SettingShare* sh = get_setting_share();
            char ip[32];
            uint32_t a = sh->bef_server_ip;
            snprintf(ip, sizeof ip, "%d.%d.%d.%d", int(a >> 24), int((a >> 16) & 0xff),
                     int((a >> 8) & 0xff), int(a & 0xff));
            bef_ctx.serverAddr = g_inet_socket_address_new_from_string(ip, sh->bef_port & 0xffff);
            if (!bef_ctx.serverAddr) {
                DBG_ERR("invalid server address %s:%u", ip, unsigned(sh->bef_port & 0xffff));
                return 0;
            }
        }
        gen = bef_ctx.generation;
        addr = G_SOCKET_ADDRESS(g_object_ref(bef_ctx.serverAddr));
    }
    // The blocking connect (at most 3 s) runs without the lock on a socket nobody else
    // sees yet, so closers and the sender never wait for it.
    GSocket* s = newSocket();
    if (!s) {
        g_object_unref(addr);
        return 0;
    }
    GError* err = nullptr;
    gboolean ok = g_socket_connect(s, addr, nullptr, &err);
    g_object_unref(addr);
    if (!ok) {
        DBG_LOG(DEBUG_FLAG_BEF, "connect fail : %s", err ? err->message : "");
        g_clear_error(&err);
        g_socket_close(s, nullptr);
        g_object_unref(s);
        return 0;
    }
    {
        std::lock_guard<std::mutex> g(bef_ctx.lock);
        if (gen != bef_ctx.generation || bef_ctx.connected.load()) {
            // Closed (new settings) while connecting: the next tick uses the new address.
            g_socket_close(s, nullptr);
            g_object_unref(s);
            return bef_ctx.connected.load() ? 1 : 0;
        }
        DBG_LOG(DEBUG_FLAG_BEF, "Connect success !! ");
        g_socket_set_blocking(s, FALSE); // the sender waits on its loop, not in send
        bef_ctx.socket = s;
        DBG_LOG(DEBUG_FLAG_BEF, "Delete timer due to connect success. ");
        timerDelLocked();
        bef_ctx.channel = g_io_channel_unix_new(g_socket_get_fd(s));
        bef_ctx.watch =
            g_io_create_watch(bef_ctx.channel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
        g_source_set_callback(bef_ctx.watch, G_SOURCE_FUNC(recvCallback),
                              GUINT_TO_POINTER(bef_ctx.generation), nullptr);
        g_source_attach(bef_ctx.watch, Threads_GetContext(LOOP_BEF));
        bef_ctx.connected = 1;
    }
    kickSender();
    return 1;
}

void Bef_CloseServerStream(const char* reason) {
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    closeLocked(reason);
}

int Bef_ApplySetting(uint32_t enable, uint32_t serverIp, uint32_t port) {
    // The forwarding fields change under the connection lock, where the timer, the
    // receive watch and the closers read them.
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    SettingShare* sh = get_setting_share();
    if (sh->bef_enable == enable && sh->bef_server_ip == serverIp && sh->bef_port == port) return 0;
    sh->bef_enable = enable;
    sh->bef_server_ip = serverIp;
    sh->bef_port = port;
    if (enable == 1) ResultStore_Join(BEF_PEER); // from now on, results wait for the server
    closeLocked("Change setting");
    return 1;
}

int Bef_IsConnected() {
    return bef_ctx.connected.load();
}

bool Bef_TimerArmed() {
    std::lock_guard<std::mutex> g(bef_ctx.lock);
    return bef_ctx.connectTimer != nullptr;
}

size_t Bef_QueueLen() {
    return ResultStore_Backlog(BEF_PEER);
}
