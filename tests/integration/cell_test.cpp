// The simulated cell script: sysroot layout, stubs on PATH, and the two namespaces with
// the panel's eth0; toolsim in the tools' namespace answers a scan sent from the panel's.
#include "FakeTool.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

// A discovery client on the panel's side: joined to the group on `ifaceIp`.
struct DiscoClient {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in group{AF_INET, htons(53256), {}, {}};
    explicit DiscoClient(const char* ifaceIp) {
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{AF_INET, htons(53256), {}, {}};
        ip_mreq m{};
        inet_pton(AF_INET, "239.66.77.43", &m.imr_multiaddr);
        inet_pton(AF_INET, ifaceIp, &m.imr_interface);
        group.sin_addr = m.imr_multiaddr;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0 ||
            setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m.imr_interface, sizeof m.imr_interface))
            fd = (close(fd), -1);
    }
    ~DiscoClient() { close(fd); }
    void scan() {
        const uint8_t req[4] = {0x34, 0x12, 0x00, 0x01};
        sendto(fd, req, 4, 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    }
    // The next `n` datagrams of `type` (others are skipped), waiting at most 5 s.
    std::vector<std::vector<uint8_t>> take(uint16_t type, size_t n) {
        std::vector<std::vector<uint8_t>> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) break;
            std::vector<uint8_t> d(2048);
            d.resize(size_t(std::max<ssize_t>(0, recv(fd, d.data(), d.size(), 0))));
            if (d.size() >= 4 && ((d[2] << 8) | d[3]) == type) out.push_back(d);
        }
        return out;
    }
};

std::string cellScript() {
    return std::string(KEST_SOURCE_DIR) + "/sim/cell/cell.sh";
}

class CellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kest-cell-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
        tag_ = "ct" + std::to_string(getpid());
    }
    void TearDown() override {
        run(cellScript() + " down " + dir_ + " 2>&1");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_, tag_;
};

} // namespace

TEST_F(CellTest, SysrootAndStubsWithoutNetwork) {
    const std::string out = run(cellScript() + " up " + dir_ + " --no-net --sd 2>&1");
    ASSERT_NE(out.find("cell: up"), std::string::npos) << out;
    const std::string sys = dir_ + "/sysroot";
    EXPECT_TRUE(fs::exists(sys + "/sys/class/gpio/export"));
    EXPECT_TRUE(fs::exists(sys + "/sys/class/gpio/gpio106/value")) << "input 1";
    EXPECT_TRUE(fs::exists(sys + "/sys/class/gpio/gpio4/value")) << "output 1";
    EXPECT_TRUE(fs::exists(sys + "/sys/class/backlight/pwm-backlight/brightness"));
    EXPECT_TRUE(fs::is_fifo(sys + "/dev/input/event0"));
    EXPECT_TRUE(fs::is_fifo(sys + "/dev/input/event1"));
    EXPECT_TRUE(fs::is_directory(sys + "/media/mmcblk3p2"));
    EXPECT_TRUE(fs::is_directory(sys + "/media/mmcblk1p1"));
    // A reader of the touch FIFO is not left at end of file: the keeper holds it open.
    const int fd = open((sys + "/dev/input/event0").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    char c;
    EXPECT_EQ(read(fd, &c, 1), -1) << "no data, but no end of file either";
    close(fd);
    // Stubs record instead of running.
    const std::string rec =
        run(". " + dir_ + "/cell.env && reboot now && ifconfig eth0 down && cat $KEST_STUB_LOG");
    EXPECT_EQ(rec, "reboot now\nifconfig eth0 down\n");
    EXPECT_EQ(run(". " + dir_ + "/cell.env && echo $CELL_PANEL_NS"), "\n") << "no namespaces";
}

TEST_F(CellTest, NamespacesCarryDiscoveryAndModbus) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    const std::string out = run(cellScript() + " up " + dir_ + " --name " + tag_ + " 2>&1");
    ASSERT_NE(out.find("cell: up"), std::string::npos) << out;
    const std::string pns = "kest-p-" + tag_, tns = "kest-t-" + tag_;
    EXPECT_NE(run("ip netns list").find(pns), std::string::npos);
    const std::string link = run("ip -n " + pns + " -br addr show dev eth0");
    EXPECT_NE(link.find("10.77.0.1/24"), std::string::npos) << link;
    EXPECT_NE(link.find("UP"), std::string::npos) << link;

    // toolsim on the tools' side; this thread moves to the panel's side to scan.
    const int self = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int tools = open(("/var/run/netns/" + tns).c_str(), O_RDONLY | O_CLOEXEC);
    const int panel = open(("/var/run/netns/" + pns).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_TRUE(self >= 0 && tools >= 0 && panel >= 0);
    ASSERT_EQ(setns(tools, CLONE_NEWNET), 0);
    {
        ToolsimProcess sim(
            {"--tool", "2,ip=10.77.0.11", "--tool", "4,ip=10.77.0.12", "--bind", "10.77.0.11"});
        ASSERT_EQ(setns(panel, CLONE_NEWNET), 0);
        ASSERT_TRUE(sim.ok());
        DiscoClient dc("10.77.0.1");
        ASSERT_GE(dc.fd, 0);
        dc.scan();
        const auto acks = dc.take(0x82, 2);
        ASSERT_EQ(acks.size(), 2u);
        EXPECT_EQ(acks[1][24], 10);
        EXPECT_EQ(acks[1][27], 12) << "second tool at 10.77.0.12";
        modbus_t* mb = modbus_new_tcp("10.77.0.12", 5022);
        ASSERT_EQ(modbus_connect(mb), 0) << "Modbus/TCP across the veth";
        uint16_t v = 0;
        EXPECT_EQ(modbus_read_registers(mb, 281, 1, &v), 1);
        EXPECT_EQ(v, 5022) << "the tool's port register";
        modbus_close(mb);
        modbus_free(mb);
        EXPECT_EQ(sim.cmd("readdress 1 ip=10.77.0.31"), "ok");
        const auto adv = dc.take(0x81, 1);
        ASSERT_EQ(adv.size(), 1u);
        EXPECT_EQ(adv[0][5 + 23], 31);
    }
    setns(self, CLONE_NEWNET);
    close(self);
    close(tools);
    close(panel);

    run(cellScript() + " down " + dir_);
    EXPECT_EQ(run("ip netns list").find(pns), std::string::npos) << "namespaces removed";
}
