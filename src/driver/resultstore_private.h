// Pieces of the result store shared by its start-up and its writer: the day files there
// are and reading their lines back into rows.
#pragma once

#include "resultstore.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Every day file of both locations (the card's only while it is mounted), oldest day
// first, named as the log writer names them.
std::vector<std::string> ResultStore_DayFiles();
// The result lines of `path` between byte `from` and `to` (whole records only; the
// header and anything else that is not a result line are left out). The offset after the
// last whole record, or -1 when the file cannot be read.
off_t ResultStore_ReadLines(const std::string& path, off_t from, off_t to,
                            std::vector<StoredResult>* out);
