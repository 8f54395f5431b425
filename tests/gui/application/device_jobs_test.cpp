// Device-object families "jobs and steps", "result log" and "backup event forwarding"
// over real job files and log files in a temporary data home. The step fields and the
// step list as the editor changes them are the step editor's tests (gui/jobs).
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepOutputData.h"
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "ew_driver.h"
#include "job.h"
#include "setting.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace fs = std::filesystem;

namespace {
struct DeviceJobsTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
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
    EXPECT_EQ(dev->JobCopy(0, "assembly"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(dev->SetJobNameJdx(1, "assembly"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(dev->SetJobNameJdx(1, "line 2"), 0);
    EXPECT_EQ(dev->GetJobsLen(), 2);
}

TEST_F(DeviceJobsTest, FasteningFieldsRoundTripThroughTheFile) {
    ASSERT_EQ(dev->StepCreateNew(STEP_FASTENING), 0);
    EXPECT_EQ(dev->SetFastenToolName(0, QString(40, 'T')), 0);
    EXPECT_EQ(dev->SetFastenPresetNo(0, 15), 0);
    EXPECT_EQ(dev->SetFastenNoScrews(0, 2), 0);
    UnitStepFastenData* f = dev->GetFastenData(0);
    f->ImgFilename = "./files/image/part.png";
    f->ScrewPos[0]->Enabled = true;
    f->ScrewPos[0]->X = 100;
    f->ScrewPos[0]->Y = 200;
    f->ScrewPos[0]->Radius = 25;
    f->ScrewPos[0]->Width = 4;
    f->ScrewPos[0]->PendingColor = QColor(255, 255, 0, 10);
    f->ScrewPos[0]->OkColor = QColor(0, 255, 0);
    f->ScrewPos[0]->NgColor = QColor(255, 0, 0);
    f->ScrewPos[1]->Enabled = true;
    f->ScrewPos[1]->X = 300;
    EXPECT_EQ(dev->SaveScrewPos(0, f), 0);
    ASSERT_EQ(dev->JobSave(0), 0);
    EXPECT_EQ(dev->GetJobTotalScrewJdx(0), 2);
    EXPECT_EQ(dev->GetJobStepCountJdx(0), 1);
    dev->JobFree();
    EXPECT_EQ(dev->GetStepsLen(), 0);
    EXPECT_EQ(dev->GetTotalScrewOfLoadedJob(), 0);
    ASSERT_EQ(dev->JobLoad(0), 0);
    EXPECT_EQ(dev->GetTotalScrewOfLoadedJob(), 2);
    UnitStepFastenData* g = dev->GetFastenData(0);
    EXPECT_EQ(g, f) << "one reused object";
    EXPECT_EQ(g->ToolName, QString(32, 'T'));
    EXPECT_EQ(g->PresetNo, 15);
    EXPECT_EQ(g->NoScrews, 2);
    EXPECT_EQ(g->ImgFlag, 1);
    EXPECT_EQ(g->ImgFilename, "./files/image/part.png");
    EXPECT_TRUE(g->ScrewPos[0]->Enabled);
    EXPECT_EQ(g->ScrewPos[0]->Y, 200);
    EXPECT_EQ(g->ScrewPos[0]->PendingColor, QColor(255, 255, 0, 255)) << "stored opaque";
    EXPECT_EQ(g->ScrewPos[0]->NgColor, QColor(255, 0, 0));
    EXPECT_EQ(g->ScrewPos[1]->X, 300);
    EXPECT_FALSE(g->ScrewPos[2]->Enabled);
}

TEST_F(DeviceJobsTest, WrongTypeOrIndexGivesEmptyObjectsAndRefusedSetters) {
    dev->StepCreateNew(STEP_INPUT);
    UnitStepFastenData* f = dev->GetFastenData(0);
    EXPECT_TRUE(f->ToolName.isEmpty());
    EXPECT_EQ(f->NoScrews, 0);
    EXPECT_EQ(dev->SetFastenNoScrews(0, 3), -1);
    EXPECT_EQ(dev->SetFastenToolName(7, "x"), -1);
    EXPECT_EQ(dev->SetMsgTextLine1(0, "x"), -1);
    std::unique_ptr<UnitStepDelayData> d(dev->GetDelayData(0));
    EXPECT_EQ(d->Mode, 0);
    EXPECT_TRUE(d->Line1.isEmpty());
    EXPECT_EQ(dev->GetStepType(9), 0);
    EXPECT_EQ(dev->GetStepType(0), STEP_INPUT);
    EXPECT_TRUE(log.contains("GetFastenData."));
    EXPECT_EQ(dev->StepCreateNew(-1), -1);
    EXPECT_TRUE(dev->GetStepName(5).isNull());
    // A delay of no known mode is refused; the sixteenth output is stored.
    dev->StepCreateNew(STEP_DELAY);
    UnitStepDelayData delay;
    EXPECT_EQ(dev->SetDelayData(1, &delay), 0);
    delay.Mode = 7;
    EXPECT_EQ(dev->SetDelayData(1, &delay), -1);
    dev->StepCreateNew(STEP_OUTPUT);
    UnitStepOutputData* out = dev->GetOutputStepData(2);
    out->Used[15] = 1;
    out->Mode[15] = 1;
    EXPECT_EQ(dev->SetOutputStepData(2, out), 0);
    ASSERT_EQ(dev->JobSave(0), 0);
    ASSERT_EQ(dev->JobLoad(0), 0);
    EXPECT_EQ(dev->GetOutputStepData(2)->Mode[15], 1);
}

TEST_F(DeviceJobsTest, WriteEventLogUsesNamesAndBarcodeSource) {
    dev->StepCreateNew(STEP_FASTENING);
    dev->SetStepName(0, "M6 screws");
    Common_SetFixedTime(1780000000);
    struct tm t;
    Common_LocalTime(&t);
    std::string file = EventLog_FileName(EventLog_DirName(0, t), t);
    FastenResult r;
    r.TargetTorque = 1234;
    r.Status = 1;
    strcpy(r.Barcode, "FROM-TOOL");
    EventLog_SetToolNameSource([](int tdx) { return "tool#" + std::to_string(tdx); });
    ASSERT_EQ(dev->WriteEventLog(0, 0, 2, r, 0), 0);
    ASSERT_EQ(dev->WriteEventLog(-1, -1, 1, r, 1), 0);
    EventLog_SetToolNameSource(nullptr);
    std::string text = TestEnv::readFile(file);
    EXPECT_NE(text.find(",assembly,M6 screws,-,tool#2,0,0,12.34,"), std::string::npos) << text;
    EXPECT_NE(text.find(",,,FROM-TOOL,tool#1,"), std::string::npos) << text;
    EXPECT_EQ(text.rfind(EVENTLOG_HEADER, 0), 0u);
}

// The durable verb: the line (names as at the call, quoted where needed) is in the file
// when its tool is acknowledged; a line the log cannot take is still acknowledged and
// raises LogFailEvent, and reaches the file first once the log can be written again.
TEST_F(DeviceJobsTest, LogAndAcknowledgeWritesFirstAcknowledgesThenReportsFailures) {
    dev->StepCreateNew(STEP_FASTENING);
    dev->SetStepName(0, "M6, left");
    Common_SetFixedTime(1780000000);
    struct tm t;
    Common_LocalTime(&t);
    std::string file = EventLog_FileName(EventLog_DirName(0, t), t);
    EwDriver_SetDeviceObject(dev);
    std::vector<std::string> acks; // "tdx:file at that moment"
    EventLog_SetAckWriter([&](int tdx) {
        acks.push_back(std::to_string(tdx) + ":" + TestEnv::readFile(file));
        return 0;
    });
    int fails = 0;
    auto c = QObject::connect(&dev->LogFailEvent, &SystemEvent::triggered, [&] { ++fails; });
    FastenResult r;
    r.ScrewNo = 1;
    EXPECT_EQ(dev->LogAndAcknowledge(0, 0, 8, r, 0, 0), -1);
    EXPECT_EQ(dev->LogAndAcknowledge(0, 0, 2, r, 0, 8), -1);
    ASSERT_EQ(dev->LogAndAcknowledge(0, 0, 2, r, 0, 3), 0);
    dev->FlushEventLog();
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].substr(0, 2), "3:");
    EXPECT_NE(acks[0].find(",assembly,\"M6, left\",-,"), std::string::npos) << acks[0];

    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
    r.ScrewNo = 2;
    ASSERT_EQ(dev->LogAndAcknowledge(-1, -1, 1, r, 0, 1), 0);
    dev->FlushEventLog();
    EwDriver_ProcessData();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(fails, 1);
    ASSERT_EQ(acks.size(), 2u) << "acknowledged although not written";
    EXPECT_EQ(std::count(acks[1].begin(), acks[1].end(), '\n'), 2) << "header and first line";
    Common_SetFault(nullptr, 0, 0);
    r.ScrewNo = 3;
    ASSERT_EQ(dev->LogAndAcknowledge(-1, -1, 1, r, 0, -1), 0);
    dev->FlushEventLog();
    EXPECT_EQ(acks.size(), 2u) << "ack tdx -1: none";
    std::string text = TestEnv::readFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_LT(text.find(",1,0,0,0,0,\n"), text.find(",2,0,0,0,0,\n")) << text;
    EXPECT_LT(text.find(",2,0,0,0,0,\n"), text.find(",3,0,0,0,0,\n")) << text;
    QObject::disconnect(c);
    EventLog_SetAckWriter(nullptr);
    EwDriver_Deinitialize();
}

TEST_F(DeviceJobsTest, LogOnAnAbsentMicroSdMovesToInternal) {
    QSignalSpy changed(dev, &ApplicationDeviceClass::LogPathChanged);
    dev->OnSetLogPath(0);
    EXPECT_EQ(dev->CheckLogLocation(), "") << "internal: nothing to check";
    std::filesystem::create_directories(env.sysroot() + "/dev");
    TestEnv::writeFile(env.sysroot() + "/dev/mmcblk1p1", "");
    dev->OnSetLogPath(1);
    EXPECT_EQ(dev->CheckLogLocation(), "") << "the card is there";
    EXPECT_EQ(dev->OnGetLogPath(), 1);
    std::filesystem::remove(env.sysroot() + "/dev/mmcblk1p1");
    int before = changed.count();
    EXPECT_EQ(dev->CheckLogLocation(),
              "Micro SD does not exist.\nThe log location has been changed\nto internal "
              "automatically.");
    EXPECT_EQ(dev->OnGetLogPath(), 0);
    EXPECT_EQ(changed.count(), before + 1);
    load_setting(); // what was saved
    EXPECT_EQ(get_setting_log()->path, 0u);
}

// What an apply changes and closes is the forwarding unit's; here the values arrive in place.
TEST_F(DeviceJobsTest, ForwardingApplyAndCloseReachTheForwarder) {
    Debug_GetFlag()[DEBUG_FLAG_BEF].store(1);
    EXPECT_EQ(dev->BefApplySetting(false, 0x0a000001, 5001), 1);
    EXPECT_EQ(get_setting_share()->bef_server_ip, 0x0a000001u);
    EXPECT_EQ(get_setting_share()->bef_port, 5001u);
    EXPECT_FALSE(dev->BefIsConnected());
    dev->BefCloseServerStream("link down");
    EXPECT_TRUE(log.contains("Close server stream (link down)."));
}
