#include "common.h"

#include "debug.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
struct CommonState {
    std::mutex lock;
    std::string home = "/home/dromik";
    std::string sysroot;
    bool sysrootRead = false;
    std::atomic<time_t> fixedTime{0};
    std::atomic<long> writeFailAfter{-1};
    // Fault seam: prefix, error and operations, read from KEST_FAULT at first use.
    std::mutex faultLock;
    bool faultRead = false;
    std::string faultPrefix;
    int faultErr = 0;
    int faultOps = 0;
};
CommonState common;
} // namespace

int Common_SetHome(const char* dir) {
    std::string d = dir && *dir ? dir : "/home/dromik";
    if (Common_MkdirP(d) != 0) {
        Debug_WriteLog(1, "%s.%d : cannot create home %s, %s", __func__, __LINE__, d.c_str(),
                       strerror(errno));
        return -1;
    }
    if (chdir(d.c_str()) != 0) {
        Debug_WriteLog(1, "%s.%d : cannot enter home %s, %s", __func__, __LINE__, d.c_str(),
                       strerror(errno));
        return -1;
    }
    char* real = realpath(d.c_str(), nullptr);
    std::lock_guard<std::mutex> g(common.lock);
    common.home = real ? real : d;
    free(real);
    return 0;
}

const std::string& Common_HomeDir() {
    return common.home;
}

std::string Common_HomePath(const std::string& rel) {
    std::string r = rel;
    if (r.rfind("./", 0) == 0) r.erase(0, 2);
    return common.home + "/" + r;
}

void Common_SetSysroot(const char* root) {
    std::lock_guard<std::mutex> g(common.lock);
    common.sysroot = root ? root : "";
    while (!common.sysroot.empty() && common.sysroot.back() == '/')
        common.sysroot.pop_back();
    common.sysrootRead = true;
}

const std::string& Common_Sysroot() {
    std::lock_guard<std::mutex> g(common.lock);
    if (!common.sysrootRead) {
        const char* e = getenv("KEST_SYSROOT");
        common.sysroot = e ? e : "";
        while (!common.sysroot.empty() && common.sysroot.back() == '/')
            common.sysroot.pop_back();
        common.sysrootRead = true;
    }
    return common.sysroot;
}

std::string Common_SysPath(const std::string& abs) {
    return Common_Sysroot() + abs;
}

std::string Common_ShellQuote(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += "'";
    return out;
}

namespace {
int waitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int spawnWithPipes(const std::vector<std::string>& argv, const std::string* in, std::string* out,
                   size_t max) {
    if (argv.empty()) return -1;
    int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1};
    if (in && pipe2(inPipe, O_CLOEXEC) != 0) return -1;
    if (out && pipe2(outPipe, O_CLOEXEC) != 0) {
        if (in) close(inPipe[0]), close(inPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (in) posix_spawn_file_actions_adddup2(&fa, inPipe[0], 0);
    if (out) posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (in) close(inPipe[0]);
    if (out) close(outPipe[1]);
    if (rc != 0) {
        if (in) close(inPipe[1]);
        if (out) close(outPipe[0]);
        Debug_WriteLog(1, "%s.%d : cannot start %s, %s", __func__, __LINE__, argv[0].c_str(),
                       strerror(rc));
        return -1;
    }
    bool inputCut = false;
    if (in) {
        const char* p = in->data();
        size_t left = in->size();
        while (left > 0) {
            ssize_t n = write(inPipe[1], p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            p += n;
            left -= size_t(n);
        }
        // A child that quit before reading all its input did not get what it was told.
        if (left > 0) {
            inputCut = true;
            Debug_WriteLog(1, "%s.%d : %s took %d of %d input bytes", __func__, __LINE__,
                           argv[0].c_str(), int(in->size() - left), int(in->size()));
        }
        close(inPipe[1]);
    }
    if (out) {
        char buf[4096];
        for (;;) {
            ssize_t n = read(outPipe[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (out->size() < max) out->append(buf, std::min(size_t(n), max - out->size()));
        }
        close(outPipe[0]);
    }
    int status = waitChild(pid);
    return inputCut ? -1 : status;
}
} // namespace

int Common_System(const std::string& cmdline) {
    return spawnWithPipes({"/bin/sh", "-c", cmdline}, nullptr, nullptr, 0);
}

int Common_Run(const std::vector<std::string>& argv, const std::string* stdinText) {
    return spawnWithPipes(argv, stdinText, nullptr, 0);
}

int Common_Spawn(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A process group of its own: helpers the program forks stop with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        Debug_WriteLog(1, "%s.%d : cannot start %s, %s", __func__, __LINE__, argv[0].c_str(),
                       strerror(rc));
        return -1;
    }
    return int(pid);
}

int Common_StopChild(int pid, int graceMs) {
    if (pid <= 0) return -1;
    // The child is unreaped until the end, so its number (and its group's) still names it
    // and its own helpers, a zombie at worst: nothing else is ever signalled.
    int fd = int(syscall(SYS_pidfd_open, pid, 0));
    kill(pid, SIGTERM); // the program ends its helpers in its own order
    if (fd >= 0) {
        pollfd p = {fd, POLLIN, 0};
        while (poll(&p, 1, graceMs) < 0 && errno == EINTR) {
        }
        close(fd);
    }
    // What is left of the group (the child past its grace, helpers it left behind) ends;
    // the child, a zombie at worst, still holds the group's number.
    kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Common_RunCapture(const std::vector<std::string>& argv, std::string& out, size_t max) {
    out.clear();
    return spawnWithPipes(argv, nullptr, &out, max);
}

time_t Common_Now() {
    time_t f = common.fixedTime.load();
    return f ? f : time(nullptr);
}

void Common_LocalTime(struct tm* out) {
    time_t t = Common_Now();
    localtime_r(&t, out);
}

void Common_SetFixedTime(time_t t) {
    common.fixedTime = t;
}
void Common_ClearFixedTime() {
    common.fixedTime = 0;
}
void Common_SetWriteFailAfter(long bytes) {
    common.writeFailAfter = bytes;
}

int Common_WriteFileAtomic(const std::string& path, const void* data, size_t len,
                           CommonWriteStep* failed) {
    // The log line may change errno; the caller gets the failed call's error.
    auto fail = [&](CommonWriteStep step, int err) {
        if (failed) *failed = step;
        errno = err;
        return -1;
    };
    if (failed) *failed = COMMON_WRITE_NONE;
    std::string dir = ".";
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
    // A hidden name: a temporary file left by a power cut must never be taken for a job,
    // a table or a log by a folder scan.
    std::string tmp =
        dir + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmpXXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        Debug_WriteLog(1, "%s.%d : cannot create %s, %s", __func__, __LINE__, name.data(),
                       strerror(err));
        return fail(COMMON_WRITE_OPEN, err);
    }
    fchmod(fd, 0666 & ~0022);
    const char* p = static_cast<const char*>(data);
    size_t left = len;
    long failAfter = common.writeFailAfter.load();
    CommonWriteStep step = COMMON_WRITE_NONE;
    int err = 0;
    while (left > 0) {
        size_t chunk = left;
        if (failAfter >= 0) {
            size_t done = len - left;
            if (done >= size_t(failAfter)) {
                step = COMMON_WRITE_DATA;
                err = EIO;
                break;
            }
            chunk = std::min(chunk, size_t(failAfter) - done);
        }
        ssize_t n = write(fd, p, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            step = COMMON_WRITE_DATA;
            err = n < 0 ? errno : ENOSPC;
            break;
        }
        p += n;
        left -= size_t(n);
    }
    if (step == COMMON_WRITE_NONE && fsync(fd) != 0) {
        step = COMMON_WRITE_SYNC;
        err = errno;
    }
    if (close(fd) != 0 && step == COMMON_WRITE_NONE) {
        step = COMMON_WRITE_SYNC;
        err = errno;
    }
    if (step != COMMON_WRITE_NONE) {
        Debug_WriteLog(1, "%s.%d : write %s failed, %s", __func__, __LINE__, path.c_str(),
                       strerror(err));
        unlink(name.data());
        return fail(step, err);
    }
    if (rename(name.data(), path.c_str()) != 0) {
        err = errno;
        Debug_WriteLog(1, "%s.%d : rename to %s failed, %s", __func__, __LINE__, path.c_str(),
                       strerror(err));
        unlink(name.data());
        return fail(COMMON_WRITE_RENAME, err);
    }
    // The new file is in place; a folder that cannot be synced only weakens power-cut
    // safety, which the maintenance log should show.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0 || fsync(dfd) != 0)
        Debug_WriteLog(1, "%s.%d : folder %s not synced, %s", __func__, __LINE__, dir.c_str(),
                       strerror(errno));
    if (dfd >= 0) close(dfd);
    return 0;
}

int Common_MkdirP(const std::string& path, unsigned mode) {
    if (path.empty()) return -1;
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        cur = path.substr(0, pos);
        if (cur.empty()) continue;
        if (mkdir(cur.c_str(), mode) != 0 && errno != EEXIST) return -1;
    }
    struct stat st;
    return (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? 0 : -1;
}

int Common_ReadFile(const std::string& path, std::string& out, size_t max) {
    out.clear();
    int fd = Common_OpenRegular(path, O_RDONLY);
    if (fd < 0) return -1;
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return -1;
        }
        if (n == 0) break;
        if (out.size() + size_t(n) > max) {
            close(fd);
            return -1;
        }
        out.append(buf, size_t(n));
    }
    close(fd);
    return 0;
}

int Common_MoveAsideUnreadable(const std::string& path) {
    std::string aside = path + ".unreadable";
    Debug_WriteLog(1, "%s.%d : %s cannot be read (%s), moved to %s", __func__, __LINE__,
                   path.c_str(), strerror(errno), aside.c_str());
    if (rename(path.c_str(), aside.c_str()) == 0) return 0;
    Debug_WriteLog(1, "%s.%d : %s cannot be moved aside, %s", __func__, __LINE__, path.c_str(),
                   strerror(errno));
    return -1;
}

bool Common_Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool Common_MicroSdPresent() {
    return Common_Exists(Common_SysPath("/dev/mmcblk1p1"));
}

bool Common_MicroSdMounted() {
    if (!Common_MicroSdPresent()) return false;
    const std::string point = Common_SysPath("/media/mmcblk1p1");
    struct stat st, up;
    if (stat(point.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (stat(Common_SysPath("/media").c_str(), &up) == 0 && st.st_dev != up.st_dev) return true;
    // The same device: a bind mount or a file system mounted from the same one would look
    // like this too, so the mount table decides.
    FILE* f = fopen(Common_SysPath("/proc/mounts").c_str(), "re");
    if (!f) return false;
    bool mounted = false;
    char line[1024], dir[512];
    while (!mounted && fgets(line, sizeof line, f))
        mounted = sscanf(line, "%*s %511s", dir) == 1 && strcmp(dir, "/media/mmcblk1p1") == 0;
    fclose(f);
    return mounted;
}

int Common_OpenRegular(const std::string& path, int flags, unsigned mode) {
    int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    if (!(flags & O_NONBLOCK)) {
        int fl = fcntl(fd, F_GETFL);
        if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    return fd;
}

FILE* Common_FopenRegular(const std::string& path, const char* fmode) {
    int flags = 0;
    bool plus = strchr(fmode, '+') != nullptr;
    switch (fmode[0]) {
    case 'r':
        flags = plus ? O_RDWR : O_RDONLY;
        break;
    case 'w':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        break;
    case 'a':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    int fd = Common_OpenRegular(path, flags);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, fmode);
    if (!f) {
        int e = errno;
        close(fd);
        errno = e;
    }
    return f;
}

void Common_SetFault(const char* pathPrefix, int err, int ops) {
    std::lock_guard<std::mutex> g(common.faultLock);
    common.faultRead = true;
    common.faultPrefix = pathPrefix ? pathPrefix : "";
    common.faultErr = common.faultPrefix.empty() ? 0 : err;
    common.faultOps = common.faultPrefix.empty() ? 0 : ops;
}

int Common_FaultFor(const std::string& path, int op) {
    std::lock_guard<std::mutex> g(common.faultLock);
    if (!common.faultRead) {
        common.faultRead = true;
        const char* env = getenv("KEST_FAULT");
        const char* colon = env ? strchr(env, ':') : nullptr;
        if (colon && colon[1]) {
            std::string kind(env, size_t(colon - env));
            if (kind == "enospc") {
                common.faultErr = ENOSPC;
                common.faultOps = COMMON_FAULT_WRITE | COMMON_FAULT_SYNC;
            } else if (kind == "eacces") {
                common.faultErr = EACCES;
                common.faultOps = COMMON_FAULT_OPEN;
            }
            if (common.faultErr)
                common.faultPrefix = colon + 1;
            else
                DBG_ERR("unknown KEST_FAULT kind \"%s\"", kind.c_str());
        }
    }
    if (common.faultPrefix.empty() || !(common.faultOps & op)) return 0;
    if (path.compare(0, common.faultPrefix.size(), common.faultPrefix) == 0) return common.faultErr;
    if (!path.empty() && path[0] != '/') {
        std::string rel = path.compare(0, 2, "./") == 0 ? path.substr(2) : path;
        std::string abs = Common_HomeDir() + "/" + rel;
        if (abs.compare(0, common.faultPrefix.size(), common.faultPrefix) == 0)
            return common.faultErr;
    }
    return 0;
}

int Common_IoOpen(const std::string& path, int flags, unsigned mode) {
    if (int err = Common_FaultFor(path, COMMON_FAULT_OPEN)) {
        errno = err;
        return -1;
    }
    return open(path.c_str(), flags | O_CLOEXEC, mode);
}

long Common_IoWrite(const std::string& path, int fd, const void* data, size_t len) {
    if (int err = Common_FaultFor(path, COMMON_FAULT_WRITE)) {
        errno = err;
        return -1;
    }
    ssize_t n;
    do {
        n = write(fd, data, len);
    } while (n < 0 && errno == EINTR);
    return long(n);
}

int Common_IoSync(const std::string& path, int fd) {
    if (int err = Common_FaultFor(path, COMMON_FAULT_SYNC)) {
        errno = err;
        return -1;
    }
    return fdatasync(fd);
}

int Common_IoRemoveAll(const std::string& path) {
    if (int err = Common_FaultFor(path, COMMON_FAULT_REMOVE)) {
        errno = err;
        return -1;
    }
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (!ec) return 0;
    errno = ec.value();
    return -1;
}

int Common_IoMkdirP(const std::string& path) {
    if (int err = Common_FaultFor(path, COMMON_FAULT_OPEN)) {
        errno = err;
        return -1;
    }
    return Common_MkdirP(path);
}
