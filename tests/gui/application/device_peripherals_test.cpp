// Device object, peripheral families: the sound queue, the tray's states as the screens
// see them (the link itself is tested against traysim), the barcode job table edited
// through the GUI-side methods, and digital I/O against the simulated GPIO tree.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitBarcodeData.h"
#include "UnitBstEvent.h"
#include "barcode.h"
#include "bst.h"
#include "io.h"
#include "setting.h"
#include "sound.h"
#include "threads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace {
int absent(uint16_t, uint16_t) {
    return 0;
}

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

// Requests reach the sound queue in the right number (the volume property is a row of
// the settings properties' table).
TEST(DeviceSound, TapOkAndNgQueueOneTwoAndTwoRequests) {
    TestEnv env;
    load_setting();
    Sound_Init(); // no sound files: every sound is silent, requests are still queued
    Threads_Init();
    Threads_RunSync(LOOP_SOUND, [] {});
    WorkQueue* q = Sound_GetMsgQ();
    ASSERT_NE(q, nullptr);
    std::promise<void> entered, release;
    auto gate = release.get_future().share();
    std::thread holder([&] {
        Threads_RunSync(LOOP_SOUND, [&] {
            entered.set_value();
            gate.wait();
        });
    });
    entered.get_future().wait();
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->SoundTap();
    EXPECT_EQ(WorkQueue_Length(q), 1u);
    dev->SoundOk();
    EXPECT_EQ(WorkQueue_Length(q), 3u);
    dev->SoundNg();
    EXPECT_EQ(WorkQueue_Length(q), 5u);
    for (int i = 0; i < 4; ++i)
        dev->SoundOk(); // the cap keeps ten waiting
    EXPECT_EQ(WorkQueue_Length(q), SOUND_QUEUE_MAX);
    release.set_value();
    holder.join();
}

// What the free screen reads of the tray before it has answered (the connection itself is
// the status bar's and, against traysim, the integration tests').
TEST(DeviceBst, UnknownStateAndTheForcedAlarm) {
    TestEnv env;
    ApplicationDeviceClass* dev = ApplicationDevice();
    bst_set_usb_search(absent);
    bst_init();
    EXPECT_FALSE(dev->IsBstComm());
    EXPECT_EQ(dev->BstWrite(BST_REG_SOCKET_REQUEST, 1), -1); // no tray
    std::unique_ptr<QObject> data(dev->GetBstData());
    auto* d = qobject_cast<UnitBstEvent*>(data.get());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::tuple(d->ChangeMask, d->Preset, d->NoSocket), std::tuple(0, -1, -1));
    dev->SetBstAlarmForce();
    std::unique_ptr<QObject> forced(dev->GetBstData());
    EXPECT_EQ(qobject_cast<UnitBstEvent*>(forced.get())->Alarm, 2);
    EXPECT_FALSE(dev->IsBstComm()); // the other values are still unknown
    bst_set_usb_search(nullptr);
}

// A row that is not there clears the reused row object instead of repeating the last
// row (the rows themselves are the barcode screen's tests, the table the unit tests').
TEST(DeviceBarcode, MissingRowsAndTables) {
    TestEnv env;
    load_setting();
    Barcode_Init();
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->BarcodeAddJob(BARCODE_JOB_TABLE, "", 0, 0, 0, "ignored"); // empty code: nothing
    EXPECT_EQ(dev->BarcodeGetLen(BARCODE_JOB_TABLE), 0);
    dev->BarcodeAddJob(BARCODE_JOB_TABLE, "Y", 0, 0, 0, "Job 3");
    auto* row = qobject_cast<UnitBarcodeData*>(dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 0));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Code, "Y");
    EXPECT_EQ(dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 5), row);
    EXPECT_EQ(std::tuple(row->Code, row->JobName, row->Preset, dev->BarcodeGetCurrCode()),
              std::tuple(QString(), QString(), -1, QString("-")));
    LogCapture log;
    EXPECT_EQ(dev->BarcodeGetLen(3), 0); // no such tool: an empty list, not an error
    EXPECT_EQ(log.count("invalid barcode table"), 0u);
}

// A function's level drives only its outputs; outputs by position wrap at sixteen; the
// inputs read the wired lines and take their edge.
TEST_F(DeviceIoTest, OutputsByFunctionAndPositionInputsAndEdges) {
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
    for (int f : {9, 0, -3}) // free outputs (0) belong to the job steps
        EXPECT_EQ(dev->SetSysOutLevel(f, 1), 0) << f;
    EXPECT_EQ(outputs(), "0010000000001000");
    EXPECT_EQ(dev->SetSysOutLevel(IO_OUT_JOB_OK, 0), 2);
    EXPECT_EQ(outputs(), std::string(16, '0'));

    dev->SetGpioOutVal(17, 1);
    dev->SetGpioOutVal(15, 1);
    dev->SetGpioOutVal(-1, 1); // same as 15
    EXPECT_EQ(outputs(), "0100000000000001");
    dev->OutputOffAll();
    EXPECT_EQ(outputs(), std::string(16, '0'));
    for (int i = 0; i < IO_PORT_COUNT; ++i)
        EXPECT_EQ(dev->GetOutputStatus(i), 0);

    ASSERT_EQ(std::system((kTree + " wire " + env.sysroot() + " 4 0").c_str()), 0);
    EXPECT_EQ(std::tuple(dev->GetInputStatus(3), dev->GetInputStatus(4), dev->GetInputStatus(16)),
              std::tuple(1, 0, -1));
    dev->SetInputEdge(3, IO_EDGE_RISING);
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio111/edge"), "rising\n");
    LogCapture log;
    dev->SetInputEdge(16, IO_EDGE_NONE); // refused, with a line saying so
    EXPECT_TRUE(log.contains("invalid input 16"));
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio111/edge"), "rising\n");
}
