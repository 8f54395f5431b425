// Fastening results from virtual tools through the panel's event channel, in every cell:
// stored results first or skipped, acknowledges, back-to-back frames, the per-tool ring,
// the controller layout, malformed frames and lost links.
#include "ToolCell.h"
#include "Wait.h"
#include "tools_private.h"

#include "barcode.h"
#include "mbus.h"
#include "operation.h"
#include "setting.h"
#include "tools.h"

namespace {

class ToolEvents : public ToolLinkTest {
  protected:
    FastenResult r{};
};
TOOL_CELLS(ToolEvents);

TEST_P(ToolEvents, BackToBackResultsReachTheScreensAndTheTableAndWithJobABarcodeIsTheCode) {
    ASSERT_TRUE(bringUpUnlocked({2}));
    ASSERT_EQ(tools->cmd("ackwait 0 0"), "ok");  // stored results go out in one write
    get_setting_operation()->operation_mode = 1; // without job
    fet_set_enable(0x01);
    ASSERT_EQ(tools->cmd("fasten 0 ok barcode=FIRST"), "ok 1");
    ASSERT_EQ(tools->cmd("fasten 0 ng time=201 preset=4 barcode=SECOND"), "ok 2");
    EXPECT_EQ((std::vector{Operation_GetNoPendingEvent(1), Operation_GetNoPendingEvent(-1)}),
              (std::vector{0, 0}))
        << "no such tool";
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    ASSERT_TRUE(sink.next("fastening 0"));
    ASSERT_TRUE(sink.next("fastening 0"));
    ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
    EXPECT_EQ(std::tuple(std::string(r.Barcode), r.Status), std::tuple("FIRST", 1));
    ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
    EXPECT_EQ(std::tuple(std::string(r.Barcode), r.FastenTime, r.Preset),
              std::tuple("SECOND", 201, 4));
    ASSERT_EQ(Operation_TakeEvent(0, &r), 1) << "nothing new: the last one again";
    EXPECT_STREQ(r.Barcode, "SECOND");
    EXPECT_EQ(get_fet_len(), 2);
    FetItem it;
    get_fet_item(1, &it);
    EXPECT_EQ(std::tuple(it.seq, std::string(it.toolName)), std::tuple(2u, "ZQKS2607201"));
    ASSERT_EQ(fastening_event_enable(0, 1), 0);
    EXPECT_EQ(tools->reg(0, 4015), 2);
    ASSERT_EQ(fastening_event_disable(0), 0);
    EXPECT_EQ(tools->reg(0, 4015), 0);

    // With job, a barcode event sets the current barcode and fills no table.
    get_setting_operation()->operation_mode = 0;
    fet_set_enable(0xff);
    clear_fet();
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("barcode 0 JOB-42"), "ok 3");
    ASSERT_TRUE(sink.next("fastening 0"));
    EXPECT_EQ(std::tuple(Barcode_GetCurrCode(), get_fet_len()), std::tuple("JOB-42", 0));
}

TEST_P(ToolEvents, FullRingDropsTheOldestAndAFrameWithTheDataLinkDownIsDropped) {
    ASSERT_TRUE(bringUpUnlocked({2}));
    ASSERT_EQ(tools->cmd("ackwait 0 0"), "ok");
    for (int i = 0; i <= TOOL_EVENT_QUEUE_DEPTH; ++i) // one more than the ring holds
        ASSERT_EQ(tools->cmd("fasten 0 ok time=" + str(1000 + i)), "ok " + str(i + 1));
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    ASSERT_TRUE(sink.waitUntil([&] { return sink.count("fastening 0") == 17; }));
    EXPECT_TRUE(log.contains("event queue of tdx.0 full, oldest result dropped"));
    for (int i = 1; i <= TOOL_EVENT_QUEUE_DEPTH; ++i) {
        ASSERT_EQ(Operation_TakeEvent(0, &r), 0) << i;
        EXPECT_EQ(r.FastenTime, 1000 + i);
    }
    EXPECT_EQ(Operation_TakeEvent(0, &r), 1) << "the surplus event finds nothing new";

    // A frame is read and dropped while the data connection is down.
    sink.clear();
    log.clear();
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    auto dataLink = [](uint32_t up) {
        RegToolsLock g;
        ToolManager_RegTool(0)->mbConn->connected = up;
    };
    dataLink(0);
    ASSERT_EQ(tools->cmd("fasten 0 ok barcode=LOST"), "ok 18");
    ASSERT_TRUE(log.waitFor("data connection down"));
    EXPECT_EQ(log.count("invalid status ("), 1u) << "read once, not fired without end";
    dataLink(1);
    ASSERT_EQ(tools->cmd("fasten 0 ok barcode=KEPT"), "ok 19");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(std::tuple(std::string(r.Barcode), Operation_QueuedEvents(0)), std::tuple("KEPT", 0));
}

// A screen leaves while the tool sends: the result's "fastening" reaches no screen and its
// frame stays unread. The next screen must see the tool's results, not that frame.
TEST_P(ToolEvents, AScreenThatLeftOrARenewedConnectionSeesOnlyWhatTheToolSendsItNow) {
    ASSERT_TRUE(bringUpUnlocked({2}));
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=101"), "ok 1");
    ASSERT_TRUE(sink.next("fastening 0"));
    ASSERT_EQ(fastening_event_disable(0), MBUS_OK);
    // Stored results first: the unacknowledged one is still in the tool's store.
    ASSERT_EQ(fastening_event_enable(0, 0), MBUS_OK);
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 101) << "sent again from the tool's store";
    ASSERT_EQ(tools->cmd("fasten 0 ng torque=202"), "ok 2");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(std::tuple(r.ConvTorque, r.Status), std::tuple(202, FASTEN_STATUS_NG))
        << "judged one fastening late";
    EXPECT_NE(Operation_TakeEvent(0, &r), 0) << "nothing else unread";
    EXPECT_TRUE(tools->wait(0, "acked=2 pending=0")) << "each acknowledged its own result";

    // A frame the tool sent before it took 4015 := 0 arrives after the watch is gone; the
    // tool keeps that result stored, so the frame is no new result for the next screen.
    sink.clear();
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(fastening_event_disable(0), MBUS_OK);
    ASSERT_EQ(tools->cmd("raw 0 cut 70"), "ok 70");
    ASSERT_TRUE(kest_test::WaitUntil([] { return unreadEventBytes(0) == 70; }));
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("fasten 0 ng torque=303"), "ok 3");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(std::tuple(r.ConvTorque, r.Status, sink.count("fastening 0")),
              std::tuple(303, FASTEN_STATUS_NG, 1u));

    // A renewed event connection (advertise cause 5) keeps the tool's output on: what it
    // sends there before a screen enables the output again is a result, and is kept.
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("advertise 0 5"), "ok");
    ASSERT_TRUE(sink.next("update_regtools 0 3"));
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=404"), "ok 4");
    ASSERT_TRUE(kest_test::WaitUntil([] { return unreadEventBytes(0) == 70; }));
    ASSERT_EQ(fastening_event_enable(0, 0), MBUS_OK);
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 404);
    EXPECT_TRUE(tools->wait(0, "acked=4 pending=0"));
}

// Output off and on again and again while the tool fastens on (each result sent at once):
// after each enable, stored results skipped, only results made after it are taken, each
// once and in order, whatever was in the ring or the socket when output went off.
TEST_P(ToolEvents, OutputOffAndOnWhileTheToolSendsGivesOnlyLaterResults) {
    ASSERT_TRUE(bringUpUnlocked({2}));
    ASSERT_EQ(tools->cmd("ackwait 0 0"), "ok");
    ASSERT_EQ(tools->cmd("burst 0 60000 500"), "ok");
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(fastening_event_disable(0), MBUS_OK);
        const long before = tools->stat(0, "newest");
        ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
        long last = before;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(kest_test::WaitUntil([] { return Operation_QueuedEvents(0) > 0; }))
                << round;
            ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
            EXPECT_GT(long(r.EventNo), last) << "round " << round << ", made before " << before;
            last = r.EventNo;
        }
    }
    ASSERT_EQ(tools->cmd("burst 0 0 0"), "ok");
}

TEST_P(ToolEvents, ControllerFramesAreNormalisedAndResultsKeepTheirToolAfterARelease) {
    ASSERT_TRUE(bringUpUnlocked({4, 2}));
    get_setting_operation()->operation_mode = 1;
    get_setting_operation()->barcode_if = 1; // remote
    fet_set_enable(0x02);                    // tool 1 only
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(fastening_event_enable(1, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("barcode 0 ABC"), "ok 1");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(std::tuple(r.Status, std::string(r.Barcode)),
              std::tuple(FASTEN_STATUS_BARCODE, "ABC"));
    ToolManager_LockRegTools();
    EXPECT_EQ(std::tuple(ToolManager_RegTool(0)->frameLen, ToolManager_RegTool(0)->frame[8]),
              std::tuple(40, 92 - 61))
        << "37 + 3 characters";
    ToolManager_UnlockRegTools();
    // One at a time: the tools send concurrently.
    ASSERT_EQ(tools->cmd("fasten 1 ok torque=21"), "ok 1");
    ASSERT_TRUE(nextResult(1, &r));
    EXPECT_EQ(r.ConvTorque, 21);
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=11"), "ok 2");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(std::tuple(r.ConvTorque, std::string(r.Barcode)), std::tuple(11, "ABC"))
        << "the tool's last barcode rides along";
    EXPECT_EQ(get_fet_len(), 1) << "only the enabled tool fills the table";
    // The watch follows its tool when an earlier tool is released.
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    ASSERT_EQ(tools->cmd("fasten 1 ok barcode=MOVED"), "ok 2");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_STREQ(r.Barcode, "MOVED");
}

TEST_P(ToolEvents, MalformedFramesAreDroppedAndOnlyALostEventConnectionHalvesTheTool) {
    ASSERT_TRUE(bringUpUnlocked({2}));
    ASSERT_EQ(fastening_event_enable(0, 1), MBUS_OK);
    ASSERT_EQ(tools->cmd("raw 0 short"), "ok 36");
    EXPECT_TRUE(log.waitFor("invalid data len from tdx.0, expect 70 but 36"));
    // An exception answer instead of a frame: the receive fails.
    ASSERT_EQ(tools->cmd("raw 0 hex 000100000003ff8302"), "ok 9");
    EXPECT_TRUE(log.waitFor("invalid data len from tdx.0", 2));
    // A byte count beyond the bytes sent: the receive times out and the link is flushed.
    ASSERT_EQ(tools->cmd("raw 0 badcount"), "ok 70");
    EXPECT_TRUE(log.waitFor("invalid data len from tdx.0", 3));
    // 37 bytes is a result without barcode.
    ASSERT_EQ(tools->cmd("raw 0 cut 37"), "ok 37");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_STREQ(r.Barcode, "");
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=909"), "ok 1");
    ASSERT_TRUE(nextResult(0, &r));
    EXPECT_EQ(r.ConvTorque, 909);
    EXPECT_EQ(sink.count("fastening 0"), 2u) << "nothing else reached the screens";
    EXPECT_EQ(std::tuple(state(0), ToolManager_GetRegToolsLen()),
              std::tuple(uint32_t(TOOL_STATE_CONNECTED), 1));
    // A closed event connection makes the tool half connected.
    ASSERT_EQ(tools->cmd("evport 0 off"), "ok");
    EXPECT_TRUE(sink.next("update_regtools 0 4"));
    RegToolsLock g;
    EXPECT_TRUE(!ToolManager_RegTool(0)->rxWatch && !ToolManager_RegTool(0)->evConn);
}

} // namespace
