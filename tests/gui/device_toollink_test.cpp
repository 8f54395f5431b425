// Device object, tool families: registry, Modbus access, fastening events and tool locks,
// driven through the GUI-side methods against virtual tools on loopback.
#include "ApplicationDeviceClass.h"
#include "FakeTool.h"
#include "TestEnv.h"
#include "UnitFastenEventData.h"
#include "Wait.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "operation.h"
#include "page/operation/ErrorCodes.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace {

class DeviceToolLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ToolManager_LoadRegTools();
        Operation_Init();
        dev = ApplicationDevice();
    }
    // Feeds tool i's scan answer, registers the tool and connects it on this thread.
    int connect(int i) {
        const auto a = tools->ack(i);
        Disco_Proc(a.data(), a.size(), TOOL_NETIF_ETH);
        int tdx = dev->GetRegtoolsLen();
        EXPECT_EQ(dev->RegisterDiscoTool(0), 0);
        Modbus_MsgQProc_Connect(tdx);
        return tdx;
    }
    TestEnv env;
    ApplicationDeviceClass* dev = nullptr;
    std::unique_ptr<FakeTool> tools;
};

TEST_F(DeviceToolLink, RegistryThroughTheDeviceObject) {
    tools = FakeTool::onLoopback({4, 2});
    for (int i = 0; i < 2; ++i) {
        const auto a = tools->ack(i);
        Disco_Proc(a.data(), a.size(), TOOL_NETIF_ETH);
    }
    EXPECT_EQ(dev->GetDiscotoolsLen(), 2);
    EXPECT_EQ(dev->GetDiscoToolModel(0), "XWTC1400");
    EXPECT_EQ(dev->GetDiscoToolSerial(1), "KS2607202");
    EXPECT_EQ(dev->GetDiscoToolSerial(5), "");
    ASSERT_EQ(dev->RegisterDiscoTool(1), 0);
    ASSERT_EQ(dev->RegisterDiscoTool(0), 0);
    EXPECT_EQ(dev->GetRegtoolsLen(), 2);
    EXPECT_EQ(dev->GetTdxToolName(0), "ZQKS2607202");
    EXPECT_EQ(dev->GetTdxToolModel(1), "XWTC1400");
    EXPECT_EQ(dev->GetTdxToolMac(1), "02:4b:53:00:04:01");
    EXPECT_EQ(dev->GetToolType_ByTdx(1), TOOL_TYPE_XWTC);
    EXPECT_EQ(dev->GetToolType_ByTdx(9), 255);
    // No connect queue runs here: the request could not be queued, so the tool waits idle
    // for its next answer rather than "connecting" for good.
    EXPECT_EQ(dev->GetTdxToolState(0), TOOL_STATE_IDLE);
    EXPECT_EQ(dev->GetTdxToolConn(0), 0);
    EXPECT_EQ(dev->GetSelToolConn(), 0);

    EXPECT_EQ(dev->SetTdxToolName(1, QString::fromUtf8("St\u00e4tion")), 0);
    EXPECT_EQ(dev->FindRegTdxByName(QString::fromUtf8("St\u00e4tion")), 1);
    EXPECT_EQ(dev->GetTdxToolName(1), QString::fromUtf8("St\u00e4tion"));
    EXPECT_TRUE(TestEnv::exists("files/tools/St\xe4tion")); // Latin-1 folder name

    QSignalSpy spy(dev, &ApplicationDeviceClass::CurrTdxChanged);
    dev->OnSetCurrTdx(1);
    EXPECT_EQ(ToolManager_GetCurrTdx(), 1);
    EXPECT_EQ(dev->GetToolType(), TOOL_TYPE_XWTC);
    EXPECT_EQ(dev->ReleaseRegTool(1), 0); // the current tool: CurrTdx falls back first
    EXPECT_EQ(dev->OnGetCurrTdx(), -1);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(dev->GetRegtoolsLen(), 1);
    EXPECT_EQ(dev->SaveRegTools(), 0);
    EXPECT_EQ(TestEnv::readFile("regtools").size(), size_t(REGTOOLS_RECORD_SIZE));
}

TEST_F(DeviceToolLink, ModbusAccessAndToolText) {
    tools = FakeTool::onLoopback({3});
    for (int r = 287; r <= 318; ++r)
        ASSERT_EQ(tools->cmd("set 0 " + std::to_string(r) + " 65535"), "ok");
    ASSERT_EQ(tools->cmd("set 0 260 3"), "ok");
    int tdx = connect(0);
    dev->OnSetCurrTdx(tdx);
    EXPECT_EQ(dev->GetSelToolConn(), 1);
    EXPECT_EQ(dev->GetTorqueUnit_ByTdx(tdx), 3);
    EXPECT_EQ(dev->GetTorqueUnit_ByTdx(9), -1);
    EXPECT_EQ(dev->GetTorqueValue_ByPreset(tdx, 2), tools->reg(0, 2 * 15 + 2));

    tools->trace(0);
    EXPECT_EQ(dev->MbusWriteTdx(-1, 4004, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(tools->trace(0), "") << "no traffic";

    EXPECT_EQ(dev->SetTdxToolSsid(tdx, "ab"), 0);
    // 0x6162, fifteen zeros, and the pass phrase untouched.
    EXPECT_EQ(tools->cmd("get 0 287 17"), "ok 24930 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 65535");
    EXPECT_EQ(dev->MbusRead(267, 54), 0);
    EXPECT_EQ(dev->GetTdxToolSsid(tdx), "ab");
    EXPECT_EQ(dev->GetTdxToolSsid(5), "");
    EXPECT_EQ(dev->MbusWrite(264, 0x10001), 0); // low 16 bits
    EXPECT_EQ(tools->reg(0, 264), 1);
    EXPECT_EQ(dev->MbusReadTdx(tdx, 264, 1), 0);
    EXPECT_EQ(dev->MbusGetData(264), 1);
    EXPECT_EQ(dev->MbusGetDataTdx(tdx, 264), 1);
    EXPECT_EQ(dev->MbusRead(5995, 6), MBUS_ERR_RANGE);
    dev->ToolLost(tdx);
    EXPECT_EQ(dev->GetSelToolConn(), 0);
}

TEST_F(DeviceToolLink, EventsLocksAndTheTable) {
    Threads_Init();
    tools = FakeTool::onLoopback({2, 1});
    int ta = connect(0);
    int tb = connect(1);
    dev->ToolLockExceptTdx(tb);
    EXPECT_EQ(tools->reg(0, 4001), 1);
    EXPECT_EQ(tools->reg(1, 4001), 0);
    dev->ToolLockAll();
    EXPECT_EQ(tools->reg(1, 4001), 1);
    EXPECT_EQ(dev->SetToolLock(-1, 0), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(dev->SetToolLock(ta, 0), 0);
    EXPECT_EQ(tools->reg(0, 4001), 0);
    EXPECT_EQ(dev->SetAutoLock(9, 1), -1);
    EXPECT_EQ(dev->SetAutoLock(2, 1), -1) << "past the registered tools";
    EXPECT_EQ(dev->SetAutoLock(tb, 1), 0);
    EXPECT_EQ(tools->reg(1, 264), 1);
    // The screw count goes to 262 on a driver and to 247 on a controller.
    EXPECT_EQ(dev->SetScrewCnt(ta, 12), 0);
    EXPECT_EQ(dev->SetScrewCnt(tb, 7), 0);
    EXPECT_EQ(tools->cmd("get 0 247"), "ok 0");
    EXPECT_EQ(tools->cmd("get 0 262"), "ok 12");
    EXPECT_EQ(tools->cmd("get 1 247"), "ok 7");
    EXPECT_EQ(tools->cmd("get 1 262"), "ok 0");
    EXPECT_EQ(dev->SetScrewCnt(-1, 1), -1);
    EXPECT_EQ(dev->SetScrewCnt(2, 1), -1);

    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 1");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 2");
    EXPECT_EQ(dev->GetNoPendingEvent(ta), 2);

    QSignalSpy fetSpy(dev, &ApplicationDeviceClass::FetEnableChanged);
    dev->OnSetFetEnable(0x01);
    EXPECT_EQ(dev->OnGetFetEnable(), 1);
    EXPECT_EQ(fetSpy.count(), 1);
    get_setting_operation()->operation_mode = 1;
    ASSERT_EQ(dev->EnableDataBackup(ta, 1), 0);
    EXPECT_EQ(tools->reg(0, 4015), 2);
    ASSERT_EQ(tools->cmd("fasten 0 ng torque=1234 barcode=B\xe4"), "ok 3"); // Latin-1 a-umlaut
    ASSERT_TRUE(kest_test::WaitUntil([&] { return Operation_QueuedEvents(ta) > 0; }));
    std::unique_ptr<UnitFastenEventData> d(dev->GetFastenEventData(ta));
    EXPECT_EQ(d->ConvTorque, 1234);
    EXPECT_EQ(d->Status, 2);
    EXPECT_EQ(d->Barcode, QString::fromUtf8("B\u00e4"));
    EXPECT_TRUE(d->Fresh);
    std::unique_ptr<UnitFastenEventData> again(dev->GetFastenEventData(ta));
    EXPECT_EQ(again->ConvTorque, 1234);
    EXPECT_FALSE(again->Fresh) << "the same result a second time is not a new screw";
    EXPECT_EQ(dev->GetFetLen(), 1);
    dev->ClearFet();
    EXPECT_EQ(dev->GetFetLen(), 0);
    EXPECT_EQ(dev->DisableDataBackup(ta), 0);
    EXPECT_EQ(tools->reg(0, 4015), 0);
    dev->ToolLost(ta);
    dev->ToolLost(tb);
}

// The virtual tools' NG results name an error the panel's table knows (the job screen
// shows its text), with torque and angle that fit it; a chosen code wins.
TEST_F(DeviceToolLink, NgResultsOfTheVirtualToolsCarryCodesOfTheErrorTable) {
    Threads_Init();
    tools = FakeTool::onLoopback({2});
    const int t = connect(0);
    get_setting_operation()->operation_mode = 1;
    ASSERT_EQ(dev->EnableDataBackup(t, 1), 0);
    ASSERT_EQ(dev->SetToolLock(t, 0), 0);
    const int target = int(tools->reg(0, 2)); // preset 1's target torque
    struct Case {
        const char* line;
        int error;
        bool fullTorque; // the target was reached
        int minAngle, maxAngle;
    } cases[] = {
        {"fasten 0 ng", 334, false, 0, 65535},
        {"fasten 0 ng", 330, true, 0, 179},
        {"fasten 0 ng", 332, true, 2200, 65535},
        {"fasten 0 ng", 334, false, 0, 65535},
        {"fasten 0 ng error=332", 332, true, 2200, 65535},
        {"fasten 0 ng error=500", 500, false, 0, 65535},
        {"fasten 0 ok", 0, true, 0, 65535},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(tools->cmd(c.line).rfind("ok ", 0), 0u) << c.line;
        ASSERT_TRUE(kest_test::WaitUntil([&] { return Operation_QueuedEvents(t) > 0; })) << c.line;
        std::unique_ptr<UnitFastenEventData> d(dev->GetFastenEventData(t));
        EXPECT_EQ(d->Error, c.error) << c.line;
        if (c.error) {
            EXPECT_NE(ErrorCodes::Text(d->Error), "Unknown error code") << c.line;
        }
        EXPECT_EQ(std::abs(d->ConvTorque - target) <= target * 3 / 100, c.fullTorque) << c.line;
        EXPECT_GE(d->A1, c.minAngle) << c.line;
        EXPECT_LE(d->A1, c.maxAngle) << c.line;
        dev->MbusWriteTdx(t, 4016, 1);
    }
    dev->ToolLost(t);
}

} // namespace
