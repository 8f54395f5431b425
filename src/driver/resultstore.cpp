// The result store: one SQLite database in WAL mode beside the day logs, written only on
// loop "O". The day file is the durable record the tool's acknowledgement waits for; the
// store follows it. Each commit also records how far the store has taken each day file,
// so after a crash the start-up takes in exactly the lines it missed, once.
// Opening the store, taking in what the day files got while it was closed and its bound
// are in resultstore_catchup.cpp, the readers' connection in resultstore_read.cpp.
#include "resultstore.h"
#include "resultstore_private.h"

#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "eventlog_private.h"
#include "ew_driver.h"
#include "setting.h"
#include "threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>

namespace resultstore {
// Never destroyed: loop "O" may still commit while the process exits.
ResultStoreState& store = *new ResultStoreState;

bool exec(sqlite3* db, const char* sql, const char* caller) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
    DBG_ERR_AS(caller, "%s : %s", sql, err ? err : sqlite3_errmsg(db));
    sqlite3_free(err);
    return false;
}

// Rows and the offsets reached, in one transaction. The test seam sees it just before
// the commit (0) and after it (1). False when nothing was committed.
bool commit(const std::vector<StoredResult>& rows, const std::map<std::string, off_t>& reached) {
    sqlite3* db = store.db;
    if (!exec(db, "BEGIN IMMEDIATE", __func__)) return false;
    bool ok = true;
    int64_t last = store.lastId.load();
    for (const StoredResult& r : rows) {
        sqlite3_stmt* s = store.insert;
        sqlite3_reset(s);
        int k = 1;
        sqlite3_bind_text(s, k++, r.time.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, k++, r.utcOffset);
        for (const std::string* t : {&r.job, &r.step, &r.barcode, &r.tool})
            sqlite3_bind_text(s, k++, t->c_str(), int(t->size()), SQLITE_TRANSIENT);
        for (int v :
             {r.fastenTime, r.preset, r.targetTorque, r.torque, r.speed, r.a1, r.a2, r.a3, r.screw,
              r.error, r.direction, r.status, r.snug, r.extra.tdx, r.extra.jobIndex,
              r.extra.stepIndex, r.extra.batchSize, r.extra.batchCount, r.extra.unit})
            sqlite3_bind_int(s, k++, v);
        if (r.extra.frame.empty())
            sqlite3_bind_null(s, k++);
        else
            sqlite3_bind_blob(s, k++, r.extra.frame.data(), int(r.extra.frame.size()),
                              SQLITE_TRANSIENT);
        if (sqlite3_step(s) != SQLITE_DONE) {
            DBG_ERR("result insert fail : %s", sqlite3_errmsg(db));
            ok = false;
            break;
        }
        last = sqlite3_last_insert_rowid(db);
    }
    for (auto& [path, off] : reached) {
        if (!ok) break;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO files(path, offset) VALUES(?, ?)", -1, &s,
                           nullptr);
        sqlite3_bind_text(s, 1, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 2, off);
        if (sqlite3_step(s) != SQLITE_DONE) {
            DBG_ERR("file offset fail : %s", sqlite3_errmsg(db));
            ok = false;
        }
        sqlite3_finalize(s);
    }
    std::function<void(int, int64_t)> hook;
    {
        std::lock_guard<std::mutex> g(store.lock);
        hook = store.hook;
    }
    if (ok && hook && !rows.empty()) hook(0, last);
    if (!ok || !exec(db, "COMMIT", __func__)) {
        // What the day files hold beyond the recorded offsets is taken again later.
        exec(db, "ROLLBACK", __func__);
        return false;
    }
    for (auto& [path, off] : reached)
        store.files[path] = off;
    store.lastId = last;
    if (hook && !rows.empty()) hook(1, last);
    return true;
}

int64_t queryInt(sqlite3* db, const char* sql, int64_t a, int64_t b) {
    sqlite3_stmt* s = nullptr;
    int64_t v = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
        if (sqlite3_bind_parameter_count(s) > 0) sqlite3_bind_int64(s, 1, a);
        if (sqlite3_bind_parameter_count(s) > 1) sqlite3_bind_int64(s, 2, b);
        if (sqlite3_step(s) == SQLITE_ROW) v = sqlite3_column_int64(s, 0);
    } else {
        DBG_ERR("%s : %s", sql, sqlite3_errmsg(db));
    }
    sqlite3_finalize(s);
    return v;
}

bool writeCursor(const std::string& peer, int64_t id) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(store.db,
                       "INSERT INTO cursors(peer, id) VALUES(?1, ?2) ON CONFLICT(peer) DO "
                       "UPDATE SET id = max(id, ?2)",
                       -1, &s, nullptr);
    sqlite3_bind_text(s, 1, peer.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 2, id);
    const bool ok = sqlite3_step(s) == SQLITE_DONE;
    if (!ok) DBG_ERR("cursor of %s not written : %s", peer.c_str(), sqlite3_errmsg(store.db));
    sqlite3_finalize(s);
    return ok;
}

void notifyWatchers() {
    std::vector<std::function<void(int64_t)>> fns;
    {
        std::lock_guard<std::mutex> g(store.lock);
        for (auto& [h, fn] : store.watchers)
            fns.push_back(fn);
    }
    const int64_t last = store.lastId.load();
    for (auto& fn : fns)
        fn(last);
}
} // namespace resultstore

// The writer's jobs and the public calls below work on the module's state by these names.
using resultstore::commit;
using resultstore::DB_PATH;
using resultstore::exec;
using resultstore::notifyWatchers;
using resultstore::prune;
using resultstore::setUp;
using resultstore::store;
using resultstore::writeCursor;

namespace {
struct StoreJob {
    enum Kind { WRITTEN, ACK } kind = WRITTEN;
    std::string path; // WRITTEN: the day file; ACK: the peer
    off_t end = 0;
    std::vector<ResultWrittenLine> lines;
    int64_t id = 0;
};

void commitAndTell(const std::vector<StoredResult>& rows,
                   const std::map<std::string, off_t>& reached) {
    if (rows.empty() && reached.empty()) return;
    if (!commit(rows, reached)) return;
    if (!rows.empty()) prune();
    notifyWatchers();
}

// Lines that reached a day file. What lies between the offset taken and these lines
// (the header, a line of the synchronous writer) is read from the file; lines the store
// holds already are not taken twice. A file shorter than what was taken was removed and
// written anew: it is read from its start.
void takeWritten(StoreJob& job) {
    off_t start = job.end;
    for (const ResultWrittenLine& l : job.lines)
        start -= off_t(l.line.size());
    auto it = store.files.find(job.path);
    off_t from = it == store.files.end() ? 0 : it->second;
    if (from > job.end) {
        DBG_ERR("%s is shorter than the store took (%lld < %lld): read again from its start",
                job.path.c_str(), (long long)job.end, (long long)from);
        from = 0;
    }
    std::vector<StoredResult> rows;
    if (from < start && ResultStore_ReadLines(job.path, from, start, &rows) < 0) return;
    off_t at = start;
    for (ResultWrittenLine& l : job.lines) {
        const off_t lineAt = at;
        at += off_t(l.line.size());
        if (lineAt < from) continue; // taken at start-up already
        StoredResult r;
        if (ResultStore_ParseLine(l.line.data(), l.line.size(), &r) != 0) {
            DBG_ERR("%s : a line that is not a result not stored", job.path.c_str());
            continue;
        }
        r.extra = std::move(l.extra);
        rows.push_back(std::move(r));
    }
    commitAndTell(rows, {{job.path, job.end}});
}

// One write for all the acknowledgements of a peer since the last: the newest cursor.
void takeAck(const StoreJob& job) {
    int64_t id = job.id;
    {
        std::lock_guard<std::mutex> g(store.lock);
        store.ackQueued[job.path] = false;
        auto it = store.cursors.find(job.path);
        if (it != store.cursors.end()) id = std::max(id, it->second);
    }
    if (!exec(store.db, "BEGIN IMMEDIATE", __func__)) return;
    if (!writeCursor(job.path, id) || !exec(store.db, "COMMIT", __func__))
        exec(store.db, "ROLLBACK", __func__);
}

void runJob(StoreJob* job) {
    {
        std::lock_guard<std::mutex> g(store.dbLock);
        if (!store.db) {
            DBG_ERR("result store not open, %zu results left to the next start", job->lines.size());
        } else if (job->kind == StoreJob::WRITTEN) {
            takeWritten(*job);
        } else {
            takeAck(*job);
        }
    }
    delete job;
    {
        std::lock_guard<std::mutex> g(store.lock);
        ++store.done;
    }
    store.idle.notify_all();
}

void push(StoreJob* job) {
    GMainContext* ctx = Threads_GetContext(LOOP_STORE);
    WorkQueue* q = nullptr;
    {
        std::lock_guard<std::mutex> g(store.lock);
        if (!store.wanted) {
            delete job;
            return;
        }
        ++store.queued;
        if (ctx && !store.queue)
            store.queue = WorkQueue_New(ctx, [](void* p) { runJob(static_cast<StoreJob*>(p)); });
        q = store.queue;
    }
    if (!q) {
        runJob(job); // without the worker threads (tools that drive single modules)
        return;
    }
    WorkQueue_Push(q, job);
}
} // namespace

int ResultStore_Init() {
    {
        std::lock_guard<std::mutex> g(store.lock);
        store.wanted = true;
    }
    if (Threads_GetContext(LOOP_STORE))
        Threads_RunSync(LOOP_STORE, setUp);
    else
        Threads_AddSetup(LOOP_STORE, setUp);
    return 0;
}

void ResultStore_Written(const std::string& path, off_t end, std::vector<ResultWrittenLine> lines) {
    auto* job = new StoreJob;
    job->path = path;
    job->end = end;
    job->lines = std::move(lines);
    push(job);
}

void ResultStore_Flush() {
    std::unique_lock<std::mutex> g(store.lock);
    const uint64_t target = store.queued;
    store.idle.wait(g, [target] { return store.done >= target; });
}

void ResultStore_Shutdown() {
    ResultStore_Flush();
    {
        std::lock_guard<std::mutex> g(store.lock);
        store.wanted = false;
        store.watchers.clear();
        store.cursors.clear();
        store.ackQueued.clear();
        store.hook = nullptr;
    }
    store.ready = false;
    {
        std::lock_guard<std::mutex> g(store.readLock);
        sqlite3_close(store.rdb);
        store.rdb = nullptr;
    }
    std::lock_guard<std::mutex> g(store.dbLock);
    sqlite3_finalize(store.insert);
    store.insert = nullptr;
    if (store.db && sqlite3_close(store.db) != SQLITE_OK)
        DBG_ERR("%s close fail : %s", DB_PATH, sqlite3_errmsg(store.db));
    store.db = nullptr;
    store.files.clear();
    store.lastId = 0;
}

bool ResultStore_Ready() {
    return store.ready.load();
}

int64_t ResultStore_LastId() {
    return store.lastId.load();
}

int64_t ResultStore_Cursor(const char* peer) {
    std::lock_guard<std::mutex> g(store.lock);
    auto it = peer ? store.cursors.find(peer) : store.cursors.end();
    return it == store.cursors.end() ? 0 : it->second;
}

int ResultStore_Ack(const char* peer, int64_t id) {
    if (!peer || !*peer) {
        DBG_ERR("no peer named");
        return -1;
    }
    {
        std::lock_guard<std::mutex> g(store.lock);
        auto [it, added] = store.cursors.emplace(peer, id);
        if (!added && it->second >= id) return 0;
        it->second = std::max(it->second, id);
        bool& queued = store.ackQueued[peer];
        if (queued) return 0; // the write waiting takes the newest
        queued = true;
    }
    auto* job = new StoreJob;
    job->kind = StoreJob::ACK;
    job->path = peer;
    job->id = id;
    push(job);
    return 0;
}

int ResultStore_Join(const char* peer) {
    if (!peer || !*peer || !store.ready) return -1;
    {
        std::lock_guard<std::mutex> g(store.lock);
        if (store.cursors.count(peer)) return 0;
    }
    return ResultStore_Ack(peer, store.lastId.load());
}

int ResultStore_Watch(std::function<void(int64_t lastId)> fn) {
    int h;
    {
        std::lock_guard<std::mutex> g(store.lock);
        h = store.nextWatch++;
        store.watchers[h] = fn;
    }
    // A peer whose loop registers after the start-up's call gets it now: otherwise it would
    // take its cursor only at the next commit, past the result of that commit.
    if (store.ready) fn(store.lastId.load());
    return h;
}

void ResultStore_Unwatch(int handle) {
    std::lock_guard<std::mutex> g(store.lock);
    store.watchers.erase(handle);
}

void ResultStore_SetCommitHook(std::function<void(int phase, int64_t lastId)> fn) {
    std::lock_guard<std::mutex> g(store.lock);
    store.hook = std::move(fn);
}
