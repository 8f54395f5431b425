// Fastening result log writer. Each line reaches the file with one write() on a file
// opened for appending, so readers (FTP, storage browser) never see half a line; a line
// that does not fit is cut back off again.
#include "eventlog.h"
#include "eventlog_private.h"

#include "common.h"
#include "debug.h"
#include "setting.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

const char* const EVENTLOG_HEADER =
    "Time, Job, Step, Barcode, Tool, Fastening time (ms), Preset, Target torque, Converted "
    "torque, Speed, A1, A2, A3, Screw no, Error, Direction, Status, Snug\n";

namespace {
struct EventLogState {
    std::mutex lock; // guards the two sources and `whole`
    std::function<std::string(int)> toolName;
    std::function<std::string()> scannerCode;
    // Files this process appended whole records to, and the size it left them at: an
    // open finding that size need not read the file again for a torn last record.
    std::map<std::string, off_t> whole;
};
EventLogState eventLog;

const char* orEmpty(const char* s) {
    return s ? s : "";
}

// A job, step, tool or barcode text holding a separator is quoted as CSV does, so the
// columns never shift; any other text stays as it is.
std::string csvField(const char* s) {
    std::string in = orEmpty(s);
    if (in.find_first_of(",\"\r\n") == std::string::npos) return in;
    std::string out = "\"";
    for (char c : in) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}
} // namespace

int EventLog_AppendWhole(int fd, const std::string& path, const std::string& data) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    long n = Common_IoWrite(path, fd, data.data(), data.size());
    if (n == long(data.size())) {
        std::lock_guard<std::mutex> g(eventLog.lock);
        if (eventLog.whole.size() >= 16) eventLog.whole.clear(); // days gone by
        eventLog.whole[path] = st.st_size + off_t(n);
        return 0;
    }
    int err = n < 0 ? errno : ENOSPC;
    if (n > 0 && ftruncate(fd, st.st_size) != 0)
        DBG_ERR("cannot cut back partial line, %s", strerror(errno));
    errno = err;
    return -1;
}

int EventLog_SyncDir(const std::string& dir) {
    int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return -1;
    int rc = fsync(dfd);
    close(dfd);
    return rc;
}

namespace {
// Creates the missing folders of `dir`; each new name is flushed into its parent, so the
// day's first line does not vanish with its folder at a power cut. 0 or -1.
int makeDirsDurably(const std::string& dir) {
    std::string existing = dir;
    struct stat st;
    while (!existing.empty() && stat(existing.c_str(), &st) != 0) {
        size_t cut = existing.rfind('/');
        existing = cut == std::string::npos ? "" : existing.substr(0, cut);
    }
    if (existing == dir) return 0;
    if (Common_IoMkdirP(dir) != 0) return -1;
    if (EventLog_SyncDir(existing) != 0) return -1;
    for (size_t at = existing.empty() ? 0 : existing.size() + 1; at <= dir.size(); ++at)
        if ((at == dir.size() || dir[at] == '/') && at > 0 &&
            EventLog_SyncDir(dir.substr(0, at)) != 0)
            return -1;
    return 0;
}
} // namespace

int EventLog_OpenAppend(const std::string& path, bool* needHeader, const char* caller) {
    // The day's file usually exists: one open. Otherwise the folders and the header.
    // A file that exists but is empty (cut off between creation and header) also gets it.
    *needHeader = false;
    int fd = Common_IoOpen(path, O_WRONLY | O_APPEND);
    if (fd < 0 && errno == ENOENT) {
        std::string dir = path.substr(0, path.rfind('/'));
        if (makeDirsDurably(dir) != 0) {
            DBG_ERR_AS(caller, "cannot create %s, %s", dir.c_str(), strerror(errno));
            return -1;
        }
        fd = Common_IoOpen(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666);
        // The new name itself must survive a power cut with the lines in it.
        if (fd >= 0 && EventLog_SyncDir(dir) != 0) {
            DBG_ERR_AS(caller, "cannot flush %s, %s", dir.c_str(), strerror(errno));
            close(fd);
            return -1;
        }
        if (fd < 0 && errno == EEXIST) fd = Common_IoOpen(path, O_WRONLY | O_APPEND);
    }
    if (fd < 0) {
        DBG_ERR_AS(caller, "%s open fail : %s", path.c_str(), strerror(errno));
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size == 0) *needHeader = true;
    return fd;
}

namespace {
// Cuts a day file back to its last whole record when a power cut left it ending inside
// one (a write is not atomic on the disk). Only that record, which was never
// acknowledged: its tool sends it again. 0 or -1.
int cutTornRecord(int fd, const std::string& path, const char* caller) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    {
        std::lock_guard<std::mutex> g(eventLog.lock);
        auto it = eventLog.whole.find(path);
        if (st.st_size == 0 || (it != eventLog.whole.end() && it->second == st.st_size)) return 0;
    }
    const int rfd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EventLogScan scan;
    const int rc = rfd < 0 ? -1 : EventLog_ScanRecords(rfd, 0, &scan);
    if (rfd >= 0) close(rfd);
    if (rc != 0) {
        DBG_ERR_AS(caller, "%s unreadable, %s", path.c_str(), strerror(errno));
        return -1;
    }
    if (scan.end < scan.size) {
        DBG_ERR_AS(caller, "%s : incomplete last record cut off (%lld bytes)", path.c_str(),
                   (long long)(scan.size - scan.end));
        if (ftruncate(fd, scan.end) != 0) {
            DBG_ERR_AS(caller, "cannot cut %s back, %s", path.c_str(), strerror(errno));
            return -1;
        }
    }
    std::lock_guard<std::mutex> g(eventLog.lock);
    eventLog.whole[path] = scan.end;
    return 0;
}
} // namespace

int EventLog_OpenDay(const std::string& path, bool* needHeader, const char* caller) {
    const int fd = EventLog_OpenAppend(path, needHeader, caller);
    if (fd < 0 || *needHeader) return fd;
    struct stat st;
    if (cutTornRecord(fd, path, caller) != 0) {
        close(fd);
        return -1;
    }
    if (fstat(fd, &st) == 0 && st.st_size == 0) *needHeader = true; // a torn header
    return fd;
}

std::string EventLog_DirName(uint32_t location, const struct tm& t) {
    char buf[64];
    snprintf(buf, sizeof buf, "/%04d/%02d/%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    if (location == 1) return Common_SysPath("/media/mmcblk1p1") + buf;
    return std::string("./files/log") + buf;
}

std::string EventLog_FileName(const std::string& dir, const struct tm& t) {
    char buf[32];
    snprintf(buf, sizeof buf, "/%04d%02d%02d.csv", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return dir + buf;
}

std::string EventLog_FormatLine(const struct tm& t, const char* job, const char* step,
                                const char* barcode, const char* tool, const FastenResult& r) {
    char head[64];
    snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d,", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string line = head;
    line += csvField(job);
    line += ",";
    line += csvField(step);
    line += ",";
    std::string code = csvField(barcode), name = csvField(tool);
    char* tail = nullptr;
    int n =
        asprintf(&tail, "%s,%s,%d,%d,%.02f,%.02f,%d,%d,%d,%d,%d,%d,%d,%d,%d,\n", code.c_str(),
                 name.c_str(), r.FastenTime, r.Preset, r.TargetTorque / 100.0, r.ConvTorque / 100.0,
                 r.Speed, r.A1, r.A2, r.A3, r.ScrewNo, r.Error, r.Direction, r.Status, r.Snug);
    if (n < 0) return std::string();
    line.append(tail, size_t(n));
    free(tail);
    return line;
}

int EventLog_Write(const char* job, const char* step, const char* barcode, const char* tool,
                   const FastenResult& r) {
    // Without the card mounted the folders would be made inside its empty mount point.
    if (get_setting_log()->path == 1 && !Common_MicroSdMounted()) {
        DBG_ERR("micro sd not present, result not written");
        return -1;
    }
    struct tm t;
    Common_LocalTime(&t);
    std::string dir = EventLog_DirName(get_setting_log()->path, t);
    std::string path = EventLog_FileName(dir, t);
    std::string line = EventLog_FormatLine(t, job, step, barcode, tool, r);
    if (line.empty()) return -1;
    bool needHeader = false;
    int fd = EventLog_OpenDay(path, &needHeader, __func__);
    if (fd < 0) return -1;
    int rc = 0;
    if (needHeader && EventLog_AppendWhole(fd, path, EVENTLOG_HEADER) != 0) {
        rc = -1;
        unlink(path.c_str()); // the next result starts the file again, header first
    }
    if (rc == 0 && EventLog_AppendWhole(fd, path, line) != 0) rc = -1;
    if (rc != 0) DBG_ERR("%s write fail : %s", path.c_str(), strerror(errno));
    if (close(fd) != 0 && rc == 0) {
        DBG_ERR("%s close fail : %s", path.c_str(), strerror(errno));
        rc = -1;
    }
    return rc;
}

void EventLog_SetToolNameSource(std::function<std::string(int)> fn) {
    std::lock_guard<std::mutex> g(eventLog.lock);
    eventLog.toolName = std::move(fn);
}

void EventLog_SetScannerCodeSource(std::function<std::string()> fn) {
    std::lock_guard<std::mutex> g(eventLog.lock);
    eventLog.scannerCode = std::move(fn);
}

std::string EventLog_ToolName(int tdx) {
    std::lock_guard<std::mutex> g(eventLog.lock);
    return eventLog.toolName ? eventLog.toolName(tdx) : std::string();
}

std::string EventLog_ScannerCode() {
    std::lock_guard<std::mutex> g(eventLog.lock);
    return eventLog.scannerCode ? eventLog.scannerCode() : std::string("-");
}
