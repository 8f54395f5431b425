// Pieces of the result store shared by its start-up and its writer: the day files there
// are, reading their lines back into rows, the module's state and the database calls both
// make.
#pragma once

#include "resultstore.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <sys/types.h>
#include <vector>

struct WorkQueue;

// Every day file of both locations (the card's only while it is mounted), oldest day
// first, named as the log writer names them.
std::vector<std::string> ResultStore_DayFiles();
// The result lines of `path` between byte `from` and `to` (whole records only; the
// header and anything else that is not a result line are left out). The offset after the
// last whole record, or -1 when the file cannot be read.
off_t ResultStore_ReadLines(const std::string& path, off_t from, off_t to,
                            std::vector<StoredResult>* out);

namespace resultstore {
inline const char* const DB_PATH = "./files/log/results.db";

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
extern ResultStoreState& store;

// Runs `sql`; false (logged under `caller`) when it fails.
bool exec(sqlite3* db, const char* sql, const char* caller);
// The first column of the first row of `sql` with up to two integer parameters, or -1.
int64_t queryInt(sqlite3* db, const char* sql, int64_t a = 0, int64_t b = 0);
// Rows and the offsets reached, in one transaction (loop "O", dbLock held). The commit
// hook sees it just before the commit (0) and after it (1). False when nothing was
// committed.
bool commit(const std::vector<StoredResult>& rows, const std::map<std::string, off_t>& reached);
// A peer's cursor, never moved back (inside the caller's transaction).
bool writeCursor(const std::string& peer, int64_t id);
// Tells the watchers the newest id.
void notifyWatchers();

// ---- start-up and bound (resultstore_catchup.cpp) ----

// Drops the oldest rows beyond the configured size and age (loop "O", dbLock held).
void prune();
// Opens the store and takes in what the day files got while it was closed (loop "O").
void setUp();
} // namespace resultstore
