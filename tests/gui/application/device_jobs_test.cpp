// Device-object families "jobs and steps" and "result log" over real job files in a
// temporary data home. The step fields and the step list as the editor changes them are
// the step editor's tests (gui/jobs); the log line and its acknowledgement the free
// screen's and the integration tests'.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitStepDelayData.h"
#include "UnitStepOutputData.h"
#include "common.h"
#include "job.h"
#include "setting.h"

#include <QSignalSpy>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
struct DeviceJobsTest : ::testing::Test {
    TestEnv env;
    ApplicationDeviceClass* dev = ApplicationDevice();
    void SetUp() override {
        load_setting();
        fs::create_directories("files/job");
        load_job();
        job_free();
        ASSERT_EQ(dev->JobCreateNew("assembly"), 0);
        ASSERT_EQ(dev->JobLoad(0), 0);
    }
};
} // namespace

TEST_F(DeviceJobsTest, NamesAreConvertedToEightBitText) {
    EXPECT_EQ(dev->JobCreateNew(QString::fromUtf8("caf\u00e9 \u2603x")), 0);
    EXPECT_EQ(dev->GetJobNameJdx(1), QString::fromUtf8("caf\u00e9  x"));
    EXPECT_TRUE(TestEnv::exists("files/job/caf\xe9  x.job"));
    EXPECT_EQ(dev->FindJdxByName(QString::fromUtf8("caf\u00e9  x")), 1);
    EXPECT_TRUE(dev->GetJobNameJdx(5).isNull());
}

// A delay of no known mode is refused; the sixteenth output of an output step is stored.
TEST_F(DeviceJobsTest, DelayModesAndTheLastOutput) {
    dev->StepCreateNew(STEP_DELAY);
    UnitStepDelayData delay;
    EXPECT_EQ(dev->SetDelayData(0, &delay), 0);
    delay.Mode = 7;
    EXPECT_EQ(dev->SetDelayData(0, &delay), -1);
    dev->StepCreateNew(STEP_OUTPUT);
    UnitStepOutputData* out = dev->GetOutputStepData(1);
    out->Used[15] = 1;
    out->Mode[15] = 1;
    EXPECT_EQ(dev->SetOutputStepData(1, out), 0);
    ASSERT_EQ(dev->JobSave(0), 0);
    ASSERT_EQ(dev->JobLoad(0), 0);
    EXPECT_EQ(dev->GetOutputStepData(1)->Mode[15], 1);
}

TEST_F(DeviceJobsTest, LogOnAnAbsentMicroSdMovesToInternal) {
    QSignalSpy changed(dev, &ApplicationDeviceClass::LogPathChanged);
    dev->OnSetLogPath(0);
    EXPECT_EQ(dev->CheckLogLocation(), "") << "internal: nothing to check";
    std::filesystem::create_directories(env.sysroot() + "/dev");
    TestEnv::writeFile(env.sysroot() + "/dev/mmcblk1p1", "");
    dev->OnSetLogPath(1);
    EXPECT_EQ(std::tuple(dev->CheckLogLocation(), dev->OnGetLogPath()), std::tuple(QString(), 1))
        << "the card is there";
    std::filesystem::remove(env.sysroot() + "/dev/mmcblk1p1");
    int before = changed.count();
    EXPECT_EQ(dev->CheckLogLocation(),
              "Micro SD does not exist.\nThe log location has been changed\nto internal "
              "automatically.");
    EXPECT_EQ(std::tuple(dev->OnGetLogPath(), changed.count()), std::tuple(0, before + 1));
    load_setting(); // what was saved
    EXPECT_EQ(get_setting_log()->path, 0u);
}
