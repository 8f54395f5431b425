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
    // input, update_drvs, the "plain line" debug event, plus the two "ew event" lines
    // that arrive as debug events themselves during the same drain.
    EXPECT_EQ(sink.drain(),
              (std::vector<std::string>{"input 3 1", "update_drvs", "debug plain line",
                                        "debug ew event : input", "debug ew event : update_drvs"}));
    // Debug events are never logged as events: nothing more follows.
    EXPECT_TRUE(sink.drain().empty());
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
