// Fuzz target: the check a restore runs over every member of an archive before anything is
// written, and the member name rule under it.
#include "backup.h"
#include "debug.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    BackupStats s{0, 0};
    int rc = Backup_CheckBuffer(data, size, &s);
    if (rc < BACKUP_OK || rc > BACKUP_ERR_SWAP) __builtin_trap();
    if (rc == BACKUP_OK && (s.members == 0 || s.totalBytes > Backup_GetLimits().maxBytes))
        __builtin_trap();
    // A name accepted below ./files never climbs out of it.
    std::string name(reinterpret_cast<const char*>(data), strnlen((const char*)data, size));
    char rel[4096];
    if (Backup_MemberPath(name.c_str(), rel, sizeof rel) == 0) {
        std::string r = std::string("/") + rel + "/";
        if (rel[0] == '/' || r.find("/../") != std::string::npos) __builtin_trap();
    }
    return 0;
}
