// Fuzz target: job files as the store loads them. The input is split at each "\n--\n" into
// up to eight files for the list scan; an input of one file is also loaded in full, saved
// and reloaded.
#include "job.h"
#include "scratch_home.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
// The input's first file is named as the seeds' jobs are, so that their saves replace it.
std::string fileOf(int i) {
    return i == 0 ? "files/job/fuzz.job" : "files/job/f" + std::to_string(i) + ".job";
}

// The one listed job of a one-file input of `size` bytes: no step beyond the complete ones,
// and a complete job survives a save and a reload with the same steps (checked for every
// sixteenth such input: the save syncs the disk).
void checkLoad(size_t size) {
    const JobListEntry* e = job_list_entry(0);
    std::string path = job_file_path(e->name);
    int rc = job_load(0);
    size_t complete = size >= JOB_HEADER_SIZE ? (size - JOB_HEADER_SIZE) / STEP_RECORD_SIZE : 0;
    if (size_t(job_steps_len()) > complete) __builtin_trap();
    static unsigned saves = 0;
    if (path == "./files/job/fuzz.job" && rc == 0 && e->steps <= 4 && saves++ % 16 == 0) {
        int n = job_steps_len();
        if (job_save(0) != 0) __builtin_trap();
        if (job_load(0) != 0 || job_steps_len() != n) __builtin_trap();
    }
    job_free();
    if (path != "./files/job/fuzz.job") unlink(path.c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz_EnterScratchHome("files/job");
    std::string in(reinterpret_cast<const char*>(data), size);
    int files = 0;
    size_t pos = 0;
    while (files < 8) {
        size_t next = in.find("\n--\n", pos);
        std::string part =
            in.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (!(std::ofstream(fileOf(files++), std::ios::binary) << part)) abort();
        if (next == std::string::npos) break;
        pos = next + 4;
    }
    load_job();
    if (job_list_len() > files) __builtin_trap();
    for (int i = 0; i < job_list_len(); ++i) {
        const JobListEntry* e = job_list_entry(i);
        if (strnlen(e->name, JOB_NAME_SIZE) >= JOB_NAME_SIZE) __builtin_trap();
        if (e->name[0] == '\0' || e->name[0] == '.' || strchr(e->name, '/')) __builtin_trap();
        if (e->jdx != uint32_t(i)) __builtin_trap(); // every entry holds its position
    }
    if (files == 1 && job_list_len() == 1) checkLoad(size);
    for (int i = 0; i < files; ++i)
        unlink(fileOf(i).c_str());
    return 0;
}
