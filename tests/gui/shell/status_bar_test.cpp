// The status bar over the real tool registry: icons by type, classes by connection
// state and the connected/registered counts come from the registered-tool table.
#include "ApplicationDeviceClass.h"
#include "ShellServices.h"
#include "TestEnv.h"
#include "page/shell/PageStatusBar.h"
#include "setting.h"
#include "tools.h"

#include <QCoreApplication>
#include <QLabel>
#include <cstring>
#include <gtest/gtest.h>

namespace {
std::string record(const char* name, uint8_t macLast, uint8_t type) {
    RegToolRecord rec;
    memset(&rec, 0, sizeof rec);
    strncpy(rec.name, name, TOOL_NAME_SIZE - 1);
    memcpy(rec.serial, "SER", 3);
    const uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, macLast};
    memcpy(rec.mac, mac, 6);
    rec.type = type;
    uint8_t out[REGTOOLS_RECORD_SIZE];
    RegTools_EncodeRecord(&rec, out);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

void setState(int tdx, uint32_t state) {
    ToolManager_LockRegTools();
    ToolManager_RegTool(tdx)->state = state;
    ToolManager_UnlockRegTools();
}
} // namespace

TEST(StatusBarRegistry, ThreeRegisteredOneConnected) {
    TestEnv env;
    load_setting();
    TestEnv::writeFile("regtools",
                       record("drv-a", 1, 2) + record("drv-b", 2, 3) + record("ctl-c", 3, 1));
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 3);
    setState(1, 3);
    setState(2, 5);
    ShellServices::Set(nullptr); // the real gateway to the device object
    PageStatusBar bar;
    bar.RefreshTools();
    EXPECT_EQ(bar.findChild<QLabel*>("statusToolCount")->text(), "(1/3)");
    auto cls = [&](int i) {
        return bar.findChild<QLabel*>(QString("toolIcon%1").arg(i))
            ->property("stateClass")
            .toString();
    };
    auto pic = [&](int i) {
        return bar.findChild<QLabel*>(QString("toolIcon%1").arg(i))->property("picture").toString();
    };
    EXPECT_EQ(cls(1), "connected");
    EXPECT_EQ(cls(2), "failed");
    EXPECT_EQ(cls(0), "connecting");
    EXPECT_EQ(pic(0), "tool_driver");
    EXPECT_EQ(pic(2), "tool_controller");
    EXPECT_EQ(pic(3), "");
    setState(0, 3);
    setState(2, 3);
    bar.RefreshTools();
    EXPECT_EQ(bar.findChild<QLabel*>("statusToolCount")->text(), "(3/3)");
}

TEST(StatusBarRegistry, ToolsLoadedAtStartUpShowWhenStartUpIsDone) {
    TestEnv env;
    load_setting();
    ShellServices::Set(nullptr);
    PageStatusBar bar; // built before the registry is loaded, as at start-up
    TestEnv::writeFile("regtools", record("drv-a", 1, 2) + record("drv-b", 2, 3));
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    EXPECT_EQ(bar.findChild<QLabel*>("statusToolCount")->text(), "(0/0)");
    ApplicationDevice()->TriggerEwInitDone();
    QCoreApplication::sendPostedEvents(); // system events are delivered by the GUI cycle
    EXPECT_EQ(bar.findChild<QLabel*>("statusToolCount")->text(), "(0/2)");
    EXPECT_EQ(bar.findChild<QLabel*>("toolIcon1")->property("picture").toString(), "tool_driver");
}
