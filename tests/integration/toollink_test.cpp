// The panel's tool link (discovery, registry, Modbus link) against virtual tools, in
// every cell: over loopback with toolsim's code in this process, and across the
// simulated cell's network namespaces with the toolsim program (root only).
#include "ToolCell.h"
#include "tools_private.h"

#include "debug.h"
#include "disco.h"
#include "mbus.h"
#include "operation.h"
#include "threads.h"
#include "tools.h"

#include <arpa/inet.h>
#include <future>
#include <glib.h>

using namespace std::chrono_literals;

namespace {

using ToolLink = ToolLinkTest;
TOOL_CELLS(ToolLink);

uint32_t hostIp(const std::string& text) {
    in_addr a{};
    inet_pton(AF_INET, text.c_str(), &a);
    return ntohl(a.s_addr);
}

// Start-up traffic of both families (the lock helpers the screens
// use are the device object's tool-link test's).
TEST_P(ToolLink, RegistrationConnectsWithTheStartUpTraffic) {
    ASSERT_TRUE(startTools({2, 1}));
    // Values the connection must change, and distinctive units to read.
    for (const char* c : {"set 0 4001 0", "set 0 4015 1", "set 0 259 1", "set 0 260 4",
                          "set 1 4001 0", "set 1 4015 2", "set 1 277 1", "set 1 252 3"})
        ASSERT_EQ(tools->cmd(c), "ok") << c;
    ASSERT_TRUE(startDriver());
    ASSERT_TRUE(registerAll());
    EXPECT_EQ(std::tuple(macOf(0), macOf(1)), std::tuple(mac(2, 0), mac(1, 1)));
    EXPECT_EQ(tools->trace(0), "4001=1 259=0 4100=0 4015=0 3:260 3:1002 3:2002");
    EXPECT_EQ(tools->trace(1), "4001=1 277=0 4100=0 4015=0 3:252 3:1002 3:2002");
    ToolManager_LockRegTools();
    const RegToolRecord a = *ToolManager_RegTool(0), b = *ToolManager_RegTool(1);
    ToolManager_UnlockRegTools();
    EXPECT_EQ(std::tuple(a.torqueUnit, b.torqueUnit, long(a.torqueMin), long(a.torqueMax)),
              std::tuple(4, 3, tools->reg(0, 1002), tools->reg(0, 2002)));
    EXPECT_LT(a.torqueMin, a.torqueMax);
    EXPECT_TRUE(tools->wait(0, "data=1 event=1") && tools->wait(1, "data=1 event=1"));
}

TEST_P(ToolLink, HalfConnectedToolGetsNoEventOutputAndAFailedOneIsReported) {
    ASSERT_TRUE(startTools({2}));
    ASSERT_EQ(tools->cmd("evport 0 off"), "ok");
    ASSERT_TRUE(startDriver());
    ASSERT_TRUE(scan());
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_TRUE(sink.next("update_regtools 0 4"));
    EXPECT_TRUE(log.contains("Failed to connect (event)"));
    EXPECT_FALSE(log.contains("Failed to connect (modbus)"));
    tools->trace(0);
    EXPECT_EQ(fastening_event_enable(0, 0), -1);
    EXPECT_TRUE(log.contains("tdx.0 has no event connection"));
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 0) << "only a connected tool is asked";
    EXPECT_EQ(tools->trace(0), "") << "no traffic";

    ToolManager_DismissTool_ByTdx(0, 1);
    ASSERT_EQ(tools->cmd("die 0"), "ok");
    Modbus_MsgQ_Push_Connect(0);
    EXPECT_TRUE(sink.next("update_regtools 0 5"));
    EXPECT_TRUE(log.contains("Failed to connect (modbus)"));
}

TEST_P(ToolLink, ReadFunctionDependsOnTheAddressAndAFailedRetryDismissesTheTool) {
    ASSERT_TRUE(bringUp({2}));
    tools->trace(0);
    EXPECT_EQ(Modbus_Read(1, 0, 1, 1), MBUS_ERR_TDX);
    EXPECT_EQ(Modbus_Write(-1, 0, 1, 1), MBUS_ERR_TDX);
    EXPECT_EQ(Modbus_Read(0, 5995, 6, 1), MBUS_ERR_RANGE);
    EXPECT_EQ(tools->trace(0), "") << "refused without traffic";
    for (int addr : {3000, 5000}) { // the first attempt goes unanswered, the retry is read
        ASSERT_EQ(tools->cmd("ignore 0 1"), "ok");
        EXPECT_EQ(Modbus_Read(0, addr, 1, 1), MBUS_OK) << addr;
    }
    EXPECT_EQ(Modbus_Read(0, 4999, 1, 1), MBUS_OK);
    EXPECT_EQ(Modbus_Read(0, 2999, 1, 1), MBUS_OK);
    EXPECT_EQ(tools->trace(0), "~4:3000 4:3000 ~3:5000 3:5000 4:4999 3:2999");
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);

    // A read fills the mirror; a failed retry dismisses the tool.
    for (const char* c : {"set 0 100 11", "set 0 101 22", "setin 0 3100 7"})
        ASSERT_EQ(tools->cmd(c), "ok");
    ASSERT_EQ(Modbus_Read(0, 100, 2, 1), MBUS_OK);
    ASSERT_EQ(Modbus_Read(0, 3100, 1, 1), MBUS_OK);
    // Index 8 and address 6101 wrap.
    EXPECT_EQ(
        (std::vector<int>{Modbus_GetData(0, 100), Modbus_GetData(0, 101), Modbus_GetData(8, 6101),
                          Modbus_GetData(0, 3100), Modbus_GetData(-1, 100)}),
        (std::vector{11, 22, 22, 7, 0}));
    ToolManager_SetCurrTdx(0);
    ASSERT_EQ(tools->cmd("silent 0"), "ok");
    EXPECT_EQ(Modbus_Read(0, 100, 2, 1), MBUS_ERR_DISMISSED);
    EXPECT_TRUE(log.contains("), 0.100-2"));
    EXPECT_EQ(Modbus_GetData(0, 100), 0) << "no stale values";
    EXPECT_EQ(Modbus_GetData(0, 101), 0);
    EXPECT_EQ(Modbus_GetData(0, 3100), 7) << "other registers keep theirs";
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
    EXPECT_EQ(sink.drain(),
              (std::vector<std::string>{"update_curr_tdx -1", "update_regtools 0 0"}));
    EXPECT_EQ(Modbus_Read(0, 3100, 1, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(Modbus_GetData(0, 3100), 0);
}

// With libmodbus's own link recovery a failed send to a dead tool is retried forever while
// the registered-table lock is held; the link uses protocol recovery only and its own rule.
TEST_P(ToolLink, ToolKilledMidReadOrWriteIsDismissedAfterTheRetry) {
    ASSERT_TRUE(bringUp({2}));
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1; // the retry note is informational
    ASSERT_EQ(tools->cmd("ignore 0 1"), "ok");
    auto read = std::async(std::launch::async, [] { return Modbus_Read(0, 1, 10, 1); });
    ASSERT_TRUE(tools->wait(0, "ignore=0")) << "the read reached the tool";
    ASSERT_EQ(tools->cmd("die 0"), "ok"); // and the tool goes away meanwhile
    if (read.wait_for(8s) != std::future_status::ready) {
        ADD_FAILURE() << "Modbus_Read did not return within 8 s of the tool's death";
        tools->cmd("revive 0"); // lets the stuck read reconnect and finish
    }
    EXPECT_EQ(read.get(), MBUS_ERR_DISMISSED);
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_TRUE(sink.next("update_regtools 0 0"));
    EXPECT_EQ(log.count("0.1-10, do retry"), 1u);
    EXPECT_EQ(log.count("failed to read"), 2u) << "the retry and the final failure";
    EXPECT_EQ(Modbus_GetData(0, 1), 0) << "mirror cleared";
    ASSERT_EQ(tools->cmd("revive 0"), "ok");
    ASSERT_TRUE(scan(1));
    EXPECT_TRUE(sink.next("update_regtools 0 3")) << "connected anew when it answers";

    // Failed writes are refused or dismiss the tool; the read's dismissal is logged already.
    const size_t dismissals = log.count("do dismiss");
    EXPECT_EQ(Modbus_Write(0, 6500, 1, 1), MBUS_ERR_WRITE) << "outside the tool's map";
    EXPECT_EQ(log.count("failed to write ("), 2u) << "the retry note and the failure";
    EXPECT_TRUE(log.contains("0.6500-1, do retry"));
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED) << "a refusal keeps the tool";
    EXPECT_EQ(Modbus_Write(0, 4004, 3, 1), MBUS_OK);
    EXPECT_EQ(tools->reg(0, 4004), 3);
    EXPECT_EQ(log.count("do dismiss"), dismissals);

    ASSERT_EQ(tools->cmd("drop 0"), "ok"); // the tool restarts: its end of the link is gone
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_DISMISSED);
    EXPECT_EQ(log.count("0.4001-1, do dismiss"), 1u);
    ASSERT_TRUE(sink.next("update_regtools 0 0"));
    ASSERT_TRUE(scan(1));
    ASSERT_TRUE(sink.next("update_regtools 0 3"));

    ASSERT_EQ(tools->cmd("silent 0"), "ok"); // both attempts time out
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_DISMISSED);
    EXPECT_EQ(log.count("0.4001-1, do dismiss"), 2u);
    EXPECT_TRUE(sink.next("update_regtools 0 0"));
    EXPECT_EQ(Modbus_Write(0, 4001, 1, 1), MBUS_ERR_NOT_CONNECTED);
}

TEST_P(ToolLink, AReleaseRenumbersTheOthersAndScansItsToolBack) {
    ASSERT_TRUE(bringUp({2, 3, 1}));
    // Releasing tool zero of three renumbers the others; the current index follows its tool.
    ToolManager_SetCurrTdx(2);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    EXPECT_TRUE(sink.next("update_regtools -1 -1"));
    EXPECT_EQ(std::tuple(ToolManager_GetRegToolsLen(), ToolManager_GetCurrTdx()), std::tuple(2, 1));
    EXPECT_EQ(std::tuple(macOf(0), macOf(1)), std::tuple(mac(3, 1), mac(1, 2)));
    EXPECT_TRUE(state(0) == TOOL_STATE_CONNECTED && state(1) == TOOL_STATE_CONNECTED);
    // The extra scan of the release brings the tool back among the discovered ones.
    EXPECT_TRUE(sink.waitUntil([] { return ToolManager_GetDiscoToolsLen() == 1; }));
    EXPECT_TRUE(tools->wait(0, "data=0 event=0")) << "its links closed";
    // The renumbered tools still answer reads at their new indexes.
    EXPECT_EQ(Modbus_Read(1, 252, 1, 1), MBUS_OK);
    EXPECT_EQ(Modbus_GetData(1, 252), tools->reg(2, 252));
}

TEST_P(ToolLink, AdvertisesReaddressTheLinksOnce) {
    ASSERT_TRUE(bringUp({2}));
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    struct Row {
        std::string ip;
        int port, cause;
    } rows[] = {
        {cell->spareIp(0), cell->port() + 100, 1}, // a new address and port
        {cell->spareIp(0), cell->port() + 200, 4}, // the same address, another port
        {cell->spareIp(0), cell->port() + 300, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.port);
        log.clear();
        sink.clear();
        const std::string port = str(r.port);
        ASSERT_EQ(tools->cmd("readdress 0 ip=" + r.ip + " port=" + port + " cause=" + str(r.cause)),
                  "ok");
        EXPECT_TRUE(sink.next("disconn flag 0 1"));
        EXPECT_TRUE(sink.next("update_regtools 0 3"));
        ToolManager_LockRegTools();
        EXPECT_EQ(ToolManager_RegTool(0)->ip, hostIp(r.ip));
        EXPECT_EQ(ToolManager_RegTool(0)->cause, r.cause);
        ToolManager_UnlockRegTools();
        EXPECT_EQ(log.count("Push connect msg"), 1u);
        EXPECT_EQ(log.count("Tdx.0, " + r.ip + ":" + port), 1u) << "one connect, on the new port";
        EXPECT_TRUE(tools->wait(0, "data=1 event=1"));
        EXPECT_EQ(sink.count("update_regtools 0 0"), 0u) << "not dismissed";
    }
}

// A connect request waiting on loop "C" while a release renumbers the table still
// connects its own tool.
TEST_P(ToolLink, ARequestFollowsItsToolWhenAReleaseRenumbers) {
    ASSERT_TRUE(startTools({2, 2}));
    ASSERT_TRUE(startDriver());
    ASSERT_TRUE(scan());
    ASSERT_EQ(ToolManager_GetDiscoToolsLen(), 2);
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_TRUE(waitState(0, TOOL_STATE_CONNECTED));
    struct Hold {
        std::promise<void> held, go;
        std::shared_future<void> gate = go.get_future().share();
        ~Hold() { // a failed assertion must not leave the loop held
            try {
                go.set_value();
            } catch (const std::future_error&) {
            }
        }
    } hold;
    g_main_context_invoke(
        Threads_GetContext(LOOP_MODBUS),
        [](gpointer p) {
            auto* h = static_cast<Hold*>(p);
            h->held.set_value();
            h->gate.wait();
            return gboolean(G_SOURCE_REMOVE);
        },
        &hold);
    ASSERT_EQ(hold.held.get_future().wait_for(5s), std::future_status::ready);
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0); // tool 1, its request queued
    ASSERT_EQ(state(1), uint32_t(TOOL_STATE_CONNECTING));
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0); // it becomes tool 0
    hold.go.set_value();
    EXPECT_TRUE(waitState(0, TOOL_STATE_CONNECTED)) << "state " << state(0);
    EXPECT_EQ(macOf(0), mac(2, 1));
    EXPECT_TRUE(tools->wait(1, "data=1 event=1")) << "both its links are up";
}

} // namespace
