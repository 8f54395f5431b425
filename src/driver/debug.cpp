#include "debug.h"

#include "common.h"
#include "ew_driver.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
struct DebugState {
    std::atomic<int32_t> flag[DEBUG_FLAG_COUNT];
    std::mutex saveLock;
    FILE* saveFile = nullptr;
    std::mutex hookLock;
    DebugLineHook hook;
    std::atomic<bool> quiet{false};
};
DebugState dbg;
} // namespace

void Debug_Init() {
    for (auto& f : dbg.flag)
        f.store(0);
}

std::atomic<int32_t>* Debug_GetFlag() {
    return dbg.flag;
}

void Debug_SetLineHook(DebugLineHook hook) {
    std::lock_guard<std::mutex> g(dbg.hookLock);
    dbg.hook = std::move(hook);
}

void Debug_SetQuiet(bool quiet) {
    dbg.quiet = quiet;
}

void Debug_WriteLog(int enabled, const char* format, ...) {
    if (!enabled || !format) return;
    va_list ap;
    va_start(ap, format);
    char* text = nullptr;
    int n = vasprintf(&text, format, ap);
    va_end(ap);
    if (n < 0 || !text) abort(); // allocation failure ends the process
    if (!dbg.quiet) {
        // One fprintf per line so lines of different threads do not interleave.
        fprintf(stdout, "\033[32m[DMK]\033[39m %s\n", text);
        fflush(stdout);
    }
    {
        std::lock_guard<std::mutex> g(dbg.hookLock);
        if (dbg.hook) dbg.hook(text);
    }
    EwDriver_PushMsgQ_PrintDebug(text); // takes ownership
}

int Debug_OpenFile_ForSave() {
    struct tm tm;
    Common_LocalTime(&tm);
    char name[64];
    snprintf(name, sizeof name, "./files/dlog_%04d%02d%02d_%02d%02d%02d.dbg", tm.tm_year + 1900,
             tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::lock_guard<std::mutex> g(dbg.saveLock);
    if (dbg.saveFile) fclose(dbg.saveFile);
    dbg.saveFile = fopen(name, "w");
    if (!dbg.saveFile) {
        Debug_WriteLog(1, "%s.%d : fail to open %s, %s", __func__, __LINE__, name, strerror(errno));
        return -1;
    }
    return 0;
}

void Debug_WriteFile_ForSave(const char* line) {
    std::unique_lock<std::mutex> g(dbg.saveLock);
    if (!dbg.saveFile) {
        g.unlock();
        Debug_WriteLog(1, "%s.%d : fd is null", __func__, __LINE__);
        return;
    }
    if (!line) {
        g.unlock();
        Debug_WriteLog(1, "%s.%d : log is null", __func__, __LINE__);
        return;
    }
    fprintf(dbg.saveFile, "%s\n", line); // an error stays on the stream for the close
}

int Debug_CloseFile_ForSave() {
    std::unique_lock<std::mutex> g(dbg.saveLock);
    if (!dbg.saveFile) return -1;
    // A full disk shows up here (buffered writes, the final flush): never "Complete" then.
    bool failed = ferror(dbg.saveFile) != 0;
    int err = errno;
    if (fclose(dbg.saveFile) != 0 && !failed) {
        failed = true;
        err = errno;
    }
    dbg.saveFile = nullptr;
    g.unlock();
    if (!failed) return 0;
    Debug_WriteLog(1, "%s.%d : debug log not saved whole, %s", __func__, __LINE__, strerror(err));
    return -1;
}

std::string Debug_HexDumpText(const void* bytes, size_t length) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    std::string out;
    char tmp[32];
    for (size_t off = 0; off < length; off += 16) {
        snprintf(tmp, sizeof tmp, "%04zx ", off);
        out += tmp;
        size_t n = std::min<size_t>(16, length - off);
        for (size_t i = 0; i < n; ++i) {
            snprintf(tmp, sizeof tmp, "%02x ", b[off + i]);
            out += tmp;
        }
        for (size_t i = n; i < 16; ++i)
            out += "   ";
        out += "    ";
        for (size_t i = 0; i < n; ++i) {
            unsigned char c = b[off + i];
            out += (c >= 32 && c <= 126) ? char(c) : '.';
        }
        out += '\n';
    }
    return out;
}

void Debug_HexDump(const void* bytes, size_t length) {
    if (!bytes) return;
    std::string s = Debug_HexDumpText(bytes, length);
    fwrite(s.data(), 1, s.size(), stdout);
    fflush(stdout);
}
