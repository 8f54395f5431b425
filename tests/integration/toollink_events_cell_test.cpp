// Fastening results from toolsim through the panel's event channel over the cell: stored
// results first with event output 1, skipped with 2, acknowledges, the controller layout,
// and malformed frames dropped while the tool stays registered. Needs root.
#include "toollink_cell_fixture.h"

#include "operation.h"

using namespace cell_test;

namespace {

class EventsCell : public ToolLinkCell {
  protected:
    // Waits for the next "fastening" of tool `tdx`, takes its record and acknowledges it
    // as the screens do. False when none came.
    bool nextResult(int tdx, FastenResult* rec, int timeoutMs = 4000) {
        if (!waitEvent({"fastening", tdx}, timeoutMs)) return false;
        if (Operation_TakeEvent(tdx, rec) != 0) return false;
        return Modbus_Write(tdx, MBUS_REG_EVENT_ACK, 1, 1) == MBUS_OK;
    }
    bool noResult(int tdx, int ms = 400) { return !waitEvent({"fastening", tdx}, ms); }
    // Connected tools are locked (home screen): unlock as the working screens do.
    void unlock(int n) {
        for (int t = 0; t < n; t++)
            ASSERT_EQ(Modbus_Write(t, MBUS_REG_TOOL_LOCK, 0, 1), MBUS_OK);
    }
};

} // namespace

TEST_F(EventsCell, StoredResultsComeFirstWithOutput1) {
    startTools({2});
    startDriver();
    registerAll(1);
    unlock(1);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(sim_->cmd("fasten 0 ok torque=" + std::to_string(101 + i)),
                  "ok " + std::to_string(i + 1));
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 3);
    ASSERT_EQ(fastening_event_enable(0, 0), MBUS_OK);
    EXPECT_EQ(sim_->cmd("get 0 4015"), "ok 1");
    FastenResult r{};
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(nextResult(0, &r)) << i;
        EXPECT_EQ(r.ConvTorque, 101 + i) << "oldest first";
        EXPECT_EQ(r.Status, FASTEN_STATUS_OK);
    }
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 0);
    ASSERT_EQ(sim_->cmd("fasten 0 ng torque=555 preset=4 barcode=LOT-42"), "ok 4");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 555);
    EXPECT_EQ(r.Status, FASTEN_STATUS_NG);
    EXPECT_EQ(r.Preset, 4);
    EXPECT_STREQ(r.Barcode, "LOT-42");
    EXPECT_EQ(sim_->stat(0, "acked"), 4) << "every result acknowledged once";
}

TEST_F(EventsCell, Output2SkipsStoredResults) {
    startTools({3});
    startDriver();
    registerAll(1);
    unlock(1);
    for (int i = 0; i < 4; i++)
        sim_->cmd("fasten 0 ok torque=7");
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    EXPECT_EQ(sim_->cmd("get 0 4015"), "ok 2");
    EXPECT_TRUE(noResult(0)) << "stored results are skipped";
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 0);
    ASSERT_EQ(sim_->cmd("fasten 0 ok torque=808"), "ok 5");
    FastenResult r{};
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 808);
}

TEST_F(EventsCell, ControllerFramesAreNormalised) {
    startTools({4, 2});
    startDriver();
    registerAll(2);
    unlock(2);
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(fastening_event_enable(1, 1), MBUS_OK);
    ASSERT_EQ(sim_->cmd("barcode 0 ABC"), "ok 1");
    FastenResult r{};
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.Status, FASTEN_STATUS_BARCODE);
    EXPECT_STREQ(r.Barcode, "ABC");
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->frameLen, 40) << "37 + 3 characters";
    ToolManager_UnlockRegTools();
    // Results of two tools keep their own index. (One at a time: the two tools send
    // concurrently, and a wait takes every event up to the one it waits for.)
    sim_->cmd("fasten 1 ok torque=21");
    ASSERT_TRUE(nextResult(1, &r));
    EXPECT_EQ(r.ConvTorque, 21);
    sim_->cmd("fasten 0 ok torque=11");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 11);
    EXPECT_STREQ(r.Barcode, "ABC") << "the tool's last barcode rides along";
}

TEST_F(EventsCell, MalformedFramesAreDroppedAndTheToolStays) {
    startTools({2});
    startDriver();
    registerAll(1);
    unlock(1);
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    LogCapture log;
    ASSERT_EQ(sim_->cmd("raw 0 short"), "ok 36");
    EXPECT_TRUE(
        waitFor([&] { return log.count("invalid data len from tdx.0, expect 70 but 36") == 1; }));
    // An exception answer instead of a frame: the receive fails.
    ASSERT_EQ(sim_->cmd("raw 0 hex 000100000003ff8302"), "ok 9");
    EXPECT_TRUE(waitFor([&] { return log.count("invalid data len from tdx.0") == 2; }));
    // A byte count beyond the bytes sent: the receive times out and the link is flushed.
    ASSERT_EQ(sim_->cmd("raw 0 badcount"), "ok 70");
    EXPECT_TRUE(waitFor([&] { return log.count("invalid data len from tdx.0") == 3; }));
    EXPECT_TRUE(noResult(0)) << "nothing reached the screens";
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    // The link still carries good results.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(sim_->cmd("fasten 0 ok torque=909"), "ok 1");
    FastenResult r{};
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 909);
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 1);
}

TEST_F(EventsCell, LockedToolSendsNothingUntilUnlocked) {
    startTools({2});
    startDriver();
    registerAll(1);
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    EXPECT_EQ(sim_->cmd("fasten 0 ok"), "err locked") << "locked at connection";
    ASSERT_EQ(Modbus_Write(0, MBUS_REG_TOOL_LOCK, 0, 1), MBUS_OK);
    ASSERT_EQ(sim_->cmd("fasten 0 ok torque=42"), "ok 1");
    FastenResult r{};
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 42);
    tool_lock_all();
    EXPECT_EQ(sim_->cmd("fasten 0 ok"), "err locked");
}
