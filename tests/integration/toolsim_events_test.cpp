// toolsim's event connection: frames in the layout of each tool type, results stored
// while event output is off, 4015 = 1 and 2, acknowledges, lock and auto-lock, malformed
// frames, and curve frames on the data connection.
#include "toolsim_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <modbus.h>
#include <string>
#include <sys/socket.h>
#include <thread>

using harness::Toolsim;

namespace {

uint16_t be16(const std::vector<uint8_t>& d, size_t off) {
    return static_cast<uint16_t>((d[off] << 8) | d[off + 1]);
}
// Frame register i (0 = event number, 1 = FastenTime ... 12 = Status, 13 = Snug).
uint16_t reg(const std::vector<uint8_t>& f, int i) {
    return be16(f, 9 + 2 * static_cast<size_t>(i));
}

class ToolsimEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!net_.enter()) GTEST_SKIP() << "needs root for a private network namespace";
    }
    harness::PrivateNet net_;
};

struct Conn {
    explicit Conn(int port) {
        ctx = modbus_new_tcp("127.0.0.1", port);
        modbus_set_slave(ctx, 255);
        modbus_set_response_timeout(ctx, 1, 0);
        ok = modbus_connect(ctx) == 0;
    }
    ~Conn() {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    int write(int a, int v) { return modbus_write_register(ctx, a, v); }
    uint16_t get(int a) {
        uint16_t v = 0xDEAD;
        modbus_read_registers(ctx, a, 1, &v);
        return v;
    }
    std::vector<uint8_t> frame(int timeoutMs = 1500) {
        modbus_set_response_timeout(ctx, timeoutMs / 1000, (timeoutMs % 1000) * 1000);
        std::vector<uint8_t> buf(MODBUS_TCP_MAX_ADU_LENGTH);
        const int n = modbus_receive_confirmation(ctx, buf.data());
        buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buf;
    }
    modbus_t* ctx;
    bool ok;
};

} // namespace

TEST_F(ToolsimEvents, DriverFrameLayout) {
    Toolsim sim({"--tools", "1", "--types", "3"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_TRUE(data.ok && ev.ok);
    ASSERT_EQ(data.write(4015, 1), 1);
    ASSERT_EQ(sim.cmd("fasten 0 ng time=812 preset=3 target=250 torque=175 speed=900 a1=1 a2=2 "
                      "a3=3 screw=4 error=21 dir=1 snug=40 barcode=XYZ-9"),
              "ok 1");
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(be16(f, 4), 64) << "length field";
    EXPECT_EQ(f[8], 61) << "byte count";
    const uint16_t want[14] = {1, 812, 3, 250, 175, 900, 1, 2, 3, 4, 21, 1, 2, 40};
    for (int i = 0; i < 14; i++)
        EXPECT_EQ(reg(f, i), want[i]) << "register " << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[37])), "XYZ-9");
    EXPECT_EQ(f[69], 0);
}

TEST_F(ToolsimEvents, ControllerFrameCarriesBarcodeRegisters) {
    Toolsim sim({"--tools", "1", "--types", "4"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_EQ(data.write(4015, 1), 1);
    ASSERT_EQ(sim.cmd("barcode 0 ABC"), "ok 1");
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 101u);
    EXPECT_EQ(be16(f, 4), 95);
    EXPECT_EQ(f[8], 92);
    EXPECT_EQ(reg(f, 12), 7) << "status: barcode read at the tool";
    EXPECT_EQ(be16(f, 37), 'A');
    EXPECT_EQ(be16(f, 39), 'B');
    EXPECT_EQ(be16(f, 41), 'C');
    EXPECT_EQ(be16(f, 43), 0);
}

TEST_F(ToolsimEvents, StoredResultsComeFirstInOrderWithOutput1) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_EQ(data.write(4015, 0), 1);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(sim.cmd("fasten 0 ok torque=" + std::to_string(100 + i)),
                  "ok " + std::to_string(i + 1));
    EXPECT_TRUE(ev.frame(300).empty()) << "output off: stored in the tool";
    EXPECT_EQ(data.get(2900), 3);
    EXPECT_EQ(data.get(2901), 0);
    ASSERT_EQ(data.write(4015, 1), 1);
    for (int i = 0; i < 3; i++) {
        auto f = ev.frame();
        ASSERT_EQ(f.size(), 70u) << i;
        EXPECT_EQ(reg(f, 4), 100 + i) << "oldest first";
        EXPECT_TRUE(ev.frame(200).empty()) << "one event until it is acknowledged";
        ASSERT_EQ(data.write(4016, 1), 1);
    }
    EXPECT_EQ(data.get(2901), 3);
    // A live result after the stored ones.
    ASSERT_EQ(sim.cmd("fasten 0 ok torque=555"), "ok 4");
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(reg(f, 4), 555);
}

TEST_F(ToolsimEvents, Output2SkipsStoredResults) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(sim.cmd("fasten 0 ok torque=1"), "ok " + std::to_string(i + 1));
    EXPECT_EQ(sim.stat(0, "pending"), 5);
    ASSERT_EQ(data.write(4015, 2), 1);
    EXPECT_EQ(data.get(2901), 5) << "stored ones count as delivered";
    EXPECT_TRUE(ev.frame(300).empty());
    ASSERT_EQ(sim.cmd("fasten 0 ok torque=777"), "ok 6");
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(reg(f, 4), 777);
}

TEST_F(ToolsimEvents, ControllerCountersWrapAtHundred) {
    Toolsim sim({"--tools", "1", "--types", "1", "--ack-wait", "0"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_EQ(data.write(4015, 1), 1);
    for (int i = 0; i < 98; i++)
        ASSERT_EQ(sim.cmd("fasten 0 ok").rfind("ok", 0), 0u);
    for (int i = 0; i < 98; i++)
        ASSERT_EQ(ev.frame().size(), 101u);
    ASSERT_EQ(data.write(4015, 0), 1);
    for (int i = 0; i < 5; i++)
        sim.cmd("fasten 0 ok");
    EXPECT_EQ(data.get(2900), 3) << "103 mod 100";
    EXPECT_EQ(data.get(2901), 98);
    EXPECT_EQ(sim.stat(0, "pending"), 5) << "100 - 98 + 3";
}

TEST_F(ToolsimEvents, UnacknowledgedEventIsResentAfterReconnectAndTimeoutMovesOn) {
    Toolsim sim({"--tools", "1", "--ack-wait", "300"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020);
    {
        Conn ev(5021);
        ASSERT_EQ(data.write(4015, 1), 1);
        sim.cmd("fasten 0 ok torque=11");
        sim.cmd("fasten 0 ok torque=12");
        ASSERT_EQ(reg(ev.frame(), 4), 11);
    } // the event connection drops before the acknowledge
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Conn ev(5021);
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(reg(f, 4), 11) << "still stored";
    // No acknowledge: after 300 ms the tool counts it delivered and sends the next.
    f = ev.frame(2000);
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(reg(f, 4), 12);
    EXPECT_GE(sim.stat(0, "ackTimeouts"), 1);
}

TEST_F(ToolsimEvents, LockedToolDoesNotFasten) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_EQ(data.write(4015, 1), 1);
    ASSERT_EQ(data.write(4001, 1), 1);
    EXPECT_EQ(sim.cmd("fasten 0 ok"), "err locked");
    EXPECT_EQ(sim.cmd("auto 0 on 20"), "ok");
    EXPECT_TRUE(ev.frame(300).empty()) << "automatic mode waits while locked";
    EXPECT_EQ(sim.stat(0, "produced"), 0);
    ASSERT_EQ(data.write(4001, 0), 1);
    auto f = ev.frame();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(reg(f, 12), 1);
    sim.cmd("auto 0 off");
    // Remote run fastens once on an unlocked tool, never on a locked one.
    ASSERT_EQ(data.write(4016, 1), 1);
    while (!ev.frame(300).empty())
        data.write(4016, 1);
    const long before = sim.stat(0, "produced");
    ASSERT_EQ(data.write(4001, 1), 1);
    ASSERT_EQ(data.write(4003, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(sim.stat(0, "produced"), before);
    ASSERT_EQ(data.write(4001, 0), 1);
    ASSERT_EQ(data.write(4003, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(sim.stat(0, "produced"), before + 1);
}

TEST_F(ToolsimEvents, AutoLockAfterScrewCountAndScrewNumbersCountDown) {
    Toolsim sim({"--tools", "1", "--ack-wait", "0"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020), ev(5021);
    ASSERT_EQ(data.write(4015, 1), 1);
    ASSERT_EQ(data.write(262, 3), 1);
    ASSERT_EQ(data.write(264, 1), 1);
    sim.cmd("fasten 0 ok");
    sim.cmd("fasten 0 ng");
    sim.cmd("fasten 0 ok");
    EXPECT_EQ(reg(ev.frame(), 9), 2);
    EXPECT_EQ(reg(ev.frame(), 9), 2) << "NG does not count";
    EXPECT_EQ(reg(ev.frame(), 9), 1);
    EXPECT_EQ(sim.cmd("count 0"), "ok 4");
    auto f = ev.frame();
    EXPECT_EQ(reg(f, 12), 8);
    EXPECT_EQ(reg(f, 9), 2) << "one screw given back";
    sim.cmd("fasten 0 ok");
    sim.cmd("fasten 0 ok");
    EXPECT_EQ(reg(ev.frame(), 9), 1);
    EXPECT_EQ(reg(ev.frame(), 9), 0);
    EXPECT_EQ(data.get(4001), 1);
    EXPECT_EQ(sim.cmd("fasten 0 ok"), "err locked") << "auto-lock after the count";
}

TEST_F(ToolsimEvents, BackupFilterDropsUnselectedKinds) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020);
    ASSERT_EQ(data.write(265, 0x1FF & ~0x004), 1); // no NG results
    EXPECT_EQ(sim.cmd("fasten 0 ng"), "ok filtered");
    EXPECT_EQ(sim.cmd("fasten 0 ok"), "ok 1");
}

TEST_F(ToolsimEvents, MalformedFramesAreSentAsAsked) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    EXPECT_EQ(sim.cmd("raw 0 short"), "err no event connection");
    Conn ev(5021);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const struct {
        const char* cmd;
        const char* answer;
    } cases[] = {
        {"raw 0 short", "ok 36"},        {"raw 0 long", "ok 130"},
        {"raw 0 huge", "ok 260"},        {"raw 0 badlen", "ok 70"},
        {"raw 0 garbage 17", "ok 17"},   {"raw 0 hex 0001000000", "ok 5"},
        {"raw 0 hex 0g", "err bad hex"}, {"raw 0 nonsense", "err unknown frame kind nonsense"}};
    for (const auto& c : cases)
        EXPECT_EQ(sim.cmd(c.cmd), c.answer) << c.cmd;
    // The first three are well-formed Modbus frames of the wrong size.
    const int fd = modbus_get_socket(ev.ctx);
    std::vector<uint8_t> all(2048);
    size_t got = 0;
    for (int i = 0; i < 20 && got < 36 + 130 + 260 + 70 + 17 + 5; i++) {
        const ssize_t n = recv(fd, all.data() + got, all.size() - got, MSG_DONTWAIT);
        if (n > 0)
            got += static_cast<size_t>(n);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(got, 36u + 130 + 260 + 70 + 17 + 5);
    EXPECT_EQ(all[8], 27) << "short: byte count matches its 36 bytes";
    EXPECT_EQ(all[36 + 8], 121) << "long";
    EXPECT_EQ(be16(all, 36 + 130 + 260 + 4), 0x7FFF) << "badlen";
}

TEST_F(ToolsimEvents, CurveFrameFollowsTheArmedFastening) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Conn data(5020);
    ASSERT_EQ(data.write(4101, 1), 1);
    ASSERT_EQ(data.write(4102, 3), 1);
    ASSERT_EQ(data.write(4100, 1), 1);
    sim.cmd("fasten 0 ok torque=300");
    auto f = data.frame();
    ASSERT_GE(f.size(), 40u);
    const size_t n = be16(f, 18);
    EXPECT_EQ(f.size(), 40 + 4 * n) << "two channels";
    EXPECT_EQ(be16(f, 10), 1);
    EXPECT_EQ(be16(f, 12), 3);
    EXPECT_EQ(be16(f, 24), 300);
    EXPECT_EQ(be16(f, 40 + 2 * (n - 1)), 300) << "curve ends at the final torque";
    EXPECT_EQ(data.get(4100), 0) << "disarmed after one curve";
    sim.cmd("fasten 0 ok");
    EXPECT_TRUE(data.frame(300).empty());
}
