// Runs sim/traysim as a child process for a test: its pty, optionally linked into the
// sysroot as a serial node, and its script on standard input (one reply line each).
#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef SIM_BIN_DIR
#error SIM_BIN_DIR must be defined
#endif

class TraySimProcess {
  public:
    explicit TraySimProcess(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            std::string bin = std::string(SIM_BIN_DIR) + "/traysim/traysim";
            std::vector<char*> argv{const_cast<char*>(bin.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toSim_ = fdopen(in[1], "w");
        fromSim_ = fdopen(out[0], "r");
        std::string first = line();
        if (first.rfind("pty ", 0) == 0) pty_ = first.substr(4);
    }
    ~TraySimProcess() { stop(); }
    TraySimProcess(const TraySimProcess&) = delete;
    TraySimProcess& operator=(const TraySimProcess&) = delete;

    const std::string& pty() const { return pty_; }
    // Sends one command and returns its reply line.
    std::string send(const std::string& cmd) {
        if (!toSim_) return {};
        fprintf(toSim_, "%s\n", cmd.c_str());
        fflush(toSim_);
        return line();
    }
    // Ends the simulator ("quit"); returns its exit status.
    int stop() {
        if (pid_ <= 0) return -1;
        if (toSim_) {
            fprintf(toSim_, "quit\n");
            fclose(toSim_);
            toSim_ = nullptr;
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (fromSim_) fclose(fromSim_);
        fromSim_ = nullptr;
        return status;
    }

  private:
    std::string line() {
        char buf[512];
        if (!fromSim_ || !fgets(buf, sizeof buf, fromSim_)) return {};
        std::string s = buf;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }
    pid_t pid_ = -1;
    FILE* toSim_ = nullptr;
    FILE* fromSim_ = nullptr;
    std::string pty_;
};
