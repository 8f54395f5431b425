// Spool files of the result log writer: lines that could not reach the log wait there,
// flushed, and go to the log a slice at a time. A file's records before its mark are in
// the log already; a record cut by a power cut is cut off when the file is taken over.
#include "common.h"
#include "debug.h"
#include "eventlog_private.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Appends `data` to a spool file and flushes it (a new file's name too); 0 or -1.
int EventLog_SpoolAppend(const std::string& path, const std::string& data) {
    bool isNew = false;
    int fd = EventLog_OpenAppend(path, &isNew, __func__);
    if (fd < 0) return -1;
    int rc = EventLog_AppendWhole(fd, path, data);
    if (rc == 0) rc = Common_IoSync(path, fd);
    close(fd);
    return rc;
}

// Complete records of a spool text from `start` on, each ending at a line break outside
// quotes (a quoted text may hold one), about `maxBytes` of them (at least one); `out` may
// be null. Returns the offset after the last record taken.
size_t EventLog_TakeRecords(const std::string& text, size_t start, size_t maxBytes,
                            std::vector<std::string>* out) {
    bool quoted = false;
    size_t end = start;
    for (size_t i = start; i < text.size() && end - start < maxBytes; ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == '\n' && !quoted) {
            if (out) out->push_back(text.substr(end, i + 1 - end));
            end = i + 1;
        }
    }
    return end;
}

void EventLog_SpoolRemove(const std::string& path) {
    // Its removal is flushed too: a spool back after a power cut would be written twice.
    if (unlink(path.c_str()) != 0 || EventLog_SyncDir(path.substr(0, path.rfind('/'))) != 0)
        DBG_ERR("cannot remove %s, %s", path.c_str(), strerror(errno));
}

bool EventLog_IsRecordStart(const char* p, size_t n) {
    static const char form[] = "dddd-dd-dd dd:dd:dd,";
    if (n < sizeof form - 1) return false;
    for (size_t i = 0; i + 1 < sizeof form; ++i)
        if (form[i] == 'd' ? !isdigit((unsigned char)p[i]) : p[i] != form[i]) return false;
    return true;
}

int EventLog_ScanRecords(int fd, off_t from, EventLogScan* out) {
    *out = EventLogScan{};
    out->end = from;
    std::string block(EVENTLOG_SPOOL_SLICE, '\0');
    off_t at = from, lineEnd = from;
    size_t quotedBreaks = 0; // line breaks taken as quoted since the last record end
    bool quoted = false;
    ssize_t n;
    while ((n = pread(fd, block.data(), block.size(), at)) > 0) {
        for (ssize_t i = 0; i < n; ++i, ++at) {
            const char c = block[size_t(i)];
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\n') {
                lineEnd = at + 1;
                if (quoted) {
                    ++quotedBreaks;
                    continue;
                }
                ++out->records;
                out->end = at + 1;
                quotedBreaks = 0;
            }
        }
    }
    if (n < 0) return -1;
    out->size = at;
    if (lineEnd == out->end) return 0;
    // Line breaks in quotes after the last record end: one record holding a quoted line
    // break (a barcode may), or a quote count gone wrong. A line there that begins as
    // records do tells the second; so does a stretch longer than any record.
    bool wrong = lineEnd - out->end > off_t(EVENTLOG_SPOOL_SLICE);
    if (!wrong) {
        std::string tail(size_t(std::min(out->size, lineEnd + 20) - out->end), '\0');
        n = pread(fd, tail.data(), tail.size(), out->end);
        if (n < 0) return -1;
        for (ssize_t i = 0; !wrong && i < n; ++i)
            wrong = tail[size_t(i)] == '\n' &&
                    EventLog_IsRecordStart(tail.data() + i + 1, size_t(n - i - 1));
    }
    if (wrong) {
        out->records += quotedBreaks;
        out->end = lineEnd;
    }
    return 0;
}

namespace {
// Where a spool file's unwritten records begin. Its mark counts only when it points just
// after a line break, at a record (or at the end): a power cut can tear the mark, and a
// torn one may point into a record. Without a good mark: the first record that begins
// behind the mark's bytes. The mark is written only over records in the log already, so
// at worst some are written again, none is lost, and the record the mark was written
// over (a quoted name in it may have lost its opening quote) is not read. -1 on a read
// error.
off_t spoolStart(int fd, const std::string& path) {
    constexpr size_t LEN = EVENTLOG_SPOOL_MARK_LEN;
    char head[LEN + 1] = {};
    struct stat st;
    const ssize_t n = pread(fd, head, LEN, 0);
    if (n < 0 || fstat(fd, &st) != 0) return -1;
    if (n == 0 || head[0] != '#') return 0;
    unsigned long long mark = 0;
    if (size_t(n) == LEN && head[LEN - 1] == '\n' &&
        std::all_of(head + 1, head + LEN - 1, [](char c) { return isdigit((unsigned char)c); }) &&
        sscanf(head + 1, "%20llu", &mark) == 1 && mark >= LEN &&
        mark <= (unsigned long long)st.st_size) {
        char at[21] = {};
        const ssize_t m = pread(fd, at, sizeof at, off_t(mark) - 1);
        if (m >= 1 && at[0] == '\n' &&
            (off_t(mark) == st.st_size || EventLog_IsRecordStart(at + 1, size_t(m - 1))))
            return off_t(mark);
    }
    DBG_ERR("%s : mark unreadable, read from the first record behind it", path.c_str());
    std::string block(EVENTLOG_SPOOL_SLICE + 21, '\0');
    for (off_t from = 0;; from += off_t(EVENTLOG_SPOOL_SLICE)) {
        const ssize_t got = pread(fd, block.data(), block.size(), from);
        if (got < 0) return -1;
        for (ssize_t i = 0; i < std::min(got, ssize_t(EVENTLOG_SPOOL_SLICE)); ++i)
            if (block[size_t(i)] == '\n' &&
                EventLog_IsRecordStart(block.data() + i + 1, size_t(got - i - 1)))
                return from + i + 1;
        if (got <= ssize_t(EVENTLOG_SPOOL_SLICE)) return st.st_size;
    }
}
} // namespace

// Takes over a spool file found on disk: where its unwritten records begin (after the
// mark), how many there are; a record cut by a power cut (never acknowledged) is cut off,
// so later lines start clean. Read in blocks, once. 1 with records to write, 0 for none
// (the file is removed), -1 when it cannot be read.
int EventLog_SpoolAdopt(const std::string& path, EventLogSpoolFile* f) {
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        DBG_ERR("spool %s unreadable, %s", path.c_str(), strerror(errno));
        return -1;
    }
    f->path = path;
    f->from = spoolStart(fd, path);
    EventLogScan scan;
    if (f->from < 0 || EventLog_ScanRecords(fd, f->from, &scan) != 0) {
        DBG_ERR("spool %s unreadable, %s", path.c_str(), strerror(errno));
        close(fd);
        return -1;
    }
    if (scan.size > scan.end) {
        DBG_ERR("%s : incomplete last line left out", path.c_str());
        if (ftruncate(fd, scan.end) != 0 || fdatasync(fd) != 0)
            DBG_ERR("cannot cut %s back, %s", path.c_str(), strerror(errno));
    }
    close(fd);
    f->lines = scan.records;
    if (f->lines > 0) return 1;
    EventLog_SpoolRemove(path);
    return 0;
}

// The next slice of a spool file's unwritten records; *next is where the rest begins.
// 0, or -1 with errno set.
int EventLog_SpoolReadSlice(const EventLogSpoolFile& f, std::vector<std::string>& out,
                            off_t* next) {
    int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::string text;
    for (size_t want = EVENTLOG_SPOOL_SLICE;;
         want *= 2) { // a record longer than a slice: read more
        text.resize(want);
        ssize_t n = pread(fd, text.data(), want, f.from);
        if (n < 0) {
            close(fd);
            return -1;
        }
        text.resize(size_t(n));
        const size_t end = EventLog_TakeRecords(text, 0, EVENTLOG_SPOOL_SLICE, &out);
        if (end > 0 || size_t(n) < want) {
            *next = f.from + off_t(end);
            break;
        }
    }
    close(fd);
    if (!out.empty()) return 0;
    errno = ENODATA; // no whole record left where the count says there are some
    return -1;
}

// Writes, over the records already in the log, where the others begin, so a restart does
// not write them twice. A failure costs at most duplicates after a power cut.
void EventLog_SpoolMark(const EventLogSpoolFile& f) {
    if (f.from < off_t(EVENTLOG_SPOOL_MARK_LEN)) return;
    char mark[EVENTLOG_SPOOL_MARK_LEN + 1];
    snprintf(mark, sizeof mark, "#%020llu\n", (unsigned long long)f.from);
    int fd = Common_IoOpen(f.path, O_WRONLY);
    if (fd < 0 ||
        pwrite(fd, mark, EVENTLOG_SPOOL_MARK_LEN, 0) != ssize_t(EVENTLOG_SPOOL_MARK_LEN) ||
        Common_IoSync(f.path, fd) != 0)
        DBG_ERR("cannot mark %s, %s", f.path.c_str(), strerror(errno));
    if (fd >= 0) close(fd);
}
