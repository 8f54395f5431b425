// toolsim as a peer: discovery over real multicast, its registers through a libmodbus
// client, event frames on the event connection, and the control commands. Each test
// runs in a private network namespace (root), so ports and multicast are its own.
#include "toolsim_harness.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <modbus.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using harness::DiscoClient;
using harness::Toolsim;

namespace {

uint16_t be16(const std::vector<uint8_t>& d, size_t off) {
    return static_cast<uint16_t>((d[off] << 8) | d[off + 1]);
}
uint32_t be32(const std::vector<uint8_t>& d, size_t off) {
    return (static_cast<uint32_t>(be16(d, off)) << 16) | be16(d, off + 2);
}

class ToolsimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!net_.enter()) GTEST_SKIP() << "needs root for a private network namespace";
    }
    harness::PrivateNet net_;
};

// A libmodbus client of one tool's data or event port.
struct Client {
    explicit Client(int port, const char* ip = "127.0.0.1") {
        ctx = modbus_new_tcp(ip, port);
        modbus_set_response_timeout(ctx, 1, 0);
        modbus_set_slave(ctx, 255);
        connected = modbus_connect(ctx) == 0;
    }
    ~Client() {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    int read(int addr, int n, uint16_t* out) {
        return addr >= 3000 && addr < 5000 ? modbus_read_input_registers(ctx, addr, n, out)
                                           : modbus_read_registers(ctx, addr, n, out);
    }
    uint16_t get(int addr) {
        uint16_t v = 0xDEAD;
        read(addr, 1, &v);
        return v;
    }
    int write(int addr, int v) { return modbus_write_register(ctx, addr, v); }
    // One event frame; empty on time-out.
    std::vector<uint8_t> frame(int timeoutMs = 1500) {
        modbus_set_response_timeout(ctx, timeoutMs / 1000, (timeoutMs % 1000) * 1000);
        std::vector<uint8_t> buf(MODBUS_TCP_MAX_ADU_LENGTH);
        const int n = modbus_receive_confirmation(ctx, buf.data());
        buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buf;
    }
    modbus_t* ctx;
    bool connected;
};

} // namespace

// ---- discovery ----

TEST_F(ToolsimTest, ScanIsAnsweredByEveryToolWithItsInfoBlock) {
    Toolsim sim({"--tools", "3", "--types", "2,1,4", "--port-base", "6000"});
    ASSERT_TRUE(sim.ok());
    DiscoClient dc;
    ASSERT_TRUE(dc.ok());
    ASSERT_EQ(dc.send(harness::scanRequest()), 4);
    auto acks = dc.collect(0x82, 400);
    ASSERT_EQ(acks.size(), 3u);
    const uint8_t types[3] = {2, 1, 4};
    for (int i = 0; i < 3; i++) {
        const auto& a = acks[static_cast<size_t>(i)];
        ASSERT_EQ(a.size(), 40u);
        EXPECT_EQ(a[0], 0x34);
        EXPECT_EQ(a[1], 0x12);
        const std::string serial(reinterpret_cast<const char*>(&a[4]));
        EXPECT_EQ(serial, "KS2607" + std::to_string(types[i]) + "0" + std::to_string(i + 1));
        EXPECT_EQ(be32(a, 24), 0x7F000001u) << "ip";
        EXPECT_EQ(be16(a, 28), 6000 + 2 * i) << "port";
        EXPECT_EQ(a[30], 0x02) << "locally administered MAC";
        EXPECT_EQ(a[35], i + 1);
        EXPECT_EQ(a[36], 0) << "busy";
        EXPECT_EQ(be16(a, 37), 1203) << "version";
        EXPECT_EQ(a[39], types[i]) << "type";
    }
    EXPECT_NE(be32(acks[0], 20), 0u) << "model";
}

TEST_F(ToolsimTest, SearchIsAnsweredOnlyByMatchingTools) {
    Toolsim sim({"--tools", "3", "--types", "2,3,2"});
    ASSERT_TRUE(sim.ok());
    DiscoClient dc;
    dc.send(harness::searchRequest("KS26073"));
    auto acks = dc.collect(0x83, 300);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0][39], 3);
    dc.send(harness::searchRequest("ZQ3020")); // model text: both ZQ tools
    EXPECT_EQ(dc.collect(0x83, 300).size(), 2u);
    dc.send(harness::searchRequest("nobody"));
    EXPECT_TRUE(dc.collect(0x83, 300).empty());
    dc.send({0x34, 0x12, 0x00, 0x02, 'K'}); // truncated search: ignored
    EXPECT_TRUE(dc.collect(0x83, 300).empty());
}

TEST_F(ToolsimTest, BusySilentAndAdvertise) {
    Toolsim sim({"--tools", "2"});
    ASSERT_TRUE(sim.ok());
    DiscoClient dc;
    EXPECT_EQ(sim.cmd("busy 1 1"), "ok");
    EXPECT_EQ(sim.cmd("silent 0"), "ok");
    dc.send(harness::scanRequest());
    auto acks = dc.collect(0x82, 300);
    ASSERT_EQ(acks.size(), 1u) << "the silent tool does not answer";
    EXPECT_EQ(acks[0][36], 1) << "busy flag";
    EXPECT_EQ(acks[0][39], 3);
    EXPECT_EQ(sim.cmd("back 0"), "ok");
    dc.send(harness::scanRequest());
    EXPECT_EQ(dc.collect(0x82, 300).size(), 2u);

    EXPECT_EQ(sim.cmd("advertise 0 5"), "ok");
    auto adv = dc.collect(0x81, 300);
    ASSERT_EQ(adv.size(), 1u);
    ASSERT_EQ(adv[0].size(), 41u);
    EXPECT_EQ(adv[0][4], 5);
    EXPECT_EQ(be16(adv[0], 5 + 24), 5020) << "port in the unaligned info block";
    EXPECT_EQ(adv[0][5 + 35], 2);
    EXPECT_EQ(sim.cmd("advertise 0 256"), "err bad cause");
}

TEST_F(ToolsimTest, ReaddressMovesListenersAndAdvertises) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    DiscoClient dc;
    EXPECT_EQ(sim.cmd("readdress 0 ip=127.0.0.9 port=7100 cause=2"), "ok");
    auto adv = dc.collect(0x81, 300);
    ASSERT_EQ(adv.size(), 1u);
    EXPECT_EQ(adv[0][4], 2);
    EXPECT_EQ(be32(adv[0], 5 + 20), 0x7F000009u);
    EXPECT_EQ(be16(adv[0], 5 + 24), 7100);
    EXPECT_FALSE(Client(5020).connected);
    Client c(7100, "127.0.0.9");
    ASSERT_TRUE(c.connected);
    uint16_t net[13];
    ASSERT_EQ(c.read(269, 13, net), 13);
    EXPECT_EQ(net[0], 127);
    EXPECT_EQ(net[3], 9);
    EXPECT_EQ(net[12], 7100) << "port register 281";
    EXPECT_TRUE(Client(7101, "127.0.0.9").connected) << "event port follows";
}

// ---- registers ----

TEST_F(ToolsimTest, ParametersHaveLimitsAndOutOfRangeWritesAreRefused) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Client c(5020);
    ASSERT_TRUE(c.connected);
    // Preset 3's target torque and its limits.
    const uint16_t v = c.get(32), lo = c.get(1032), hi = c.get(2032);
    EXPECT_LT(lo, v);
    EXPECT_LT(v, hi);
    EXPECT_EQ(c.write(32, hi), 1);
    EXPECT_EQ(c.get(32), hi);
    EXPECT_EQ(c.write(32, hi + 1), -1);
    EXPECT_EQ(errno, EMBXILVAL);
    EXPECT_EQ(c.write(32, lo - 1), -1);
    EXPECT_EQ(c.get(32), hi) << "refused write leaves the value";
    EXPECT_EQ(c.write(1032, 0), -1) << "limits are read-only";
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(c.write(2900, 0), -1) << "counters are read-only";
    EXPECT_EQ(c.write(4015, 3), -1) << "event output is 0..2";
    EXPECT_EQ(c.write(4015, 2), 1);
    uint16_t six[6];
    EXPECT_EQ(c.read(5995, 5, six), 5);
    EXPECT_EQ(c.read(5995, 6, six), -1) << "the map ends at 5999";
    // Torque unit of a driver at 260 within the vocabulary.
    EXPECT_LE(c.get(260), 6);
    EXPECT_EQ(c.write(260, 7), -1);
}

TEST_F(ToolsimTest, StatusBlockTemperatureAndErrorList) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Client c(5020);
    ASSERT_EQ(sim.cmd("temp 0 417"), "ok");
    ASSERT_EQ(c.write(4004, 4), 1);
    ASSERT_EQ(c.write(4005, 1), 1);
    uint16_t st[11];
    ASSERT_EQ(c.read(3303, 11, st), 11) << "read with function 4";
    EXPECT_EQ(st[0], 4) << "3303 preset";
    EXPECT_EQ(st[6], 1) << "3309 direction";
    EXPECT_EQ(st[10], 417) << "3313 temperature";
    EXPECT_EQ(modbus_read_registers(c.ctx, 3303, 1, st), 1);
    EXPECT_EQ(sim.cmd("error 0 107"), "ok");
    EXPECT_EQ(sim.cmd("error 0 999"), "ok");
    uint16_t errs[8];
    ASSERT_EQ(c.read(341, 8, errs), 8);
    EXPECT_EQ(errs[0], 999);
    EXPECT_EQ(errs[1], 107);
    EXPECT_EQ(errs[2], 0);
}

TEST_F(ToolsimTest, WifiTextsAndBarcodeWindow) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Client c(5020);
    ASSERT_EQ(c.write(287, 0x6162), 1);
    for (int r = 288; r <= 302; r++)
        ASSERT_EQ(c.write(r, 0), 1);
    uint16_t ssid[16];
    ASSERT_EQ(c.read(287, 16, ssid), 16);
    EXPECT_EQ(ssid[0], 0x6162);
    EXPECT_EQ(c.get(303) >> 8, '1') << "pass phrase starts with its first character";
    // Store entry 7 through the window, read it back after selecting another one.
    const std::string code = "AB12";
    ASSERT_EQ(c.write(5000, 7), 1);
    ASSERT_EQ(c.write(5001, 3), 1);
    ASSERT_EQ(c.write(5002, 1), 1);
    ASSERT_EQ(c.write(5003, 2), 1);
    for (int i = 0; i < 32; i++)
        ASSERT_EQ(c.write(5007 + i, i < 4 ? code[static_cast<size_t>(i)] : 0), 1);
    ASSERT_EQ(c.write(5006, 1), 1);
    ASSERT_EQ(c.write(5000, 8), 1);
    EXPECT_EQ(c.get(5007), 0) << "entry 8 is empty";
    ASSERT_EQ(c.write(5000, 7), 1);
    uint16_t win[4];
    ASSERT_EQ(c.read(5000, 4, win), 4);
    EXPECT_EQ(win[1], 3);
    EXPECT_EQ(win[3], 2);
    EXPECT_EQ(c.get(5007), 'A');
    EXPECT_EQ(c.get(5010), '2');
    EXPECT_EQ(c.get(5011), 0);
    ASSERT_EQ(c.write(5000, 30), -1) << "30 entries";
    ASSERT_EQ(c.write(5005, 2), 1);
    ASSERT_EQ(c.write(5000, 7), 1);
    EXPECT_EQ(c.get(5007), 0) << "cleared";
}

TEST_F(ToolsimTest, ParameterInitialisationRestoresDefaultsAndRestartsTheLink) {
    Toolsim sim({"--tools", "1"});
    ASSERT_TRUE(sim.ok());
    Client c(5020);
    const uint16_t def = c.get(2);
    ASSERT_EQ(c.write(2, def + 5), 1);
    ASSERT_EQ(c.write(252, 77), 1) << "answered before the restart";
    uint16_t v;
    EXPECT_EQ(modbus_read_registers(c.ctx, 2, 1, &v), -1) << "connection dropped";
    Client again(5020);
    ASSERT_TRUE(again.connected);
    EXPECT_EQ(again.get(2), def);
}

// ---- control interface ----

TEST_F(ToolsimTest, CommandsOnStandardInputAndHelp) {
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(harness::toolsimPath().c_str(), "toolsim", "--tools", "1", "--exit-on-eof",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    const std::string script = "list\nfasten 0 ok\nlock 0 1\nfasten 0 ok\nbogus\nfasten 9 ok\n";
    ASSERT_EQ(write(in[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
    close(in[1]); // end of input ends the program
    std::string all;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        all.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    std::vector<std::string> lines;
    for (size_t p = 0, q; (q = all.find('\n', p)) != std::string::npos; p = q + 1)
        lines.push_back(all.substr(p, q - p));
    ASSERT_EQ(lines.size(), 7u) << all;
    EXPECT_EQ(lines[0], "ready 1");
    EXPECT_EQ(lines[1].rfind("ok 1 | 0 ZQ serial=KS2607201", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "ok 1");
    EXPECT_EQ(lines[3], "ok");
    EXPECT_EQ(lines[4], "err locked");
    EXPECT_EQ(lines[5], "err unknown command bogus");
    EXPECT_EQ(lines[6], "err bad tool 9");

    // --help names every command the control interface answers.
    FILE* p = popen((harness::toolsimPath() + " --help").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string help;
    while (fgets(buf, sizeof buf, p))
        help += buf;
    EXPECT_EQ(pclose(p), 0);
    for (const char* c : {"list",
                          "stats",
                          "fasten",
                          "barcode",
                          "count",
                          "event",
                          "error",
                          "raw",
                          "silent",
                          "back",
                          "die",
                          "revive",
                          "drop",
                          "readdress",
                          "advertise",
                          "busy",
                          "auto",
                          "burst",
                          "set",
                          "setin",
                          "get",
                          "temp",
                          "lock",
                          "quit",
                          "--bind",
                          "--iface",
                          "--control",
                          "--ack-wait",
                          "--write-regtools"})
        EXPECT_NE(help.find(std::string(" ") + c + " "), std::string::npos) << c;
}

TEST_F(ToolsimTest, RegtoolsFileNamesTheTools) {
    char tmpl[] = "/tmp/toolsim-rt-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string path = dir + "/regtools";
    {
        Toolsim sim({"--tools", "2", "--types", "4,2", "--write-regtools", path});
        ASSERT_TRUE(sim.ok());
    }
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> d(200);
    d.resize(fread(d.data(), 1, d.size(), f));
    fclose(f);
    std::filesystem::remove_all(dir);
    ASSERT_EQ(d.size(), 160u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[0])), "XWTCKS2607401");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[33])), "KS2607401");
    EXPECT_EQ(d[49] | d[50] | d[51], 0);
    EXPECT_EQ(d[52] | (d[53] << 8), 1400) << "model little-endian";
    EXPECT_EQ(d[56], 0x02);
    EXPECT_EQ(d[61], 0x01);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[62]), 16), "XWTC024b53000401")
        << "16 characters, no terminator";
    EXPECT_EQ(d[78], 4);
    EXPECT_EQ(d[79], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[80])), "ZQKS2607202");
    EXPECT_EQ(d[80 + 78], 2);
}
