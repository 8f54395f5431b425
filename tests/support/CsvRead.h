// Reading a result line back as a spreadsheet does: fields split at commas outside
// quotes, quotes removed, "" read as one quote. For the log tests and the fuzz target;
// and any text file's lines.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// The result records of every day file under `logDir` (a data home's "files/log"), days
// in order, each split into its fields; header lines and the spool are left out. A
// quoted line break stays inside its record.
inline std::vector<std::vector<std::string>> LogRecords(const std::string& logDir) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto& f : std::filesystem::recursive_directory_iterator(logDir, ec))
        if (f.path().extension() == ".csv" && f.path().filename() != "spool.csv")
            files.push_back(f.path());
    std::sort(files.begin(), files.end());
    std::vector<std::vector<std::string>> out;
    for (const auto& p : files) {
        std::ifstream in(p);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        bool quoted = false, header = true;
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '"') quoted = !quoted;
            if (text[i] != '\n' || quoted) continue;
            if (!header) out.push_back(CsvSplit(text.substr(start, i + 1 - start)));
            header = false;
            start = i + 1;
        }
    }
    return out;
}

// The lines of a text file without their line ends (a last line without one included).
inline std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}
