// The result store's read side: its own connection, opened once the start-up has run, for
// the peers' senders on any thread. Apart from the writer, which alone holds loop "O"'s
// connection.
#include "resultstore.h"
#include "resultstore_private.h"

#include "debug.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <sqlite3.h>

using resultstore::DB_PATH;
using resultstore::queryInt;
using resultstore::store;

namespace {
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

size_t ResultStore_Backlog(const char* peer) {
    const int64_t at = ResultStore_Cursor(peer);
    openReader();
    std::lock_guard<std::mutex> g(store.readLock);
    if (!store.rdb) return 0;
    const int64_t n = queryInt(store.rdb, "SELECT count(*) FROM results WHERE id > ?", at);
    return n > 0 ? size_t(n) : 0;
}
