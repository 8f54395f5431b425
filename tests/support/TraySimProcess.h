// Runs sim/traysim as a child process for a test: its pty, optionally linked into the
// sysroot as a serial node, and its script on standard input (one reply line each).
#pragma once

#include "ChildProcess.h"

#include <string>
#include <vector>

#ifndef SIM_BIN_DIR
#error SIM_BIN_DIR must be defined
#endif

class TraySimProcess {
  public:
    explicit TraySimProcess(const std::vector<std::string>& args) {
        std::vector<std::string> argv{std::string(SIM_BIN_DIR) + "/traysim/traysim"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string first;
        if (proc_.start(argv, {.stderrToo = false}) && proc_.nextLine(&first) &&
            first.rfind("pty ", 0) == 0)
            pty_ = first.substr(4);
    }
    // Ends the simulator ("quit"), or kills it when it does not go.
    ~TraySimProcess() {
        if (proc_.write("quit\n")) proc_.wait(int(kest_test::kWaitLimit.count()));
    }

    const std::string& pty() const { return pty_; }
    // Sends one command and returns its reply line.
    std::string send(const std::string& cmd) {
        std::string reply;
        return proc_.write(cmd + "\n") && proc_.nextLine(&reply) ? reply : "";
    }

  private:
    ChildProcess proc_;
    std::string pty_;
};
