// The panel's tool link (registry, discovery, Modbus link) against toolsim over real
// networking: the driver layer on the panel's side of the cell (eth0), the virtual tools
// on the other side of the veth pair. Needs root; skipped otherwise.
#include "toollink_cell_fixture.h"

#include <atomic>

using namespace cell_test;

TEST_F(ToolLinkCell, DiscoversToolsOfEveryType) {
    startTools({1, 2, 3, 4});
    startDriver();
    Disco_Send_ScanReq(0);
    ASSERT_TRUE(waitFor([] { return ToolManager_GetDiscoToolsLen() == 4; }));
    EXPECT_TRUE(waitEvent({"discotools"}));
    const char* prefixes[5] = {"", "XWC", "ZQ", "ZQT", "XWTC"};
    ToolManager_LockDiscoTools();
    for (int i = 0; i < 4; i++) {
        const DiscoToolRecord* d = ToolManager_DiscoTool(i);
        ASSERT_NE(d, nullptr);
        const int type = d->info.type;
        ASSERT_GE(type, 1);
        ASSERT_LE(type, 4);
        const int idx = type - 1; // tool i has type i + 1
        EXPECT_EQ(std::string(d->info.serial),
                  "KS2607" + std::to_string(type) + "0" + std::to_string(idx + 1));
        EXPECT_EQ(d->info.ip, PanelCell::toolIpHost(idx));
        EXPECT_EQ(d->info.port, 5020);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->info.mac), 6), mac(type, idx));
        EXPECT_EQ(d->info.version, 1203);
        EXPECT_EQ(d->info.busy, 0);
        EXPECT_EQ(d->netif, static_cast<uint32_t>(TOOL_NETIF_ETH));
        char want[32];
        snprintf(want, sizeof want, "%s024b5300%02x%02x", prefixes[type], type, idx + 1);
        EXPECT_EQ(std::string(d->defname, strnlen(d->defname, TOOL_DEFNAME_SIZE)),
                  std::string(want).substr(0, 16));
    }
    ToolManager_UnlockDiscoTools();
}

TEST_F(ToolLinkCell, BusyToolStaysOutOfTheListUntilFree) {
    startTools({2, 2});
    ASSERT_EQ(sim_->cmd("busy 1 1"), "ok");
    startDriver();
    Disco_Send_ScanReq(0);
    ASSERT_TRUE(waitFor([] { return ToolManager_GetDiscoToolsLen() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 1) << "the busy tool is not listed";
    ASSERT_EQ(sim_->cmd("busy 1 0"), "ok");
    Disco_Send_ScanReq(0);
    EXPECT_TRUE(waitFor([] { return ToolManager_GetDiscoToolsLen() == 2; }));
}

TEST_F(ToolLinkCell, RegistrationConnectsWithStartUpWrites) {
    startTools({2, 1});
    // Values the connection must change, and distinctive units and limits to read.
    for (const char* c : {"set 0 4001 0", "set 0 4015 1", "set 0 259 1", "set 0 260 4",
                          "set 1 4001 0", "set 1 4015 2", "set 1 277 1", "set 1 252 3"})
        ASSERT_EQ(sim_->cmd(c), "ok") << c;
    startDriver();
    registerAll(2);
    EXPECT_EQ(macOf(0), mac(2, 0));
    EXPECT_EQ(macOf(1), mac(1, 1));
    for (int t = 0; t < 2; t++) {
        const std::string T = std::to_string(t);
        EXPECT_EQ(sim_->cmd("get " + T + " 4001"), "ok 1") << "locked on the home screen";
        EXPECT_EQ(sim_->cmd("get " + T + " 4015"), "ok 0") << "event output off";
        EXPECT_EQ(sim_->cmd("get " + T + " 4100"), "ok 0");
        EXPECT_EQ(sim_->stat(t, "data"), 1);
        EXPECT_EQ(sim_->stat(t, "event"), 1);
    }
    EXPECT_EQ(sim_->cmd("get 0 259"), "ok 0") << "driver: auto data output";
    EXPECT_EQ(sim_->cmd("get 1 277"), "ok 0") << "controller";
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->torqueUnit, 4);
    EXPECT_EQ(ToolManager_RegTool(1)->torqueUnit, 3);
    const uint16_t lo = ToolManager_RegTool(0)->torqueMin, hi = ToolManager_RegTool(0)->torqueMax;
    ToolManager_UnlockRegTools();
    EXPECT_EQ(sim_->cmd("get 0 1002"), "ok " + std::to_string(lo));
    EXPECT_EQ(sim_->cmd("get 0 2002"), "ok " + std::to_string(hi));
    EXPECT_LT(lo, hi);
}

TEST_F(ToolLinkCell, MonitorScreenConnectsUnlocked) {
    startTools({3});
    startDriver();
    Modbus_SetScreenCode(SCREEN_CODE_MONITOR);
    registerAll(1);
    EXPECT_EQ(sim_->cmd("get 0 4001"), "ok 0");
}

TEST_F(ToolLinkCell, SilentToolIsDismissedAtTheFourthTickAndReconnected) {
    startTools({2, 3});
    startDriver();
    registerAll(2);
    tick(); // every answer so far is in: both miss counters are 0
    ASSERT_EQ(sim_->cmd("silent 0"), "ok");
    for (int k = 1; k <= 3; k++) {
        tick();
        EXPECT_EQ(state(0), TOOL_STATE_CONNECTED) << "tick " << k;
    }
    tick();
    EXPECT_EQ(state(0), TOOL_STATE_IDLE) << "dismissed at the fourth tick";
    EXPECT_EQ(state(1), TOOL_STATE_CONNECTED) << "the answering tool stays";
    EXPECT_TRUE(waitEvent({"regtools", 0, 0}));
    ASSERT_EQ(sim_->cmd("back 0"), "ok");
    Disco_Send_ScanReq(1);
    EXPECT_TRUE(waitEvent({"regtools", 0, 3})) << "connected anew when it answers";
    EXPECT_TRUE(waitFor([&] { return sim_->stat(0, "data") == 1; }))
        << "the old connections were closed";
}

TEST_F(ToolLinkCell, ReaddressingAdvertiseReconnectsOnce) {
    startTools({2});
    startDriver();
    registerAll(1);
    LogCapture log;
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    ASSERT_EQ(sim_->cmd("readdress 0 ip=" + PanelCell::spareIp(0) + " port=6100 cause=1"), "ok");
    EXPECT_TRUE(waitEvent({"disconn", 0, 1}));
    EXPECT_TRUE(waitEvent({"regtools", 0, 3}));
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->port, 6100);
    EXPECT_EQ(ToolManager_RegTool(0)->ip, 0x0A4D001Fu);
    EXPECT_EQ(ToolManager_RegTool(0)->cause, 1);
    ToolManager_UnlockRegTools();
    EXPECT_EQ(log.count("Push connect msg"), 1u);
    EXPECT_EQ(log.count("Tdx.0, 10.77.0.31:6100"), 1u) << "one connect, at the new address";
    EXPECT_EQ(sim_->stat(0, "data"), 1);
    EXPECT_EQ(sim_->stat(0, "event"), 1);
    for (const auto& e : seen_)
        EXPECT_NE(e, (Ev{"regtools", 0, 0})) << "not dismissed";
}

// With libmodbus's own link recovery a failed send to a dead tool is retried forever while
// the registered-table lock is held; the link uses protocol recovery only and its own rule.
TEST_F(ToolLinkCell, ToolKilledMidReadIsDismissedAfterTheRetry) {
    startTools({2});
    startDriver();
    registerAll(1);
    LogCapture log;
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1; // the retry note is informational
    ASSERT_EQ(sim_->cmd("silent 0"), "ok"); // the read waits for an answer...
    std::atomic<int> rc{-1};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        rc = Modbus_Read(0, 1, 10, 1);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(sim_->cmd("die 0"), "ok"); // ...and the tool goes away meanwhile
    for (int i = 0; i < 800 && !done; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
        ADD_FAILURE() << "Modbus_Read did not return within 8 s of the tool's death";
        sim_->cmd("revive 0"); // lets the stuck read reconnect and finish
    }
    reader.join();
    EXPECT_EQ(rc, MBUS_ERR_DISMISSED);
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_TRUE(waitEvent({"regtools", 0, 0}));
    EXPECT_EQ(log.count("do retry"), 1u);
    EXPECT_EQ(log.count("failed to read"), 2u) << "the retry and the final failure";
    EXPECT_EQ(Modbus_GetData(0, 1), 0) << "mirror cleared";
    ASSERT_EQ(sim_->cmd("revive 0"), "ok");
    Disco_Send_ScanReq(1);
    EXPECT_TRUE(waitEvent({"regtools", 0, 3}));
}

TEST_F(ToolLinkCell, ReleasingToolZeroOfThreeRenumbersTheOthers) {
    startTools({2, 3, 1});
    startDriver();
    registerAll(3);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    EXPECT_TRUE(waitEvent({"regtools", -1, -1}));
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 2);
    EXPECT_EQ(macOf(0), mac(3, 1));
    EXPECT_EQ(macOf(1), mac(1, 2));
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    EXPECT_EQ(state(1), TOOL_STATE_CONNECTED);
    // The extra scan of the release brings the tool back among the discovered ones.
    EXPECT_TRUE(waitFor([] { return ToolManager_GetDiscoToolsLen() == 1; }));
    EXPECT_TRUE(waitFor([&] { return sim_->stat(0, "data") == 0; })) << "its links closed";
    // The renumbered tools still answer reads at their new indexes.
    EXPECT_EQ(Modbus_Read(1, 252, 1, 1), MBUS_OK);
    EXPECT_EQ(std::to_string(Modbus_GetData(1, 252)), sim_->cmd("get 2 252").substr(3));
}

TEST_F(ToolLinkCell, RegtoolsWrittenByTheToolsConnectAtTheFirstScan) {
    // The demo's path: "./regtools" names the tools before the panel starts.
    startTools({2, 4}, {"--write-regtools", env_.home() + "/regtools"});
    startDriver();
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 2);
    ToolManager_LockRegTools();
    EXPECT_STREQ(ToolManager_GetToolName_ByTdx(0), "ZQKS2607201");
    EXPECT_STREQ(ToolManager_GetToolName_ByTdx(1), "XWTCKS2607402");
    EXPECT_EQ(ToolManager_RegTool(1)->type, 4);
    EXPECT_EQ(ToolManager_RegTool(1)->model, 1400u);
    EXPECT_EQ(std::string(ToolManager_RegTool(1)->defname, TOOL_DEFNAME_SIZE), "XWTC024b53000402");
    EXPECT_EQ(ToolManager_RegTool(0)->state, static_cast<uint32_t>(TOOL_STATE_IDLE));
    ToolManager_UnlockRegTools();
    EXPECT_TRUE(TestEnv::exists(env_.home() + "/files/tools/ZQKS2607201"));
    Disco_Send_ScanReq(1);
    EXPECT_TRUE(waitFor(
        [&] { return state(0) == TOOL_STATE_CONNECTED && state(1) == TOOL_STATE_CONNECTED; }));
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0) << "registered tools do not enter the list";
}

TEST_F(ToolLinkCell, AdvertiseCause5RenewsOnlyTheEventLinkAndCause3Dismisses) {
    startTools({2});
    startDriver();
    registerAll(1);
    LogCapture log;
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    ASSERT_EQ(sim_->cmd("advertise 0 5"), "ok");
    EXPECT_TRUE(waitEvent({"regtools", 0, 3}));
    EXPECT_EQ(log.count("Create new ctx for event"), 1u);
    EXPECT_EQ(log.count("Create new ctx for mbus"), 0u) << "the data link stays";
    EXPECT_TRUE(waitFor([&] { return sim_->stat(0, "event") == 1 && sim_->stat(0, "data") == 1; }));
    ASSERT_EQ(sim_->cmd("advertise 0 3"), "ok"); // the tool leaves
    EXPECT_TRUE(waitEvent({"regtools", 0, 0}));
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 1) << "dismissed, still registered";
}
