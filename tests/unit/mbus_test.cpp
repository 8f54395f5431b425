// Modbus link against a real libmodbus server on loopback: connect, start-up registers,
// reads with their function codes, the retry and the tool-lost rules, the mirror.
#include "toollink_support.h"

#include "debug.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <future>
#include <modbus.h>

using namespace toollink_test;

namespace {

TEST(MbusAddr, RangeCheck) {
    struct Case {
        int addr, count, want;
    } cases[] = {{5995, 5, 0}, {5995, 6, 1}, {0, 6000, 0}, {0, 6001, 1},
                 {-1, 1, 1},   {5999, 1, 0}, {6000, 0, 0}, {6000, 1, 1}};
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(CheckMbusAddr(c.addr, c.count, "caller", 7), c.want) << c.addr << "+" << c.count;
        if (c.want) {
            EXPECT_TRUE(log.contains("caller.7 : addr out of range, " + std::to_string(c.addr) +
                                     "-" + std::to_string(c.count)));
        }
    }
}

TEST(MbusConnect, RefusedConnectFailsAtOnce) {
    int port = freeTcpPortPair();
    modbus_t* ctx = Modbus_NewCtx(0x7f000001, uint16_t(port));
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(Modbus_ConnectTimeout(ctx, 0x7f000001, uint16_t(port), 2000), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    modbus_free(ctx);
}

class Mbus : public DriverFixture {
  protected:
    void SetUp() override { startDriver(); }
    // Registers a tool at 127.0.0.1:port and runs its connect request here.
    int addTool(int port, uint8_t type = TOOL_TYPE_ZQ, uint8_t mac = 1) {
        feedAck(makeInfo(mac, type, 0x7f000001, uint16_t(port), "T"));
        int tdx = ToolManager_GetRegToolsLen();
        EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
        takeConnects();
        Modbus_MsgQProc_Connect(tdx);
        sink.drain();
        return tdx;
    }
    uint32_t state(int tdx) {
        ToolManager_LockRegTools();
        uint32_t s = ToolManager_RegTool(tdx)->state;
        ToolManager_UnlockRegTools();
        return s;
    }
    int port = freeTcpPortPair();
};

TEST_F(Mbus, ConnectWritesTheStartUpRegistersAndReadsTorqueLimits) {
    TestToolServer tool(port);
    tool.setHolding(260, 2);
    tool.setHolding(1002, 50);
    tool.setHolding(2002, 900);
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(port)));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    takeConnects();
    sink.drain();
    Modbus_MsgQProc_Connect(0);
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    EXPECT_EQ(sink.drain(), (std::vector<Event>{{"regtools", 0, 3}}));
    EXPECT_EQ(tool.writes(),
              (std::vector<std::pair<int, int>>{{4001, 1}, {259, 0}, {4100, 0}, {4015, 0}}));
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->torqueUnit, 2);
    EXPECT_EQ(ToolManager_RegTool(0)->torqueMin, 50);
    EXPECT_EQ(ToolManager_RegTool(0)->torqueMax, 900);
    ToolManager_UnlockRegTools();
    EXPECT_TRUE(waitFor([&] { return tool.eventConnected(); }));
    // A second request with both connections up reconnects nothing, it only reports.
    tool.clearLog();
    Modbus_MsgQProc_Connect(0);
    EXPECT_TRUE(tool.requests().empty());
    EXPECT_EQ(sink.drain(), (std::vector<Event>{{"regtools", 0, 3}}));
}

TEST_F(Mbus, ControllerOnTheMonitorScreenIsLeftUnlocked) {
    TestToolServer tool(port);
    Modbus_SetScreenCode(SCREEN_CODE_MONITOR);
    addTool(port, TOOL_TYPE_XWTC);
    auto w = tool.writes();
    ASSERT_GE(w.size(), 2u);
    EXPECT_EQ(w[0], std::make_pair(4001, 0));
    EXPECT_EQ(w[1], std::make_pair(277, 0));
    auto r = tool.requests();
    EXPECT_NE(std::find(r.begin(), r.end(), std::make_pair(3, 252)), r.end());
}

TEST_F(Mbus, ConnectStatesFailedAndHalf) {
    LogCapture log;
    int tdx = addTool(port); // nobody listens
    EXPECT_EQ(state(tdx), TOOL_STATE_FAILED);
    EXPECT_TRUE(log.contains("Failed to connect (modbus)"));
    EXPECT_TRUE(log.contains("Failed to connect (event)"));
    TestToolServer dataOnly(port, false);
    Modbus_MsgQProc_Connect(tdx);
    EXPECT_EQ(state(tdx), TOOL_STATE_HALF);
    EXPECT_EQ(sink.drain(), (std::vector<Event>{{"regtools", 0, 4}}));
}

TEST_F(Mbus, ReadFunctionDependsOnTheAddressOnBothAttempts) {
    TestToolServer tool(port);
    addTool(port);
    struct Case {
        int addr, fn;
    } cases[] = {{3000, 4}, {4999, 4}, {2999, 3}, {5000, 3}};
    for (const auto& c : cases) {
        tool.clearLog();
        tool.dropNext = 1; // first attempt times out, the retry is answered
        EXPECT_EQ(Modbus_Read(0, c.addr, 1, 1), 0) << c.addr;
        EXPECT_EQ(tool.requests(),
                  (std::vector<std::pair<int, int>>{{c.fn, c.addr}, {c.fn, c.addr}}))
            << c.addr;
    }
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
}

TEST_F(Mbus, ReadFillsTheMirrorAndAFailedRetryDismissesTheTool) {
    TestToolServer tool(port);
    addTool(port);
    tool.setHolding(100, 11);
    tool.setHolding(101, 22);
    tool.setInput(3303, 7);
    ASSERT_EQ(Modbus_Read(0, 100, 2, 1), 0);
    ASSERT_EQ(Modbus_Read(0, 3303, 1, 1), 0);
    EXPECT_EQ(Modbus_GetData(0, 100), 11);
    EXPECT_EQ(Modbus_GetData(0, 101), 22);
    EXPECT_EQ(Modbus_GetData(8, 6101), 22); // index and address wrap
    EXPECT_EQ(Modbus_GetData(0, 3303), 7);
    EXPECT_EQ(Modbus_GetData(-1, 100), 0);
    ToolManager_SetCurrTdx(0);
    tool.silent = true;
    LogCapture log;
    EXPECT_EQ(Modbus_Read(0, 100, 2, 1), MBUS_ERR_DISMISSED);
    EXPECT_TRUE(log.contains("failed to read ("));
    EXPECT_TRUE(log.contains("), 0.100-2"));
    EXPECT_EQ(Modbus_GetData(0, 100), 0); // no stale values
    EXPECT_EQ(Modbus_GetData(0, 101), 0);
    EXPECT_EQ(Modbus_GetData(0, 3303), 7);
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
    EXPECT_EQ(sink.drain(), (std::vector<Event>{{"curr_tdx", -1}, {"regtools", 0, 0}}));
    EXPECT_EQ(Modbus_Read(0, 3303, 1, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(Modbus_GetData(0, 3303), 0);
}

TEST_F(Mbus, RefusedWritesReturnFiveAndKeepTheTool) {
    TestToolServer tool(port);
    addTool(port);
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    LogCapture log;
    EXPECT_EQ(Modbus_Write(0, 6500, 1, 1), MBUS_ERR_WRITE); // outside the tool's map
    EXPECT_EQ(log.count("failed to write ("), 2u);          // the retry note and the failure
    EXPECT_TRUE(log.contains("0.6500-1, do retry"));
    EXPECT_FALSE(log.contains("do dismiss"));
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    EXPECT_EQ(Modbus_Write(0, 4004, 3, 1), 0);
    EXPECT_EQ(tool.holding(4004), 3);
}

TEST_F(Mbus, WriteOnALinkTheToolClosedDismissesTheTool) {
    auto tool = std::make_unique<TestToolServer>(port);
    addTool(port);
    tool.reset(); // the tool restarts: its end of the data link is gone
    LogCapture log;
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_DISMISSED);
    EXPECT_TRUE(log.contains("0.4001-1, do dismiss"));
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
}

TEST_F(Mbus, WritesTimingOutTwiceDismissTheTool) {
    TestToolServer tool(port);
    addTool(port);
    tool.silent = true;
    LogCapture log;
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_DISMISSED);
    EXPECT_TRUE(log.contains("0.4001-1, do dismiss"));
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(sink.drain(), (std::vector<Event>{{"regtools", 0, 0}}));
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_NOT_CONNECTED);
}

TEST_F(Mbus, BadIndexesAreRefusedWithoutTraffic) {
    TestToolServer tool(port);
    addTool(port);
    tool.clearLog();
    EXPECT_EQ(Modbus_Read(1, 0, 1, 1), MBUS_ERR_TDX);
    EXPECT_EQ(Modbus_Write(-1, 0, 1, 1), MBUS_ERR_TDX);
    EXPECT_EQ(Modbus_Read(0, 5995, 6, 1), MBUS_ERR_RANGE);
    EXPECT_TRUE(tool.requests().empty());
}

TEST_F(Mbus, LockHelpersWriteEveryTool) {
    TestToolServer a(port);
    int port2 = port + 2;
    TestToolServer b(port2);
    addTool(port, TOOL_TYPE_ZQ, 1);
    addTool(port2, TOOL_TYPE_XWC, 2);
    a.clearLog();
    b.clearLog();
    tool_lock_all_except_tdx(1);
    EXPECT_EQ(a.writes(), (std::vector<std::pair<int, int>>{{4001, 1}}));
    EXPECT_EQ(b.writes(), (std::vector<std::pair<int, int>>{{4001, 0}}));
    autolock_off_all();
    tool_unlock_all();
    EXPECT_EQ(a.holding(264), 0);
    EXPECT_EQ(a.holding(4001), 0);
    tool_lock_all();
    EXPECT_EQ(a.holding(4001), 1);
    EXPECT_EQ(b.holding(4001), 1);
}

TEST_F(Mbus, TextRegistersTwoCharactersEach) {
    uint16_t regs[16];
    Mbus_EncodeText("ab", regs);
    EXPECT_EQ(regs[0], 0x6162);
    for (int i = 1; i < 16; ++i)
        EXPECT_EQ(regs[i], 0) << i;
    Mbus_EncodeText("abc", regs);
    EXPECT_EQ(regs[1], 0x6300);
    char text[33];
    Mbus_DecodeText(regs, text);
    EXPECT_STREQ(text, "abc");
    uint16_t full[16];
    for (auto& r : full)
        r = 0x4142;
    Mbus_DecodeText(full, text);
    EXPECT_EQ(strlen(text), 32u);
}

class MbusQueue : public DriverFixture {};

TEST_F(MbusQueue, ConnectRequestsRunOnTheModbusLoop) {
    startDriver(false); // the real queue on loop "C"
    int port = freeTcpPortPair();
    TestToolServer tool(port);
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(port)));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    // The state is set before the event is queued: wait for the event itself.
    std::vector<Event> ev;
    EXPECT_TRUE(waitFor([&] {
        for (const Event& e : sink.drain())
            ev.push_back(e);
        return std::find(ev.begin(), ev.end(), Event{"regtools", 0, 3}) != ev.end();
    })) << ::testing::PrintToString(ev);
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->state, uint32_t(TOOL_STATE_CONNECTED));
    ToolManager_UnlockRegTools();
}

TEST_F(MbusQueue, RequestFollowsItsToolWhenAReleaseRenumbersTheTable) {
    startDriver(false);
    int portA = freeTcpPortPair();
    TestToolServer a(portA);
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(portA), "A"));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    auto state = [](int tdx) {
        ToolManager_LockRegTools();
        RegToolRecord* r = ToolManager_RegTool(tdx);
        uint32_t s = r ? r->state : 99;
        ToolManager_UnlockRegTools();
        return s;
    };
    ASSERT_TRUE(waitFor([&] { return state(0) == TOOL_STATE_CONNECTED; }));
    // Hold loop 3 so the next request waits in its queue while tool 0 is released.
    struct Hold {
        std::promise<void> go;
        std::shared_future<void> gate;
        std::atomic<bool> held{false};
        ~Hold() { // a failed assertion must not leave the loop held
            try {
                go.set_value();
            } catch (const std::future_error&) {
            }
        }
    } hold;
    hold.gate = hold.go.get_future().share();
    g_main_context_invoke(
        Threads_GetContext(LOOP_MODBUS),
        [](gpointer p) {
            auto* h = static_cast<Hold*>(p);
            h->held = true;
            h->gate.wait();
            return gboolean(G_SOURCE_REMOVE);
        },
        &hold);
    ASSERT_TRUE(waitFor([&] { return hold.held.load(); }));
    int portB = freeTcpPortPair();
    TestToolServer b(portB);
    feedAck(makeInfo(2, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(portB), "B"));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0); // B is tool 1, its request queued
    ASSERT_EQ(state(1), uint32_t(TOOL_STATE_CONNECTING));
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0); // B becomes tool 0
    hold.go.set_value();
    EXPECT_TRUE(waitFor([&] { return state(0) == TOOL_STATE_CONNECTED; })) << "state " << state(0);
    EXPECT_TRUE(waitFor([&] { return b.eventConnected(); })) << "its event link is up too";
}

} // namespace
