// Fixture pieces of the registry and discovery tests: the driver layer with a connect
// queue that only records, tool records and scan answers.
#pragma once

#include "ToolCell.h"
#include "disco.h"
#include "mbus.h"
#include "tools_private.h"
#include "unit_common.h"

#include <glib.h>

namespace toollink_test {

using Lines = std::vector<std::string>;

// Starts the driver layer in the test's data home with the sink; then replaces the connect
// queue by one on a context nobody iterates, so requests are only counted.
class DriverFixture : public ::testing::Test {
  protected:
    void startDriver(bool recordConnects = true);
    // Pops queued connect requests, returning their tool indexes in order.
    std::vector<int> takeConnects();
    // Delivers driver events until `cond` holds (it must change with an event).
    bool waitFor(const std::function<bool()>& cond) { return sink.waitUntil(cond); }

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
// The registered tool's state (a failure when there is no such tool).
uint32_t toolState(int tdx);
// Puts registered tool `tdx` into `state` as the registry does, on `netif` when given.
void setToolState(int tdx, uint32_t state, int netif = -1);
// Feeds the scan ack toolsim would send for `info` through the datagram processor.
void feedAck(const ToolInfo& info, uint32_t netif = TOOL_NETIF_ETH, uint8_t busy = 0);

} // namespace toollink_test
