// Backup and restore of ./files: making an archive, and a load's two passes (every header
// checked before anything is written, then the extraction into the staging folder that the
// swap puts in place), with the folder helpers all of it shares. The member checks are in
// backup_check.cpp, the swap and its recovery at start-up in backup_swap.cpp.
#include "backup.h"

#include "backup_private.h"
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

BackupCtx backupCtx;

// ---- folders ----

namespace {
int removeOne(const char* path, const struct stat*, int type, struct FTW*) {
    int r = type == FTW_DP ? rmdir(path) : unlink(path);
    if (r != 0 && errno != ENOENT) DBG_ERR("remove %s fail : %s", path, strerror(errno));
    return 0;
}
} // namespace

void Backup_RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path.c_str());
        return;
    }
    nftw(path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> Backup_ListDir(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void Backup_SyncDir(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

namespace {

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
    std::string disk = std::string(BACKUP_FILES) + "/" + rel;
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
    for (const std::string& child : Backup_ListDir(disk)) {
        if (child == BACKUP_LOG) continue;
        if (int rc = saveTree(w, rel + "/" + child)) return rc;
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
    std::vector<char> buf(BACKUP_BLOCK);
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
        if (int rc = Backup_CheckEntry(e, rel, sizeof rel)) return rc;
        if (!*rel || Backup_IsLogMember(rel)) continue;
        std::string dst = std::string(BACKUP_STAGING) + "/" + rel;
        while (!dst.empty() && dst.back() == '/')
            dst.pop_back();
        int rc = archive_entry_filetype(e) == AE_IFDIR ? mkdirs(dst) : extractFile(a, e, dst, buf);
        if (rc) return rc;
    }
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
    SaveWalk w{archive_write_new(), self.st_dev, self.st_ino, std::vector<char>(BACKUP_BLOCK)};
    archive_write_set_format_pax_restricted(w.a);
    int rc = BACKUP_OK;
    if (archive_write_open_fd(w.a, fd) != ARCHIVE_OK) {
        DBG_ERR("archive open %s fail : %s", tmp.c_str(), archive_error_string(w.a));
        rc = BACKUP_ERR_WRITE;
    }
    size_t count = 0;
    if (rc == BACKUP_OK) {
        for (const std::string& n : Backup_ListDir(BACKUP_FILES)) {
            if (n[0] == '.' || n == BACKUP_LOG) continue; // as the shell's ./files/* and --exclude
            if ((rc = saveTree(w, n))) break;
            count++;
        }
        if (rc == BACKUP_OK && count == 0) {
            DBG_ERR("nothing to save in %s", BACKUP_FILES);
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
    Backup_SyncDir(slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash));
    return BACKUP_OK;
}

int Backup_Load(const char* path) {
    if (!path || !*path) {
        DBG_ERR("no archive path");
        return BACKUP_ERR_OPEN;
    }
    // First pass: every header, before anything is written.
    BackupStats stats{0, 0};
    archive* a = Backup_OpenReader();
    int fd = -1;
    int rc = Backup_OpenArchiveFile(a, path, fd);
    if (rc == BACKUP_OK) rc = Backup_CheckArchive(a, &stats);
    archive_read_free(a);
    if (fd >= 0) close(fd);
    if (rc) {
        DBG_ERR("%s refused : %s", path, Backup_ResultText(rc));
        return rc;
    }
    if (mkdirs(BACKUP_FILES)) return BACKUP_ERR_WRITE;
    // Room for the data and a block per member, beside the data in use.
    uint64_t need = stats.totalBytes + stats.members * 4096;
    uint64_t room = freeBytes(BACKUP_FILES);
    if (need > room) {
        DBG_ERR("%s needs %llu bytes, %llu free", path, (unsigned long long)need,
                (unsigned long long)room);
        return BACKUP_ERR_SPACE;
    }
    // A load cut off before: its swap is finished (or this one refused) before anything of
    // it is removed.
    if (Backup_Recover() != 0) return BACKUP_ERR_SWAP;
    if (mkdir(BACKUP_STAGING, 0755) != 0) {
        DBG_ERR("mkdir %s fail : %s", BACKUP_STAGING, strerror(errno));
        return BACKUP_ERR_WRITE;
    }
    a = Backup_OpenReader();
    rc = Backup_OpenArchiveFile(a, path, fd);
    if (rc == BACKUP_OK) rc = extractAll(a);
    archive_read_free(a);
    if (fd >= 0) close(fd);
    if (rc == BACKUP_OK) {
        int sfd = open(BACKUP_STAGING, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sfd < 0 || syncfs(sfd) != 0) {
            DBG_ERR("sync %s fail : %s", BACKUP_STAGING, strerror(errno));
            rc = BACKUP_ERR_WRITE;
        }
        if (sfd >= 0) close(sfd);
    }
    if (rc == BACKUP_OK) rc = Backup_SwapIn();
    if (rc == BACKUP_SWAP_CUT) return BACKUP_ERR_SWAP;
    // From now on the settings in memory are not the loaded ones: none may be saved over
    // them before the restart.
    if (rc == BACKUP_OK) setting_refuse_saves("backup loaded, restart pending");
    Backup_RemoveTree(BACKUP_STAGING);
    if (rc) DBG_ERR("%s not loaded : %s", path, Backup_ResultText(rc));
    return rc;
}

void Backup_HandleNetMsg(int kind, const char* path) {
    int rc = kind == NET_MSG_P2P_SAVE ? Backup_Save(path) : Backup_Load(path);
    backupCtx.last = rc;
    EwDriver_PushMsgQ_Processing(rc);
}

int Backup_LastResult() {
    return backupCtx.last.load();
}

void Backup_Start() {
    Net_SetBackupHandler(Backup_HandleNetMsg);
}
