// Listing a folder of 10 000 files (status of each, both lists sorted) against a bare
// readdir and lstat loop over the same folder in the same run.
#include "browser.h"
#include "common.h"
#include "debug.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {
double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

int rawList(const std::string& path) {
    DIR* d = opendir(path.c_str());
    if (!d) abort();
    int n = 0;
    while (const dirent* e = readdir(d)) {
        struct stat st;
        if (lstat((path + "/" + e->d_name).c_str(), &st) == 0) ++n;
    }
    closedir(d);
    return n;
}
} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 20;
    const int count = 10000;
    char tmpl[] = "/tmp/bench-browser-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    Common_SetHome(tmpl);
    Common_MkdirP("files/many");
    Debug_SetQuiet(true);
    for (int i = 0; i < count; ++i) {
        // Names in no particular order so the sort has work to do.
        std::string name = "files/many/f" + std::to_string((i * 7919) % count) + ".txt";
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return 1;
        close(fd);
    }
    rawList("files/many"); // warm the caches for both
    auto t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (Browser_Refresh_DirAndFiles("files/many") != 0 || Browser_GetFilesLen() != count)
            return 1;
    double list = secondsSince(t) / rounds;
    t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (rawList("files/many") != count + 2) return 1;
    double raw = secondsSince(t) / rounds;
    printf("%d files, %d rounds\n", count, rounds);
    printf("Browser_Refresh_DirAndFiles %9.3f ms  (readdir+lstat %9.3f ms, ratio %.2f)\n",
           list * 1e3, raw * 1e3, list / raw);
    Common_System("rm -rf " + Common_ShellQuote(tmpl));
    return 0;
}
