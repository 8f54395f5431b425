// Fuzz target: the job list scan over several job files at once. The input is split at
// each "\n--\n" into up to eight files.
#include "common.h"
#include "debug.h"
#include "job.h"
#include "scratch_home.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz_EnterScratchHome("files/job");
    std::string in(reinterpret_cast<const char*>(data), size);
    int files = 0;
    size_t pos = 0;
    while (files < 8) {
        size_t next = in.find("\n--\n", pos);
        std::string part =
            in.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        std::string path = "files/job/f" + std::to_string(files++) + ".job";
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) abort();
        if (!part.empty() && fwrite(part.data(), 1, part.size(), f) != part.size()) abort();
        fclose(f);
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
    for (int i = 0; i < files; ++i)
        unlink(("files/job/f" + std::to_string(i) + ".job").c_str());
    return 0;
}
