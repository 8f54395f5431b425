#include "backup.h"

#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "net.h"
#include "setting.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kFiles = "./files";
// Staging and old-data folders live inside ./files so the swap is a rename on one file
// system; as hidden entries they are neither archived nor swapped.
constexpr const char* kStaging = "./files/.p2p-restore";
constexpr const char* kOld = "./files/.p2p-old";
// Present while a swap is under way: "1" while the entries of ./files move into kOld, "2"
// while the staged ones move in. Written only once the staging is whole and synced, so a
// start-up that finds it can always finish the swap.
constexpr const char* kSwapMark = "./files/.p2p-swap";
constexpr const char* kLog = "log";
constexpr size_t kBlock = 64 * 1024;

struct BackupCtx {
    std::atomic<uint64_t> maxMembers{200000};
    std::atomic<uint64_t> maxBytes{4ull << 30};
    std::atomic<int> last{-1};
    std::atomic<int> cutAfter{-1}; // test hook: renames a swap makes before its "power cut"
} backupCtx;

// ---- folders ----

int removeOne(const char* path, const struct stat*, int type, struct FTW*) {
    int r = type == FTW_DP ? rmdir(path) : unlink(path);
    if (r != 0 && errno != ENOENT) DBG_ERR("remove %s fail : %s", path, strerror(errno));
    return 0;
}
// Removes a tree without following links (no shell, no "rm -r").
void removeTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path.c_str());
        return;
    }
    nftw(path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

// Entries directly in `dir`, sorted, without "." and "..".
std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void syncDir(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// ---- save ----

struct SaveWalk {
    archive* a;
    dev_t skipDev;
    ino_t skipIno;
    std::vector<char> buf;
};

int saveFile(SaveWalk& w, const std::string& disk, const std::string& name, const struct stat& st) {
    int fd = Common_OpenRegular(disk, O_RDONLY);
    if (fd < 0) {
        DBG_ERR("open %s fail : %s", disk.c_str(), strerror(errno));
        return BACKUP_ERR_OPEN;
    }
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_copy_stat(e, &st);
    archive_entry_set_uname(e, "root");
    archive_entry_set_gname(e, "root");
    int rc = BACKUP_OK;
    if (archive_write_header(w.a, e) != ARCHIVE_OK) {
        DBG_ERR("archive header of %s fail : %s", name.c_str(), archive_error_string(w.a));
        rc = BACKUP_ERR_WRITE;
    }
    off_t left = st.st_size;
    while (rc == BACKUP_OK && left > 0) {
        ssize_t n = read(fd, w.buf.data(), size_t(std::min<off_t>(left, off_t(w.buf.size()))));
        if (n <= 0) {
            DBG_ERR("read %s fail : %s", disk.c_str(), n < 0 ? strerror(errno) : "file shrank");
            rc = BACKUP_ERR_READ;
        } else if (archive_write_data(w.a, w.buf.data(), size_t(n)) != n) {
            DBG_ERR("archive write fail : %s", archive_error_string(w.a));
            rc = BACKUP_ERR_WRITE;
        } else {
            left -= n;
        }
    }
    archive_entry_free(e);
    close(fd);
    return rc;
}

// Writes `rel` (below ./files) and what is under it; every element named "log" is left
// out, as "tar --exclude log" does.
int saveTree(SaveWalk& w, const std::string& rel) {
    std::string disk = std::string(kFiles) + "/" + rel;
    struct stat st;
    if (lstat(disk.c_str(), &st) != 0) {
        DBG_ERR("stat %s fail : %s", disk.c_str(), strerror(errno));
        return BACKUP_ERR_OPEN;
    }
    if (st.st_dev == w.skipDev && st.st_ino == w.skipIno) return BACKUP_OK; // our own output
    std::string name = "./files/" + rel;
    if (S_ISREG(st.st_mode)) return saveFile(w, disk, name, st);
    if (!S_ISDIR(st.st_mode)) {
        // A restore refuses links and devices, so they are not written either.
        DBG_ERR("%s is not a file or folder, left out", disk.c_str());
        return BACKUP_OK;
    }
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, (name + "/").c_str());
    archive_entry_copy_stat(e, &st);
    archive_entry_set_uname(e, "root");
    archive_entry_set_gname(e, "root");
    int r = archive_write_header(w.a, e);
    archive_entry_free(e);
    if (r != ARCHIVE_OK) {
        DBG_ERR("archive header of %s fail : %s", name.c_str(), archive_error_string(w.a));
        return BACKUP_ERR_WRITE;
    }
    for (const std::string& child : listDir(disk)) {
        if (child == kLog) continue;
        if (int rc = saveTree(w, rel + "/" + child)) return rc;
    }
    return BACKUP_OK;
}

// ---- checks ----

int checkEntry(archive_entry* e, char* rel, size_t relSize) {
    const char* name = archive_entry_pathname(e);
    if (!name || Backup_MemberPath(name, rel, relSize) != 0) {
        DBG_ERR("member \"%s\" is not below ./files", name ? name : "");
        return BACKUP_ERR_MEMBER;
    }
    if (archive_entry_hardlink(e) || archive_entry_symlink(e)) {
        DBG_ERR("member \"%s\" is a link", name);
        return BACKUP_ERR_MEMBER;
    }
    mode_t type = archive_entry_filetype(e);
    if (type != AE_IFREG && type != AE_IFDIR) {
        DBG_ERR("member \"%s\" is not a file or folder (type 0%o)", name, unsigned(type));
        return BACKUP_ERR_MEMBER;
    }
    if (!*rel && type != AE_IFDIR) {
        DBG_ERR("member \"%s\" is not a folder", name);
        return BACKUP_ERR_MEMBER;
    }
    if (!archive_entry_size_is_set(e) && type == AE_IFREG) return BACKUP_OK;
    if (archive_entry_size(e) < 0) {
        DBG_ERR("member \"%s\" has a negative size", name);
        return BACKUP_ERR_READ;
    }
    return BACKUP_OK;
}

bool isLogMember(const char* rel) {
    size_t n = strlen(kLog);
    return strncmp(rel, kLog, n) == 0 && (rel[n] == 0 || rel[n] == '/');
}

// Walks every header of an opened archive: names, types, count and size limits.
int checkArchive(archive* a, BackupStats* stats) {
    const uint64_t maxMembers = backupCtx.maxMembers.load();
    const uint64_t maxBytes = backupCtx.maxBytes.load();
    BackupStats s{0, 0};
    uint64_t seen = 0;
    char rel[PATH_MAX];
    for (;;) {
        archive_entry* e = nullptr;
        int r = archive_read_next_header(a, &e);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) {
            DBG_ERR("archive read fail : %s", archive_error_string(a));
            return BACKUP_ERR_READ;
        }
        if (++seen > maxMembers) {
            DBG_ERR("archive has more than %llu members", (unsigned long long)maxMembers);
            return BACKUP_ERR_LIMIT;
        }
        if (int rc = checkEntry(e, rel, sizeof rel)) return rc;
        uint64_t size = archive_entry_filetype(e) == AE_IFREG ? uint64_t(archive_entry_size(e)) : 0;
        if (size > maxBytes || s.totalBytes + size > maxBytes) {
            DBG_ERR("archive member \"%s\" brings the data over %llu bytes",
                    archive_entry_pathname(e), (unsigned long long)maxBytes);
            return BACKUP_ERR_LIMIT;
        }
        if (*rel && !isLogMember(rel)) {
            s.members++;
            s.totalBytes += size;
        }
        if (archive_read_data_skip(a) != ARCHIVE_OK) {
            DBG_ERR("archive read fail : %s", archive_error_string(a));
            return BACKUP_ERR_READ;
        }
    }
    if (s.members == 0) {
        DBG_ERR("archive holds nothing below ./files");
        return BACKUP_ERR_EMPTY;
    }
    if (stats) *stats = s;
    return BACKUP_OK;
}

archive* openReader() {
    archive* a = archive_read_new();
    // Plain tar only: "tar cvf" writes no compression, and a decoder is more attack surface.
    archive_read_support_format_tar(a);
    archive_read_support_format_gnutar(a);
    return a;
}

// Opens the archive file for `a`; a BackupResult, with the descriptor in `fd` (-1 when none).
int openArchiveFile(archive* a, const std::string& path, int& fd) {
    fd = Common_OpenRegular(path, O_RDONLY);
    if (fd < 0) {
        DBG_ERR("open %s fail : %s", path.c_str(), strerror(errno));
        return BACKUP_ERR_OPEN;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size == 0) {
        DBG_ERR("archive holds nothing below ./files (%s is empty)", path.c_str());
        return BACKUP_ERR_EMPTY;
    }
    if (archive_read_open_fd(a, fd, kBlock) != ARCHIVE_OK) {
        DBG_ERR("archive read fail : %s : %s", path.c_str(), archive_error_string(a));
        return BACKUP_ERR_READ;
    }
    return BACKUP_OK;
}

// ---- extraction into the staging folder ----

int mkdirs(const std::string& path) {
    if (Common_MkdirP(path, 0755) != 0) {
        DBG_ERR("mkdir %s fail : %s", path.c_str(), strerror(errno));
        return BACKUP_ERR_WRITE;
    }
    return BACKUP_OK;
}

int extractFile(archive* a, archive_entry* e, const std::string& dst, std::vector<char>& buf) {
    std::string::size_type slash = dst.rfind('/');
    if (int rc = mkdirs(dst.substr(0, slash))) return rc;
    mode_t mode = (archive_entry_perm(e) & 0777) | 0600;
    int fd = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        DBG_ERR("create %s fail : %s", dst.c_str(), strerror(errno));
        return BACKUP_ERR_WRITE;
    }
    int rc = BACKUP_OK;
    for (;;) {
        la_ssize_t n = archive_read_data(a, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            DBG_ERR("archive read fail : %s", archive_error_string(a));
            rc = BACKUP_ERR_READ;
            break;
        }
        const char* p = buf.data();
        while (n > 0) {
            ssize_t w = write(fd, p, size_t(n));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                DBG_ERR("write %s fail : %s", dst.c_str(), strerror(errno));
                rc = BACKUP_ERR_WRITE;
                break;
            }
            p += w, n -= w;
        }
        if (rc) break;
    }
    if (rc == BACKUP_OK && archive_entry_mtime_is_set(e)) {
        struct timespec t[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(e), 0}};
        futimens(fd, t);
    }
    if (close(fd) != 0 && rc == BACKUP_OK) {
        DBG_ERR("close %s fail : %s", dst.c_str(), strerror(errno));
        rc = BACKUP_ERR_WRITE;
    }
    return rc;
}

int extractAll(archive* a) {
    std::vector<char> buf(kBlock);
    char rel[PATH_MAX];
    for (;;) {
        archive_entry* e = nullptr;
        int r = archive_read_next_header(a, &e);
        if (r == ARCHIVE_EOF) return BACKUP_OK;
        if (r != ARCHIVE_OK) {
            DBG_ERR("archive read fail : %s", archive_error_string(a));
            return BACKUP_ERR_READ;
        }
        // The archive was checked, but it is read again: a file changed in between is
        // checked again member by member.
        if (int rc = checkEntry(e, rel, sizeof rel)) return rc;
        if (!*rel || isLogMember(rel)) continue;
        std::string dst = std::string(kStaging) + "/" + rel;
        while (!dst.empty() && dst.back() == '/')
            dst.pop_back();
        int rc = archive_entry_filetype(e) == AE_IFDIR ? mkdirs(dst) : extractFile(a, e, dst, buf);
        if (rc) return rc;
    }
}

struct Moved {
    std::string from, to;
};
void undo(std::vector<Moved>& moved) {
    for (auto it = moved.rbegin(); it != moved.rend(); ++it)
        if (rename(it->to.c_str(), it->from.c_str()) != 0)
            DBG_ERR("rename %s back fail : %s", it->to.c_str(), strerror(errno));
    moved.clear();
}

// One swap's renames, recorded so a failure can put them back, and counted for the
// test's cut.
struct Swap {
    std::vector<Moved> moved;
    int renames = 0;
    bool cut = false; // the test's "power cut": stop here, leave everything as it is
    bool move(const std::string& from, const std::string& to) {
        const int cutAfter = backupCtx.cutAfter.load();
        if (cutAfter >= 0 && renames >= cutAfter) {
            cut = true;
            return false;
        }
        if (rename(from.c_str(), to.c_str()) != 0) {
            DBG_ERR("rename %s to %s fail : %s", from.c_str(), to.c_str(), strerror(errno));
            return false;
        }
        renames++;
        moved.push_back({from, to});
        return true;
    }
    // Every visible entry of ./files but "log" into the old-data folder.
    bool moveOut() {
        for (const std::string& n : listDir(kFiles)) {
            if (n[0] == '.' || n == kLog) continue;
            if (!move(std::string(kFiles) + "/" + n, std::string(kOld) + "/" + n)) return false;
        }
        syncDir(kFiles);
        syncDir(kOld);
        return true;
    }
    // Every staged entry into ./files.
    bool moveIn() {
        for (const std::string& n : listDir(kStaging))
            if (!move(std::string(kStaging) + "/" + n, std::string(kFiles) + "/" + n)) return false;
        syncDir(kFiles);
        return true;
    }
};

int markSwap(const char* phase) {
    if (Common_WriteFileAtomic(kSwapMark, phase, strlen(phase)) != 0) {
        DBG_ERR("write %s fail : %s", kSwapMark, strerror(errno));
        return -1;
    }
    return 0;
}
void unmarkSwap() {
    if (unlink(kSwapMark) != 0 && errno != ENOENT)
        DBG_ERR("remove %s fail : %s", kSwapMark, strerror(errno));
    syncDir(kFiles);
}

// What swapIn answers when the test's cut stopped it: nothing is cleaned up.
constexpr int kSwapCut = -1;

// Every visible entry of ./files but "log" goes to the old-data folder, then every staged
// entry takes its place, each phase under its mark; a failed rename puts everything back.
// A swap cut off in between is finished at the next start (Backup_Recover).
int swapIn() {
    if (mkdir(kOld, 0700) != 0) {
        DBG_ERR("mkdir %s fail : %s", kOld, strerror(errno));
        return BACKUP_ERR_SWAP;
    }
    if (markSwap("1") != 0) return BACKUP_ERR_SWAP;
    Swap swap;
    bool ok = swap.moveOut() && markSwap("2") == 0 && swap.moveIn();
    if (swap.cut) return kSwapCut;
    if (!ok) {
        undo(swap.moved);
        syncDir(kFiles);
        unmarkSwap();
        return BACKUP_ERR_SWAP;
    }
    unmarkSwap();
    removeTree(kOld);
    return BACKUP_OK;
}

uint64_t freeBytes(const char* dir) {
    struct statvfs v;
    if (statvfs(dir, &v) != 0) return 0;
    return uint64_t(v.f_bavail) * v.f_frsize;
}

} // namespace

const char* Backup_ResultText(int result) {
    switch (result) {
    case BACKUP_OK:
        return "ok";
    case BACKUP_ERR_OPEN:
        return "cannot open";
    case BACKUP_ERR_READ:
        return "unreadable archive";
    case BACKUP_ERR_MEMBER:
        return "member not allowed";
    case BACKUP_ERR_LIMIT:
        return "archive too large";
    case BACKUP_ERR_SPACE:
        return "not enough free space";
    case BACKUP_ERR_EMPTY:
        return "empty archive";
    case BACKUP_ERR_WRITE:
        return "write failed";
    case BACKUP_ERR_SWAP:
        return "swap failed";
    default:
        return "unknown";
    }
}

void Backup_SetLimits(const BackupLimits* limits) {
    backupCtx.maxMembers = limits ? limits->maxMembers : 200000;
    backupCtx.maxBytes = limits ? limits->maxBytes : 4ull << 30;
}
BackupLimits Backup_GetLimits() {
    return {backupCtx.maxMembers.load(), backupCtx.maxBytes.load()};
}

int Backup_MemberPath(const char* name, char* rel, size_t relSize) {
    if (!name || !rel || relSize == 0 || name[0] == '/') return -1;
    std::string out;
    bool first = true;
    const char* p = name;
    while (*p) {
        const char* s = strchr(p, '/');
        size_t n = s ? size_t(s - p) : strlen(p);
        std::string part(p, n);
        p += n + (s ? 1 : 0);
        if (part.empty() || part == ".") continue;
        if (part == "..") return -1;
        for (unsigned char c : part)
            if (c < 0x20 || c == 0x7f) return -1;
        if (first) {
            if (part != "files") return -1;
            first = false;
            continue;
        }
        if (!out.empty()) out += '/';
        out += part;
    }
    if (first || out.size() >= relSize) return -1;
    memcpy(rel, out.c_str(), out.size() + 1);
    return 0;
}

int Backup_CheckBuffer(const void* data, size_t len, BackupStats* stats) {
    archive* a = openReader();
    int rc = BACKUP_ERR_READ;
    if (archive_read_open_memory(a, data, len) == ARCHIVE_OK) rc = checkArchive(a, stats);
    archive_read_free(a);
    return rc;
}

int Backup_Save(const char* path) {
    if (!path || !*path) {
        DBG_ERR("no archive path");
        return BACKUP_ERR_OPEN;
    }
    std::string tmp = std::string(path) + ".tmp";
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        DBG_ERR("create %s fail : %s", tmp.c_str(), strerror(errno));
        return BACKUP_ERR_OPEN;
    }
    struct stat self;
    fstat(fd, &self);
    SaveWalk w{archive_write_new(), self.st_dev, self.st_ino, std::vector<char>(kBlock)};
    archive_write_set_format_pax_restricted(w.a);
    int rc = BACKUP_OK;
    if (archive_write_open_fd(w.a, fd) != ARCHIVE_OK) {
        DBG_ERR("archive open %s fail : %s", tmp.c_str(), archive_error_string(w.a));
        rc = BACKUP_ERR_WRITE;
    }
    size_t count = 0;
    if (rc == BACKUP_OK) {
        for (const std::string& n : listDir(kFiles)) {
            if (n[0] == '.' || n == kLog) continue; // as the shell's ./files/* and --exclude
            if ((rc = saveTree(w, n))) break;
            count++;
        }
        if (rc == BACKUP_OK && count == 0) {
            DBG_ERR("nothing to save in %s", kFiles);
            rc = BACKUP_ERR_EMPTY;
        }
    }
    if (archive_write_close(w.a) != ARCHIVE_OK && rc == BACKUP_OK) {
        DBG_ERR("archive close %s fail : %s", tmp.c_str(), archive_error_string(w.a));
        rc = BACKUP_ERR_WRITE;
    }
    archive_write_free(w.a);
    if (rc == BACKUP_OK && fsync(fd) != 0) {
        DBG_ERR("fsync %s fail : %s", tmp.c_str(), strerror(errno));
        rc = BACKUP_ERR_WRITE;
    }
    if (close(fd) != 0 && rc == BACKUP_OK) {
        DBG_ERR("close %s fail : %s", tmp.c_str(), strerror(errno));
        rc = BACKUP_ERR_WRITE;
    }
    if (rc == BACKUP_OK && rename(tmp.c_str(), path) != 0) {
        DBG_ERR("rename %s fail : %s", tmp.c_str(), strerror(errno));
        rc = BACKUP_ERR_WRITE;
    }
    if (rc != BACKUP_OK) {
        unlink(tmp.c_str());
        return rc;
    }
    std::string dir(path);
    std::string::size_type slash = dir.rfind('/');
    syncDir(slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash));
    return BACKUP_OK;
}

int Backup_Load(const char* path) {
    if (!path || !*path) {
        DBG_ERR("no archive path");
        return BACKUP_ERR_OPEN;
    }
    // First pass: every header, before anything is written.
    BackupStats stats{0, 0};
    archive* a = openReader();
    int fd = -1;
    int rc = openArchiveFile(a, path, fd);
    if (rc == BACKUP_OK) rc = checkArchive(a, &stats);
    archive_read_free(a);
    if (fd >= 0) close(fd);
    if (rc) {
        DBG_ERR("%s refused : %s", path, Backup_ResultText(rc));
        return rc;
    }
    if (mkdirs(kFiles)) return BACKUP_ERR_WRITE;
    // Room for the data and a block per member, beside the data in use.
    uint64_t need = stats.totalBytes + stats.members * 4096;
    uint64_t room = freeBytes(kFiles);
    if (need > room) {
        DBG_ERR("%s needs %llu bytes, %llu free", path, (unsigned long long)need,
                (unsigned long long)room);
        return BACKUP_ERR_SPACE;
    }
    // A load cut off before: its swap is finished (or this one refused) before anything of
    // it is removed.
    if (Backup_Recover() != 0) return BACKUP_ERR_SWAP;
    if (mkdir(kStaging, 0755) != 0) {
        DBG_ERR("mkdir %s fail : %s", kStaging, strerror(errno));
        return BACKUP_ERR_WRITE;
    }
    a = openReader();
    rc = openArchiveFile(a, path, fd);
    if (rc == BACKUP_OK) rc = extractAll(a);
    archive_read_free(a);
    if (fd >= 0) close(fd);
    if (rc == BACKUP_OK) {
        int sfd = open(kStaging, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sfd < 0 || syncfs(sfd) != 0) {
            DBG_ERR("sync %s fail : %s", kStaging, strerror(errno));
            rc = BACKUP_ERR_WRITE;
        }
        if (sfd >= 0) close(sfd);
    }
    if (rc == BACKUP_OK) rc = swapIn();
    if (rc == kSwapCut) return BACKUP_ERR_SWAP;
    // From now on the settings in memory are not the loaded ones: none may be saved over
    // them before the restart.
    if (rc == BACKUP_OK) setting_refuse_saves("backup loaded, restart pending");
    removeTree(kStaging);
    if (rc) DBG_ERR("%s not loaded : %s", path, Backup_ResultText(rc));
    return rc;
}

void Backup_HandleNetMsg(int kind, const char* path) {
    int rc = kind == NET_MSG_P2P_SAVE ? Backup_Save(path) : Backup_Load(path);
    backupCtx.last = rc;
    EwDriver_PushMsgQ_Processing(rc);
}

int Backup_Recover() {
    std::string phase;
    if (Common_ReadFile(kSwapMark, phase) == 0) {
        DBG_ERR("a load was cut off during its swap (phase %s) : finishing it", phase.c_str());
        if (mkdir(kOld, 0700) != 0 && errno != EEXIST) {
            DBG_ERR("mkdir %s fail : %s", kOld, strerror(errno));
            return -1;
        }
        Swap swap;
        if ((phase != "2" && (!swap.moveOut() || markSwap("2") != 0)) || !swap.moveIn()) {
            DBG_ERR("the cut-off load cannot be finished : %s and %s kept", kOld, kStaging);
            return -1;
        }
        unmarkSwap();
    }
    // Without a mark these are a cut extraction's staging or a finished swap's old data.
    removeTree(kStaging);
    removeTree(kOld);
    return 0;
}

void Backup_SetSwapCutAfter(int renames) {
    backupCtx.cutAfter = renames;
}

int Backup_LastResult() {
    return backupCtx.last.load();
}

void Backup_Start() {
    Net_SetBackupHandler(Backup_HandleNetMsg);
}
