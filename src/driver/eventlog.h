// Fastening result log: one CSV line per result in a daily file under the configured
// location ("./files/log/Y/M/D/YYYYMMDD.csv" or the micro SD card).
#pragma once

#include "fasten_result.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

extern const char* const EVENTLOG_HEADER;

// Pure formatting (no I/O): the day directory for a location (0 internal, 1 micro SD),
// the file inside it, and one result line ending in ",\n". Null texts are empty.
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
