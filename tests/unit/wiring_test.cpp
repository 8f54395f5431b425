// The joints between modules made at start-up: a received result is forwarded to the
// plant server when forwarding is on, and the result log names the registered tool and
// the scanner's current code.
#include "barcode.h"
#include "bef.h"
#include "eventlog.h"
#include "mbus.h"
#include "operation.h"
#include "setting.h"
#include "toollink_support.h"
#include "tools.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace toollink_test;

namespace {
std::vector<uint8_t> driverFrame(uint16_t status, const std::string& code) {
    std::vector<uint8_t> f(70, 0);
    memcpy(&f[37], code.data(), std::min<size_t>(code.size(), 32));
    for (int i = 1; i <= 13; ++i) {
        uint16_t v = i == 12 ? status : uint16_t(100 + i);
        f[9 + 2 * i] = uint8_t(v >> 8);
        f[10 + 2 * i] = uint8_t(v);
    }
    f[4] = 0;
    f[5] = uint8_t(f.size() - 6);
    f[6] = 255;
    f[7] = 3;
    f[8] = uint8_t(f.size() - 9);
    return f;
}

class Wiring : public DriverFixture {
  protected:
    void SetUp() override { startDriver(); }
    int port = freeTcpPortPair();
};
} // namespace

TEST_F(Wiring, ReceivedResultIsForwardedWhenForwardingIsOn) {
    int lsock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(lsock, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t alen = sizeof a;
    getsockname(lsock, reinterpret_cast<sockaddr*>(&a), &alen);
    ASSERT_EQ(listen(lsock, 1), 0);

    TestToolServer tool(port);
    feedAck(makeInfo(3, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(tool.port()), "T"));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    takeConnects();
    Modbus_MsgQProc_Connect(0);
    ASSERT_TRUE(waitFor([&] { return tool.eventConnected(); }));

    Bef_ApplySetting(1, 0x7f000001, ntohs(a.sin_port));
    Bef_ConnectTimerCallback();
    int conn = accept(lsock, nullptr, nullptr);
    ASSERT_GE(conn, 0);
    ASSERT_TRUE(waitFor([] { return Bef_IsConnected() == 1; }));
    ASSERT_EQ(fastening_event_enable(0, 0), 0);

    auto frame = driverFrame(1, "FWD-1");
    ASSERT_TRUE(tool.sendEvent(frame));
    std::string got;
    while (got.size() < 72) {
        pollfd p{conn, POLLIN, 0};
        ASSERT_GT(poll(&p, 1, 5000), 0) << "nothing forwarded";
        char buf[256];
        ssize_t n = read(conn, buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.append(buf, size_t(n));
    }
    ASSERT_EQ(got.size(), 72u);
    EXPECT_EQ(uint8_t(got[9]), 0); // tool index of the registered tool
    EXPECT_EQ(got.substr(39, 5), "FWD-1");
    close(conn);
    close(lsock);
}

TEST_F(Wiring, ResultLogNamesTheToolAndTheScannerCode) {
    TestToolServer tool(port);
    feedAck(makeInfo(4, TOOL_TYPE_ZQT, 0x7f000001, uint16_t(tool.port()), "T"));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(0, "Station 4"), 0);
    EXPECT_EQ(EventLog_ToolName(0), "Station 4");
    EXPECT_EQ(EventLog_ToolName(5), "");
    EXPECT_EQ(EventLog_ScannerCode(), "-");
    Barcode_SetCurrCode("SCAN-9");
    EXPECT_EQ(EventLog_ScannerCode(), "SCAN-9");
}
