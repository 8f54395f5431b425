// A temporary data home for fuzz targets that go through files: made once per process,
// entered as the working directory, removed at exit.
#pragma once

#include "common.h"
#include "debug.h"

#include <cstdlib>
#include <filesystem>
#include <string>

inline void Fuzz_EnterScratchHome(const char* subdir) {
    static std::string scratch;
    if (!scratch.empty()) return;
    char tmpl[] = "/tmp/kest-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    scratch = tmpl;
    atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(scratch, ec);
    });
    Common_SetHome(tmpl);
    Common_MkdirP(subdir);
    Debug_SetQuiet(true);
}
