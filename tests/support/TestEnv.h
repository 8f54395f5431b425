// A temporary data home and sysroot per test, with recording stubs first on PATH so no
// test ever runs reboot, ifconfig, amixer and the like.
#pragma once

#include "TestPaths.h"

#include <ctime>
#include <string>
#include <vector>

// A calendar time in the test process's own zone, and its instant.
inline struct tm localTm(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return t;
}
inline time_t localInstant(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    struct tm t = localTm(y, mo, d, h, mi, s);
    return mktime(&t);
}

class TestEnv {
  public:
    // Creates the folders, enters the data home, sets KEST_SYSROOT, PATH and KEST_STUB_LOG,
    // and routes ALSA "default" to a null device (ALSA_CONFIG_PATH).
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    const std::string& root() const { return root_; }
    const std::string& home() const { return home_; }
    const std::string& sysroot() const { return sysroot_; }
    // Lines the stubs recorded, in order ("amixer sset Speaker 95%").
    std::vector<std::string> stubCalls() const;
    void clearStubCalls() const;
    // Writes a file (folders created), relative paths are under the data home.
    static void writeFile(const std::string& path, const std::string& content);
    static std::string readFile(const std::string& path);
    static bool exists(const std::string& path);
    // The micro-SD card in its slot: its block device in the sysroot and, when `mounted`,
    // its file system on "/media/mmcblk1p1" in the sysroot's mount table ("/proc/mounts").
    void insertCard(bool mounted = true) const;
    void mountCard() const;
    // Out of its slot: no device and no mount.
    void removeCard() const;

  private:
    std::string root_, home_, sysroot_, stubDir_, oldCwd_, oldPath_;
};

// Collects debug-log lines for the lifetime of the object.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> lines() const;
    bool contains(const std::string& needle) const;
    size_t count(const std::string& needle) const;
    // Blocks until `n` lines contain `needle` (lines come from any thread); false after `ms`.
    bool waitFor(const std::string& needle, size_t n = 1, int ms = 5000) const;
    void clear();
};
