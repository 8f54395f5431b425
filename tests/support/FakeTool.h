// Virtual tools for the tool-link tests and benchmarks: toolsim's own code serving the
// register map over Modbus/TCP, the event connection on port + 1 and discovery, driven
// by toolsim's command lines, either inside the test process (FakeTool) or as the
// toolsim program (ToolsimProcess, used across the simulated cell's namespaces).
#pragma once

#include "ChildProcess.h"
#include "Wait.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace toolsim {
class Sim;
}

// How long the virtual tools of the tests wait for an acknowledgement before they give
// an event up. The panel acknowledges once the result's line is flushed to disk, which a
// disk hog can delay for seconds; the tool's own 1 s default would then count the event
// delivered and take the late acknowledgement for the next one. Callers may override.
inline constexpr const char* kTestAckWaitMs = "30000";

// A registered tool's 80-byte "./regtools" record as the panel saves it: serial "SER",
// MAC 02:00:5e:10:20:`macLast`.
std::string regRecord(const char* name, uint8_t macLast, uint8_t type = 2 /* ZQ */,
                      uint32_t model = 1234);

// Points the panel's discovery (the KEST_DISCO_* environment read by Disco_Init) at
// loopback: both endpoints on `port`, the Ethernet one on any address (it takes what is
// sent to 127.0.0.2), the Wi-Fi one on `wlanAddr`; scans go to 127.0.0.1:`dest`. Free
// ports where 0 (nobody is at `dest` then unless the test listens there).
void SetLoopbackDisco(const char* wlanAddr = "127.0.0.1", int port = 0, int dest = 0);

// The control side of a running toolsim.
class Toolsim {
  public:
    virtual ~Toolsim();
    bool ok() const { return fd_ >= 0; }
    // One command line ("fasten 0 ok torque=42", see toolsim --help); its answer line.
    std::string cmd(const std::string& line);
    // Waits inside toolsim until every condition holds for tool `t` ("event=1",
    // "acked>=4", "r4015=1"); false at the deadline, which only bounds the wait (an
    // acknowledgement waits for a flush that a loaded disk can hold up for seconds).
    bool wait(int t, const std::string& conds, int ms = int(kest_test::kWaitLimit.count()));
    // Value of `key` in "stats T", -1 when missing.
    long stat(int t, const std::string& key);
    // Requests on tool t's data connections since the last call: "4001=1 3:260 ...".
    std::string trace(int t);
    // Holding register `reg` of tool t.
    long reg(int t, int reg);

  protected:
    int fd_ = -1;

  private:
    std::string rx_;
};

// toolsim's virtual tools served by a thread of this process.
class FakeTool : public Toolsim {
  public:
    // toolsim's own options ("--tool 2,ip=127.0.0.11,port=20100", "--disco ...").
    explicit FakeTool(const std::vector<std::string>& args);
    ~FakeTool() override;

    // Tools of the given types on loopback: tool i at 127.0.0.(11 + i), all on one free
    // port pair, discovery answered from a free port. Points the panel's discovery at it
    // (SetLoopbackDisco): scans go to the tools, answers reach the Ethernet endpoint. Null
    // when no free ports were found.
    static std::unique_ptr<FakeTool> onLoopback(const std::vector<int>& types,
                                                const std::vector<std::string>& extra = {});
    static std::string loopbackIp(int i) { return "127.0.0." + std::to_string(11 + i); }
    static std::string spareIp(int i) { return "127.0.0." + std::to_string(31 + i); }
    uint16_t port() const { return port_; }
    // Tool i's scan answer as toolsim sends it (for tests feeding Disco_Proc directly).
    std::vector<uint8_t> ack(int i) const { return acks_.at(size_t(i)); }

  private:
    std::unique_ptr<toolsim::Sim> sim_;
    std::vector<std::vector<uint8_t>> acks_;
    std::thread thread_;
    uint16_t port_ = 0;
};

// The toolsim program as a child process, with a control socket.
class ToolsimProcess : public Toolsim {
  public:
    explicit ToolsimProcess(const std::vector<std::string>& args);
    ~ToolsimProcess() override;
    int pid() const { return proc_.pid(); } // its network namespace is the tools' side

  private:
    ChildProcess proc_;
    std::string dir_;
};
