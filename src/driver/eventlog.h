// Fastening result log: one CSV line per result in a daily file under the configured
// location ("./files/log/Y/M/D/YYYYMMDD.csv" or the micro SD card).
#pragma once

#include "fasten_result.h"
#include "resultstore.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

extern const char* const EVENTLOG_HEADER;

// Pure formatting (no I/O): the day directory for a location (0 internal, 1 micro SD),
// the file inside it, and one result line ending in ",\n". Null texts are empty; a job,
// step, barcode or tool text holding a comma, double quote, CR or LF is quoted as CSV
// does ("a,""b""" for a,"b"), any other text is written as it is.
std::string EventLog_DirName(uint32_t location, const struct tm& t);
std::string EventLog_FileName(const std::string& dir, const struct tm& t);
std::string EventLog_FormatLine(const struct tm& t, const char* job, const char* step,
                                const char* barcode, const char* tool, const FastenResult& r);

// Appends one line for the current local time to the file of the configured location;
// creates the day directory and the header as needed. A line is written whole or not
// at all. Returns 0 or -1.
int EventLog_Write(const char* job, const char* step, const char* barcode, const char* tool,
                   const FastenResult& r);

// Where the tool names and the scanner's current code come from (the tool registry and
// the barcode reader install theirs). Until then: empty name, and "-" (no code read).
void EventLog_SetToolNameSource(std::function<std::string(int tdx)> fn);
void EventLog_SetScannerCodeSource(std::function<std::string()> fn);
std::string EventLog_ToolName(int tdx);
std::string EventLog_ScannerCode();

// ---- durable path: the log writer on loop "N" (eventlog_writer.cpp) ----
// Hands a formatted line to the writer. The writer appends the lines it has in hand to
// their day files (the day is the line's own time) with one fdatasync per file, then
// writes register 4016 := 1 to each line's tool (`ackTdx`, -1 for none) in queue order.
// A line that cannot be written goes to the spool (a file on the other storage when it
// can be written, else memory) and is acknowledged all the same; the GUI gets
// "log_fail". While the spool holds lines, later lines join it behind them; the spool is
// tried again with back-off (first after 1 s, the wait doubling up to 60 s) and, once the
// log takes it, written a slice at a time, in order, between batches. Never blocks on
// disk. Returns 0.
// An empty line writes nothing: the tool gets its acknowledgement in the queue's order (a
// result already in the log, sent again after a lost link).
int EventLog_Queue(const std::string& line, int ackTdx);
// The same with what the caller knows beyond the line, for the result store: once the
// line is on disk the store gets it with a new tightening ID (loop "O"; the
// acknowledgement never waits for that).
int EventLog_Queue(const std::string& line, int ackTdx, ResultExtra extra);
// Runs `task` once every line queued before it is written and acknowledged: at once on the
// caller's thread when nothing is queued, else on the writer's loop in queue order. A
// tool's event-output changes keep their order with the acknowledgements of its results,
// so a disable never overtakes the acknowledgement of a line in the writer. Only the GUI
// thread queues.
int EventLog_QueueTask(std::function<void()> task);
// Blocks until every line queued before the call is written (or spooled) and
// acknowledged, then tries the whole spool once, whatever its back-off. Used at
// shutdown, and by tests and benchmarks.
void EventLog_Flush();
// At exit: Flush, then the results the spool holds in memory go to the spool file (beyond
// its bound if need be); what is still left is named in the debug log.
void EventLog_Shutdown();
// Driver start-up: takes over spool files an earlier run left behind (their records not
// yet in the log) on the writer's loop before it takes results, without writing them
// then: the loop writes them a slice at a time, before any later line; what the log does
// not take is tried again with back-off.
void EventLog_StartWriter();
// Where the spool file goes while the log at `location` cannot be written: the other
// storage ("./files/log/spool.csv" internal, "spool.csv" at the card's root), or empty
// when the card is the other storage and is not mounted.
std::string EventLog_SpoolPath(uint32_t location);
// Lines held in the spool now (file and memory); the memory part's bound (default
// 10000, the oldest line is dropped beyond it, with a log line counting drops).
size_t EventLog_SpoolLength();
void EventLog_SetSpoolLimit(size_t lines);
// The spool file's bound in results (default 100000); beyond it later lines wait in
// memory, said once in the debug log.
void EventLog_SetSpoolFileLimit(size_t lines);
// The back-off of the spool's tries: the first `firstMs` after a failure, each failed try
// doubling the wait up to `maxMs` (defaults 1000 and 60000).
void EventLog_SetRetryDelays(int firstMs, int maxMs);
// Test seam: what acknowledges a line (default: Modbus_Write(tdx, 4016, 1)).
void EventLog_SetAckWriter(std::function<int(int tdx)> fn);
