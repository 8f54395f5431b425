// Shared fixture pieces of the tool-link tests: a recording driver-event sink, a
// connect queue that only records, loopback discovery settings and tool records.
#pragma once

#include "TestEnv.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "threads.h"
#include "tools_private.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "ToolEventSink.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace toollink_test {

using Event = kest_test::ToolEvent;

class RecordingSink : public kest_test::ToolEventSink {
  public:
    // Delivers what is queued and returns it (the record is then cleared).
    std::vector<Event> drain() {
        EwDriver_ProcessData();
        std::vector<Event> out;
        out.swap(events);
        return out;
    }
};

// A free loopback port pair (p, p + 1) for TCP, found by binding both.
int freeTcpPortPair();
int freeUdpPort();

// Puts discovery on loopback: endpoints on a free port, scans sent to 127.0.0.1 on
// another free port (nobody is there unless the test listens), Wi-Fi bound to `wlanAddr`.
void setLoopbackDisco(const char* wlanAddr = "127.0.0.1");

// Waits until every worker loop has run a no-op: whatever they did before is finished
// and visible to the caller (used before a test process exits).
void quiesceLoops();

// Starts the driver layer in the test's data home with the sink; then replaces the connect
// queue by one on a context nobody iterates, so requests are only counted.
class DriverFixture : public ::testing::Test {
  protected:
    void startDriver(bool recordConnects = true);
    size_t pendingConnects() const;
    // Pops queued connect requests, returning their tool indexes in order.
    std::vector<int> takeConnects();

    TestEnv env;
    RecordingSink sink;
    GMainContext* idleCtx = nullptr;
    WorkQueue* recordQ = nullptr;
    std::vector<int> popped;
    // Closes every tool connection and discovery socket and waits until the worker loops
    // are idle, so nothing of the test still runs while the process exits.
    void TearDown() override;
    ~DriverFixture() override;
};

ToolInfo makeInfo(uint8_t macLast, uint8_t type = TOOL_TYPE_ZQ, uint32_t ip = 0x7f000001,
                  uint16_t port = 5020, const char* serial = "SN0001");
// Feeds a scan ack for `info` through the datagram processor.
void feedAck(const ToolInfo& info, uint32_t netif = TOOL_NETIF_ETH, uint8_t busy = 0);
// 80-byte "./regtools" record.
std::string regRecord(const char* name, uint8_t macLast, uint8_t type = TOOL_TYPE_ZQ,
                      uint32_t model = 1234);

} // namespace toollink_test

#include <atomic>
#include <mutex>
#include <thread>

typedef struct _modbus_mapping_t modbus_mapping_t;

namespace toollink_test {

// A virtual tool for the tests: a libmodbus server on 127.0.0.1:port (data) and a
// listener on port + 1 (event connection), served by one thread. Requests can be
// dropped (no answer) to provoke time-outs; pushed frames go out on the event link.
class TestToolServer {
  public:
    explicit TestToolServer(int port, bool withEventPort = true);
    ~TestToolServer();
    int port() const { return port_; }

    void setHolding(int addr, uint16_t v);
    void setInput(int addr, uint16_t v);
    uint16_t holding(int addr);
    // (function code, address) of every request received, in order.
    std::vector<std::pair<int, int>> requests();
    // (address, value) of every register write answered.
    std::vector<std::pair<int, int>> writes();
    void clearLog();
    std::atomic<int> dropNext{0}; // the next n requests get no answer
    std::atomic<bool> silent{false};

    // Waits for the event connection and writes raw bytes on it; false without a client.
    bool sendEvent(const std::vector<uint8_t>& bytes);
    bool eventConnected();

  private:
    void run();
    int port_;
    int dataListen_ = -1, eventListen_ = -1, dataClient_ = -1;
    std::atomic<int> eventClient_{-1};
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    modbus_mapping_t* map_ = nullptr;
    std::vector<std::pair<int, int>> requests_, writes_;
    std::thread thread_;
};

// Polls `cond` every 10 ms for up to 5 s (waiting for another thread, not timing it).
template <typename F> bool waitFor(F cond) {
    for (int i = 0; i < 500; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

} // namespace toollink_test
