// The board seam: data home, sysroot, command runner, clock and atomic file writes.
// Every access of the panel to the outside world goes through these few functions.
#pragma once

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

// Data home: the working directory ("/home/dromik" on the board). `Common_SetHome`
// creates it if missing and changes into it; returns 0 or -1.
int Common_SetHome(const char* dir);
const std::string& Common_HomeDir();
// Absolute path of a file under the data home ("files/job" -> "/home/dromik/files/job").
std::string Common_HomePath(const std::string& rel);

// Sysroot prefix for /dev, /sys, /proc, /media, /var/run paths (empty on the board).
// Read from KEST_SYSROOT at first use; tests may set it explicitly.
void Common_SetSysroot(const char* root);
const std::string& Common_Sysroot();
std::string Common_SysPath(const std::string& abs);

// Shell quoting: the value becomes one literal word for /bin/sh.
std::string Common_ShellQuote(const std::string& value);
// Runs a shell command line through /bin/sh, as the board's programs expect. Callers
// build the line with Common_ShellQuote for every interpolated value. Exit status is
// returned (-1 when the shell could not be started); most callers ignore it.
int Common_System(const std::string& cmdline);
// Runs a program with arguments (each quoted) and, optionally, text on its standard
// input so secrets never appear on a command line.
int Common_Run(const std::vector<std::string>& argv, const std::string* stdinText = nullptr);
// Runs a program and captures its standard output (up to `max` bytes).
int Common_RunCapture(const std::vector<std::string>& argv, std::string& out, size_t max = 65536);
// Starts a program (no shell) in a process group of its own and returns at once with its
// process id, or -1. The caller owns the child: it stays unreaped until Common_StopChild,
// so its number cannot be reused by another process meanwhile and a stop never hits a
// stranger.
int Common_Spawn(const std::vector<std::string>& argv);
// Stops a child started by Common_Spawn and the helpers it forked (its process group):
// SIGTERM to the child, at most `graceMs` for it to end, then SIGKILL to what is left of
// its group; reaps the child. Returns its exit status (128 + signal), -1 for no such child.
int Common_StopChild(int pid, int graceMs = 3000);

// Clock: local time of the panel. Tests may pin it or shift it.
time_t Common_Now();
void Common_LocalTime(struct tm* out);
void Common_SetFixedTime(time_t t); // 0 returns to the real clock
void Common_ClearFixedTime();

// Replaces `path` atomically with `len` bytes: temporary file in the same folder,
// fsync, rename, fsync of the folder. Returns 0 or -1; on failure the old file stays,
// errno holds the failed call's error and `failed` (when given) the step that failed.
enum CommonWriteStep {
    COMMON_WRITE_NONE = 0,
    COMMON_WRITE_OPEN,   // creating the temporary file
    COMMON_WRITE_DATA,   // writing the bytes
    COMMON_WRITE_SYNC,   // fsync or close of the temporary file
    COMMON_WRITE_RENAME, // putting it in place
};
int Common_WriteFileAtomic(const std::string& path, const void* data, size_t len,
                           CommonWriteStep* failed = nullptr);
// Test hook: fail the atomic writer after `bytes` bytes of payload (-1 = never).
void Common_SetWriteFailAfter(long bytes);

// Fault seam of the result log's I/O: the calls below behave as open/write/fdatasync,
// except that under a path prefix chosen by a test they fail with an error code. Tests
// call Common_SetFault; a process reads KEST_FAULT once ("enospc:<prefix>" fails writes
// and flushes, "eacces:<prefix>" fails opens and folder creation). A relative path is
// matched both as given and under the data home.
enum CommonFaultOp {
    COMMON_FAULT_OPEN = 1,   // opening a file, creating a folder
    COMMON_FAULT_WRITE = 2,  // write()
    COMMON_FAULT_SYNC = 4,   // fdatasync()
    COMMON_FAULT_REMOVE = 8, // removing a file or a tree
};
// `ops` is a mask of CommonFaultOp; a null or empty prefix clears the fault.
void Common_SetFault(const char* pathPrefix, int err, int ops);
// The error to fail `op` on `path` with, 0 for none.
int Common_FaultFor(const std::string& path, int op);
int Common_IoOpen(const std::string& path, int flags, unsigned mode = 0666);
long Common_IoWrite(const std::string& path, int fd, const void* data, size_t len);
int Common_IoSync(const std::string& path, int fd);
int Common_IoMkdirP(const std::string& path);
// Removes `path` and everything under it (nothing there is not an error). 0, or -1 with
// errno set.
int Common_IoRemoveAll(const std::string& path);

// Creates a directory and its missing parents (mode 0777). Returns 0 or -1.
int Common_MkdirP(const std::string& path, unsigned mode = 0777);
// Reads a whole (small) regular file, never blocking (Common_OpenRegular); 0 or -1.
int Common_ReadFile(const std::string& path, std::string& out, size_t max = 1 << 24);
// A file that exists but cannot be read is renamed to "<path>.unreadable" (logged), so the
// next save of defaults or an empty table does not destroy it. 0 when moved.
int Common_MoveAsideUnreadable(const std::string& path);
bool Common_Exists(const std::string& path);
// The micro-SD card is in its slot (its block device exists under the sysroot). Log and
// start-up checks use it to choose between internal storage and the card.
bool Common_MicroSdPresent();
// The card is present and its file system is mounted on "/media/mmcblk1p1" (the folder
// lies on another device than its parent, or the mount table "/proc/mounts" names it).
// Until then that folder is on the internal flash: what is written there is hidden once
// the card is mounted over it, so the result log writes to the card only when this holds.
bool Common_MicroSdMounted();
// Opens `path` only when it is a regular file, without ever blocking: a FIFO, device or
// folder put where a data file belongs (a restored archive can bring one) would hang the
// open or the read. `flags` are open(2) flags (O_NONBLOCK is added for the open and
// cleared after; O_CLOEXEC always). Returns the descriptor, or -1 with errno set (EINVAL
// for a file that is not regular).
int Common_OpenRegular(const std::string& path, int flags, unsigned mode = 0666);
// The same as a stdio stream ("r", "rb", "w"...); nullptr with errno set.
FILE* Common_FopenRegular(const std::string& path, const char* fmode);
