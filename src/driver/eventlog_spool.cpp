// Spool files of the result log writer: lines that could not reach the log wait there,
// flushed, and go to the log a slice at a time. A file's records before its mark are in
// the log already; a record cut by a power cut is cut off when the file is taken over.
#include "common.h"
#include "debug.h"
#include "eventlog_private.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Appends `data` to a spool file and flushes it (a new file's name too); 0 or -1.
int EventLog_SpoolAppend(const std::string& path, const std::string& data) {
    bool isNew = false;
    int fd = EventLog_OpenDay(path, &isNew, __func__);
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
    std::string block(EVENTLOG_SPOOL_SLICE, '\0');
    ssize_t n = pread(fd, block.data(), EVENTLOG_SPOOL_MARK_LEN, 0);
    unsigned long long mark = 0;
    struct stat st = {};
    f->path = path;
    f->from = 0;
    if (n == ssize_t(EVENTLOG_SPOOL_MARK_LEN) && block[0] == '#' &&
        block[EVENTLOG_SPOOL_MARK_LEN - 1] == '\n' &&
        sscanf(block.c_str() + 1, "%20llu", &mark) == 1 && mark >= EVENTLOG_SPOOL_MARK_LEN &&
        fstat(fd, &st) == 0 && mark <= (unsigned long long)st.st_size)
        f->from = off_t(mark);
    else if (n > 0 && block[0] == '#')
        DBG_ERR("%s : mark unreadable, read from the start", path.c_str());
    size_t before = 0, lines = 0;
    off_t at = 0, end = f->from;
    bool quoted = false;
    while ((n = pread(fd, block.data(), block.size(), at)) > 0) {
        for (ssize_t i = 0; i < n; ++i, ++at) {
            if (at < f->from) {
                before += block[size_t(i)] == '\n';
            } else if (block[size_t(i)] == '"') {
                quoted = !quoted;
            } else if (block[size_t(i)] == '\n' && !quoted) {
                ++lines;
                end = at + 1;
            }
        }
    }
    if (n < 0) {
        DBG_ERR("spool %s unreadable, %s", path.c_str(), strerror(errno));
        close(fd);
        return -1;
    }
    if (at > end) {
        DBG_ERR("%s : incomplete last line left out", path.c_str());
        if (ftruncate(fd, std::max(end, f->from)) != 0 || fdatasync(fd) != 0)
            DBG_ERR("cannot cut %s back, %s", path.c_str(), strerror(errno));
    }
    close(fd);
    f->lines = lines;
    f->records = before + lines;
    if (lines > 0) return 1;
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
