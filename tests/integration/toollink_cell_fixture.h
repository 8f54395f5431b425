// Fixture of the tests that run the panel's driver layer on the panel's side of the cell
// against toolsim on the tools' side: driver-event recording, waiting, tool helpers.
#pragma once

#include "panel_cell.h"

#include "TestEnv.h"
#include "ToolEventSink.h"
#include "debug.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "tools_private.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace cell_test {

using harness::PanelCell;
using harness::Toolsim;

using Ev = kest_test::ToolEvent;
// Records the driver events; drained on the test thread.
using Sink = kest_test::ToolEventSink;

class ToolLinkCell : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!cell_.up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
    }
    void TearDown() override {
        EwDriver_Deinitialize();
        sim_.reset();
        cell_.down();
    }

    // toolsim with one tool per type in `types`, tool i at 10.77.0.11 + i, port 5020.
    void startTools(const std::vector<int>& types, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--bind", PanelCell::toolIp(0)};
        for (size_t i = 0; i < types.size(); i++) {
            args.push_back("--tool");
            args.push_back(std::to_string(types[i]) +
                           ",ip=" + PanelCell::toolIp(static_cast<int>(i)) + ",port=5020");
        }
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = cell_.startToolsim(args);
        ASSERT_TRUE(sim_ && sim_->ok());
    }

    // The driver layer as at start-up, with the Ethernet endpoint joined on eth0 (what
    // the link monitor does when the address appears).
    void startDriver() {
        // The board's files, so the other modules start quietly.
        const std::string sys = env_.sysroot();
        ASSERT_EQ(
            std::system((std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + sys).c_str()),
            0);
        TestEnv::writeFile(sys + "/sys/class/backlight/pwm-backlight/brightness", "100\n");
        setenv("KEST_DISCO_WLAN_ADDR", "127.0.0.1", 1); // no access point in the cell
        ASSERT_EQ(EwDriver_Initialize(&sink_), 0);
        ASSERT_EQ(Disco_Join_McGroup(Disco_GetSocket_Eth(), PanelCell::kPanelIp), 0);
        drain();
        sink_.events.clear();
    }

    void drain() { EwDriver_ProcessData(); }
    std::vector<Ev> take() {
        drain();
        std::vector<Ev> out;
        out.swap(sink_.events);
        return out;
    }
    // Waits (delivering driver events) until `ev` was posted; keeps later events.
    bool waitEvent(const Ev& ev, int timeoutMs = 6000) {
        for (int waited = 0;; waited += 10) {
            drain();
            for (size_t i = 0; i < sink_.events.size(); i++)
                if (sink_.events[i] == ev) {
                    seen_.insert(seen_.end(), sink_.events.begin(),
                                 sink_.events.begin() + static_cast<long>(i) + 1);
                    sink_.events.erase(sink_.events.begin(),
                                       sink_.events.begin() + static_cast<long>(i) + 1);
                    return true;
                }
            if (waited >= timeoutMs) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    bool waitFor(const std::function<bool()>& cond, int timeoutMs = 6000) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            drain();
            if (cond()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return cond();
    }
    uint32_t state(int tdx) {
        ToolManager_LockRegTools();
        const RegToolRecord* r = ToolManager_RegTool(tdx);
        const uint32_t s = r ? r->state : 99;
        ToolManager_UnlockRegTools();
        return s;
    }
    std::string macOf(int tdx) {
        ToolManager_LockRegTools();
        const RegToolRecord* r = ToolManager_RegTool(tdx);
        std::string m = r ? std::string(reinterpret_cast<const char*>(r->mac), 6) : "";
        ToolManager_UnlockRegTools();
        return m;
    }
    // Scans, registers every discovered tool (in the order their acks came, which is
    // the tools' order) and waits until all are connected.
    void registerAll(int n) {
        Disco_Send_ScanReq(0);
        ASSERT_TRUE(waitFor([&] { return ToolManager_GetDiscoToolsLen() == n; }));
        for (int i = 0; i < n; i++)
            ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
        for (int i = 0; i < n; i++)
            ASSERT_TRUE(waitFor([&] { return state(i) == TOOL_STATE_CONNECTED; })) << i;
        take();
    }
    // One scan-timer tick (keep-alive passes, then a scan), then time for the answers.
    void tick() {
        Disco_Send_ScanReq(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        drain();
    }
    static std::string mac(int type, int index) {
        const char m[6] = {
            0x02, 0x4b, 0x53, 0x00, static_cast<char>(type), static_cast<char>(index + 1)};
        return std::string(m, 6);
    }

    TestEnv env_;
    PanelCell cell_;
    std::unique_ptr<Toolsim> sim_;
    Sink sink_;
    std::vector<Ev> seen_;
};

} // namespace cell_test
