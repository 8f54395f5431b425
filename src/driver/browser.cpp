#include "browser.h"

#include "common.h"
#include "debug.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>

namespace {
constexpr size_t kDrvNameSize = 16; // at most 15 characters

struct BrowserState {
    BrowserStorageStatHook statHook = nullptr;
    std::vector<std::array<char, kDrvNameSize>> drvs;
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

int Browser_Refresh_Drvs() {
    browserCtx.drvs.clear();
    const std::string media = Common_SysPath("/media");
    DIR* dir = opendir(media.c_str());
    if (!dir) {
        // No mount folder at all simply means no drive.
        if (errno != ENOENT)
            DBG_ERR("directory open fail (%s), %s", media.c_str(), strerror(errno));
        return 0;
    }
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name[0] == '.' || name == "mmcblk3p1" || name == "mmcblk3p2") continue;
        struct stat st;
        if (stat((media + "/" + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (!Common_Exists(Common_SysPath("/dev/" + name))) continue; // a stale mount folder
        std::array<char, kDrvNameSize> drv{};
        name.copy(drv.data(), kDrvNameSize - 1);
        browserCtx.drvs.push_back(drv);
    }
    closedir(dir);
    return int(browserCtx.drvs.size());
}

int Browser_GetDrvsLen() {
    return int(browserCtx.drvs.size());
}

const char* Browser_GetDrvName(int index) {
    if (index < 0 || size_t(index) >= browserCtx.drvs.size()) return nullptr;
    return browserCtx.drvs[size_t(index)].data();
}
