// The joints between modules made at start-up: a received result is forwarded to the
// plant server when forwarding is on, and the result log names the registered tool and
// the scanner's current code.
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

TEST_F(Wiring, ResultIsForwardedWhenOnAndTheLogNamesTheToolAndTheScannerCode) {
    TcpServer server;
    Bef_ApplySetting(1, 0x7f000001, server.port());
    Bef_ConnectTimerCallback(); // connects before it returns
    ASSERT_EQ(Bef_IsConnected(), 1);
    ASSERT_EQ(Modbus_Write(0, MBUS_REG_TOOL_LOCK, 0, 1), MBUS_OK);
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    ASSERT_EQ(tools->cmd("fasten 0 ok barcode=FWD-1"), "ok 1");
    ASSERT_TRUE(server.waitBytes(72)) << "nothing forwarded";
    const std::string got = server.data();
    ASSERT_EQ(got.size(), 72u);
    EXPECT_EQ(uint8_t(got[9]), 0); // tool index of the registered tool
    EXPECT_EQ(got.substr(39, 5), "FWD-1");
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(0, "Station 4"), 0);
    EXPECT_EQ(EventLog_ToolName(0), "Station 4");
    EXPECT_EQ(EventLog_ToolName(5), "");
    EXPECT_EQ(EventLog_ScannerCode(), "-");
    Barcode_SetCurrCode("SCAN-9");
    EXPECT_EQ(EventLog_ScannerCode(), "SCAN-9");
}

} // namespace
