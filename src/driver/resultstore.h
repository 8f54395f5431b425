// The result store: every result line the log writer puts in a day file gets a panel-wide
// tightening ID and a row in "./files/log/results.db" (SQLite, WAL), with a durable
// delivery cursor per plant peer. One writer (loop "O"); reads from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// What the caller of the log knows about a result beyond its line. -1: not known (a line
// taken back from the log after a crash, or from the spool).
struct ResultExtra {
    int tdx = -1;               // the sending tool
    int jobIndex = -1;          // position of the job in the job list
    int stepIndex = -1;         // step of the loaded job
    int batchSize = -1;         // screws of the step
    int batchCount = -1;        // screws counted in the step with this result
    int unit = -1;              // the tool's torque unit code, as its parameter register holds it
    std::vector<uint8_t> frame; // the tool's event frame as the event channel normalised it
};

// One row of the store.
struct StoredResult {
    int64_t id = 0;    // tightening ID: increasing, never reused
    std::string time;  // "YYYY-MM-DD HH:MM:SS", local, as in the line
    int utcOffset = 0; // seconds east of UTC at that time
    std::string job, step, barcode, tool;
    int fastenTime = 0, preset = 0;
    int targetTorque = 0, torque = 0; // x 100, as in the frame
    int speed = 0, a1 = 0, a2 = 0, a3 = 0, screw = 0, error = 0, direction = 0, status = 0,
        snug = 0;
    ResultExtra extra;
};

// One line the writer put in a day file.
struct ResultWrittenLine {
    std::string line; // as in the file, ending in ",\n"
    ResultExtra extra;
};

// Pure: a result line of the day file (the writer's format, CSV quoting) into a row
// (id 0, extras unknown). 0, or -1 for anything that is not such a line (the header).
int ResultStore_ParseLine(const char* text, size_t len, StoredResult* out);

// Driver start-up: registers the store's set-up on loop "O" (open or create the database,
// then take in the lines the day files got after the last row stored, in order). Once the
// worker threads run, the set-up runs on the loop at once and the call waits for it.
int ResultStore_Init();
// From the log writer (loop "N") after `lines` reached the day file `path` durably; `end`
// is the file's size after them. Queued to loop "O"; never waits on SQLite.
void ResultStore_Written(const std::string& path, off_t end, std::vector<ResultWrittenLine> lines);
// Waits until everything handed before the call is committed (shutdown, tests).
void ResultStore_Flush();
// At exit, after the log writer's: Flush, then the connections are closed (Init may open
// the store again, in another data home for one).
void ResultStore_Shutdown();

int64_t ResultStore_LastId();
// Rows with id > `afterId`, oldest first, at most `max`. The count, or -1.
int ResultStore_Read(int64_t afterId, size_t max, std::vector<StoredResult>* out);
// One row; 0, or -1 when the store does not hold it.
int ResultStore_Get(int64_t id, StoredResult* out);

// Plant peers ("op", "bef", "mqtt"): delivery goes in ID order from the cursor, which moves
// only on the peer's acknowledgement (never back). Kept across restarts.
int64_t ResultStore_Cursor(const char* peer);
int ResultStore_Ack(const char* peer, int64_t id);
// Rows after the peer's cursor.
size_t ResultStore_Backlog(const char* peer);
// Called on loop "O" after each commit with the newest id (peers wake their senders), and
// once when the start-up is done: at once, on the caller's thread, when it is done already.
// Returns a handle for ResultStore_Unwatch.
int ResultStore_Watch(std::function<void(int64_t lastId)> fn);
void ResultStore_Unwatch(int handle);

// The start-up has opened the store (reads before it find nothing).
bool ResultStore_Ready();
// A peer's first delivery starts at the newest row (a peer switched on later is not sent
// the history); a peer with a cursor keeps it. 0, or -1 before the store is open.
int ResultStore_Join(const char* peer);
// Test seam: called on loop "O" with 0 just before each commit of rows and with 1 after
// it, with the newest id of the commit.
void ResultStore_SetCommitHook(std::function<void(int phase, int64_t lastId)> fn);
