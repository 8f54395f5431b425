// Result log writer on loop "N": lines reach the disk (fdatasync) before their tools get
// the acknowledgement, so a result a tool has dropped from its store is never lost.
// Lines that cannot be written wait in a spool and are appended, in order, later.
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "eventlog_private.h"
#include "ew_driver.h"
#include "mbus.h"
#include "setting.h"
#include "threads.h"

#include <cerrno>
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
    std::string line;
    int ackTdx;
};

struct EventLogWriterState {
    std::mutex lock; // the queue and the counters
    std::condition_variable idle;
    std::deque<LogItem> queue;
    bool scheduled = false;
    uint64_t queued = 0, done = 0;

    std::mutex runLock;    // one batch at a time; guards everything below
    std::string spoolFile; // holds the oldest spooled lines; empty for none
    size_t spoolFileLines = 0;
    std::deque<std::string> spoolMem; // lines after those of the file, not on any disk
    size_t memLimit = 10000;
    uint64_t dropped = 0;
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
// never both in a file and in the spool. 0 or -1.
int appendDurably(const std::vector<std::string>& lines, uint32_t location) {
    if (lines.empty()) return 0;
    // Without the card the folders would be made inside its empty mount point.
    if (location == 1 && !Common_MicroSdPresent()) {
        DBG_ERR("micro sd not present, %zu results not written", lines.size());
        return -1;
    }
    struct Touched {
        std::string path;
        int fd;
        off_t size;
    };
    std::vector<Touched> files;
    int rc = 0;
    for (size_t i = 0; i < lines.size() && rc == 0;) {
        std::string path = dayFileFor(lines[i], location), chunk;
        size_t j = i;
        while (j < lines.size() && dayFileFor(lines[j], location) == path)
            chunk += lines[j++];
        i = j;
        bool needHeader = false;
        int fd = EventLog_OpenDay(path, &needHeader, __func__);
        if (fd < 0) {
            rc = -1;
            break;
        }
        struct stat st;
        files.push_back({path, fd, fstat(fd, &st) == 0 ? st.st_size : 0});
        if (needHeader) chunk.insert(0, EVENTLOG_HEADER);
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
    return rc;
}

// Appends `data` to a spool file and flushes it (a new file's name too); 0 or -1.
int appendSpoolFile(const std::string& path, const std::string& data) {
    bool isNew = false;
    int fd = EventLog_OpenDay(path, &isNew, __func__);
    if (fd < 0) return -1;
    int rc = EventLog_AppendWhole(fd, path, data);
    if (rc == 0) rc = Common_IoSync(path, fd);
    close(fd);
    return rc;
}

// The complete records of a spool file, each ending at a line break outside quotes (a
// quoted text may hold one). A record cut by a power cut was never acknowledged and is
// left out. -1 when the file cannot be read.
int readSpoolFile(const std::string& path, std::vector<std::string>& out) {
    std::string text;
    if (Common_ReadFile(path, text, SIZE_MAX) != 0) return -1;
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == '\n' && !quoted) {
            out.push_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size()) DBG_ERR("%s : incomplete last line left out", path.c_str());
    return 0;
}

// Keeps lines in the spool: in the spool file when it can be written (the lines waiting
// in memory go first), else in memory, bounded.
void spoolLines(const std::vector<std::string>& lines, uint32_t location) {
    std::string target = writer.spoolFile.empty() ? EventLog_SpoolPath(location) : writer.spoolFile;
    if (!target.empty()) {
        std::string chunk;
        for (auto& l : writer.spoolMem)
            chunk += l;
        for (auto& l : lines)
            chunk += l;
        if (appendSpoolFile(target, chunk) == 0) {
            writer.spoolFile = target;
            writer.spoolFileLines += writer.spoolMem.size() + lines.size();
            writer.spoolMem.clear();
            return;
        }
        DBG_ERR("spool %s not writable, %s; results kept in memory", target.c_str(),
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

// Writes the spool to the log before anything newer; true when the spool is empty after.
bool recoverSpool(uint32_t location) {
    if (writer.spoolFile.empty() && writer.spoolMem.empty()) return true;
    std::vector<std::string> lines;
    if (!writer.spoolFile.empty() && readSpoolFile(writer.spoolFile, lines) != 0) {
        // The card holding it was taken out: its lines wait there for the next start-up,
        // those in memory are written now.
        DBG_ERR("spool %s unreadable, %s; left for the next start", writer.spoolFile.c_str(),
                strerror(errno));
        writer.spoolFile.clear();
        writer.spoolFileLines = 0;
        lines.clear();
    }
    lines.insert(lines.end(), writer.spoolMem.begin(), writer.spoolMem.end());
    if (appendDurably(lines, location) != 0) return false;
    // Its removal is flushed too: a spool back after a power cut would be written twice.
    if (!writer.spoolFile.empty() &&
        (unlink(writer.spoolFile.c_str()) != 0 ||
         EventLog_SyncDir(writer.spoolFile.substr(0, writer.spoolFile.rfind('/'))) != 0))
        DBG_ERR("cannot remove %s, %s", writer.spoolFile.c_str(), strerror(errno));
    Debug_WriteLog(1, "result log written again, %zu spooled results written", lines.size());
    writer.spoolFile.clear();
    writer.spoolFileLines = 0;
    writer.spoolMem.clear();
    return true;
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
        lines.reserve(batch.size());
        for (auto& it : batch)
            lines.push_back(it.line);
        if (!recoverSpool(location) || appendDurably(lines, location) != 0) {
            spoolLines(lines, location);
            DBG_ERR("logging failed, %zu results kept in the spool", lines.size());
            EwDriver_PushMsgQ_LogFail();
        }
        for (auto& it : batch) {
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

// A spool file left by an earlier run is written to the log, or kept as the spool.
void replayAtStart() {
    std::lock_guard<std::mutex> g(writer.runLock);
    uint32_t location = get_setting_log()->path;
    for (const std::string& path : {std::string(SPOOL_INTERNAL), EventLog_SpoolPath(0)}) {
        if (path.empty() || !Common_Exists(path) || path == writer.spoolFile) continue;
        std::vector<std::string> lines;
        if (readSpoolFile(path, lines) != 0) {
            DBG_ERR("spool %s unreadable, %s", path.c_str(), strerror(errno));
            continue;
        }
        if (appendDurably(lines, location) == 0) {
            if (unlink(path.c_str()) != 0 || EventLog_SyncDir(path.substr(0, path.rfind('/'))) != 0)
                DBG_ERR("cannot remove %s, %s", path.c_str(), strerror(errno));
            Debug_WriteLog(1, "result log written again, %zu spooled results written",
                           lines.size());
        } else if (writer.spoolFile.empty()) {
            writer.spoolFile = path;
            writer.spoolFileLines = lines.size();
        }
    }
}
} // namespace

std::string EventLog_SpoolPath(uint32_t location) {
    if (location == 1) return SPOOL_INTERNAL;
    if (!Common_MicroSdPresent()) return std::string();
    return Common_SysPath("/media/mmcblk1p1") + "/spool.csv";
}

int EventLog_Queue(const std::string& line, int ackTdx) {
    GMainContext* ctx = Threads_GetContext(LOOP_EVENTLOG);
    bool schedule = false;
    {
        std::lock_guard<std::mutex> g(writer.lock);
        writer.queue.push_back({line, ackTdx});
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

void EventLog_Flush() {
    std::unique_lock<std::mutex> g(writer.lock);
    uint64_t target = writer.queued;
    writer.idle.wait(g, [target] { return writer.done >= target; });
}

void EventLog_Shutdown() {
    EventLog_Flush();
    std::lock_guard<std::mutex> g(writer.runLock);
    if (writer.spoolMem.empty()) return;
    // Results in memory were acknowledged: a last try at the log, then at the spool file.
    const uint32_t location = get_setting_log()->path;
    if (!recoverSpool(location)) spoolLines({}, location);
    if (!writer.spoolMem.empty())
        DBG_ERR("%zu acknowledged results lost at exit, neither log nor spool writable",
                writer.spoolMem.size());
}

void EventLog_StartWriter() {
    Threads_AddSetup(LOOP_EVENTLOG, replayAtStart);
}

size_t EventLog_SpoolLength() {
    std::lock_guard<std::mutex> g(writer.runLock);
    return writer.spoolFileLines + writer.spoolMem.size();
}

void EventLog_SetSpoolLimit(size_t lines) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.memLimit = lines ? lines : 1;
}

void EventLog_SetAckWriter(std::function<int(int)> fn) {
    std::lock_guard<std::mutex> g(writer.runLock);
    writer.ack = std::move(fn);
}
