// Pieces of the result log shared by the synchronous writer and the log writer thread:
// opening a day file for appending and appending whole lines through the fault seam.
#pragma once

#include <string>

// Flushes the names in folder `dir` ("" for the working folder). 0 or -1.
int EventLog_SyncDir(const std::string& dir);
// Opens the day file `path` for appending, creating its folders (and flushing each new
// name into its folder); *needHeader is set for an empty file. Descriptor or -1, logged
// under `caller`.
int EventLog_OpenDay(const std::string& path, bool* needHeader, const char* caller);
// Writes `data` with one write(); a short write is cut back so no partial line stays.
// 0, or -1 with errno set.
int EventLog_AppendWhole(int fd, const std::string& path, const std::string& data);
