// Device object, digital I/O family, against the simulated GPIO tree.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "io.h"
#include "setting.h"
#include "threads.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
const std::string kTree = std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree";

class DeviceIoTest : public ::testing::Test {
  protected:
    TestEnv env;
    ApplicationDeviceClass* dev = ApplicationDevice();
    void SetUp() override {
        ASSERT_EQ(std::system((kTree + " init " + env.sysroot()).c_str()), 0);
        load_setting();
        Threads_Init();
        Gpio_Init();
    }
    std::string out(int pos) const {
        return TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio" +
                                 std::to_string(gpio_out_no[pos]) + "/value");
    }
    std::string outputs() const {
        std::string s;
        for (int i = 0; i < IO_PORT_COUNT; ++i)
            s += out(i).substr(0, 1);
        return s;
    }
};
} // namespace

TEST_F(DeviceIoTest, SysOutLevelDrivesOnlyOutputsOfThatFunction) {
    SettingIo* io = get_setting_io();
    for (auto& f : io->output)
        f = 0;
    EXPECT_EQ(dev->SetSysOutLevel(IO_OUT_JOB_OK, 1), 0); // no "Job OK" output
    EXPECT_EQ(outputs(), std::string(16, '0'));
    io->output[2] = IO_OUT_JOB_OK;
    io->output[12] = IO_OUT_JOB_OK;
    io->output[5] = IO_OUT_JOB_NG;
    EXPECT_EQ(dev->SetSysOutLevel(IO_OUT_JOB_OK, 1), 2);
    EXPECT_EQ(outputs(), "0010000000001000");
    EXPECT_EQ(dev->GetOutputStatus(12), 1);
    EXPECT_EQ(dev->SetSysOutLevel(9, 1), 0);
    EXPECT_EQ(dev->SetSysOutLevel(0, 1), 0); // free outputs belong to the job steps
    EXPECT_EQ(dev->SetSysOutLevel(-3, 1), 0);
    EXPECT_EQ(outputs(), "0010000000001000");
    EXPECT_EQ(dev->SetSysOutLevel(IO_OUT_JOB_OK, 0), 2);
    EXPECT_EQ(outputs(), std::string(16, '0'));
}

TEST_F(DeviceIoTest, OutputByPositionModuloSixteenAndAllOff) {
    dev->SetGpioOutVal(17, 1);
    dev->SetGpioOutVal(15, 1);
    dev->SetGpioOutVal(-1, 1); // same as 15
    EXPECT_EQ(outputs(), "0100000000000001");
    dev->OutputOffAll();
    EXPECT_EQ(outputs(), std::string(16, '0'));
    for (int i = 0; i < IO_PORT_COUNT; ++i)
        EXPECT_EQ(dev->GetOutputStatus(i), 0);
}

TEST_F(DeviceIoTest, InputStatusAndEdge) {
    ASSERT_EQ(std::system((kTree + " wire " + env.sysroot() + " 4 0").c_str()), 0);
    EXPECT_EQ(dev->GetInputStatus(3), 1);
    EXPECT_EQ(dev->GetInputStatus(4), 0);
    EXPECT_EQ(dev->GetInputStatus(16), -1);
    dev->SetInputEdge(3, IO_EDGE_RISING);
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio111/edge"), "rising\n");
    LogCapture log;
    dev->SetInputEdge(16, IO_EDGE_NONE); // refused, with a line saying so
    EXPECT_TRUE(log.contains("invalid input 16"));
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio111/edge"), "rising\n");
}
