// The simulated cell script: sysroot layout, stubs on PATH, and the two namespaces with
// the panel's eth0 and the tools' addresses.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

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
        ShellOutput(cellScript() + " down " + dir_ + " 2>&1");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_, tag_;
};

} // namespace

TEST_F(CellTest, SysrootAndStubsWithoutNetwork) {
    const std::string out = ShellOutput(cellScript() + " up " + dir_ + " --no-net --sd 2>&1");
    ASSERT_NE(out.find("cell: up"), std::string::npos) << out;
    const std::string sys = dir_ + "/sysroot";
    EXPECT_TRUE(fs::exists(sys + "/sys/class/gpio/export")) << "the GPIO tree laid out";
    EXPECT_TRUE(fs::exists(sys + "/sys/class/backlight/pwm-backlight/brightness"));
    for (const char* node : {"/dev/input/event0", "/dev/input/event1"})
        EXPECT_TRUE(fs::is_fifo(sys + node)) << node;
    for (const char* dir : {"/media/mmcblk3p2", "/media/mmcblk1p1"})
        EXPECT_TRUE(fs::is_directory(sys + dir)) << dir;
    // A reader of the touch FIFO is not left at end of file: the keeper holds it open.
    const int fd = open((sys + "/dev/input/event0").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    char c;
    EXPECT_EQ(read(fd, &c, 1), -1) << "no data, but no end of file either";
    close(fd);
    // Stubs record instead of running.
    const std::string rec = ShellOutput(
        ". " + dir_ + "/cell.env && reboot now && ifconfig eth0 down && cat $KEST_STUB_LOG");
    EXPECT_EQ(rec, "reboot now\nifconfig eth0 down\n");
    EXPECT_EQ(ShellOutput(". " + dir_ + "/cell.env && echo $CELL_PANEL_NS"), "\n")
        << "no namespaces";
}

// The namespaces of the tool-link suites' namespace runs, removed again by "down".
TEST_F(CellTest, NamespacesComeUpAndGo) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    const std::string out = ShellOutput(cellScript() + " up " + dir_ + " --name " + tag_ + " 2>&1");
    ASSERT_NE(out.find("cell: up"), std::string::npos) << out;
    // Their addresses are the tool-link suites' (Cell/*/Namespaces), which fail without them.
    const std::string pns = "kest-p-" + tag_;
    EXPECT_NE(ShellOutput("ip netns list").find(pns), std::string::npos);
    ShellOutput(cellScript() + " down " + dir_);
    EXPECT_EQ(ShellOutput("ip netns list").find(pns), std::string::npos) << "namespaces removed";
}
