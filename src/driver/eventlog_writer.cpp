// Result log writer on loop "N": lines reach the disk (fdatasync) before their tools get
// the acknowledgement, so a result a tool has dropped from its store is never lost.
// Lines that cannot be written wait in a bounded spool, which is tried again with back-off
// and written to the log a slice at a time, in order, before any later line.
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "eventlog_private.h"
#include "ew_driver.h"
#include "mbus.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <glib.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
struct LogItem {
    std::string line; // empty: nothing to write (an acknowledgement or a task only)
    int ackTdx;
    std::function<void()> task; // run in queue order, after the acknowledgements before it
    ResultExtra extra;          // for the result store
};

struct EventLogWriterState {
    std::mutex lock; // the queue and the counters
    std::condition_variable idle;
    std::deque<LogItem> queue;
    bool scheduled = false;
    uint64_t queued = 0, done = 0;

    std::mutex runLock;                       // one batch or spool try at a time; guards all below
    std::deque<EventLogSpoolFile> spoolFiles; // oldest first; spooled lines go to the last
    std::deque<std::string> spoolMem;         // lines after those of the files, not on any disk
    size_t memLimit = 10000, fileLimit = 100000;
    uint64_t dropped = 0;
    bool fullSaid = false;                         // the full spool file was named in the debug log
    bool failing = false;                          // the last try at the log failed
    int firstMs = 1000, maxMs = 60000, waitMs = 0; // back-off of the spool's tries
    GSource* retry = nullptr;                      // the armed try, on loop "N"
    std::chrono::steady_clock::time_point retryAt; // the same without the loop
    size_t written = 0; // spooled lines written since the spool was last empty
    std::function<int(int)> ack;
};
// Never destroyed: the loop may still run a batch while the process exits.
EventLogWriterState& writer = *new EventLogWriterState;

const char* const SPOOL_INTERNAL = "./files/log/spool.csv";
// The day file of a line: the date it carries ("YYYY-MM-DD ..."), else today.
std::string dayFileFor(const std::string& line, uint32_t location) {
    struct tm t = {};
    int y, m, d;
    if (sscanf(line.c_str(), "%4d-%2d-%2d", &y, &m, &d) == 3) {
        t.tm_year = y - 1900;
        t.tm_mon = m - 1;
        t.tm_mday = d;
    } else {
        Common_LocalTime(&t);
    }
    return EventLog_FileName(EventLog_DirName(location, t), t);
}

// Appends the lines to their day files, one write and one fdatasync per file. All or
// nothing: on a failure every file touched is cut back to its former size, so a line is
// never both in a file and in the spool. Once all are on disk the result store is handed
// them, file by file (with `extras`, one per line, when the caller knows them). 0 or -1.
int appendDurably(const std::vector<std::string>& lines, uint32_t location,
                  std::vector<ResultExtra>* extras = nullptr) {
    if (lines.empty()) return 0;
    // Without the card mounted the folders would be made inside its empty mount point.
    if (location == 1 && !Common_MicroSdMounted()) {
        DBG_ERR("micro sd not present, %zu results not written", lines.size());
        return -1;
    }
    struct Touched {
        std::string path;
        int fd;
        off_t size;
        size_t first, count; // the lines written there
        off_t end;           // the file's size after them
    };
    std::vector<Touched> files;
    int rc = 0;
    for (size_t i = 0; i < lines.size() && rc == 0;) {
        std::string path = dayFileFor(lines[i], location), chunk;
        const size_t first = i;
        while (i < lines.size() && dayFileFor(lines[i], location) == path)
            chunk += lines[i++];
        bool needHeader = false;
        int fd = EventLog_OpenDay(path, &needHeader, __func__);
        if (fd < 0) {
            rc = -1;
            break;
        }
        struct stat st;
        const off_t size = fstat(fd, &st) == 0 ? st.st_size : 0;
        if (needHeader) chunk.insert(0, EVENTLOG_HEADER);
        files.push_back({path, fd, size, first, i - first, size + off_t(chunk.size())});
        if (EventLog_AppendWhole(fd, path, chunk) != 0) {
            DBG_ERR("%s write fail : %s", path.c_str(), strerror(errno));
            rc = -1;
        } else if (Common_IoSync(path, fd) != 0) {
            DBG_ERR("%s fdatasync fail : %s", path.c_str(), strerror(errno));
            rc = -1;
        }
    }
    // Newest first: a file touched twice (lines of another day in between) ends at the
    // size it had before the first.
    for (auto f = files.rbegin(); f != files.rend(); ++f) {
        if (rc != 0 && (ftruncate(f->fd, f->size) != 0 || fdatasync(f->fd) != 0))
            DBG_ERR("cannot cut %s back, %s", f->path.c_str(), strerror(errno));
        close(f->fd);
    }
    for (size_t k = 0; rc == 0 && k < files.size(); ++k) {
        std::vector<ResultWrittenLine> written(files[k].count);
        for (size_t n = 0; n < files[k].count; ++n) {
            written[n].line = lines[files[k].first + n];
            if (extras) written[n].extra = std::move((*extras)[files[k].first + n]);
        }
        ResultStore_Written(files[k].path, files[k].end, std::move(written));
    }
    return rc;
}

size_t spoolLength() {
    size_t n = writer.spoolMem.size();
    for (const EventLogSpoolFile& f : writer.spoolFiles)
        n += f.lines;
    return n;
}

// Keeps lines in the spool, behind those it holds: in the newest spool file while it can
// be written and stays within its bound (the lines waiting in memory go first), else in
// memory, bounded too (the oldest dropped). At exit the bound of the file gives way: the
// lines in memory were acknowledged.
void spoolLines(const std::vector<std::string>& lines, uint32_t location, bool atExit = false) {
    const size_t n = writer.spoolMem.size() + lines.size();
    if (n == 0) return;
    EventLogSpoolFile fresh;
    EventLogSpoolFile* f = writer.spoolFiles.empty() ? nullptr : &writer.spoolFiles.back();
    if (!f && !(fresh.path = EventLog_SpoolPath(location)).empty()) {
        // A file a run left there (its card was out at the start) keeps its place first.
        const int rc = Common_Exists(fresh.path) ? EventLog_SpoolAdopt(fresh.path, &fresh) : 0;
        if (rc > 0) writer.spoolFiles.push_back(fresh);
        f = rc > 0 ? &writer.spoolFiles.back() : rc == 0 ? &fresh : nullptr;
    }
    // The bound counts the records not in the log yet: the file takes more as slices go.
    if (f && !atExit && f->lines + n > writer.fileLimit) {
        if (!writer.fullSaid)
            DBG_ERR("result spool %s is full (%zu results): later results wait in memory, at "
                    "most %zu, the oldest dropped beyond",
                    f->path.c_str(), f->lines, writer.memLimit);
        writer.fullSaid = true;
    } else if (f) {
        std::string chunk;
        for (auto& l : writer.spoolMem)
            chunk += l;
        for (auto& l : lines)
            chunk += l;
        if (EventLog_SpoolAppend(f->path, chunk) == 0) {
            f->lines += n;
            if (f == &fresh) writer.spoolFiles.push_back(fresh);
            writer.spoolMem.clear();
            return;
        }
        DBG_ERR("spool %s not writable, %s; results kept in memory", f->path.c_str(),
                strerror(errno));
    }
    size_t before = writer.dropped;
    for (auto& l : lines) {
        writer.spoolMem.push_back(l);
        if (writer.spoolMem.size() > writer.memLimit) {
            writer.spoolMem.pop_front();
            ++writer.dropped;
        }
    }
    if (writer.dropped != before)
        DBG_ERR("result spool full (%zu lines): %llu oldest results dropped so far",
                writer.memLimit, (unsigned long long)writer.dropped);
}

// One slice of the spool, oldest first, to the log. 1 when it was written and more wait,
// 0 when the spool is empty, -1 when the log could not take it.
int drainSlice(uint32_t location) {
    std::vector<std::string> lines;
    off_t next = 0;
    while (lines.empty() && !writer.spoolFiles.empty()) {
        const EventLogSpoolFile& f = writer.spoolFiles.front();
        if (f.lines > 0 && EventLog_SpoolReadSlice(f, lines, &next) == 0) break;
        if (f.lines > 0) // the card holding it was taken out: they wait for the next start
            DBG_ERR("spool %s unreadable, %s; %zu results left for the next start", f.path.c_str(),
                    strerror(errno), f.lines);
        else
            EventLog_SpoolRemove(f.path);
        lines.clear();
        writer.spoolFiles.pop_front();
    }
    const bool fromFile = !lines.empty();
    for (size_t i = 0, bytes = 0;
         !fromFile && i < writer.spoolMem.size() && bytes < EVENTLOG_SPOOL_SLICE; ++i) {
        lines.push_back(writer.spoolMem[i]);
        bytes += writer.spoolMem[i].size();
    }
    if (lines.empty()) return 0;
    if (appendDurably(lines, location) != 0) return -1;
    writer.written += lines.size();
    if (fromFile) {
        EventLogSpoolFile& f = writer.spoolFiles.front();
        f.from = next;
        f.lines -= std::min(f.lines, lines.size());
        if (f.lines > 0) {
            EventLog_SpoolMark(f);
        } else {
            EventLog_SpoolRemove(f.path);
            writer.spoolFiles.pop_front();
        }
    } else {
        writer.spoolMem.erase(writer.spoolMem.begin(),
                              writer.spoolMem.begin() + std::ptrdiff_t(lines.size()));
    }
    if (spoolLength() > 0) return 1;
    Debug_WriteLog(1, "result log written again, %zu spooled results written", writer.written);
    writer.written = 0;
    writer.fullSaid = false;
    return 0;
}

gboolean retryFired(gpointer);

// Arms the spool's next try in `ms` (0: at the loop's next turn), replacing one armed
// already. It runs beside the batches (same priority), so a result waits for one slice
// at most. Without the writer's loop the next batch makes the try once it is due.
void armRetry(int ms) {
    writer.retryAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    GMainContext* ctx = Threads_GetContext(LOOP_EVENTLOG);
    if (!ctx) return;
    if (writer.retry) {
        g_source_destroy(writer.retry);
        g_source_unref(writer.retry);
    }
    writer.retry = g_timeout_source_new(guint(ms));
    g_source_set_priority(writer.retry, G_PRIORITY_DEFAULT_IDLE);
    g_source_set_callback(writer.retry, retryFired, nullptr, nullptr);
    g_source_attach(writer.retry, ctx);
}

void cancelRetry() {
    if (!writer.retry) return;
    g_source_destroy(writer.retry);
    g_source_unref(writer.retry);
    writer.retry = nullptr;
}

// The log failed: the next try waits twice as long as the last, within the bounds.
void retryLater() {
    writer.failing = true;
    writer.waitMs = std::clamp(writer.waitMs * 2, writer.firstMs, writer.maxMs);
    DBG_ERR("%zu results wait in the spool, the log cannot be written; next try in %d ms",
            spoolLength(), writer.waitMs);
    armRetry(writer.waitMs);
}

// After a slice written (rc 1) the next follows at once; with the spool empty (0) no try
// waits any more.
void spoolWritten(int rc) {
    writer.failing = false;
    writer.waitMs = 0;
    if (rc > 0)
        armRetry(0);
    else
        cancelRetry();
}

// One try of the spool: a slice to the log.
void trySpool(uint32_t location) {
    const int rc = drainSlice(location);
    if (rc < 0) return retryLater();
    spoolWritten(rc);
}

gboolean retryFired(gpointer) {
    std::lock_guard<std::mutex> g(writer.runLock);
    if (writer.retry) {
        g_source_unref(writer.retry); // this source; it is removed on return
        writer.retry = nullptr;
    }
    trySpool(get_setting_log()->path);
    return G_SOURCE_REMOVE;
}

// The batch's lines go to the log, unless the spool holds lines: then they join it, and
// its tries write them after those, in order. A batch never tries the spool (except
// without the writer's loop, once a try is due), so an acknowledgement waits for one slice
// of it at most, never for all of it. The GUI hears of lines spooled while the log fails
// and of lines dropped.
void logOrSpool(const std::vector<std::string>& lines, std::vector<ResultExtra>& extras,
                uint32_t location) {
    if (spoolLength() > 0 && !Threads_GetContext(LOOP_EVENTLOG) &&
        std::chrono::steady_clock::now() >= writer.retryAt) {
        trySpool(location);
    } else if (spoolLength() > 0 && writer.spoolMem.size() + lines.size() > writer.memLimit) {
        // Full: a slice is tried at once rather than a line dropped while the log may take
        // it again; a failure leaves the back-off as it is.
        const int rc = drainSlice(location);
        if (rc >= 0) spoolWritten(rc);
    }
    const bool behind = spoolLength() > 0;
    if (!behind && appendDurably(lines, location, &extras) == 0) return;
    const uint64_t dropped = writer.dropped;
    spoolLines(lines, location);
    if (!behind) retryLater();
    if (!writer.failing && writer.dropped == dropped) return;
    DBG_ERR("logging failed, %zu results kept in the spool", lines.size());
    EwDriver_PushMsgQ_LogFail();
}

// Tries the whole spool now, whatever its back-off (Flush, exit). No hop to the loop
// when the spool is empty.
void trySpoolNow() {
    {
        std::lock_guard<std::mutex> g(writer.runLock);
        if (spoolLength() == 0) return;
    }
    Threads_RunSync(LOOP_EVENTLOG, [] {
        std::lock_guard<std::mutex> g(writer.runLock);
        if (spoolLength() == 0) return;
        const uint32_t location = get_setting_log()->path;
        int rc;
        while ((rc = drainSlice(location)) > 0) {
        }
        if (rc == 0)
            spoolWritten(0);
        else if (writer.retry) // the back-off armed goes on
            writer.failing = true;
        else
            retryLater();
    });
}

// One batch: everything queued now shares the flush of its day file.
void runBatch() {
    std::deque<LogItem> batch;
    {
        std::lock_guard<std::mutex> g(writer.lock);
        batch.swap(writer.queue);
    }
    if (batch.empty()) return;
    {
        std::lock_guard<std::mutex> g(writer.runLock);
        uint32_t location = get_setting_log()->path;
        std::vector<std::string> lines;
        std::vector<ResultExtra> extras;
        lines.reserve(batch.size());
        for (auto& it : batch)
            if (!it.line.empty()) {
                lines.push_back(it.line);
                extras.push_back(std::move(it.extra));
            }
        logOrSpool(lines, extras, location);
        for (auto& it : batch) {
            if (it.task) it.task();
            if (it.ackTdx < 0) continue;
            if (writer.ack)
                writer.ack(it.ackTdx);
            else
                Modbus_Write(it.ackTdx, 4016, 1, 1);
        }
    }
    {
        std::lock_guard<std::mutex> g(writer.lock);
        writer.done += batch.size();
    }
    writer.idle.notify_all();
}

gboolean dispatch(gpointer) {
    for (;;) {
        runBatch();
        std::lock_guard<std::mutex> g(writer.lock);
        if (writer.queue.empty()) {
            writer.scheduled = false;
            return G_SOURCE_REMOVE;
        }
    }
}

// The time of a spool file's first unwritten record ("YYYY-MM-DD HH:MM:SS"), empty when
// it cannot be read.
std::string firstRecordTime(const EventLogSpoolFile& f) {
    char at[20] = {};
    const int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t n = fd < 0 ? -1 : pread(fd, at, 19, f.from);
    if (fd >= 0) close(fd);
    return n > 0 ? std::string(at, size_t(n)) : std::string();
}

// Spool files an earlier run left are taken over, the older first, before the loop takes
// any result; the loop writes them a slice at a time like any spooled line, and later
// results join them behind. Start-up does not wait for the writing.
void replayAtStart() {
    std::lock_guard<std::mutex> g(writer.runLock);
    std::vector<std::pair<std::string, EventLogSpoolFile>> found;
    for (const std::string& path : {EventLog_SpoolPath(0), std::string(SPOOL_INTERNAL)}) {
        if (path.empty() || !Common_Exists(path) ||
            std::any_of(writer.spoolFiles.begin(), writer.spoolFiles.end(),
                        [&](const EventLogSpoolFile& f) { return f.path == path; }))
            continue;
        EventLogSpoolFile f;
        if (EventLog_SpoolAdopt(path, &f) > 0) found.push_back({firstRecordTime(f), f});
    }
    // Two only when a card was out at a try: the one whose results are older goes first
    // (a mark written after a slice refreshes a file's time, so that cannot tell); the
    // card's on a tie, it is the older then.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [at, f] : found)
        writer.spoolFiles.push_back(f);
    if (spoolLength() > 0) armRetry(0);
}
} // namespace

std::string EventLog_SpoolPath(uint32_t location) {
    if (location == 1) return SPOOL_INTERNAL;
    if (!Common_MicroSdMounted()) return std::string();
    return Common_SysPath("/media/mmcblk1p1") + "/spool.csv";
}

namespace {
int queueItem(LogItem item);
} // namespace

int EventLog_Queue(const std::string& line, int ackTdx) {
    return queueItem({line, ackTdx, nullptr, {}});
}

int EventLog_Queue(const std::string& line, int ackTdx, ResultExtra extra) {
    return queueItem({line, ackTdx, nullptr, std::move(extra)});
}

int EventLog_QueueTask(std::function<void()> task) {
    {
        // Nothing ahead of it (every item queued so far is done): at once, on the caller's
        // thread, so what the caller writes to the tool next comes after it.
        std::unique_lock<std::mutex> g(writer.lock);
        if (writer.done == writer.queued) {
            g.unlock();
            task();
            return 0;
        }
    }
    return queueItem({std::string(), -1, std::move(task), {}});
}

namespace {
int queueItem(LogItem item) {
    GMainContext* ctx = Threads_GetContext(LOOP_EVENTLOG);
    bool schedule = false;
    {
        std::lock_guard<std::mutex> g(writer.lock);
        writer.queue.push_back(std::move(item));
        ++writer.queued;
        if (ctx && !writer.scheduled) writer.scheduled = schedule = true;
    }
    if (!ctx) {
        runBatch(); // before the worker threads exist (tools that drive single modules)
        return 0;
    }
    if (schedule) {
        GSource* s = g_idle_source_new();
        g_source_set_callback(s, dispatch, nullptr, nullptr);
        g_source_attach(s, ctx);
        g_source_unref(s);
    }
    return 0;
}
} // namespace

void EventLog_Flush() {
    {
        std::unique_lock<std::mutex> g(writer.lock);
        uint64_t target = writer.queued;
        writer.idle.wait(g, [target] { return writer.done >= target; });
    }
    trySpoolNow();
}

void EventLog_Shutdown() {
    EventLog_Flush(); // the last try at the log
    std::lock_guard<std::mutex> g(writer.runLock);
    if (writer.spoolMem.empty()) return;
    // Results in memory were acknowledged: to the spool file, beyond its bound if need be.
    spoolLines({}, get_setting_log()->path, true);
    if (!writer.spoolMem.empty())
        DBG_ERR("%zu acknowledged results lost at exit, neither log nor spool writable",
                writer.spoolMem.size());
}

void EventLog_StartWriter() {
    Threads_AddSetup(LOOP_EVENTLOG, replayAtStart);
}

size_t EventLog_SpoolLength() {
    std::lock_guard<std::mutex> g(writer.runLock);
    return spoolLength();
}

void EventLog_SetSpoolLimit(size_t lines) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.memLimit = lines ? lines : 1;
}

void EventLog_SetSpoolFileLimit(size_t lines) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.fileLimit = lines ? lines : 1;
}

void EventLog_SetRetryDelays(int firstMs, int maxMs) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.firstMs = std::max(firstMs, 1);
    writer.maxMs = std::max(maxMs, writer.firstMs);
}

void EventLog_SetAckWriter(std::function<int(int)> fn) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.ack = std::move(fn);
}
