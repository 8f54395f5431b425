// A full disk for one call: runs `fn` in a forked child whose files may not grow beyond
// `bytes` (RLIMIT_FSIZE, SIGXFSZ ignored, so writes past it fail with EFBIG as on a full
// file system) and returns what `fn` returned (0..255), or -1 when the child died.
// Call it only while the test process runs no threads that the child would need.
#pragma once

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kest_test {

template <class Fn> int RunWithFileSizeLimit(rlim_t bytes, Fn&& fn) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit r = {bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(255);
        _exit(fn() & 0xff);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kest_test
