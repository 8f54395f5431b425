// Open Protocol server internals shared by its files (never the GUI): the server's state
// on loop "P", the socket's send side and the calls the session and the pushed telegram
// streams make of each other.
#pragma once

#include "debug.h"
#include "opframe.h"
#include "opsrv.h"
#include "resultstore.h"

#include <atomic>
#include <deque>
#include <gio/gio.h>
#include <map>
#include <string>

#define OP_LOG(fmt, ...) DBG_LOG(DEBUG_FLAG_BEF, "op: " fmt __VA_OPT__(, ) __VA_ARGS__)

namespace opserver {
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
extern OpSrvCtx& opsrv;

// ---- the socket (opsrv.cpp) ----

GMainContext* loopContext();
GSource* addTimer(unsigned ms, GSourceFunc fn, gpointer data);
void dropSource(GSource*& s);
// Queues `t` for the client and sends what the socket takes.
void opSend(const std::string& t);
void opReply(int mid, int error);
void opFlush();

// ---- the session (opsrv_session.cpp) ----

void closeSession(const char* reason);
// (Re)starts the wait for the client's next telegram.
void armIdle();
gboolean readable(GSocket* sock, GIOCondition, gpointer);

// ---- pushed telegrams (opsrv_streams.cpp) ----

void streamDone(OpStream& s);
void streamNext(OpStream& s);
void streamReset(OpStream& s);
// Sends the results after the last one read, one at a time.
void pumpResults();
// The client's 0062: the result waiting is delivered.
void resultAcked();
} // namespace opserver
