// The result store's start-up and its bound: opening (or creating) the database, taking in
// the lines the day files got while the store was closed, and dropping the oldest rows
// beyond the configured size and age. Apart from the writer in resultstore.cpp, which
// runs them on loop "O" like every other job.
#include "resultstore.h"
#include "resultstore_private.h"

#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "eventlog_private.h"
#include "ew_driver.h"
#include "setting.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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

namespace resultstore {
namespace {
// Oldest rows the day bound looks at per commit: it never scans the whole table.
constexpr int PRUNE_DAY_SLICE = 1000;

const char* const SCHEMA =
    "CREATE TABLE IF NOT EXISTS results(id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT "
    "NULL, utc_offset INTEGER, job TEXT, step TEXT, barcode TEXT, tool TEXT, fasten_time "
    "INTEGER, preset INTEGER, target_torque INTEGER, torque INTEGER, speed INTEGER, a1 INTEGER, "
    "a2 INTEGER, a3 INTEGER, screw INTEGER, error INTEGER, direction INTEGER, status INTEGER, "
    "snug INTEGER, tdx INTEGER, job_index INTEGER, step_index INTEGER, batch_size INTEGER, "
    "batch_count INTEGER, unit INTEGER, frame BLOB);"
    "CREATE TABLE IF NOT EXISTS files(path TEXT PRIMARY KEY, offset INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cursors(peer TEXT PRIMARY KEY, id INTEGER NOT NULL);";
} // namespace

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
} // namespace resultstore
