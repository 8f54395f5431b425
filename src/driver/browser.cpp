#include "browser.h"

#include "common.h"
#include "debug.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/statvfs.h>

namespace {
struct BrowserState {
    BrowserStorageStatHook statHook = nullptr;
};
BrowserState browserCtx;

bool isSystemPath(const std::string& p) {
    for (const char* prefix : {"/dev/", "/sys/", "/proc/", "/media/", "/var/run/"})
        if (p.rfind(prefix, 0) == 0 || p + "/" == prefix) return true;
    return false;
}
} // namespace

void Browser_SetStorageStatHook(BrowserStorageStatHook hook) {
    browserCtx.statHook = hook;
}

int Browser_StorageStat(const char* path, BrowserStorageStat* out) {
    if (!path || !out) {
        DBG_ERR("invalid argument (%p, %p)", (const void*)path, (void*)out);
        return -2;
    }
    std::string p = isSystemPath(path) ? Common_SysPath(path) : std::string(path);
    if (!Common_Exists(p)) return -1;
    if (browserCtx.statHook) return browserCtx.statHook(path, out);
    struct statvfs vfs;
    if (statvfs(p.c_str(), &vfs) != 0) {
        DBG_ERR("statvfs fail (%s), %s", p.c_str(), strerror(errno));
        return -2;
    }
    out->total = uint64_t(vfs.f_blocks) * vfs.f_frsize;
    out->free = uint64_t(vfs.f_bfree) * vfs.f_frsize;
    return 0;
}
