// The checks of an archive's members (names, types, counts and sizes), made on every
// header before a load writes anything and again as it extracts. Apart from the making
// and loading because they face outside input: the archive fuzz target runs them alone.
#include "backup.h"

#include "backup_private.h"
#include "common.h"
#include "debug.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

int Backup_CheckEntry(archive_entry* e, char* rel, size_t relSize) {
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

bool Backup_IsLogMember(const char* rel) {
    size_t n = strlen(BACKUP_LOG);
    return strncmp(rel, BACKUP_LOG, n) == 0 && (rel[n] == 0 || rel[n] == '/');
}

int Backup_CheckArchive(archive* a, BackupStats* stats) {
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
        if (int rc = Backup_CheckEntry(e, rel, sizeof rel)) return rc;
        uint64_t size = archive_entry_filetype(e) == AE_IFREG ? uint64_t(archive_entry_size(e)) : 0;
        if (size > maxBytes || s.totalBytes + size > maxBytes) {
            DBG_ERR("archive member \"%s\" brings the data over %llu bytes",
                    archive_entry_pathname(e), (unsigned long long)maxBytes);
            return BACKUP_ERR_LIMIT;
        }
        if (*rel && !Backup_IsLogMember(rel)) {
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

archive* Backup_OpenReader() {
    archive* a = archive_read_new();
    // Plain tar only: "tar cvf" writes no compression, and a decoder is more attack surface.
    archive_read_support_format_tar(a);
    archive_read_support_format_gnutar(a);
    return a;
}

int Backup_OpenArchiveFile(archive* a, const std::string& path, int& fd) {
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
    if (archive_read_open_fd(a, fd, BACKUP_BLOCK) != ARCHIVE_OK) {
        DBG_ERR("archive read fail : %s : %s", path.c_str(), archive_error_string(a));
        return BACKUP_ERR_READ;
    }
    return BACKUP_OK;
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
    archive* a = Backup_OpenReader();
    int rc = BACKUP_ERR_READ;
    if (archive_read_open_memory(a, data, len) == ARCHIVE_OK) rc = Backup_CheckArchive(a, stats);
    archive_read_free(a);
    return rc;
}
