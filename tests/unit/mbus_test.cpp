// Modbus link without a tool: the caller named in a refused address, the connect time limit
// refusing at once, and the text coding of the tool's Wi-Fi registers (a whole-register text
// and the zeros after it: the device object's tool-link test). The address rule's
// bounds: tests/unit/mbus_mirror_test.cpp; traffic with tools: the tool-link suites in
// tests/integration.
#include "mbus.h"
#include "unit_common.h"

#include <modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

TEST(MbusAddr, RefusalNamesItsCallerOddTextAndFullTextAndRefusedConnectFailsAtOnce) {
    LogCapture log;
    EXPECT_EQ(CheckMbusAddr(5995, 6, "caller", 7), 1);
    EXPECT_TRUE(log.contains("caller.7 : addr out of range, 5995-6"));
    // The text of the Wi-Fi registers: an odd last character goes high.
    uint16_t regs[16];
    Mbus_EncodeText("abc", regs);
    EXPECT_EQ(regs[1], 0x6300);
    char text[33];
    Mbus_DecodeText(regs, text);
    EXPECT_STREQ(text, "abc");
    uint16_t full[16];
    std::fill(full, full + 16, 0x4142);
    Mbus_DecodeText(full, text);
    EXPECT_EQ(strlen(text), 32u);
    // A refused connect fails at once.
    // A port just released on loopback: nobody listens there.
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    const uint16_t port = ntohs(a.sin_port);
    modbus_t* ctx = Modbus_NewCtx(0x7f000001, port);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(Modbus_ConnectTimeout(ctx, 0x7f000001, port, 2000), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    modbus_free(ctx);
}

} // namespace
