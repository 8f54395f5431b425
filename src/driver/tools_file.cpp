// The registry's files: "./regtools" (reading its 80-byte records, keeping a damaged or
// misplaced file aside for diagnosis, replacing it atomically) and the tools' folders.
// The tables themselves are in tools.cpp.
#include "common.h"
#include "debug.h"
#include "tools_private.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
const char* const kRegToolsFile = "./regtools";

// Where a damaged "./regtools" goes: a name of its own per occurrence, so an earlier
// one is never overwritten.
std::string badFileName() {
    struct tm t;
    Common_LocalTime(&t);
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    const std::string base = std::string(kRegToolsFile) + ".bad." + stamp;
    std::string name = base;
    for (int i = 1; Common_Exists(name) && i < 1000; ++i)
        name = base + "." + std::to_string(i);
    return name;
}

void moveAside(const char* why) {
    const std::string to = badFileName();
    DBG_ERR("%s %s: moved to %s", kRegToolsFile, why, to.c_str());
    if (rename(kRegToolsFile, to.c_str()) != 0) {
        DBG_ERR("cannot move %s aside, %s", kRegToolsFile, strerror(errno));
        unlink(kRegToolsFile);
    }
}
} // namespace

int RegTools_ReadFile(std::vector<RegToolRecord>* out) {
    out->clear();
    // A damaged file is not used but kept for diagnosis; so is a FIFO or folder in its
    // place, which would otherwise block the start-up or fail every save.
    struct stat st;
    if (stat(kRegToolsFile, &st) == 0) {
        if (!S_ISREG(st.st_mode))
            moveAside("is not a regular file");
        else if (st.st_size % REGTOOLS_RECORD_SIZE != 0)
            moveAside(
                ("has " + std::to_string(long(st.st_size)) + " bytes, not whole records").c_str());
    }
    FILE* f = Common_FopenRegular(kRegToolsFile, "rb");
    if (!f) {
        if (errno == ENOENT) {
            f = Common_FopenRegular(kRegToolsFile, "wb");
            if (f) {
                fclose(f);
                return 0;
            }
        }
        DBG_ERR("%s open fail : %s", kRegToolsFile, strerror(errno));
        return -1;
    }
    uint8_t buf[REGTOOLS_RECORD_SIZE];
    while (fread(buf, 1, sizeof buf, f) == sizeof buf) {
        if (out->size() >= TOOL_MAX_REG) {
            DBG_ERR("%s holds more than %d tools, the rest is ignored", kRegToolsFile,
                    TOOL_MAX_REG);
            break;
        }
        RegToolRecord rec;
        memset(&rec, 0, sizeof rec);
        if (RegTools_DecodeRecord(buf, &rec) != 0) {
            DBG_ERR("%s : unusable tool name, record skipped", kRegToolsFile);
            continue;
        }
        memcpy(rec.maccopy, rec.mac, 6);
        out->push_back(rec);
    }
    fclose(f);
    return 0;
}

int RegTools_WriteFile(const std::vector<uint8_t>& records) {
    if (Common_WriteFileAtomic(kRegToolsFile, records.data(), records.size()) != 0) {
        DBG_ERR("%s open fail : %s", kRegToolsFile, strerror(errno));
        return -1;
    }
    return 0;
}

std::string ToolManager_ToolDir(const char* name) {
    return std::string("./files/tools/") + name;
}

int ToolManager_MoveToolFolder(RegToolRecord* rec, const char* newName, const ToolBarcodeOps* ops) {
    std::string oldDir = ToolManager_ToolDir(rec->name), newDir = ToolManager_ToolDir(newName);
    struct stat st;
    if (stat(newDir.c_str(), &st) != 0) {
        // No old folder: make the new one. Any other failure keeps the old name, or the
        // tool's barcode table would be stranded in the old folder.
        if (rename(oldDir.c_str(), newDir.c_str()) != 0 &&
            (errno != ENOENT || Common_MkdirP(newDir, 0777) != 0)) {
            DBG_ERR("fail to move %s to %s, %s", oldDir.c_str(), newDir.c_str(), strerror(errno));
            return -1;
        }
    } else {
        rmdir(oldDir.c_str()); // only an empty folder goes
        ToolManager_MergeBarcodeFile(rec, newDir + "/barcode.zq", ops);
    }
    return 0;
}
