// Result log lines appended per second against raw appends of the same lines.
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "setting.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    int lines = argc > 1 ? atoi(argv[1]) : 20000;
    char tmpl[] = "/tmp/bench-log-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    Common_SetHome(tmpl);
    Debug_SetQuiet(true);
    get_setting_log()->path = 0;
    Common_SetFixedTime(1780000000);
    FastenResult r;
    r.FastenTime = 812;
    r.TargetTorque = 1234;
    r.ConvTorque = 1240;
    r.Status = 1;
    struct tm tm;
    Common_LocalTime(&tm);
    std::string line = EventLog_FormatLine(tm, "job", "fastening-1", "CODE-123", "tool1", r);

    auto t = Clock::now();
    for (int i = 0; i < lines; ++i)
        if (EventLog_Write("job", "fastening-1", "CODE-123", "tool1", r) != 0) return 1;
    double panel = std::chrono::duration<double>(Clock::now() - t).count();

    // Raw path: the same open-append-close per line, no formatting or folder checks.
    t = Clock::now();
    for (int i = 0; i < lines; ++i) {
        int fd = open("raw.csv", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, line.data(), line.size()) != ssize_t(line.size())) return 1;
        close(fd);
    }
    double raw = std::chrono::duration<double>(Clock::now() - t).count();

    // Raw path with the file kept open (the floor).
    int fd = open("raw2.csv", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    t = Clock::now();
    for (int i = 0; i < lines; ++i)
        if (write(fd, line.data(), line.size()) != ssize_t(line.size())) return 1;
    double floor = std::chrono::duration<double>(Clock::now() - t).count();
    close(fd);

    printf("%d lines of %zu bytes\n", lines, line.size());
    printf("EventLog_Write        %10.0f lines/s\n", lines / panel);
    printf("raw open/append/close %10.0f lines/s  (ratio panel/raw time %.2f)\n", lines / raw,
           panel / raw);
    printf("raw append, file open %10.0f lines/s  (ratio %.2f)\n", lines / floor, panel / floor);
    Common_System("rm -rf " + Common_ShellQuote(tmpl));
    return 0;
}
