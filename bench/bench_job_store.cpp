// Load and save of a 255-step job against a raw read and write of the same bytes.
#include "common.h"
#include "debug.h"
#include "job.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void rawWrite(const std::string& path, const std::string& data, bool sync) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, data.data(), data.size()) != ssize_t(data.size())) abort();
    if (sync) fsync(fd);
    close(fd);
}

void rawRead(const std::string& path, std::string& out) {
    if (Common_ReadFile(path, out) != 0) abort();
}
} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 50;
    char tmpl[] = "/tmp/bench-job-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    Common_SetHome(tmpl);
    Common_MkdirP("files/job");
    Debug_SetQuiet(true);
    load_job();
    job_new("bench");
    job_load(0);
    for (int i = 0; i < JOB_MAX_STEPS; ++i) {
        step_new(uint32_t(i % STEP_TYPE_COUNT));
        job_put_u32(job_step(i)->b + SF_SCREWS, 3);
    }
    if (job_save(0) != 0) return 1;
    std::string image;
    rawRead("files/job/bench.job", image);
    printf("job file: %zu bytes, %d steps, %d rounds\n", image.size(), job_steps_len(), rounds);

    auto t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (job_save(0) != 0) return 1;
    double save = secondsSince(t) / rounds;
    t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        rawWrite("files/raw.bin", image, true);
    double rawSync = secondsSince(t) / rounds;
    t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        rawWrite("files/raw.bin", image, false);
    double rawPlain = secondsSince(t) / rounds;

    t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (job_load(0) != 0) return 1;
    double load = secondsSince(t) / rounds;
    std::string back;
    t = Clock::now();
    for (int i = 0; i < rounds; ++i)
        rawRead("files/raw.bin", back);
    double rawLoad = secondsSince(t) / rounds;

    printf("job_save        %9.3f ms  (raw write+fsync %9.3f ms, ratio %.2f; raw write %9.3f ms, "
           "ratio %.2f)\n",
           save * 1e3, rawSync * 1e3, save / rawSync, rawPlain * 1e3, save / rawPlain);
    printf("job_load        %9.3f ms  (raw read %9.3f ms, ratio %.2f)\n", load * 1e3, rawLoad * 1e3,
           load / rawLoad);
    Common_System("rm -rf " + Common_ShellQuote(tmpl));
    return 0;
}
