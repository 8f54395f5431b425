// Backup save and load of a data home with 1000 jobs against plain "tar cf" and "tar xf" of
// the same tree in the same run. The raw paths end with a sync of their file system, as
// the backup module syncs what it writes; the raw load first removes the tree its last
// round extracted, as a load replaces the data in use.
// Usage: bench_backup [megabytes=64] [rounds=3]; the documented run is 1024 (about 1 GB).
#include "backup.h"
#include "common.h"
#include "debug.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}
void syncAt(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) syncfs(fd), close(fd);
}
void writeBytes(const std::string& path, size_t n, uint32_t seed) {
    std::vector<uint32_t> buf(n / 4 + 1);
    for (auto& w : buf)
        w = seed = seed * 1664525u + 1013904223u;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, buf.data(), n) != ssize_t(n)) abort();
    close(fd);
}
} // namespace

int main(int argc, char** argv) {
    const long mb = argc > 1 ? atol(argv[1]) : 64;
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    const int jobs = 1000;
    char tmpl[] = "/var/tmp/bench-backup-XXXXXX"; // on disk, not a memory file system
    if (!mkdtemp(tmpl)) return 1;
    const std::string root = tmpl;
    Common_SetHome((root + "/home").c_str());
    Debug_SetQuiet(true);
    Common_MkdirP("files/job");
    Common_MkdirP("files/setting");
    Common_MkdirP("files/log");
    const size_t each = size_t(mb) * 1024 * 1024 / jobs;
    for (int i = 0; i < jobs; ++i)
        writeBytes("files/job/Job" + std::to_string(i) + ".job", each, uint32_t(i));
    writeBytes("files/setting/setting.kest", 4096, 7);
    writeBytes("files/log/results.csv", 1 << 20, 9);
    syncAt(".");
    printf("data home: %d jobs of %zu bytes (%ld MB), %d rounds\n", jobs, each, mb, rounds);

    const std::string ours = root + "/ours.p2p", raw = root + "/raw.tar";
    const std::string rawOut = root + "/rawx";
    double save = 0, tarC = 0, load = 0, tarX = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t = Clock::now();
        if (Backup_Save(ours.c_str()) != BACKUP_OK) return 1;
        save += secondsSince(t);

        t = Clock::now();
        if (Common_Run({"tar", "cf", raw, "--exclude", "log", "./files/job", "./files/setting"}))
            return 1;
        syncAt(root);
        tarC += secondsSince(t);

        t = Clock::now();
        if (Backup_Load(ours.c_str()) != BACKUP_OK) return 1;
        load += secondsSince(t);

        // The raw load removes the data in use first, as a load over a panel's data does.
        t = Clock::now();
        std::filesystem::remove_all(rawOut);
        Common_MkdirP(rawOut);
        if (Common_Run({"tar", "xf", raw, "-C", rawOut})) return 1;
        syncAt(rawOut);
        tarX += secondsSince(t);
    }
    save /= rounds, tarC /= rounds, load /= rounds, tarX /= rounds;
    printf("save  %8.3f s   tar cf + sync %8.3f s   ratio %.2f\n", save, tarC, save / tarC);
    printf("load  %8.3f s   tar xf + sync %8.3f s   ratio %.2f\n", load, tarX, load / tarX);
    std::filesystem::remove_all(root);
    return 0;
}
