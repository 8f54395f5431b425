// Debug log and debug flags: one coloured line per message on standard output, and
// the same line to the on-screen debug page through the driver-to-GUI queue.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum DebugFlagIndex {
    DEBUG_FLAG_DISCO = 0,
    DEBUG_FLAG_INPUT = 1,
    DEBUG_FLAG_OUTPUT = 2,
    DEBUG_FLAG_BARCODE = 3,
    DEBUG_FLAG_SETTING = 4,
    DEBUG_FLAG_MODBUS = 5,
    DEBUG_FLAG_NETLINK = 6,
    DEBUG_FLAG_EWEVENT = 7,
    DEBUG_FLAG_BEF = 8,
    DEBUG_FLAG_BST = 9,
    DEBUG_FLAG_COUNT = 10
};

void Debug_Init();
// The ten flag words; 0 is off, anything else on. Shared by all threads without a lock.
std::atomic<int32_t>* Debug_GetFlag();
void Debug_WriteLog(int enabled, const char* format, ...) __attribute__((format(printf, 2, 3)));

int Debug_OpenFile_ForSave();
void Debug_WriteFile_ForSave(const char* line);
int Debug_CloseFile_ForSave(); // 0, or -1 when a line or the final flush failed
void Debug_HexDump(const void* bytes, size_t length);
// Formats the hex dump into a string (what Debug_HexDump prints).
std::string Debug_HexDumpText(const void* bytes, size_t length);

// Test and tool hook: called with every formatted line (on the caller's thread).
using DebugLineHook = std::function<void(const char* line)>;
void Debug_SetLineHook(DebugLineHook hook);
// Silences standard output (benchmarks); lines still reach the hook and the queue.
void Debug_SetQuiet(bool quiet);

// Failure lines: always written, with the function name and source line.
#define DBG_ERR(fmt, ...)                                                                          \
    Debug_WriteLog(1, "%s.%d : " fmt, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
// Failure lines whose caller name is fixed by the system's log format (a handler logging
// under its dispatcher's name, for instance) rather than the enclosing function.
#define DBG_ERR_AS(caller, fmt, ...)                                                               \
    Debug_WriteLog(1, "%s.%d : " fmt, caller, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
// Informational lines under a debug flag; with the flag off only the test is paid.
#define DBG_LOG(flagIndex, fmt, ...)                                                               \
    do {                                                                                           \
        if (Debug_GetFlag()[flagIndex].load(std::memory_order_relaxed))                            \
            Debug_WriteLog(1, "%s.%d : " fmt, __func__, __LINE__ __VA_OPT__(, ) __VA_ARGS__);      \
    } while (0)
// Informational line under a flag, written exactly as formatted (no function prefix).
#define DBG_LOG_PLAIN(flagIndex, fmt, ...)                                                         \
    do {                                                                                           \
        if (Debug_GetFlag()[flagIndex].load(std::memory_order_relaxed))                            \
            Debug_WriteLog(1, fmt __VA_OPT__(, ) __VA_ARGS__);                                     \
    } while (0)
