// Device object, tool families: Modbus access and the tools' text, and the virtual tools'
// NG results, against virtual tools on loopback (the registry is the tool list screen's
// tests, the locks, screw counts and results the job and free screens').
#include "ApplicationDeviceClass.h"
#include "FakeTool.h"
#include "TestEnv.h"
#include "UnitFastenEventData.h"
#include "disco.h"
#include "ew_driver.h"
#include "mbus.h"
#include "operation.h"
#include "page/operation/ErrorCodes.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"

#include <gtest/gtest.h>

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

TEST_F(DeviceToolLink, ModbusAccessAndToolText) {
    tools = FakeTool::onLoopback({3});
    for (int r = 287; r <= 318; ++r)
        ASSERT_EQ(tools->cmd("set 0 " + std::to_string(r) + " 65535"), "ok");
    ASSERT_EQ(tools->cmd("set 0 260 3"), "ok");
    int tdx = connect(0);
    dev->OnSetCurrTdx(tdx);
    EXPECT_EQ(std::tuple(dev->GetSelToolConn(), dev->GetTorqueUnit_ByTdx(tdx),
                         dev->GetTorqueUnit_ByTdx(9)),
              std::tuple(1, 3, -1));
    EXPECT_EQ(dev->GetTorqueValue_ByPreset(tdx, 2), tools->reg(0, 2 * 15 + 2));

    tools->trace(0);
    EXPECT_EQ(dev->MbusWriteTdx(-1, 4004, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(tools->trace(0), "") << "no traffic";

    EXPECT_EQ(dev->SetTdxToolSsid(tdx, "ab"), 0);
    // 0x6162, fifteen zeros, and the pass phrase untouched.
    EXPECT_EQ(tools->cmd("get 0 287 17"), "ok 24930 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 65535");
    EXPECT_EQ(dev->MbusRead(267, 54), 0);
    EXPECT_EQ(std::tuple(dev->GetTdxToolSsid(tdx), dev->GetTdxToolSsid(5)),
              std::tuple(QString("ab"), QString()));
    EXPECT_EQ(dev->MbusWrite(264, 0x10001), 0); // low 16 bits
    EXPECT_EQ(tools->reg(0, 264), 1);
    EXPECT_EQ(dev->MbusReadTdx(tdx, 264, 1), 0);
    EXPECT_EQ(std::tuple(dev->MbusGetData(264), dev->MbusGetDataTdx(tdx, 264)), std::tuple(1, 1));
    EXPECT_EQ(dev->MbusRead(5995, 6), MBUS_ERR_RANGE);
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
        EXPECT_TRUE(!c.error || ErrorCodes::Text(d->Error) != "Unknown error code") << c.line;
        EXPECT_EQ(std::abs(d->ConvTorque - target) <= target * 3 / 100, c.fullTorque) << c.line;
        EXPECT_TRUE(d->A1 >= c.minAngle && d->A1 <= c.maxAngle) << c.line << ": " << d->A1;
        dev->MbusWriteTdx(t, 4016, 1);
    }
    dev->ToolLost(t);
}

} // namespace
