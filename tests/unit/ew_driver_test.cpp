// The driver-to-GUI queue: order, one-cycle drain, string ownership, the event log line.
#include "ew_driver.h"
#include "unit_common.h"

class EwDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Debug_Init();
        Debug_SetQuiet(true);
        EwDriver_SetDeviceObject(&sink);
    }
    void TearDown() override { EwDriver_Deinitialize(); }
    RecordingSink sink;
};

TEST_F(EwDriverTest, BurstOfHundredDrainedInOneCycleInOrderAndEventLinesOnlyUnderFlag7) {
    for (int i = 0; i < 100; ++i)
        EwDriver_PushMsgQ_RecvBackupData(i % 8 + i);
    auto got = sink.drain();
    ASSERT_EQ(got.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(got[size_t(i)], "fastening " + std::to_string(i % 8 + i));
    EXPECT_EQ(EwDriver_LastDelivered(), 100);
    EXPECT_TRUE(sink.drain().empty());
    // The event log line only under flag 7, and without feedback.
    LogCapture cap;
    EwDriver_PushMsgQ_RecvInput(3, 1);
    sink.drain();
    EXPECT_FALSE(cap.contains("ew event"));
    Debug_GetFlag()[DEBUG_FLAG_EWEVENT] = 1;
    EwDriver_PushMsgQ_RecvInput(3, 1);
    EwDriver_PushMsgQ_UpdateDrvs();
    Debug_WriteLog(1, "plain line");
    auto first = sink.drain();
    // input, update_drvs, the "plain line" debug event, plus the two "ew event" lines
    // that arrive as debug events themselves during the same drain.
    std::vector<std::string> expect = {"input 3 1", "update_drvs", "debug plain line",
                                       "debug ew event : input", "debug ew event : update_drvs"};
    EXPECT_EQ(first, expect);
    // Debug events are never logged as events: nothing more follows.
    EXPECT_TRUE(sink.drain().empty());
}

TEST_F(EwDriverTest, EveryKindReachesItsMethodWithPayload) {
    const std::pair<void (*)(), const char*> posts[] = {
        {[] { EwDriver_PushMsgQ_UpdateDiscoTools(); }, "update_discotools"},
        {[] { EwDriver_PushMsgQ_UpdateRegTools(2, 3); }, "update_regtools 2 3"},
        {[] { EwDriver_PushMsgQ_UpdateCurrTdx(); }, "update_curr_tdx -1"},
        {[] { EwDriver_PushMsgQ_RecvGraphData(4); }, "trigger 4"},
        {[] { EwDriver_PushMsgQ_RecvBackupData(5); }, "fastening 5"},
        {[] { EwDriver_PushMsgQ_RecvInput(15, 1); }, "input 15 1"},
        {[] { EwDriver_PushMsgQ_UpdateDrvs(); }, "update_drvs"},
        {[] { EwDriver_PushMsgQ_RecvBarcode("AB-12"); }, "barcode AB-12"},
        {[] { EwDriver_PushMsgQ_InitDone(); }, "init_done"},
        {[] { EwDriver_PushMsgQ_NotifyImgTooLarge(4000, 3000); }, "image too large 4000 3000"},
        {[] { EwDriver_PushMsgQ_WlanScan(1); }, "wlan scan 1"},
        {[] { EwDriver_PushMsgQ_SetDisconnFlag(7, 0x101); }, "disconn flag 7 1"},
        {[] { EwDriver_PushMsgQ_TTY(1); }, "tty 1"},
        {[] { EwDriver_PushMsgQ_Processing(0); }, "processing 0"},
        {[] { EwDriver_PushMsgQ_BstHotplug(1); }, "bst_hotplug 1"},
        {[] { EwDriver_PushMsgQ_BstEvent(5, 2, 0, 1); }, "bst_event 5 2 0 1"},
        {[] { EwDriver_PushMsgQ_BstCommFail(1); }, "bst_commfail 1"},
        {[] { EwDriver_PushMsgQ_UpdateDevs(); }, "update_devs"},
        {[] { EwDriver_PushMsgQ_LogFail(); }, "log_fail"},
        {[] { EwDriver_PushMsgQ_PlantCommand(7, 50, 0, "VIN-9"); }, "plant_command 7 50 0 VIN-9"},
        {[] { EwDriver_PushMsgQ_PlantCommand(8, 38, 12, nullptr); }, "plant_command 8 38 12"},
        {[] { EwDriver_PushMsgQ_OpConnected(1); }, "op_connected 1"},
        {[] {
             EwDriver_PushMsgQ_PlantDropped("Plant results dropped: 3 results of op were not "
                                            "delivered.");
         },
         "plant_dropped Plant results dropped: 3 results of op were not delivered."},
        {[] { EwDriver_PushMsgQ_MqttState(3); }, "mqtt_state 3"},
    };
    std::vector<std::string> expect;
    for (const auto& [post, event] : posts) { // all posted before the one drain
        post();
        expect.push_back(event);
    }
    EXPECT_EQ(sink.drain(), expect);
}

TEST_F(EwDriverTest, CurrentToolReadAtDeliveryTextCopiedOrNotQueuedNothingWithoutDeviceObject) {
    static int32_t registryValue = 2;
    EwDriver_SetCurrTdxSource([] { return registryValue; });
    EwDriver_PushMsgQ_UpdateCurrTdx();
    registryValue = 5; // changes before the GUI drains: the delivered value is the new one
    EXPECT_EQ(sink.drain(), std::vector<std::string>{"update_curr_tdx 5"});
    EwDriver_SetCurrTdxSource(nullptr);
    EwDriver_PushMsgQ_RecvBarcode("");
    EwDriver_PushMsgQ_RecvBarcode(nullptr);
    char empty[1] = "";
    EwDriver_PushMsgQ_PrintDebug(empty);
    EwDriver_PushMsgQ_PrintDebug(nullptr);
    char buf[8] = "XYZ";
    EwDriver_PushMsgQ_RecvBarcode(buf);
    buf[0] = 'Q'; // the poster may reuse its buffer at once
    EXPECT_EQ(sink.drain(), std::vector<std::string>{"barcode XYZ"});
    // Nothing is delivered without the device object.
    EwDriver_Deinitialize();
    EwDriver_PushMsgQ_UpdateDevs();
    EXPECT_TRUE(sink.drain().empty());
    EwDriver_SetDeviceObject(&sink); // undelivered messages stayed in the queue
    EXPECT_EQ(sink.drain(), std::vector<std::string>{"update_devs"});
}

TEST_F(EwDriverTest, PostsFromManyThreadsKeepPerThreadOrderAndWake) {
    int fd = EwDriver_GetWakeFd();
    ASSERT_GE(fd, 0);
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                EwDriver_PushMsgQ_RecvInput(t, i);
        });
    for (auto& t : ts)
        t.join();
    uint64_t v = 0;
    ASSERT_EQ(read(fd, &v, sizeof v), ssize_t(sizeof v)); // the GUI would have been woken
    EXPECT_GT(v, 0u);
    auto got = sink.drain();
    ASSERT_EQ(got.size(), 1000u);
    int last[4] = {-1, -1, -1, -1};
    for (const auto& e : got) {
        int port = 0, value = 0;
        ASSERT_EQ(sscanf(e.c_str(), "input %d %d", &port, &value), 2);
        EXPECT_EQ(value, last[port] + 1);
        last[port] = value;
    }
}
