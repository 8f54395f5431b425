#include "TestEnv.h"

#include "CsvRead.h"
#include "common.h"
#include "debug.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <unistd.h>

namespace fs = std::filesystem;

#ifndef KEST_SOURCE_DIR
#error KEST_SOURCE_DIR must be defined
#endif

TestEnv::TestEnv() {
    // The driver layer runs in the test process as it runs in the panel, which ignores
    // SIGPIPE: a peer closing mid-write is an EPIPE to handle, not the end of the process.
    signal(SIGPIPE, SIG_IGN);
    char tmpl[] = "/tmp/kest-test-XXXXXX";
    root_ = mkdtemp(tmpl);
    home_ = root_ + "/home";
    sysroot_ = root_ + "/sysroot";
    stubDir_ = root_ + "/stubs";
    for (const std::string& d : {home_, sysroot_, stubDir_})
        fs::create_directories(d);
    // ifconfig and route also act inside a cell's network namespace (KEST_STUB_NETNS_APPLY).
    for (std::string n :
         {"reboot", "ifconfig", "route", "dhcpcd", "amixer", "date", "hwclock", "hostapd", "iwlist",
          "proftpd", "ftpasswd", "killall", "iw", "udhcpc", "sync"})
        fs::create_symlink(std::string(KEST_SOURCE_DIR) + "/sim/stubs/" +
                               (n == "ifconfig" || n == "route" ? "netns-stub" : "record-stub"),
                           stubDir_ + "/" + n);
    char buf[4096];
    oldCwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    const char* p = getenv("PATH");
    oldPath_ = p ? p : "/usr/bin:/bin";
    setenv("PATH", (stubDir_ + ":" + oldPath_).c_str(), 1);
    setenv("KEST_STUB_LOG", (root_ + "/stub.log").c_str(), 1);
    setenv("KEST_SYSROOT", sysroot_.c_str(), 1);
    // Sound goes nowhere unless a test routes it: no test opens the machine's sound card.
    writeFile(root_ + "/asound.conf", "pcm.!default { type null }\n");
    setenv("ALSA_CONFIG_PATH", (root_ + "/asound.conf").c_str(), 1);
    Common_SetSysroot(sysroot_.c_str());
    Common_SetHome(home_.c_str());
}

TestEnv::~TestEnv() {
    Common_ClearFixedTime();
    Common_SetWriteFailAfter(-1);
    (void)!chdir(oldCwd_.c_str());
    setenv("PATH", oldPath_.c_str(), 1);
    std::error_code ec;
    if (!getenv("KEST_KEEP_TEST_DIRS")) fs::remove_all(root_, ec);
}

std::vector<std::string> TestEnv::stubCalls() const {
    return FileLines(root_ + "/stub.log");
}

void TestEnv::clearStubCalls() const {
    fs::remove(root_ + "/stub.log");
}

void TestEnv::insertCard(bool mounted) const {
    writeFile(sysroot_ + "/dev/mmcblk1p1", "");
    fs::create_directories(sysroot_ + "/media/mmcblk1p1");
    if (mounted) mountCard();
}

void TestEnv::mountCard() const {
    writeFile(sysroot_ + "/proc/mounts", "/dev/mmcblk1p1 /media/mmcblk1p1 vfat rw 0 0\n");
}

void TestEnv::removeCard() const {
    fs::remove(sysroot_ + "/dev/mmcblk1p1");
    fs::remove(sysroot_ + "/proc/mounts");
}

void TestEnv::writeFile(const std::string& path, const std::string& content) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TestEnv::readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool TestEnv::exists(const std::string& path) {
    return fs::exists(path);
}

namespace {
std::mutex captureLock;
std::condition_variable captureCv;
std::vector<std::string> captured;
// Per needle: the lines looked at and how many held it. Lines are only appended until
// clear(), so a wait that looks again and again reads each line once.
std::map<std::string, std::pair<size_t, size_t>> scanned;

size_t countLocked(const std::string& needle) {
    auto& [seen, n] = scanned[needle];
    for (; seen < captured.size(); ++seen)
        n += captured[seen].find(needle) != std::string::npos;
    return n;
}
} // namespace

LogCapture::LogCapture() {
    clear();
    Debug_SetLineHook([](const char* line) {
        std::lock_guard<std::mutex> g(captureLock);
        captured.emplace_back(line);
        captureCv.notify_all();
    });
}

LogCapture::~LogCapture() {
    Debug_SetLineHook(nullptr);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard<std::mutex> g(captureLock);
    return captured;
}

bool LogCapture::contains(const std::string& needle) const {
    return count(needle) > 0;
}

size_t LogCapture::count(const std::string& needle) const {
    std::lock_guard<std::mutex> g(captureLock);
    return countLocked(needle);
}

bool LogCapture::waitFor(const std::string& needle, size_t n, int ms) const {
    std::unique_lock<std::mutex> g(captureLock);
    return captureCv.wait_for(g, std::chrono::milliseconds(ms),
                              [&] { return countLocked(needle) >= n; });
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> g(captureLock);
    captured.clear();
    scanned.clear();
}
