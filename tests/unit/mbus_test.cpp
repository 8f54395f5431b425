// Modbus link without a tool: the address rule, the connect time limit refusing at once,
// and the text coding of the tool's Wi-Fi registers. Traffic with tools: the tool-link
// suites in tests/integration.
#include "mbus.h"
#include "unit_common.h"

#include <modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

TEST(MbusAddr, RangeCheckTextTwoCharactersPerRegisterAndRefusedConnectFailsAtOnce) {
    struct Case {
        int addr, count, want;
    } cases[] = {{5995, 5, 0}, {5995, 6, 1}, {0, 6000, 0}, {0, 6001, 1},
                 {-1, 1, 1},   {5999, 1, 0}, {6000, 0, 0}, {6000, 1, 1}};
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(CheckMbusAddr(c.addr, c.count, "caller", 7), c.want) << c.addr << "+" << c.count;
        if (c.want) {
            EXPECT_TRUE(log.contains("caller.7 : addr out of range, " + std::to_string(c.addr) +
                                     "-" + std::to_string(c.count)));
        }
    }
    // The text of the Wi-Fi registers: two characters per register.
    uint16_t regs[16];
    Mbus_EncodeText("ab", regs);
    EXPECT_EQ(regs[0], 0x6162);
    for (int i = 1; i < 16; ++i)
        EXPECT_EQ(regs[i], 0) << i;
    Mbus_EncodeText("abc", regs);
    EXPECT_EQ(regs[1], 0x6300);
    char text[33];
    Mbus_DecodeText(regs, text);
    EXPECT_STREQ(text, "abc");
    uint16_t full[16];
    for (auto& r : full)
        r = 0x4142;
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
