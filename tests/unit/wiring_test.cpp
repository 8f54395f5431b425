// The joints between modules made at start-up: a received result, once logged with its
// frame as the device object does, is forwarded to the plant server from the result
// store when forwarding is on, and the result log takes the scanner's current code. The
// tool index in the forwarded message and the tool's name in the log: BefTest and the job
// screens' log.
#include "TcpServer.h"
#include "ToolCell.h"
#include "unit_common.h"

#include "barcode.h"
#include "bef.h"
#include "eventlog.h"
#include "mbus.h"
#include "operation.h"
#include "tools.h"

namespace {

class Wiring : public ToolCellTest {
  protected:
    void SetUp() override {
        ToolCellTest::SetUp();
        ASSERT_TRUE(bringUp({2}));
    }
};

TEST_F(Wiring, ResultIsForwardedWhenOnAndTheLogTakesTheScannerCode) {
    TcpServer server;
    Bef_ApplySetting(1, 0x7f000001, server.port());
    Bef_ConnectTimerCallback(); // connects before it returns
    ASSERT_EQ(Bef_IsConnected(), 1);
    ASSERT_EQ(Modbus_Write(0, MBUS_REG_TOOL_LOCK, 0, 1), MBUS_OK);
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    ASSERT_EQ(tools->cmd("fasten 0 ok barcode=FWD-1"), "ok 1");
    FastenResult r;
    ASSERT_TRUE(sink.next("fastening 0"));
    ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
    uint8_t frame[320];
    const int n = Operation_LastTakenFrame(0, frame, sizeof frame);
    ASSERT_GT(n, 0);
    FastenResult decoded;
    ASSERT_EQ(Operation_DecodeFrame(frame, n, &decoded), 0);
    EXPECT_TRUE(SameFastenResult(decoded, r)) << "the frame of the result taken";
    ResultExtra e;
    e.tdx = 0;
    e.frame.assign(frame, frame + n);
    struct tm now;
    Common_LocalTime(&now);
    ASSERT_EQ(EventLog_Queue(EventLog_FormatLine(now, "", "", "-", "t", r), 0, e), 0);
    ASSERT_TRUE(server.waitBytes(72)) << "nothing forwarded";
    const std::string got = server.data();
    ASSERT_EQ(got.size(), 72u);
    EXPECT_EQ(got.substr(39, 5), "FWD-1");
    EXPECT_EQ(EventLog_ScannerCode(), "-");
    Barcode_SetCurrCode("SCAN-9");
    EXPECT_EQ(EventLog_ScannerCode(), "SCAN-9");
}

} // namespace
