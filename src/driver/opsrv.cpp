// Open Protocol server on loop "P". Every socket, timer and session field below belongs to
// that loop's thread; other threads reach it only by posting to the loop (hooks, the
// store's wake-up, the GUI's answers). Nothing here polls: the store wakes the sender.
#include "opsrv.h"

#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "opframe.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include "barcode.h"
#include "operation.h"
#include "tools_private.h"

#include <atomic>
#include <deque>
#include <gio/gio.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>

#define OP_LOG(fmt, ...) DBG_LOG(DEBUG_FLAG_BEF, "op: " fmt __VA_OPT__(, ) __VA_ARGS__)

namespace {
constexpr size_t kFetchBatch = 64; // rows read from the store at a time

// One kind of pushed telegram (results, identifiers, alarms): one at a time, each waiting
// for the client's acknowledgement unless the subscription asked for none.
struct OpStream {
    bool on = false;
    int revision = 1;
    bool noAck = false;
    bool waiting = false;
    int resends = 0;
    std::string inFlight;
    GSource* timer = nullptr;
    std::deque<std::string> queue; // identifiers and alarms not sent yet
};

struct OpPending {
    int mid;
    GSource* timer;
};

struct OpSrvCtx {
    OpSrvStore store;
    bool haveStore = false;
    int watchHandle = -1;
    std::atomic<unsigned> idleMs{15000}, ackMs{10000}, commandMs{5000};
    GSocket* listener = nullptr;
    GSource* listenSource = nullptr;
    std::atomic<int> port{0};
    // The session.
    GSocket* client = nullptr;
    GSource* inSource = nullptr;
    GSource* outSource = nullptr;
    GSource* idleTimer = nullptr;
    std::string rx, tx;
    bool closeAfterFlush = false;
    bool started = false;
    std::atomic<int> connected{0};
    OpStream results, idents, alarms;
    int64_t resultId = 0;           // the result waiting for its 0062
    int64_t fetchedUpTo = 0;        // the newest row read from the store
    std::deque<StoredResult> ahead; // read, not sent yet
    std::map<int32_t, OpPending> pending;
    int32_t nextRequest = 1;
    std::atomic<bool> wakePosted{false};
};
// Never destroyed: the loop may still run while the process exits.
OpSrvCtx& opsrv = *new OpSrvCtx;

GMainContext* loopContext() {
    return Threads_GetContext(LOOP_OPSRV);
}

GSource* addTimer(unsigned ms, GSourceFunc fn, gpointer data) {
    GSource* s = g_timeout_source_new(ms);
    g_source_set_callback(s, fn, data, nullptr);
    g_source_attach(s, loopContext());
    return s;
}

void dropSource(GSource*& s) {
    if (!s) return;
    g_source_destroy(s);
    g_source_unref(s);
    s = nullptr;
}

void closeSession(const char* reason);
void opFlush();

void opSend(const std::string& t) {
    if (!opsrv.client) return;
    opsrv.tx += t;
    opFlush();
}

void opReply(int mid, int error) {
    opSend(error ? OpBuild_Error(mid, error) : OpBuild_Accepted(mid));
}

void pumpResults();

gboolean writable(GSocket*, GIOCondition, gpointer) {
    dropSource(opsrv.outSource);
    opFlush();
    // Results sent without acknowledgement go on once the socket took the last ones.
    if (opsrv.client && opsrv.tx.empty() && opsrv.results.on && opsrv.results.noAck) pumpResults();
    return G_SOURCE_REMOVE;
}

void opFlush() {
    while (opsrv.client && !opsrv.tx.empty()) {
        GError* err = nullptr;
        gssize n = g_socket_send(opsrv.client, opsrv.tx.data(), opsrv.tx.size(), nullptr, &err);
        if (n > 0) {
            opsrv.tx.erase(0, size_t(n));
            continue;
        }
        if (g_error_matches(err, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK)) {
            g_clear_error(&err);
            if (opsrv.tx.size() > OP_TX_LIMIT) {
                DBG_ERR("client reads nothing, %d bytes waiting", int(opsrv.tx.size()));
                closeSession("Send limit");
                return;
            }
            if (!opsrv.outSource) {
                GSource* s = g_socket_create_source(opsrv.client, G_IO_OUT, nullptr);
                g_source_set_callback(s, G_SOURCE_FUNC(writable), nullptr, nullptr);
                g_source_attach(s, loopContext());
                opsrv.outSource = s;
            }
            return;
        }
        DBG_ERR("send fail : %s", err ? err->message : "no progress");
        g_clear_error(&err);
        closeSession("Send error");
        return;
    }
    if (!opsrv.client) return;
    if (opsrv.closeAfterFlush) closeSession("Communication stop");
}

// ---- pushed telegrams ----

gboolean ackTimeout(gpointer data) {
    auto* s = static_cast<OpStream*>(data);
    dropSource(s->timer);
    if (s->resends >= OP_ACK_RESENDS) {
        DBG_ERR("no acknowledgement after %d resends, closing", s->resends);
        closeSession("No acknowledgement");
        return G_SOURCE_REMOVE;
    }
    ++s->resends;
    OP_LOG("resend %d", s->resends);
    s->timer = addTimer(opsrv.ackMs.load(), ackTimeout, s);
    opSend(s->inFlight);
    return G_SOURCE_REMOVE;
}

void streamSend(OpStream& s, std::string t) {
    if (s.noAck) {
        opSend(t);
        return;
    }
    s.inFlight = std::move(t);
    s.waiting = true;
    s.resends = 0;
    s.timer = addTimer(opsrv.ackMs.load(), ackTimeout, &s);
    opSend(s.inFlight);
}

void streamDone(OpStream& s) {
    dropSource(s.timer);
    s.waiting = false;
    s.resends = 0;
    s.inFlight.clear();
}

void streamNext(OpStream& s) {
    while (opsrv.client && s.on && !s.waiting && !s.queue.empty()) {
        std::string t = std::move(s.queue.front());
        s.queue.pop_front();
        streamSend(s, std::move(t));
    }
}

void streamPush(OpStream& s, std::string t) {
    if (!opsrv.client || !opsrv.started || !s.on) return;
    s.queue.push_back(std::move(t));
    streamNext(s);
}

void streamReset(OpStream& s) {
    streamDone(s);
    s.queue.clear();
    s.on = false;
}

void pumpResults() {
    OpStream& s = opsrv.results;
    while (opsrv.client && opsrv.started && s.on && !s.waiting && opsrv.haveStore) {
        if (s.noAck && !opsrv.tx.empty()) return; // the socket is full: opFlush() comes back
        if (opsrv.ahead.empty()) {
            std::vector<StoredResult> rows;
            int n = opsrv.store.read(opsrv.fetchedUpTo, kFetchBatch, &rows);
            if (n < 0) DBG_ERR("result store read after %lld fail", (long long)opsrv.fetchedUpTo);
            if (n <= 0 || rows.empty()) return; // the store's watch wakes us for new ones
            opsrv.fetchedUpTo = rows.back().id;
            for (StoredResult& r : rows)
                opsrv.ahead.push_back(std::move(r));
        }
        StoredResult r = std::move(opsrv.ahead.front());
        opsrv.ahead.pop_front();
        opsrv.resultId = r.id;
        streamSend(s, OpBuild_Result(s.revision, r));
        // Without acknowledgement, a result handed to the socket counts as delivered.
        if (s.noAck && opsrv.store.ack(OP_PEER, r.id) != 0)
            DBG_ERR("cursor ack of %lld fail", (long long)r.id);
    }
}

void resultAcked() {
    OpStream& s = opsrv.results;
    if (!s.waiting) {
        OP_LOG("0062 with no result waiting");
        return;
    }
    if (opsrv.store.ack(OP_PEER, opsrv.resultId) != 0)
        DBG_ERR("cursor ack of %lld fail", (long long)opsrv.resultId);
    streamDone(s);
    pumpResults();
}

// ---- commands the GUI carries out ----

gboolean commandTimeout(gpointer data) {
    int32_t id = GPOINTER_TO_INT(data);
    auto it = opsrv.pending.find(id);
    if (it == opsrv.pending.end()) return G_SOURCE_REMOVE;
    DBG_ERR("command %d (MID %04d) not answered in time", int(id), it->second.mid);
    int mid = it->second.mid;
    dropSource(it->second.timer);
    opsrv.pending.erase(it);
    opReply(mid, OP_ERR_TIMEOUT);
    return G_SOURCE_REMOVE;
}

void postCommand(int mid, int arg, const std::string& text) {
    int32_t id = opsrv.nextRequest++;
    if (opsrv.nextRequest <= 0) opsrv.nextRequest = 1;
    GSource* t = addTimer(opsrv.commandMs.load(), commandTimeout, GINT_TO_POINTER(id));
    opsrv.pending[id] = OpPending{mid, t};
    EwDriver_PushMsgQ_PlantCommand(id, mid, arg, text.c_str());
}

// ---- the session ----

OpIdentity panelIdentity() {
    OpIdentity id;
    id.controllerName = "zqcapp";
    return id;
}

gboolean idleTimeout(gpointer) {
    dropSource(opsrv.idleTimer);
    DBG_ERR("no telegram for %u ms, closing", opsrv.idleMs.load());
    closeSession("Idle");
    return G_SOURCE_REMOVE;
}

void armIdle() {
    dropSource(opsrv.idleTimer);
    opsrv.idleTimer = addTimer(opsrv.idleMs.load(), idleTimeout, nullptr);
}

void subscribe(OpStream& s, const OpTelegram& t, int exists) {
    if (s.on) {
        opReply(t.mid, exists);
        return;
    }
    s.on = true;
    s.revision = t.revision;
    s.noAck = t.noAck;
    opReply(t.mid, 0);
}

void unsubscribe(OpStream& s, int mid, int missing) {
    if (!s.on) {
        opReply(mid, missing);
        return;
    }
    streamReset(s);
    opReply(mid, 0);
}

void opHandle(const OpTelegram& t) {
    int maxRev = OpFrame_MaxRevision(t.mid);
    if (!opsrv.started && t.mid != OP_MID_START) {
        opReply(t.mid, OP_ERR_COMMAND_FAILED); // not in a session yet
        return;
    }
    if (maxRev == 0) {
        opReply(t.mid, OP_ERR_UNKNOWN_MID);
        return;
    }
    if (t.revision > maxRev) {
        opReply(t.mid, OP_ERR_REVISION);
        return;
    }
    std::string text;
    int v;
    switch (t.mid) {
    case OP_MID_START:
        if (opsrv.started) {
            opReply(t.mid, OP_ERR_CLIENT_CONNECTED);
            return;
        }
        opsrv.started = true;
        opsrv.connected = 1;
        EwDriver_PushMsgQ_OpConnected(1);
        OP_LOG("session started, revision %d", t.revision);
        opSend(OpBuild_StartAck(t.revision, panelIdentity()));
        return;
    case OP_MID_STOP:
        opReply(t.mid, 0);
        opsrv.closeAfterFlush = true;
        opFlush();
        return;
    case OP_MID_KEEP_ALIVE:
        opSend(OpBuild_KeepAlive());
        return;
    case OP_MID_RESULT_SUBSCRIBE:
        if (!opsrv.haveStore) {
            opReply(t.mid, OP_ERR_COMMAND_FAILED);
            return;
        }
        if (!opsrv.results.on) {
            opsrv.fetchedUpTo = opsrv.store.cursor(OP_PEER);
            opsrv.ahead.clear();
        }
        subscribe(opsrv.results, t, OP_ERR_RESULT_SUB_EXISTS);
        pumpResults();
        return;
    case OP_MID_RESULT_ACK:
        resultAcked();
        return;
    case OP_MID_RESULT_UNSUBSCRIBE:
        opsrv.ahead.clear();
        unsubscribe(opsrv.results, t.mid, OP_ERR_RESULT_SUB_MISSING);
        return;
    case OP_MID_OLD_RESULT_REQUEST: {
        int64_t id = OpParse_TighteningId(t.data);
        StoredResult r;
        if (id < 0)
            opReply(t.mid, OP_ERR_INVALID_DATA);
        else if (!opsrv.haveStore || opsrv.store.get(id, &r) != 0)
            opReply(t.mid, OP_ERR_ID_NOT_FOUND);
        else
            opSend(OpBuild_OldResult(r));
        return;
    }
    case OP_MID_IDENT_SUBSCRIBE:
        subscribe(opsrv.idents, t, OP_ERR_IDENT_SUB_EXISTS);
        return;
    case OP_MID_IDENT_ACK:
        if (opsrv.idents.waiting) streamDone(opsrv.idents);
        streamNext(opsrv.idents);
        return;
    case OP_MID_IDENT_UNSUBSCRIBE:
        unsubscribe(opsrv.idents, t.mid, OP_ERR_IDENT_SUB_MISSING);
        return;
    case OP_MID_ALARM_SUBSCRIBE:
        subscribe(opsrv.alarms, t, OP_ERR_ALARM_SUB_EXISTS);
        return;
    case OP_MID_ALARM_ACK:
        if (opsrv.alarms.waiting) streamDone(opsrv.alarms);
        streamNext(opsrv.alarms);
        return;
    case OP_MID_ALARM_UNSUBSCRIBE:
        unsubscribe(opsrv.alarms, t.mid, OP_ERR_ALARM_SUB_MISSING);
        return;
    case OP_MID_TOOL_DISABLE:
    case OP_MID_TOOL_ENABLE:
        postCommand(t.mid, 0, "");
        return;
    case OP_MID_JOB_SELECT:
        v = OpParse_JobId(t.revision, t.data);
        if (v < 0)
            opReply(t.mid, OP_ERR_INVALID_DATA);
        else if (v == 0)
            opReply(t.mid, OP_ERR_JOB_NOT_PRESENT);
        else
            postCommand(t.mid, v - 1, ""); // the job's position in the list
        return;
    case OP_MID_PSET_SELECT:
        v = OpParse_ParameterSet(t.data);
        if (v < 0)
            opReply(t.mid, OP_ERR_INVALID_DATA);
        else
            postCommand(t.mid, v, "");
        return;
    case OP_MID_IDENT_DOWNLOAD:
        if (OpParse_Identifier(t.data, &text) != 0)
            opReply(t.mid, OP_ERR_INVALID_DATA);
        else
            postCommand(t.mid, 0, text);
        return;
    default: // a MID the server only sends
        opReply(t.mid, OP_ERR_UNKNOWN_MID);
        return;
    }
}

gboolean readable(GSocket* sock, GIOCondition, gpointer) {
    if (sock != opsrv.client) return G_SOURCE_REMOVE;
    char buf[4096];
    for (;;) {
        GError* err = nullptr;
        gssize n = g_socket_receive(sock, buf, sizeof buf, nullptr, &err);
        if (n > 0) {
            opsrv.rx.append(buf, size_t(n));
            continue;
        }
        if (n == 0) {
            OP_LOG("client closed");
            closeSession("Recv FIN");
            return G_SOURCE_REMOVE;
        }
        bool wouldBlock = g_error_matches(err, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        if (!wouldBlock) DBG_ERR("receive fail : %s", err ? err->message : "");
        g_clear_error(&err);
        if (!wouldBlock) {
            closeSession("Recv error");
            return G_SOURCE_REMOVE;
        }
        break;
    }
    size_t off = 0;
    while (opsrv.client == sock && !opsrv.closeAfterFlush && off < opsrv.rx.size()) {
        OpFrameResult r;
        OpFrame_Parse(reinterpret_cast<const uint8_t*>(opsrv.rx.data()) + off,
                      opsrv.rx.size() - off, &r);
        if (r.status == OP_FRAME_NEED_MORE) break;
        off += r.consumed;
        if (r.status == OP_FRAME_SKIP) {
            DBG_ERR("%d bytes outside a telegram skipped", int(r.consumed));
            continue;
        }
        armIdle();
        if (r.status == OP_FRAME_ERROR) {
            DBG_ERR("malformed telegram (MID %04d), %d bytes dropped", r.replyMid, int(r.consumed));
            opReply(r.replyMid, r.error);
            continue;
        }
        OP_LOG("MID %04d rev %d, %d bytes of data", r.telegram.mid, r.telegram.revision,
               int(r.telegram.data.size()));
        opHandle(r.telegram);
    }
    if (opsrv.client != sock) return G_SOURCE_REMOVE;
    opsrv.rx.erase(0, off);
    return G_SOURCE_CONTINUE;
}

void closeSession(const char* reason) {
    if (!opsrv.client) return;
    OP_LOG("close session (%s)", reason);
    dropSource(opsrv.inSource);
    dropSource(opsrv.outSource);
    dropSource(opsrv.idleTimer);
    streamReset(opsrv.results);
    streamReset(opsrv.idents);
    streamReset(opsrv.alarms);
    for (auto& [id, p] : opsrv.pending)
        dropSource(p.timer);
    opsrv.pending.clear();
    opsrv.ahead.clear();
    if (opsrv.started) { // before the close, so the client never sees a stale status
        opsrv.started = false;
        opsrv.connected = 0;
        EwDriver_PushMsgQ_OpConnected(0);
    }
    g_socket_close(opsrv.client, nullptr);
    g_object_unref(opsrv.client);
    opsrv.client = nullptr;
    opsrv.rx.clear();
    opsrv.tx.clear();
    opsrv.closeAfterFlush = false;
}

gboolean acceptable(GSocket* listener, GIOCondition, gpointer) {
    GError* err = nullptr;
    GSocket* c = g_socket_accept(listener, nullptr, &err);
    if (!c) {
        if (!g_error_matches(err, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK))
            DBG_ERR("accept fail : %s", err ? err->message : "");
        g_clear_error(&err);
        return G_SOURCE_CONTINUE;
    }
    if (opsrv.client) {
        // One client at a time: the newcomer hears why and is closed.
        DBG_ERR("second client refused");
        std::string t = OpBuild_Error(OP_MID_START, OP_ERR_CLIENT_CONNECTED);
        g_socket_send(c, t.data(), t.size(), nullptr, nullptr);
        g_socket_shutdown(c, FALSE, TRUE, nullptr);
        g_socket_close(c, nullptr);
        g_object_unref(c);
        return G_SOURCE_CONTINUE;
    }
    g_socket_set_blocking(c, FALSE);
    g_socket_set_option(c, IPPROTO_TCP, TCP_NODELAY, 1, nullptr);
    opsrv.client = c;
    GSource* s = g_socket_create_source(c, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), nullptr);
    g_source_set_callback(s, G_SOURCE_FUNC(readable), nullptr, nullptr);
    g_source_attach(s, loopContext());
    opsrv.inSource = s;
    armIdle();
    OP_LOG("client accepted");
    return G_SOURCE_CONTINUE;
}

void stopListening() {
    closeSession("Listener closed");
    dropSource(opsrv.listenSource);
    if (opsrv.listener) {
        g_socket_close(opsrv.listener, nullptr);
        g_object_unref(opsrv.listener);
        opsrv.listener = nullptr;
    }
    opsrv.port = 0;
}

void startListening(uint32_t port) {
    stopListening();
    GError* err = nullptr;
    GSocket* s =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, &err);
    GInetAddress* any = g_inet_address_new_any(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* addr = g_inet_socket_address_new(any, guint16(port));
    g_object_unref(any);
    bool ok = s && g_socket_bind(s, addr, TRUE, &err) && g_socket_listen(s, &err);
    g_object_unref(addr);
    if (!ok) {
        DBG_ERR("listen on port %u fail : %s", unsigned(port), err ? err->message : "");
        g_clear_error(&err);
        if (s) g_object_unref(s);
        return;
    }
    g_socket_set_blocking(s, FALSE);
    if (GSocketAddress* local = g_socket_get_local_address(s, nullptr)) {
        opsrv.port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(local));
        g_object_unref(local);
    }
    opsrv.listener = s;
    opsrv.listenSource = g_socket_create_source(s, G_IO_IN, nullptr);
    g_source_set_callback(opsrv.listenSource, G_SOURCE_FUNC(acceptable), nullptr, nullptr);
    g_source_attach(opsrv.listenSource, loopContext());
    OP_LOG("listening on port %d", opsrv.port.load());
}

void applyOnLoop() {
    const SettingPlant* pl = get_setting_plant();
    if (pl->op_enable)
        startListening(pl->op_port);
    else
        stopListening();
}

std::string nowText() {
    struct tm t;
    Common_LocalTime(&t);
    char b[32];
    strftime(b, sizeof b, "%Y-%m-%d %H:%M:%S", &t);
    return b;
}

void pushAlarm(int code, bool toolReady) {
    std::string time = nowText();
    Threads_Post(LOOP_OPSRV, [code, toolReady, time] {
        streamPush(opsrv.alarms, OpBuild_Alarm(code, true, toolReady, time));
    });
}
} // namespace

int OpSrv_Start(const OpSrvStore& store) {
    OpSrvStore copy = store;
    Barcode_SetCodeHook(OpSrv_IdentifierRead);
    Operation_SetToolErrorHook(OpSrv_ToolError);
    ToolManager_SetLinkLostHook(OpSrv_ToolLinkLost);
    Threads_AddSetup(LOOP_OPSRV, [copy] {
        opsrv.store = copy;
        opsrv.haveStore = bool(copy.read);
        if (opsrv.haveStore && copy.watch)
            opsrv.watchHandle = copy.watch([](int64_t) {
                // Many commits, one wake-up: the sender reads everything new at once.
                if (opsrv.wakePosted.exchange(true)) return;
                Threads_Post(LOOP_OPSRV, [] {
                    opsrv.wakePosted = false;
                    pumpResults();
                });
            });
        applyOnLoop();
    });
    return 0;
}

int OpSrv_Init() {
    OpSrvStore s;
    s.read = ResultStore_Read;
    s.get = ResultStore_Get;
    s.cursor = ResultStore_Cursor;
    s.ack = ResultStore_Ack;
    // The store's first call (its start-up) comes before any result: the cursor is set then.
    s.watch = [](std::function<void(int64_t)> fn) {
        return ResultStore_Watch([fn = std::move(fn)](int64_t lastId) {
            if (get_setting_plant()->op_enable) ResultStore_Join(OP_PEER);
            fn(lastId);
        });
    };
    s.unwatch = ResultStore_Unwatch;
    return OpSrv_Start(s);
}

int OpSrv_ApplySetting(uint32_t enable, uint32_t port) {
    SettingPlant* pl = get_setting_plant();
    if (pl->op_enable == enable && pl->op_port == port) return 0;
    pl->op_enable = enable;
    pl->op_port = port;
    if (enable) ResultStore_Join(OP_PEER); // from now on, results wait for the client
    Threads_RunSync(LOOP_OPSRV, applyOnLoop);
    return 1;
}

void OpSrv_Stop() {
    Threads_RunSync(LOOP_OPSRV, [] {
        stopListening();
        if (opsrv.watchHandle >= 0 && opsrv.store.unwatch) opsrv.store.unwatch(opsrv.watchHandle);
        opsrv.watchHandle = -1;
        opsrv.store = OpSrvStore{};
        opsrv.haveStore = false;
    });
    OpSrv_SetTimeouts(OpSrvTimeouts{});
    Barcode_SetCodeHook(nullptr);
    Operation_SetToolErrorHook(nullptr);
    ToolManager_SetLinkLostHook(nullptr);
}

void OpSrv_SetTimeouts(const OpSrvTimeouts& t) {
    opsrv.idleMs = t.idleMs;
    opsrv.ackMs = t.ackMs;
    opsrv.commandMs = t.commandMs;
}

int OpSrv_BoundPort() {
    return opsrv.port.load();
}

int OpSrv_Connected() {
    return opsrv.connected.load();
}

void OpSrv_CommandDone(int32_t requestId, int error) {
    Threads_Post(LOOP_OPSRV, [requestId, error] {
        auto it = opsrv.pending.find(requestId);
        if (it == opsrv.pending.end()) {
            DBG_ERR("answer to command %d comes too late", int(requestId));
            return;
        }
        int mid = it->second.mid;
        dropSource(it->second.timer);
        opsrv.pending.erase(it);
        opReply(mid, error);
    });
}

void OpSrv_IdentifierRead(const char* code) {
    if (!code || !*code) return;
    std::string c = code;
    Threads_Post(LOOP_OPSRV,
                 [c] { streamPush(opsrv.idents, OpBuild_Identifier(opsrv.idents.revision, c)); });
}

void OpSrv_ToolError(int tdx, int error) {
    OP_LOG("tool error %d on tdx.%d", error, tdx);
    pushAlarm(error, true);
}

void OpSrv_ToolLinkLost(int tdx) {
    pushAlarm(OP_ALARM_LINK_LOST + tdx + 1, false);
}
