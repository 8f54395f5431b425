// Torque curves from virtual tools over the panel's data connections, in every cell: the
// curve of a triggered fastening in each layout, the trigger request and its answer, a
// tool that stops answering triggers, and the one receive-watch slot the curve watch
// shares with the fastening event watch.
#include "ToolCell.h"
#include "Wait.h"
#include "tools_private.h"

#include "debug.h"
#include "graph.h"
#include "mbus.h"
#include "operation.h"
#include "tools.h"

#include <algorithm>
#include <glib.h>
#include <sstream>

namespace {

class ToolCurves : public ToolLinkTest {
  protected:
    // Tools registered, connected and unlocked, Modbus notes on.
    Result connect(const std::vector<int>& types) {
        if (Result r = bringUpUnlocked(types); !r) return r;
        Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
        Graph_EnableTrigger_RefCnt = 0;
        return ::testing::AssertionSuccess();
    }
    // What the tool's receive-watch slot holds.
    struct Slot {
        GSource* watch = nullptr;
        bool graph = false, parked = false;
    };
    static Slot slot(int tdx) {
        RegToolsLock g;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        return rec ? Slot{rec->rxWatch, rec->rxGraph != 0, rec->evParked != 0} : Slot{};
    }
    // A reference to the watch in the slot now, to see it destroyed later.
    static GSource* holdWatch(int tdx) {
        RegToolsLock g;
        RegToolRecord* rec = ToolManager_RegTool(tdx);
        return rec && rec->rxWatch ? g_source_ref(rec->rxWatch) : nullptr;
    }
};
TOOL_CELLS(ToolCurves);

TEST_P(ToolCurves, TriggeredFasteningDeliversItsCurveInEachLayoutAndIgnoredTriggersDismiss) {
    ASSERT_TRUE(connect({2, 3}));
    ToolView view;
    ASSERT_EQ(ToolManager_GetToolView(1, &view), 0);
    ASSERT_EQ(Graph_EnableCB_ByTdx(1), 0);
    // the channels chosen, the torque; the frame's samples, channels and length
    const std::tuple<int, int, int, int, int, int> rows[] = {
        {1, 0, 1500, 100, 1, 240}, // torque alone
        {2, 3, 900, 55, 2, 260},   // current and speed
        {8, 3, 700, 100, 1, 240},  // torque/angle: the tool leaves channel 2 out
    };
    int made = 0;
    for (const auto& [ch1, ch2, torque, n, channels, len] : rows) {
        SCOPED_TRACE(ch1 * 10 + ch2);
        for (auto [reg, v] : {std::pair{4101, ch1}, {4102, ch2}, {4103, 2}, {4104, 1}})
            ASSERT_EQ(Modbus_Write(1, reg, uint16_t(v), 1), MBUS_OK) << reg;
        ASSERT_EQ(Modbus_Write(1, MBUS_REG_GRAPH_TRIGGER, 1, 1), MBUS_OK);
        ASSERT_EQ(tools->cmd("fasten 1 ok torque=" + str(torque)), "ok " + str(++made));
        ASSERT_TRUE(sink.next("trigger 1"));
        GraphFrameCopy f;
        ASSERT_EQ(Graph_GetFrame(1, &f), 0);
        EXPECT_EQ(std::tuple(f.len, f.info.n, f.info.channels, f.info.ch1,
                             Graph_Field(&f, GRAPH_OFF_CONV)),
                  std::tuple(len, n, channels, ch1, torque));
        EXPECT_EQ(Graph_Field(&f, GRAPH_OFF_STATUS), 1) << "the fastening's own values";
        EXPECT_EQ(f.torqueUnit, view.torqueUnit);
        EXPECT_EQ(f.torqueMin, view.torqueMin);
        int lo = 0;
        for (int i = 0; i < f.info.n; i++)
            lo = std::min<int>(lo, Graph_Sample(&f, 1, i));
        EXPECT_LT(lo, 0) << "channel 1 dips below zero";
    }
    EXPECT_TRUE(log.contains("Graph_RecvCB.")) << "received on the curve watch";
    EXPECT_TRUE(log.contains("event is trigger data (260)"));
    EXPECT_EQ(sink.count("trigger 0"), 0u) << "the other tool sent nothing";
    GraphFrameCopy none;
    EXPECT_EQ(Graph_GetFrame(0, &none), -1);
    EXPECT_EQ(none.len, 0);
    EXPECT_EQ(state(1), TOOL_STATE_CONNECTED) << "the watch and the transactions shared the link";

    // Tool 0 stops answering triggers: dismissed at the next request, and it reconnects.
    ASSERT_EQ(Graph_EnableCB_ByTdx(0), 0);
    tools->trace(0); // the connection's start-up requests
    ASSERT_EQ(tools->cmd("triggers 0 off"), "ok");
    for (int k = 1; k <= 3; k++) {
        EXPECT_EQ(Modbus_WriteRaw_EnableGraphTrigger(0), 0) << k;
        EXPECT_EQ(Graph_EnableTrigger_RefCnt.load(), k);
    }
    int ignored = 0;
    EXPECT_TRUE(kest_test::WaitUntil([&] {
        std::istringstream in(tools->trace(0));
        for (std::string w; in >> w; ++ignored)
            EXPECT_EQ(w, "~4100=1");
        return ignored >= 3;
    }));
    EXPECT_EQ(ignored, 3);
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED) << "three unanswered: still there";
    EXPECT_FALSE(log.contains("Fail to enable graph triggger"));
    EXPECT_EQ(Modbus_WriteRaw_EnableGraphTrigger(0), 0);
    EXPECT_TRUE(log.contains("Modbus_WriteRaw_EnableGraphTrigger.") &&
                log.contains("Fail to enable graph triggger"));
    EXPECT_TRUE(sink.next("update_regtools 0 0")) << "dismissed";
    EXPECT_EQ(Graph_EnableTrigger_RefCnt.load(), 0) << "the next tool starts afresh";
    EXPECT_EQ(slot(0).watch, nullptr);
    EXPECT_EQ(state(1), TOOL_STATE_CONNECTED) << "the other tool stays";
    EXPECT_EQ(tools->trace(0), "") << "no fourth request went out";
    ASSERT_EQ(tools->cmd("triggers 0 on"), "ok");
    ASSERT_TRUE(scan(1));
    EXPECT_TRUE(sink.next("update_regtools 0 3")) << "connected anew at its next answer";
    ASSERT_EQ(Graph_EnableCB_ByTdx(0), 0);
    EXPECT_EQ(Modbus_WriteRaw_EnableGraphTrigger(0), 0);
    EXPECT_TRUE(kest_test::WaitUntil([] { return Graph_EnableTrigger_RefCnt.load() == 0; }));
}

TEST_P(ToolCurves, CurveWatchParksTheEventWatchAndATriggerRequestIsAnswered) {
    ASSERT_TRUE(connect({2, 3}));
    FastenResult r{};
    ASSERT_EQ(fastening_event_enable(0, 0), MBUS_OK);
    ASSERT_EQ(fastening_event_enable(1, 0), MBUS_OK);
    const Slot ev1 = slot(1);
    GSource* eventWatch = holdWatch(0);
    ASSERT_NE(eventWatch, nullptr);
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=101"), "ok 1");
    ASSERT_TRUE(nextResult(0, &r));

    for (int k = 0; k < 2; k++) { // installing twice still leaves one watch
        GSource* before = holdWatch(0);
        ASSERT_EQ(Graph_EnableCB_ByTdx(0), 0);
        EXPECT_TRUE(g_source_is_destroyed(before)) << k << ": the watch it replaced is gone";
        g_source_unref(before);
        EXPECT_TRUE(slot(0).graph && slot(0).parked) << k;
    }
    EXPECT_TRUE(g_source_is_destroyed(eventWatch)) << "no event watch runs unreferenced";
    g_source_unref(eventWatch);

    // A result made meanwhile waits in the event connection, not read by anybody.
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=202"), "ok 2");
    EXPECT_TRUE(kest_test::WaitUntil([] { return unreadEventBytes(0) > 0; }));
    EXPECT_EQ(fastening_event_enable(0, 0), MBUS_OK) << "a screen asking again meanwhile";
    EXPECT_TRUE(slot(0).graph && slot(0).parked);
    Graph_DisableCB_All();
    EXPECT_EQ(slot(1).watch, ev1.watch) << "another tool's event watch stays";
    EXPECT_FALSE(slot(0).graph);
    ASSERT_TRUE(nextResult(0, &r)) << "the event watch is back";
    EXPECT_EQ(r.ConvTorque, 202) << "the result made while the curve watch ran";
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=303"), "ok 3");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 303);

    // Removing a curve watch that is not there leaves the event watch alone.
    const Slot plain = slot(0);
    EXPECT_EQ(Graph_DisableCB_ByTdx(0), 0);
    EXPECT_EQ(slot(0).watch, plain.watch);
    // Event output off while the curve watch runs: the curve watch stays, nothing comes back.
    ASSERT_EQ(Graph_EnableCB_ByTdx(0), 0);
    ASSERT_EQ(fastening_event_disable(0), MBUS_OK);
    EXPECT_TRUE(slot(0).graph && !slot(0).parked);
    EXPECT_EQ(Graph_DisableCB_ByTdx(0), 0);
    EXPECT_EQ(slot(0).watch, nullptr);

    // A trigger request is answered and the answer posts nothing.
    EXPECT_EQ(std::tuple(Modbus_WriteRaw_EnableGraphTrigger(2), Graph_EnableCB_ByTdx(-1),
                         Graph_DisableCB_ByTdx(8)),
              std::tuple(2, 2, 2));
    ASSERT_EQ(Graph_EnableCB_ByTdx(0), 0);
    Graph_EnableTrigger_RefCnt = 2;
    tools->trace(0);
    EXPECT_EQ(Modbus_WriteRaw_EnableGraphTrigger(0), 0);
    EXPECT_TRUE(kest_test::WaitUntil([] { return Graph_EnableTrigger_RefCnt.load() == 0; }))
        << "the 12-byte answer clears the count";
    EXPECT_TRUE(
        kest_test::WaitUntil([&] { return log.contains("event is trigger enable response"); }));
    EXPECT_EQ(tools->trace(0), "4100=1") << "one raw write of the trigger";
    EXPECT_EQ(tools->reg(0, MBUS_REG_GRAPH_TRIGGER), 1);
    // The request armed the tool: the next fastening is the first "trigger".
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=321"), "ok 4");
    ASSERT_TRUE(sink.next("trigger 0"));
    EXPECT_EQ(sink.count("trigger"), 1u) << "the answer posted nothing";

    ToolManager_DismissTool_ByTdx(0, 1);
    EXPECT_EQ(Modbus_WriteRaw_EnableGraphTrigger(0), 3);
    log.clear();
    EXPECT_EQ(Graph_EnableCB_ByTdx(0), 3);
    EXPECT_TRUE(log.contains("Graph_EnableCB_ByTdx.") && log.contains("invalid status ((nil)/0)"));
    EXPECT_EQ(Graph_DisableCB_ByTdx(0), 3);
    EXPECT_EQ(slot(0).watch, nullptr) << "the dismissal took the watch";
}

} // namespace
