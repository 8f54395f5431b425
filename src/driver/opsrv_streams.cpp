// The Open Protocol server's pushed telegrams: results read from the store in order, and
// identifiers and alarms, each one at a time with its acknowledgement wait and resends.
// Apart from the session (opsrv_session.cpp), which subscribes and acknowledges.
#include "opsrv.h"
#include "opsrv_private.h"

#include "common.h"
#include "debug.h"
#include "opframe.h"
#include "resultstore.h"
#include "threads.h"

#include <gio/gio.h>
#include <string>
#include <vector>

namespace opserver {
namespace {
constexpr size_t kFetchBatch = 64; // rows read from the store at a time

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
} // namespace

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

namespace {
void streamPush(OpStream& s, std::string t) {
    if (!opsrv.client || !opsrv.started || !s.on) return;
    s.queue.push_back(std::move(t));
    streamNext(s);
}
} // namespace

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

namespace {
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
} // namespace opserver

void OpSrv_IdentifierRead(const char* code) {
    if (!code || !*code) return;
    std::string c = code;
    Threads_Post(LOOP_OPSRV, [c] {
        opserver::streamPush(opserver::opsrv.idents,
                             OpBuild_Identifier(opserver::opsrv.idents.revision, c));
    });
}

void OpSrv_ToolError(int tdx, int error) {
    OP_LOG("tool error %d on tdx.%d", error, tdx);
    opserver::pushAlarm(error, true);
}

void OpSrv_ToolLinkLost(int tdx) {
    opserver::pushAlarm(OP_ALARM_LINK_LOST + tdx + 1, false);
}
