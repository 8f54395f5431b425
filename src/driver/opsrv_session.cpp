// The Open Protocol session: the client's telegrams, answered at once or carried out by the
// GUI as commands, its idle wait and its close. Apart from the listener and the socket's send
// side (opsrv.cpp) and the pushed telegram streams (opsrv_streams.cpp).
#include "opsrv.h"
#include "opsrv_private.h"

#include "debug.h"
#include "ew_driver.h"
#include "opframe.h"
#include "resultstore.h"
#include "threads.h"

#include <gio/gio.h>
#include <map>
#include <string>

namespace opserver {
namespace {
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
} // namespace

void armIdle() {
    dropSource(opsrv.idleTimer);
    opsrv.idleTimer = addTimer(opsrv.idleMs.load(), idleTimeout, nullptr);
}

namespace {
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
} // namespace

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
} // namespace opserver

void OpSrv_CommandDone(int32_t requestId, int error) {
    Threads_Post(LOOP_OPSRV, [requestId, error] {
        auto it = opserver::opsrv.pending.find(requestId);
        if (it == opserver::opsrv.pending.end()) {
            DBG_ERR("answer to command %d comes too late", int(requestId));
            return;
        }
        int mid = it->second.mid;
        opserver::dropSource(it->second.timer);
        opserver::opsrv.pending.erase(it);
        opserver::opReply(mid, error);
    });
}
