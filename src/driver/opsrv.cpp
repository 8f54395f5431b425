// Open Protocol server on loop "P". Every socket, timer and session field below belongs to
// that loop's thread; other threads reach it only by posting to the loop (hooks, the
// store's wake-up, the GUI's answers). Nothing here polls: the store wakes the sender.
// The listener and the socket's send side are here; the session's telegrams are in
// opsrv_session.cpp, the pushed results, identifiers and alarms in opsrv_streams.cpp.
#include "opsrv.h"
#include "opsrv_private.h"

#include "debug.h"
#include "opframe.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include "barcode.h"
#include "operation.h"
#include "tools_private.h"

#include <gio/gio.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>

namespace opserver {
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

void opSend(const std::string& t) {
    if (!opsrv.client) return;
    opsrv.tx += t;
    opFlush();
}

void opReply(int mid, int error) {
    opSend(error ? OpBuild_Error(mid, error) : OpBuild_Accepted(mid));
}

namespace {
gboolean writable(GSocket*, GIOCondition, gpointer) {
    dropSource(opsrv.outSource);
    opFlush();
    // Results sent without acknowledgement go on once the socket took the last ones.
    if (opsrv.client && opsrv.tx.empty() && opsrv.results.on && opsrv.results.noAck) pumpResults();
    return G_SOURCE_REMOVE;
}
} // namespace

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

namespace {
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
} // namespace
} // namespace opserver

int OpSrv_Start(const OpSrvStore& store) {
    OpSrvStore copy = store;
    Barcode_SetCodeHook(OpSrv_IdentifierRead);
    Operation_SetToolErrorHook(OpSrv_ToolError);
    ToolManager_SetLinkLostHook(OpSrv_ToolLinkLost);
    Threads_AddSetup(LOOP_OPSRV, [copy] {
        opserver::opsrv.store = copy;
        opserver::opsrv.haveStore = bool(copy.read);
        if (opserver::opsrv.haveStore && copy.watch)
            opserver::opsrv.watchHandle = copy.watch([](int64_t) {
                // Many commits, one wake-up: the sender reads everything new at once.
                if (opserver::opsrv.wakePosted.exchange(true)) return;
                Threads_Post(LOOP_OPSRV, [] {
                    opserver::opsrv.wakePosted = false;
                    opserver::pumpResults();
                });
            });
        opserver::applyOnLoop();
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
    Threads_RunSync(LOOP_OPSRV, opserver::applyOnLoop);
    return 1;
}

void OpSrv_Stop() {
    Threads_RunSync(LOOP_OPSRV, [] {
        opserver::stopListening();
        if (opserver::opsrv.watchHandle >= 0 && opserver::opsrv.store.unwatch)
            opserver::opsrv.store.unwatch(opserver::opsrv.watchHandle);
        opserver::opsrv.watchHandle = -1;
        opserver::opsrv.store = OpSrvStore{};
        opserver::opsrv.haveStore = false;
    });
    OpSrv_SetTimeouts(OpSrvTimeouts{});
    Barcode_SetCodeHook(nullptr);
    Operation_SetToolErrorHook(nullptr);
    ToolManager_SetLinkLostHook(nullptr);
}

void OpSrv_SetTimeouts(const OpSrvTimeouts& t) {
    opserver::opsrv.idleMs = t.idleMs;
    opserver::opsrv.ackMs = t.ackMs;
    opserver::opsrv.commandMs = t.commandMs;
}

int OpSrv_BoundPort() {
    return opserver::opsrv.port.load();
}

int OpSrv_Connected() {
    return opserver::opsrv.connected.load();
}
