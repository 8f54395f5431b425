// Fastening result log writer. Each line reaches the file with one write() on a file
// opened for appending, so readers (FTP, storage browser) never see half a line; a line
// that does not fit is cut back off again.
#include "eventlog.h"

#include "common.h"
#include "debug.h"
#include "setting.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

const char* const EVENTLOG_HEADER =
    "Time, Job, Step, Barcode, Tool, Fastening time (ms), Preset, Target torque, Converted "
    "torque, Speed, A1, A2, A3, Screw no, Error, Direction, Status, Snug\n";

namespace {
struct EventLogState {
    std::mutex lock; // guards the two sources
    std::function<std::string(int)> toolName;
    std::function<std::string()> scannerCode;
};
EventLogState eventLog;

const char* orEmpty(const char* s) {
    return s ? s : "";
}

// Writes all of `line` with one write(); on a short write the file is cut back to
// `size` so no partial line stays behind.
int appendWhole(int fd, const std::string& line) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    ssize_t n;
    do {
        n = write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n == ssize_t(line.size())) return 0;
    int err = n < 0 ? errno : ENOSPC;
    if (n > 0 && ftruncate(fd, st.st_size) != 0)
        DBG_ERR("cannot cut back partial line, %s", strerror(errno));
    errno = err;
    return -1;
}
} // namespace

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
    line += orEmpty(job);
    line += ",";
    line += orEmpty(step);
    line += ",";
    char* tail = nullptr;
    int n = asprintf(&tail, "%s,%s,%d,%d,%.02f,%.02f,%d,%d,%d,%d,%d,%d,%d,%d,%d,\n",
                     orEmpty(barcode), orEmpty(tool), r.FastenTime, r.Preset,
                     r.TargetTorque / 100.0, r.ConvTorque / 100.0, r.Speed, r.A1, r.A2, r.A3,
                     r.ScrewNo, r.Error, r.Direction, r.Status, r.Snug);
    if (n < 0) return std::string();
    line.append(tail, size_t(n));
    free(tail);
    return line;
}

int EventLog_Write(const char* job, const char* step, const char* barcode, const char* tool,
                   const FastenResult& r) {
    // Without the card the folders would be made inside its empty mount point.
    if (get_setting_log()->path == 1 && !Common_MicroSdPresent()) {
        DBG_ERR("micro sd not present, result not written");
        return -1;
    }
    struct tm t;
    Common_LocalTime(&t);
    std::string dir = EventLog_DirName(get_setting_log()->path, t);
    std::string path = EventLog_FileName(dir, t);
    std::string line = EventLog_FormatLine(t, job, step, barcode, tool, r);
    if (line.empty()) return -1;
    // The day's file usually exists: one open. Otherwise the folders and the header.
    // A file that exists but is empty (cut off between creation and header) also gets it.
    bool created = false;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (Common_MkdirP(dir) != 0) {
            DBG_ERR("cannot create %s, %s", dir.c_str(), strerror(errno));
            return -1;
        }
        created = true;
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            created = false;
            fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        }
    }
    if (fd < 0) {
        DBG_ERR("%s open fail : %s", path.c_str(), strerror(errno));
        return -1;
    }
    bool needHeader = created;
    struct stat st;
    if (!created && fstat(fd, &st) == 0 && st.st_size == 0) needHeader = true;
    int rc = 0;
    if (needHeader && appendWhole(fd, EVENTLOG_HEADER) != 0) {
        rc = -1;
        unlink(path.c_str()); // the next result starts the file again, header first
    }
    if (rc == 0 && appendWhole(fd, line) != 0) rc = -1;
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
