// Pieces of the result log shared by the synchronous writer and the log writer thread:
// opening a day file for appending and appending whole lines through the fault seam.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Flushes the names in folder `dir` ("" for the working folder). 0 or -1.
int EventLog_SyncDir(const std::string& dir);
// Opens the file `path` for appending, creating its folders (and flushing each new name
// into its folder); *isEmpty is set for an empty file. Descriptor or -1, logged under
// `caller`.
int EventLog_OpenAppend(const std::string& path, bool* isEmpty, const char* caller);
// The same for a day file, which is cut back first when a power cut left it ending inside
// a record (only that partial record, never acknowledged, said in the debug log), so the
// next line is not glued to it; *needHeader is set for an empty file.
int EventLog_OpenDay(const std::string& path, bool* needHeader, const char* caller);
// Writes `data` (whole records) with one write(); a short write is cut back so no partial
// line stays. 0, or -1 with errno set.
int EventLog_AppendWhole(int fd, const std::string& path, const std::string& data);

// A record starts with its time, "YYYY-MM-DD HH:MM:SS," (`n` bytes at `p`).
bool EventLog_IsRecordStart(const char* p, size_t n);
// The records of a file from `from` on, quote parity starting there.
struct EventLogScan {
    off_t size = 0;     // where the file ends
    off_t end = 0;      // after the last whole record: a partial one follows up to `size`
    size_t records = 0; // whole records from `from` up to `end`
};
// Reads the file in blocks. A record ends at a line break outside quotes; what follows the
// last is one partial record at most: when line breaks the count takes as quoted are
// followed by a line that begins as records do, the count went wrong before (a lone quote
// an older version wrote unquoted) and `end` is the last line break. 0 or -1.
int EventLog_ScanRecords(int fd, off_t from, EventLogScan* out);

// ---- spool files (eventlog_spool.cpp) ----

// A spool file: its records from byte `from` on are not in the log yet.
struct EventLogSpoolFile {
    std::string path;
    off_t from = 0;
    size_t lines = 0; // records from `from` on: its bound counts these
};

// Spooled lines go to the log by slices of about this many bytes: a result waits for one
// slice at most, never for the whole spool.
inline constexpr size_t EVENTLOG_SPOOL_SLICE = 64 * 1024;
// A spool file whose first records are in the log starts with "#", the offset where the
// others begin (20 digits) and a line break, written over those records.
inline constexpr size_t EVENTLOG_SPOOL_MARK_LEN = 22;

// Appends `data` to a spool file and flushes it (a new file's name too); 0 or -1.
int EventLog_SpoolAppend(const std::string& path, const std::string& data);
// Complete records of a spool text from `start` on, each ending at a line break outside
// quotes, about `maxBytes` of them (at least one); `out` may be null. The offset after
// the last record taken.
size_t EventLog_TakeRecords(const std::string& text, size_t start, size_t maxBytes,
                            std::vector<std::string>* out);
// Removes a spool file and flushes its folder.
void EventLog_SpoolRemove(const std::string& path);
// Takes over a spool file found on disk: 1 with records to write, 0 for none (the file
// is removed), -1 when it cannot be read. Its mark counts only when it points just after
// a line break, at a record.
int EventLog_SpoolAdopt(const std::string& path, EventLogSpoolFile* f);
// The next slice of a file's unwritten records; *next is where the rest begins. 0, or -1
// with errno set.
int EventLog_SpoolReadSlice(const EventLogSpoolFile& f, std::vector<std::string>& out, off_t* next);
// Writes the offset of the unwritten records over those already in the log.
void EventLog_SpoolMark(const EventLogSpoolFile& f);
