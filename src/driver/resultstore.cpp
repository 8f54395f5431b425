// The result store: one SQLite database in WAL mode beside the day logs, written only on
// loop "O". The day file is the durable record the tool's acknowledgement waits for; the
// store follows it. Each commit also records how far the store has taken each day file,
// so after a crash the start-up takes in exactly the lines it missed, once.
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
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const DB_PATH = "./files/log/results.db";

// Oldest rows the day bound looks at per commit: it never scans the whole table.
constexpr int PRUNE_DAY_SLICE = 1000;

struct StoreJob {
    enum Kind { WRITTEN, ACK } kind = WRITTEN;
    std::string path; // WRITTEN: the day file; ACK: the peer
    off_t end = 0;
    std::vector<ResultWrittenLine> lines;
    int64_t id = 0;
};

struct ResultStoreState {
    std::mutex lock; // the counters, the cursors, the watchers and the hook
    std::condition_variable idle;
    uint64_t queued = 0, done = 0;
    WorkQueue* queue = nullptr;
    bool wanted = false;            // ResultStore_Init was called
    std::atomic<bool> ready{false}; // the set-up has run (the read side may open)
    std::map<std::string, int64_t> cursors;
    std::map<std::string, bool> ackQueued; // a cursor write waits on loop "O"
    std::map<int, std::function<void(int64_t)>> watchers;
    int nextWatch = 1;
    std::function<void(int, int64_t)> hook;
    std::atomic<int64_t> lastId{0};

    std::mutex dbLock; // the writer's connection and all below (loop "O")
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    std::map<std::string, off_t> files; // how far each day file has been taken

    std::mutex readLock; // the readers' connection
    sqlite3* rdb = nullptr;
};
// Never destroyed: loop "O" may still commit while the process exits.
ResultStoreState& store = *new ResultStoreState;

bool exec(sqlite3* db, const char* sql, const char* caller) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
    DBG_ERR_AS(caller, "%s : %s", sql, err ? err : sqlite3_errmsg(db));
    sqlite3_free(err);
    return false;
}

// The date a day file is named after (YYYYMMDD), 0 for another name.
int fileDate(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() != 12 || name.compare(8, 4, ".csv") != 0) return 0;
    for (size_t i = 0; i < 8; ++i)
        if (!isdigit((unsigned char)name[i])) return 0;
    return atoi(name.substr(0, 8).c_str());
}

// A folder's entries made of `digits` digits, as numbers.
std::vector<int> numberedEntries(const std::string& dir, size_t digits) {
    std::vector<int> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() == digits && std::all_of(n.begin(), n.end(), ::isdigit))
            out.push_back(atoi(n.c_str()));
    }
    closedir(d);
    return out;
}
} // namespace

std::vector<std::string> ResultStore_DayFiles() {
    std::vector<std::pair<int, std::string>> found;
    for (uint32_t location : {0u, 1u}) {
        if (location == 1 && !Common_MicroSdMounted()) continue;
        struct tm t = {};
        const std::string root =
            EventLog_DirName(location, t)
                .substr(0, EventLog_DirName(location, t).size() - strlen("/1900/01/00"));
        for (int y : numberedEntries(root, 4))
            for (int m : numberedEntries(root + "/" + std::to_string(y), 2))
                for (int d : numberedEntries(root + "/" + std::to_string(y) + "/" +
                                                 (m < 10 ? "0" : "") + std::to_string(m),
                                             2)) {
                    t.tm_year = y - 1900;
                    t.tm_mon = m - 1;
                    t.tm_mday = d;
                    const std::string path = EventLog_FileName(EventLog_DirName(location, t), t);
                    if (Common_Exists(path)) found.push_back({fileDate(path), path});
                }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& f : found)
        out.push_back(f.second);
    return out;
}

off_t ResultStore_ReadLines(const std::string& path, off_t from, off_t to,
                            std::vector<StoredResult>* out) {
    if (to <= from) return from;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        DBG_ERR("%s unreadable, %s", path.c_str(), strerror(errno));
        return -1;
    }
    std::string text(size_t(to - from), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = pread(fd, text.data() + got, text.size() - got, from + off_t(got));
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fd);
    text.resize(got);
    std::vector<std::string> records;
    const size_t end = EventLog_TakeRecords(text, 0, text.size() + 1, &records);
    for (const std::string& r : records) {
        StoredResult row;
        if (ResultStore_ParseLine(r.data(), r.size(), &row) == 0)
            out->push_back(std::move(row));
        else if (r != EVENTLOG_HEADER)
            DBG_ERR("%s : a line that is not a result skipped (%zu bytes)", path.c_str(), r.size());
    }
    return from + off_t(end);
}

namespace {
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

int64_t queryInt(sqlite3* db, const char* sql, int64_t a = 0, int64_t b = 0) {
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

// The bound: beyond "result store size" rows or older than "result store days", the
// oldest go. What a peer had not acknowledged is said, never dropped silently; its cursor
// moves past it.
void prune() {
    const SettingPlant* pl = get_setting_plant();
    const int64_t size = std::max<int64_t>(1, pl->store_size);
    const int64_t first = queryInt(store.db, "SELECT ifnull(min(id), 0) FROM results");
    const int64_t last = store.lastId.load();
    if (first <= 0) return;
    int64_t cut = last - first + 1 > size ? last - size : 0;
    if (pl->store_days > 0) {
        time_t now = time(nullptr) - time_t(pl->store_days) * 86400;
        struct tm t;
        localtime_r(&now, &t);
        char at[32];
        strftime(at, sizeof at, "%Y-%m-%d %H:%M:%S", &t);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(store.db,
                           "SELECT ifnull(max(id), 0) FROM (SELECT id, time FROM results ORDER BY "
                           "id LIMIT ?) WHERE time < ?",
                           -1, &s, nullptr);
        sqlite3_bind_int(s, 1, PRUNE_DAY_SLICE);
        sqlite3_bind_text(s, 2, at, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s) == SQLITE_ROW) cut = std::max<int64_t>(cut, sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
    }
    if (cut < first) return;
    std::map<std::string, int64_t> cursors;
    {
        std::lock_guard<std::mutex> g(store.lock);
        cursors = store.cursors;
    }
    if (!exec(store.db, "BEGIN IMMEDIATE", __func__)) return;
    std::vector<std::pair<std::string, int64_t>> lost;
    for (auto& [peer, at] : cursors) {
        if (at >= cut) continue;
        const int64_t n =
            queryInt(store.db, "SELECT count(*) FROM results WHERE id > ? AND id <= ?", at, cut);
        if (n > 0) lost.push_back({peer, n});
        writeCursor(peer, cut);
    }
    queryInt(store.db, "DELETE FROM results WHERE id <= ?", cut);
    if (!exec(store.db, "COMMIT", __func__)) {
        exec(store.db, "ROLLBACK", __func__);
        return;
    }
    {
        std::lock_guard<std::mutex> g(store.lock);
        for (auto& [peer, at] : store.cursors)
            at = std::max(at, cut);
    }
    for (auto& [peer, n] : lost) {
        DBG_ERR("result store bound: %lld results not delivered to %s dropped", (long long)n,
                peer.c_str());
        char text[160];
        snprintf(text, sizeof text, "Plant results dropped: %d results of %s were not delivered.",
                 int(n), peer.c_str());
        EwDriver_PushMsgQ_PlantDropped(text);
    }
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

const char* const SCHEMA =
    "CREATE TABLE IF NOT EXISTS results(id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT "
    "NULL, utc_offset INTEGER, job TEXT, step TEXT, barcode TEXT, tool TEXT, fasten_time "
    "INTEGER, preset INTEGER, target_torque INTEGER, torque INTEGER, speed INTEGER, a1 INTEGER, "
    "a2 INTEGER, a3 INTEGER, screw INTEGER, error INTEGER, direction INTEGER, status INTEGER, "
    "snug INTEGER, tdx INTEGER, job_index INTEGER, step_index INTEGER, batch_size INTEGER, "
    "batch_count INTEGER, unit INTEGER, frame BLOB);"
    "CREATE TABLE IF NOT EXISTS files(path TEXT PRIMARY KEY, offset INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cursors(peer TEXT PRIMARY KEY, id INTEGER NOT NULL);";

// Start-up on loop "O": opens (or creates) the database, then takes in what the day
// files got after the offsets recorded, in day order, before any new line. A new store
// starts at the end of the day files there are (no history taken in), recorded at once.
// A file the store never saw whose day is not before the last day taken was written while
// the store missed it: taken whole. An older one is history: recorded at its end.
void setUp() {
    std::lock_guard<std::mutex> g(store.dbLock);
    if (store.db) return;
    Common_IoMkdirP("./files/log");
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(DB_PATH, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        DBG_ERR("%s open fail : %s", DB_PATH, db ? sqlite3_errmsg(db) : "no memory");
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 5000);
    const bool fresh =
        queryInt(db, "SELECT count(*) FROM sqlite_master WHERE name = 'results' ") == 0;
    if (!exec(db, "PRAGMA journal_mode=WAL", __func__) ||
        !exec(db, "PRAGMA synchronous=NORMAL", __func__) || !exec(db, SCHEMA, __func__) ||
        sqlite3_prepare_v2(db,
                           "INSERT INTO results(time, utc_offset, job, step, barcode, tool, "
                           "fasten_time, preset, target_torque, torque, speed, a1, a2, a3, screw, "
                           "error, direction, status, snug, tdx, job_index, step_index, "
                           "batch_size, batch_count, unit, frame) VALUES(?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, &store.insert, nullptr) != SQLITE_OK) {
        DBG_ERR("%s cannot be set up : %s", DB_PATH, sqlite3_errmsg(db));
        sqlite3_finalize(store.insert);
        store.insert = nullptr;
        sqlite3_close(db);
        return;
    }
    store.db = db;
    store.files.clear();
    store.lastId = queryInt(db, "SELECT ifnull(max(seq), 0) FROM sqlite_sequence WHERE name = "
                                "'results' ");
    if (store.lastId < 0) store.lastId = 0;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT path, offset FROM files", -1, &s, nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW)
        store.files[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] =
            off_t(sqlite3_column_int64(s, 1));
    sqlite3_finalize(s);
    std::map<std::string, int64_t> cursors;
    sqlite3_prepare_v2(db, "SELECT peer, id FROM cursors", -1, &s, nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW)
        cursors[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] =
            sqlite3_column_int64(s, 1);
    sqlite3_finalize(s);
    {
        std::lock_guard<std::mutex> l(store.lock);
        store.cursors = cursors;
    }

    int lastDay = 0;
    for (auto& [path, off] : store.files)
        lastDay = std::max(lastDay, fileDate(path));
    std::vector<StoredResult> rows;
    std::map<std::string, off_t> reached;
    size_t taken = 0;
    for (const std::string& path : ResultStore_DayFiles()) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) continue;
        auto it = store.files.find(path);
        const bool known = it != store.files.end();
        if (known && it->second == st.st_size) continue;
        const bool history = fresh || (!known && fileDate(path) < lastDay);
        if (history || (known && st.st_size < it->second)) {
            if (!history)
                DBG_ERR("%s is shorter than the store took (%lld < %lld): its lines from "
                        "now on are taken",
                        path.c_str(), (long long)st.st_size, (long long)it->second);
            std::vector<StoredResult> none;
            const off_t end = ResultStore_ReadLines(path, 0, st.st_size, &none);
            if (end >= 0) reached[path] = end;
            continue;
        }
        const size_t before = rows.size();
        const off_t end = ResultStore_ReadLines(path, known ? it->second : 0, st.st_size, &rows);
        if (end < 0) continue;
        reached[path] = end;
        taken += rows.size() - before;
    }
    if ((!rows.empty() || !reached.empty()) && commit(rows, reached) && !rows.empty()) prune();
    if (taken > 0)
        Debug_WriteLog(1, "result store: %zu results taken in from the day files", taken);
    store.ready = true;
    notifyWatchers(); // peers waiting for the store start
}

void openReader() {
    std::lock_guard<std::mutex> g(store.readLock);
    if (store.rdb || !store.ready) return;
    if (sqlite3_open_v2(DB_PATH, &store.rdb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        DBG_ERR("%s open fail (readers) : %s", DB_PATH, store.rdb ? sqlite3_errmsg(store.rdb) : "");
        sqlite3_close(store.rdb);
        store.rdb = nullptr;
        return;
    }
    sqlite3_busy_timeout(store.rdb, 5000);
}

void rowFrom(sqlite3_stmt* s, StoredResult* r) {
    int k = 0;
    r->id = sqlite3_column_int64(s, k++);
    auto text = [&](std::string* out) {
        const unsigned char* t = sqlite3_column_text(s, k);
        out->assign(t ? reinterpret_cast<const char*>(t) : "", size_t(sqlite3_column_bytes(s, k)));
        ++k;
    };
    text(&r->time);
    r->utcOffset = sqlite3_column_int(s, k++);
    for (std::string* t : {&r->job, &r->step, &r->barcode, &r->tool})
        text(t);
    for (int* v : {&r->fastenTime, &r->preset, &r->targetTorque, &r->torque, &r->speed, &r->a1,
                   &r->a2, &r->a3, &r->screw, &r->error, &r->direction, &r->status, &r->snug,
                   &r->extra.tdx, &r->extra.jobIndex, &r->extra.stepIndex, &r->extra.batchSize,
                   &r->extra.batchCount, &r->extra.unit})
        *v = sqlite3_column_int(s, k++);
    const auto* b = static_cast<const uint8_t*>(sqlite3_column_blob(s, k));
    r->extra.frame.assign(b, b + (b ? sqlite3_column_bytes(s, k) : 0));
}

const char* const SELECT_ROWS =
    "SELECT id, time, utc_offset, job, step, barcode, tool, fasten_time, preset, target_torque, "
    "torque, speed, a1, a2, a3, screw, error, direction, status, snug, tdx, job_index, "
    "step_index, batch_size, batch_count, unit, frame FROM results ";
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

int ResultStore_Read(int64_t afterId, size_t max, std::vector<StoredResult>* out) {
    if (!out) return -1;
    out->clear();
    openReader();
    std::lock_guard<std::mutex> g(store.readLock);
    // Before the start-up has opened the store there is nothing yet: its watch wakes the
    // peers when there is.
    if (!store.rdb) return store.ready ? -1 : 0;
    sqlite3_stmt* s = nullptr;
    const std::string sql = std::string(SELECT_ROWS) + "WHERE id > ? ORDER BY id LIMIT ?";
    if (sqlite3_prepare_v2(store.rdb, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        DBG_ERR("result read fail : %s", sqlite3_errmsg(store.rdb));
        return -1;
    }
    sqlite3_bind_int64(s, 1, afterId);
    sqlite3_bind_int64(s, 2, int64_t(std::min<size_t>(max, INT64_MAX)));
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        out->emplace_back();
        rowFrom(s, &out->back());
    }
    if (rc != SQLITE_DONE) DBG_ERR("result read fail : %s", sqlite3_errmsg(store.rdb));
    sqlite3_finalize(s);
    return rc == SQLITE_DONE ? int(out->size()) : -1;
}

int ResultStore_Get(int64_t id, StoredResult* out) {
    std::vector<StoredResult> rows;
    if (!out || ResultStore_Read(id - 1, 1, &rows) != 1 || rows[0].id != id) return -1;
    *out = std::move(rows[0]);
    return 0;
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

size_t ResultStore_Backlog(const char* peer) {
    const int64_t at = ResultStore_Cursor(peer);
    openReader();
    std::lock_guard<std::mutex> g(store.readLock);
    if (!store.rdb) return 0;
    const int64_t n = queryInt(store.rdb, "SELECT count(*) FROM results WHERE id > ?", at);
    return n > 0 ? size_t(n) : 0;
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
