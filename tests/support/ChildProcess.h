// A program a test runs as a child: its standard input on a pipe (or a descriptor of the
// test's), its output read by a thread of its own so a full pipe never stalls it, every
// wait blocking on the output or on the process's pidfd with a deadline. The child dies
// with the thread that started it (a test killed at its time limit leaves nothing behind)
// and lives in that thread's namespaces. Killed and reaped when the object goes.
#pragma once

#include "TestPaths.h"

#include "Wait.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class ChildProcess {
  public:
    struct Options {
        int stdinFd = -1;      // replaces the input pipe (a terminal, for example)
        bool stderrToo = true; // standard error into the output, or left as the test's
    };
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with these arguments; false when it could not be started.
    bool start(const std::vector<std::string>& argv, Options o);
    bool start(const std::vector<std::string>& argv) { return start(argv, Options()); }
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    int pidfd() const { return pidfd_; }
    // Writes to its standard input.
    bool write(const std::string& bytes);
    // Everything it has written so far.
    std::string output();
    // Until `needle` is in the output; false at the deadline or the end of the output.
    bool waitFor(const std::string& needle, int ms = int(kest_test::kWaitLimit.count()));
    // The next output line not taken before (without its line end); false at the deadline.
    bool nextLine(std::string* line, int ms = int(kest_test::kWaitLimit.count()));
    // Waits for its exit (blocking on the pidfd) and for the end of its output; returns
    // the exit status (128 + signal), or -1 when it still runs at the deadline.
    int wait(int ms);
    int status() const { return status_; }
    // SIGKILL if it still runs, then reaps it; the reader stops before the pipes close.
    void stop();

  private:
    void read();
    pid_t pid_ = -1;
    int pidfd_ = -1, in_ = -1, out_ = -1, wake_ = -1, status_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string output_;
    size_t taken_ = 0;
    bool ended_ = false;
};

// The environment a zqcapp child needs in a test: Qt's offscreen platform and a private
// runtime folder under `root`.
void SetPanelEnvironment(const std::string& root);
// What a shell command writes to its standard output, once it has ended.
std::string ShellOutput(const std::string& cmd);
