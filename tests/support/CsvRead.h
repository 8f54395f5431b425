// Reading a result line back as a spreadsheet does: fields split at commas outside
// quotes, quotes removed, "" read as one quote. For the log tests and the fuzz target.
#pragma once

#include <string>
#include <vector>

// The fields of one line (a trailing newline is not part of the last field); no fields
// when a quote is left open.
inline std::vector<std::string> CsvSplit(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                out.back() += line[++i];
            else if (c == '"')
                quoted = false;
            else
                out.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else if (c != '\n' || i + 1 != line.size()) {
            out.back() += c;
        }
    }
    if (quoted) out.clear();
    return out;
}
