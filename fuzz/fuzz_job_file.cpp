// Fuzz target: a job file as the store loads it (list scan, full load, save, reload).
#include "common.h"
#include "debug.h"
#include "job.h"
#include "scratch_home.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz_EnterScratchHome("files/job");
    FILE* f = fopen("files/job/fuzz.job", "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
    load_job();
    if (job_list_len() > 1) __builtin_trap();
    if (job_list_len() == 1) {
        const JobListEntry* e = job_list_entry(0);
        std::string path = job_file_path(e->name);
        int rc = job_load(0);
        size_t complete = size >= JOB_HEADER_SIZE ? (size - JOB_HEADER_SIZE) / STEP_RECORD_SIZE : 0;
        if (size_t(job_steps_len()) > complete) __builtin_trap();
        // A complete job survives a save and a reload with the same steps (checked for
        // every sixteenth such input: the save syncs the disk).
        static unsigned saves = 0;
        if (path == "./files/job/fuzz.job" && rc == 0 && e->steps <= 4 && saves++ % 16 == 0) {
            int n = job_steps_len();
            if (job_save(0) != 0) __builtin_trap();
            if (job_load(0) != 0 || job_steps_len() != n) __builtin_trap();
        }
        job_free();
        if (path != "./files/job/fuzz.job") unlink(path.c_str());
    }
    unlink("files/job/fuzz.job");
    return 0;
}
