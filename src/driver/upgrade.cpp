#include "upgrade.h"

#include "common.h"
#include "debug.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kPrev = ".prev";
// How long the copy may take to answer "--version" (seconds; a start under emulation or on
// a slow card stays well inside it).
constexpr const char* kStartLimitS = "10";

struct UpgradeCtx {
    std::mutex lock;
    std::string program; // set by tests; empty = default
    long cutAfter = -1;
} upgradeCtx;

std::string folderOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void syncDir(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        p += w, n -= size_t(w);
    }
    return true;
}

// Copies `in` (from its start) into a new file `dst` of mode 0755, synced. The number of
// bytes copied, or -1 with a log line (the partial copy is removed).
long long copyTo(int in, const std::string& dst, long cutAfter) {
    int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0755);
    if (out < 0) {
        DBG_ERR("create %s fail : %s", dst.c_str(), strerror(errno));
        return -1;
    }
    std::vector<char> buf(64 * 1024);
    long long total = 0;
    bool ok = lseek(in, 0, SEEK_SET) == 0;
    while (ok) {
        size_t want = buf.size();
        if (cutAfter >= 0) want = size_t(std::min<long long>(want, cutAfter - total));
        if (want == 0) break;
        ssize_t n = read(in, buf.data(), want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            DBG_ERR("read fail : %s", strerror(errno));
            ok = false;
        } else if (n == 0) {
            break;
        } else if (!writeAll(out, buf.data(), size_t(n))) {
            DBG_ERR("write %s fail : %s", dst.c_str(), strerror(errno));
            ok = false;
        } else {
            total += n;
        }
    }
    // The mode is set on the copy, so the program is executable from its first instant.
    if (ok && fchmod(out, 0755) != 0) {
        DBG_ERR("chmod %s fail : %s", dst.c_str(), strerror(errno));
        ok = false;
    }
    if (ok && fsync(out) != 0) {
        DBG_ERR("fsync %s fail : %s", dst.c_str(), strerror(errno));
        ok = false;
    }
    if (close(out) != 0 && ok) {
        DBG_ERR("close %s fail : %s", dst.c_str(), strerror(errno));
        ok = false;
    }
    if (!ok) {
        unlink(dst.c_str());
        return -1;
    }
    return total;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string ownExe() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, size_t(n)) : std::string();
}

// The copy is started once with "--version" under timeout(1), which ends its whole process
// group at the limit. A program that cannot be loaded on this board (a library or a libc
// it lacks), that dies at once or hangs, or another program altogether, does not print
// the line this program prints ("zqcapp <version>").
int tryStart(const std::string& copy) {
    std::string out;
    int rc = -1;
    // 126 is "cannot execute": a copy closed a moment ago can still be busy (ETXTBSY)
    // while another thread forks, so it gets two more tries.
    for (int i = 0; i < 3; ++i) {
        rc =
            Common_RunCapture({"timeout", "-s", "KILL", kStartLimitS, copy, "--version"}, out, 256);
        if (rc != 126) break;
        usleep(100 * 1000);
    }
    if (rc == 0 && out.rfind("zqcapp ", 0) == 0) return 0;
    out = out.substr(0, out.find('\n'));
    DBG_ERR("%s does not start : status %d, \"%s\"", copy.c_str(), rc, out.c_str());
    return -1;
}

// The current program stays reachable as "<program>.prev": a second name for the same
// file, so there is no instant without a program. A file system without links gets a copy.
int keepPrevious(const std::string& program) {
    std::string prev = program + kPrev;
    std::string tmp = prev + ".tmp";
    unlink(tmp.c_str());
    if (link(program.c_str(), tmp.c_str()) != 0) {
        int in = Common_OpenRegular(program, O_RDONLY);
        if (in < 0) {
            DBG_ERR("open %s fail : %s", program.c_str(), strerror(errno));
            return -1;
        }
        long long n = copyTo(in, tmp, -1);
        close(in);
        if (n < 0) return -1;
    }
    if (rename(tmp.c_str(), prev.c_str()) != 0) {
        DBG_ERR("rename %s fail : %s", tmp.c_str(), strerror(errno));
        unlink(tmp.c_str());
        return -1;
    }
    return 0;
}

} // namespace

int Upgrade_SelfId(UpgradeElfId* out) {
    static UpgradeElfId self{};
    static int state = 0; // 0 unread, 1 read, -1 unreadable
    static std::once_flag once;
    std::call_once(once, [] {
        int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        unsigned char h[EI_NIDENT + 4] = {};
        ssize_t n = fd < 0 ? -1 : pread(fd, h, sizeof h, 0);
        if (fd >= 0) close(fd);
        if (n != ssize_t(sizeof h) || memcmp(h, ELFMAG, SELFMAG) != 0) {
            DBG_ERR("own program header unreadable");
            state = -1;
            return;
        }
        self.elfClass = h[EI_CLASS];
        self.data = h[EI_DATA];
        // e_type and e_machine follow the identity bytes in both classes.
        uint16_t m;
        memcpy(&m, h + EI_NIDENT + 2, 2);
        self.machine = m; // read by this machine in its own byte order
        state = 1;
    });
    if (state != 1) return -1;
    if (out) *out = self;
    return 0;
}

int Upgrade_CheckElf(const uint8_t* head, size_t len, const UpgradeElfId& self) {
    if (!head || len < EI_NIDENT + 4 || memcmp(head, ELFMAG, SELFMAG) != 0 ||
        head[EI_VERSION] != EV_CURRENT)
        return UPGRADE_ERR_FORMAT;
    if (head[EI_CLASS] != self.elfClass || head[EI_DATA] != self.data) return UPGRADE_ERR_ARCH;
    uint16_t type, machine;
    memcpy(&type, head + EI_NIDENT, 2);
    memcpy(&machine, head + EI_NIDENT + 2, 2);
    // Same byte order as this machine (checked above), so the fields read as they are.
    if (type != ET_EXEC && type != ET_DYN) return UPGRADE_ERR_FORMAT;
    if (machine != self.machine) return UPGRADE_ERR_ARCH;
    return UPGRADE_OK;
}

void Upgrade_SetProgramPath(const char* path) {
    std::lock_guard<std::mutex> g(upgradeCtx.lock);
    upgradeCtx.program = path ? path : "";
}

std::string Upgrade_ProgramPath() {
    {
        std::lock_guard<std::mutex> g(upgradeCtx.lock);
        if (!upgradeCtx.program.empty()) return upgradeCtx.program;
    }
    if (const char* env = getenv("ZQCAPP_PROGRAM"); env && *env) return env;
    std::string p = ownExe();
    if (p.empty()) return Common_HomePath("zqcapp");
    if (endsWith(p, kPrev)) p.resize(p.size() - strlen(kPrev));
    return p;
}

std::string Upgrade_FallbackReason() {
    if (const char* why = getenv("KEST_FALLBACK"); why && *why) return why;
    std::string exe = ownExe();
    if (!endsWith(exe, kPrev)) return std::string();
    return exe.substr(exe.find_last_of('/') + 1) + " is running";
}

void Upgrade_SetCopyCutAfter(long bytes) {
    std::lock_guard<std::mutex> g(upgradeCtx.lock);
    upgradeCtx.cutAfter = bytes;
}

int Upgrade_Install(const char* file) {
    if (!file || !*file) {
        DBG_ERR("no upgrade file");
        return UPGRADE_ERR_OPEN;
    }
    int in = Common_OpenRegular(file, O_RDONLY);
    if (in < 0) {
        DBG_ERR("open %s fail : %s", file, strerror(errno));
        return UPGRADE_ERR_OPEN;
    }
    struct stat st;
    uint8_t head[64] = {};
    ssize_t got = fstat(in, &st) == 0 ? pread(in, head, sizeof head, 0) : -1;
    UpgradeElfId self{};
    int rc = UPGRADE_OK;
    if (got < 0) {
        DBG_ERR("read %s fail : %s", file, strerror(errno));
        rc = UPGRADE_ERR_OPEN;
    } else if (Upgrade_SelfId(&self) != 0) {
        rc = UPGRADE_ERR_ARCH;
    } else if ((rc = Upgrade_CheckElf(head, size_t(got), self)) != UPGRADE_OK) {
        DBG_ERR("%s refused : %s", file,
                rc == UPGRADE_ERR_ARCH ? "built for another machine" : "not an executable");
    }
    if (rc != UPGRADE_OK) {
        close(in);
        return rc;
    }
    const std::string program = Upgrade_ProgramPath();
    // Hidden and named after the program: the folder is usually one on PATH, and a plain
    // "upgrade" there could be another program's (or be left as one after a power cut).
    const std::string copy =
        folderOf(program) + "/." + program.substr(program.find_last_of('/') + 1) + ".upgrade";
    long cut;
    {
        std::lock_guard<std::mutex> g(upgradeCtx.lock);
        cut = upgradeCtx.cutAfter;
    }
    long long n = copyTo(in, copy, cut);
    close(in);
    if (n < 0) return UPGRADE_ERR_COPY;
    if (n != (long long)st.st_size) {
        DBG_ERR("copy of %s has %lld bytes of %lld", file, n, (long long)st.st_size);
        unlink(copy.c_str());
        return UPGRADE_ERR_SIZE;
    }
    if (tryStart(copy) != 0) {
        unlink(copy.c_str());
        return UPGRADE_ERR_START;
    }
    // Running as the fallback, the program file is the one that did not start and
    // "<program>.prev" is the one running: that one stays the previous program.
    const bool keepFallback =
        !Upgrade_FallbackReason().empty() && access((program + kPrev).c_str(), F_OK) == 0;
    if (keepFallback) {
        DBG_ERR("running as the fallback: %s%s stays the previous program", program.c_str(), kPrev);
    } else if (access(program.c_str(), F_OK) == 0 && keepPrevious(program) != 0) {
        unlink(copy.c_str());
        return UPGRADE_ERR_REPLACE;
    }
    if (rename(copy.c_str(), program.c_str()) != 0) {
        DBG_ERR("rename %s to %s fail : %s", copy.c_str(), program.c_str(), strerror(errno));
        unlink(copy.c_str());
        return UPGRADE_ERR_REPLACE;
    }
    syncDir(folderOf(program));
    return UPGRADE_OK;
}
