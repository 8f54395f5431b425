#include "browser.h"

#include "common.h"
#include "debug.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
constexpr size_t kDrvNameSize = 16; // at most 15 characters

struct BrowserState {
    BrowserStorageStatHook statHook = nullptr;
    std::vector<std::array<char, kDrvNameSize>> drvs;
    std::vector<BrowserItem> dirs, files, sels;
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

// ---- directory listing ----

namespace {
std::string nativePath(const char* path) {
    return isSystemPath(path) ? Common_SysPath(path) : std::string(path);
}
} // namespace

int Browser_SortItem_ByName(const void* a, const void* b) {
    return strcmp(static_cast<const BrowserItem*>(a)->name,
                  static_cast<const BrowserItem*>(b)->name);
}

int Browser_Refresh_DirAndFiles(const char* path) {
    browserCtx.dirs.clear();
    browserCtx.files.clear();
    if (!path) {
        DBG_ERR("invalid directory path (%p)", (const void*)path);
        return -1;
    }
    const std::string p = nativePath(path);
    DIR* dir = opendir(p.c_str());
    if (!dir) {
        DBG_ERR("directory open fail (%s)", path);
        return -1;
    }
    const int fd = dirfd(dir);
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        struct stat st;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        BrowserItem item{};
        snprintf(item.name, sizeof item.name, "%s", e->d_name);
        item.isDir = S_ISDIR(st.st_mode) ? 1 : 0;
        item.size = st.st_size > 0xFFFFFFFF ? 0xFFFFFFFFu : uint32_t(st.st_size);
        (item.isDir ? browserCtx.dirs : browserCtx.files).push_back(item);
    }
    closedir(dir);
    for (auto* list : {&browserCtx.dirs, &browserCtx.files})
        std::sort(list->begin(), list->end(), [](const BrowserItem& a, const BrowserItem& b) {
            return Browser_SortItem_ByName(&a, &b) < 0;
        });
    return 0;
}

int Browser_Refresh_SelectedItems() {
    browserCtx.sels.clear();
    for (auto* list : {&browserCtx.dirs, &browserCtx.files})
        for (const BrowserItem& item : *list)
            if (item.selected) browserCtx.sels.push_back(item);
    return int(browserCtx.sels.size());
}

int Browser_GetDirsLen() {
    return int(browserCtx.dirs.size());
}
int Browser_GetFilesLen() {
    return int(browserCtx.files.size());
}
int Browser_GetSelsLen() {
    return int(browserCtx.sels.size());
}

namespace {
template <typename V> auto itemAt(V& list, int index) -> decltype(&list[0]) {
    if (index < 0 || size_t(index) >= list.size()) return nullptr;
    return &list[size_t(index)];
}
} // namespace

BrowserItem* Browser_GetDir(int index) {
    return itemAt(browserCtx.dirs, index);
}
BrowserItem* Browser_GetFile(int index) {
    return itemAt(browserCtx.files, index);
}
const BrowserItem* Browser_GetSel(int index) {
    return itemAt(browserCtx.sels, index);
}

int Browser_CheckExist(const char* path) {
    struct stat st;
    if (!path || lstat(nativePath(path).c_str(), &st) != 0) return -1;
    return 0;
}

// ---- file operations ----

namespace {
// An open folder descriptor that closes itself.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(Fd&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

bool validName(const char* name) {
    if (!name || !*name || strlen(name) > 255) return false;
    if (strchr(name, '/')) return false;
    return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

int fromErrno(int err) {
    switch (err) {
    case EEXIST:
    case ENOTEMPTY:
        return BROWSER_EXISTS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return BROWSER_NO_SPACE;
    case ENOENT:
        return BROWSER_NOT_FOUND;
    default:
        return BROWSER_IO;
    }
}

// Opens the folder `dir` below `root`, one name at a time with O_NOFOLLOW. The identities
// of every folder on the way are appended to `chain` when given (own-subfolder check).
int openLocation(const char* root, const char* dir, Fd* out,
                 std::vector<std::pair<dev_t, ino_t>>* chain = nullptr) {
    if (!root || !dir) return BROWSER_BAD_PATH;
    Fd cur(open(nativePath(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (cur.fd < 0) {
        DBG_ERR("root open fail (%s), %s", root, strerror(errno));
        return BROWSER_BAD_PATH;
    }
    auto note = [&](int fd) {
        struct stat st;
        if (chain && fstat(fd, &st) == 0) chain->emplace_back(st.st_dev, st.st_ino);
    };
    note(cur.fd);
    const std::string rel = dir;
    size_t pos = 0;
    while (pos < rel.size()) {
        size_t end = rel.find('/', pos);
        if (end == std::string::npos) end = rel.size();
        const std::string part = rel.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        if (!validName(part.c_str())) {
            DBG_ERR("folder name refused (%s)", part.c_str());
            return BROWSER_BAD_PATH;
        }
        Fd next(openat(cur.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.fd < 0) {
            DBG_ERR("folder open fail (%s), %s", part.c_str(), strerror(errno));
            return BROWSER_BAD_PATH;
        }
        note(next.fd);
        cur = std::move(next);
    }
    *out = std::move(cur);
    return BROWSER_OK;
}

int removeAt(int dirFd, const char* name) {
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return fromErrno(errno);
    if (!S_ISDIR(st.st_mode)) return unlinkat(dirFd, name, 0) == 0 ? 0 : fromErrno(errno);
    int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return fromErrno(errno);
    DIR* d = fdopendir(fd);
    if (!d) {
        close(fd);
        return BROWSER_IO;
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    int rc = BROWSER_OK;
    for (const std::string& n : names)
        if (int r = removeAt(fd, n.c_str()); r != BROWSER_OK) rc = r;
    closedir(d);
    if (rc != BROWSER_OK) return rc;
    return unlinkat(dirFd, name, AT_REMOVEDIR) == 0 ? 0 : fromErrno(errno);
}

BrowserRenameHook renameHook = nullptr;

int renameWith(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (renameHook) return renameHook(fromDir, from, toDir, to, flags);
    return renameat2(fromDir, from, toDir, to, flags);
}

// Creates an empty placeholder under `name`, failing with EEXIST when anything holds it.
int takeName(int dirFd, const char* name, bool dir) {
    if (dir) return mkdirat(dirFd, name, 0700);
    const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    close(fd);
    return 0;
}

// A rename that never replaces what is under `to`. FUSE sticks (exFAT, NTFS) and older
// vfat refuse the flag: there the name is first taken with an exclusive create (an empty
// file, or an empty folder for a folder), which fails when anything holds it, and only
// that placeholder is replaced. Hard links are no way out: those file systems have none.
int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (renameWith(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat st;
    if (fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    const bool dir = S_ISDIR(st.st_mode);
    if (takeName(toDir, to, dir) != 0) return -1;
    if (renameWith(fromDir, from, toDir, to, 0) == 0) return 0;
    const int err = errno;
    unlinkat(toDir, to, dir ? AT_REMOVEDIR : 0);
    errno = err;
    return -1;
}

std::string tempName() {
    static std::atomic<unsigned> counter{0};
    char buf[64];
    snprintf(buf, sizeof buf, ".copy-%d-%u.tmp", int(getpid()), counter++);
    return buf;
}

int copyAt(int srcDir, const char* name, int dstDir, const char* dstName);

int copyFileAt(int srcDir, const char* name, const struct stat& st, int dstDir,
               const char* dstName) {
    Fd in(openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.fd < 0) return fromErrno(errno);
    const std::string tmp = tempName();
    Fd out(openat(dstDir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  st.st_mode & 07777));
    if (out.fd < 0) return fromErrno(errno);
    int rc = BROWSER_OK;
    std::vector<char> buf(1 << 16);
    for (;;) {
        ssize_t n = read(in.fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            rc = fromErrno(errno);
            break;
        }
        if (n == 0) break;
        for (ssize_t off = 0; off < n;) {
            ssize_t w = write(out.fd, buf.data() + off, size_t(n - off));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                rc = fromErrno(errno);
                break;
            }
            off += w;
        }
        if (rc != BROWSER_OK) break;
    }
    if (rc == BROWSER_OK && fsync(out.fd) != 0) rc = fromErrno(errno);
    if (rc == BROWSER_OK && close(std::exchange(out.fd, -1)) != 0) rc = fromErrno(errno);
    if (rc == BROWSER_OK && renameNoReplace(dstDir, tmp.c_str(), dstDir, dstName) != 0)
        rc = fromErrno(errno);
    if (rc != BROWSER_OK) unlinkat(dstDir, tmp.c_str(), 0);
    return rc;
}

int copyDirAt(int srcDir, const char* name, const struct stat& st, int dstDir,
              const char* dstName) {
    // The tree is built under a hidden name and appears under its own name only when whole.
    const std::string tmp = tempName();
    if (mkdirat(dstDir, tmp.c_str(), (st.st_mode & 07777) | 0700) != 0) return fromErrno(errno);
    Fd src(openat(srcDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Fd dst(openat(dstDir, tmp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    int rc = src.fd < 0 || dst.fd < 0 ? fromErrno(errno) : BROWSER_OK;
    if (rc == BROWSER_OK) {
        DIR* d = fdopendir(dup(src.fd));
        std::vector<std::string> names;
        if (!d) rc = BROWSER_IO;
        while (d && rc == BROWSER_OK)
            if (const dirent* e = readdir(d)) {
                if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                    names.emplace_back(e->d_name);
            } else
                break;
        if (d) closedir(d);
        for (const std::string& n : names)
            if (rc == BROWSER_OK) rc = copyAt(src.fd, n.c_str(), dst.fd, n.c_str());
    }
    if (rc == BROWSER_OK && fsync(dst.fd) != 0) rc = fromErrno(errno);
    if (rc == BROWSER_OK && renameNoReplace(dstDir, tmp.c_str(), dstDir, dstName) != 0)
        rc = fromErrno(errno);
    if (rc != BROWSER_OK) removeAt(dstDir, tmp.c_str());
    return rc;
}

int copyAt(int srcDir, const char* name, int dstDir, const char* dstName) {
    struct stat st;
    if (fstatat(srcDir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return fromErrno(errno);
    if (S_ISDIR(st.st_mode)) return copyDirAt(srcDir, name, st, dstDir, dstName);
    if (S_ISREG(st.st_mode)) return copyFileAt(srcDir, name, st, dstDir, dstName);
    if (S_ISLNK(st.st_mode)) {
        // The link itself is copied; its target is never opened.
        std::vector<char> target(size_t(st.st_size) + 2);
        ssize_t n = readlinkat(srcDir, name, target.data(), target.size() - 1);
        if (n < 0) return fromErrno(errno);
        target[size_t(n)] = 0;
        return symlinkat(target.data(), dstDir, dstName) == 0 ? 0 : fromErrno(errno);
    }
    return BROWSER_OK; // devices, fifos and sockets are not data to copy
}

struct Transfer {
    Fd src, dst;
    int rc = BROWSER_OK;
};

// Opens both locations for a copy or move and refuses a folder going into itself.
Transfer openTransfer(const char* srcRoot, const char* srcDir, const char* name,
                      const char* dstRoot, const char* dstDir) {
    Transfer t;
    if (!validName(name)) {
        DBG_ERR("name refused (%s)", name ? name : "(null)");
        t.rc = BROWSER_BAD_NAME;
        return t;
    }
    std::vector<std::pair<dev_t, ino_t>> chain;
    if ((t.rc = openLocation(srcRoot, srcDir, &t.src)) != BROWSER_OK) return t;
    if ((t.rc = openLocation(dstRoot, dstDir, &t.dst, &chain)) != BROWSER_OK) return t;
    struct stat st;
    if (fstatat(t.src.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        DBG_ERR("source missing (%s), %s", name, strerror(errno));
        t.rc = fromErrno(errno);
        return t;
    }
    if (S_ISDIR(st.st_mode))
        for (const auto& id : chain)
            if (id.first == st.st_dev && id.second == st.st_ino) {
                DBG_ERR("folder into itself refused (%s)", name);
                t.rc = BROWSER_INSIDE;
                return t;
            }
    if (fstatat(t.dst.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        DBG_ERR("target exists (%s)", name);
        t.rc = BROWSER_EXISTS;
    }
    return t;
}
} // namespace

void Browser_SetRenameHook(BrowserRenameHook hook) {
    renameHook = hook;
}

int Browser_MakeDir(const char* root, const char* dir, const char* name) {
    if (!validName(name)) {
        DBG_ERR("name refused (%s)", name ? name : "(null)");
        return BROWSER_BAD_NAME;
    }
    Fd d;
    if (int rc = openLocation(root, dir, &d); rc != BROWSER_OK) return rc;
    if (mkdirat(d.fd, name, 0777) != 0) {
        DBG_ERR("mkdir fail (%s), %s", name, strerror(errno));
        return fromErrno(errno);
    }
    return BROWSER_OK;
}

int Browser_Rename(const char* root, const char* dir, const char* oldName, const char* newName) {
    if (!validName(oldName) || !validName(newName)) {
        DBG_ERR("name refused (%s -> %s)", oldName ? oldName : "(null)",
                newName ? newName : "(null)");
        return BROWSER_BAD_NAME;
    }
    Fd d;
    if (int rc = openLocation(root, dir, &d); rc != BROWSER_OK) return rc;
    if (renameNoReplace(d.fd, oldName, d.fd, newName) != 0) {
        DBG_ERR("rename fail (%s), %s", oldName, strerror(errno));
        return fromErrno(errno);
    }
    return BROWSER_OK;
}

int Browser_Remove(const char* root, const char* dir, const char* name) {
    if (!validName(name)) {
        DBG_ERR("name refused (%s)", name ? name : "(null)");
        return BROWSER_BAD_NAME;
    }
    Fd d;
    if (int rc = openLocation(root, dir, &d); rc != BROWSER_OK) return rc;
    int rc = removeAt(d.fd, name);
    if (rc != BROWSER_OK) DBG_ERR("remove fail (%s), %d", name, rc);
    return rc;
}

int Browser_Copy(const char* srcRoot, const char* srcDir, const char* name, const char* dstRoot,
                 const char* dstDir) {
    Transfer t = openTransfer(srcRoot, srcDir, name, dstRoot, dstDir);
    if (t.rc != BROWSER_OK) return t.rc;
    int rc = copyAt(t.src.fd, name, t.dst.fd, name);
    if (rc != BROWSER_OK) DBG_ERR("copy fail (%s), %d", name, rc);
    return rc;
}

int Browser_Move(const char* srcRoot, const char* srcDir, const char* name, const char* dstRoot,
                 const char* dstDir) {
    Transfer t = openTransfer(srcRoot, srcDir, name, dstRoot, dstDir);
    if (t.rc != BROWSER_OK) return t.rc;
    if (renameNoReplace(t.src.fd, name, t.dst.fd, name) == 0) return BROWSER_OK;
    if (errno != EXDEV) {
        DBG_ERR("move fail (%s), %s", name, strerror(errno));
        return fromErrno(errno);
    }
    // Another file system: the source goes only once the copy is whole.
    int rc = copyAt(t.src.fd, name, t.dst.fd, name);
    if (rc == BROWSER_OK) rc = removeAt(t.src.fd, name);
    if (rc != BROWSER_OK) DBG_ERR("move fail (%s), %d", name, rc);
    return rc;
}
