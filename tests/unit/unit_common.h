// What nearly every driver-layer test uses: gtest, the test's environment and waits, the
// recording sink, the common modules and the standard headers they go with.
#pragma once

#include "CsvRead.h"
#include "RecordingSink.h"
#include "TestEnv.h"
#include "Wait.h"
#include "common.h"
#include "debug.h"
#include "setting.h"
#include "threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// A job's file in the data home.
inline std::string jobPath(const std::string& name) {
    return "files/job/" + name + ".job";
}

// The file's lines, each with its '\n'; an unfinished last line is the last element.
inline std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> out;
    const std::string s = TestEnv::readFile(path);
    for (size_t start = 0, nl; start < s.size(); start = nl + 1) {
        nl = std::min(s.find('\n', start), s.size() - 1);
        out.push_back(s.substr(start, nl + 1 - start));
    }
    return out;
}

// Every entry under `dir` (none when it is missing): "d" for a folder, "l:target" for a
// link, else the content; for "nothing else changed" checks.
inline std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    if (!fs::exists(dir)) return out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string rel = fs::relative(e.path(), dir).string();
        if (e.is_symlink())
            out[rel] = "l:" + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            out[rel] = "d";
        else
            out[rel] = TestEnv::readFile(e.path().string());
    }
    return out;
}
