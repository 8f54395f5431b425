// Device object, tray family: presence, communication state and the cached values as
// the screens read them (the link itself is tested against traysim).
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitBstEvent.h"
#include "bst.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
int absent(uint16_t, uint16_t) {
    return 0;
}
} // namespace

TEST(DeviceBst, StatesAsTheScreensSeeThem) {
    TestEnv env;
    ApplicationDeviceClass* dev = ApplicationDevice();
    bst_set_usb_search(absent);
    bst_init();
    EXPECT_FALSE(dev->IsBstConnect());
    EXPECT_FALSE(dev->IsBstComm());
    EXPECT_EQ(dev->BstWrite(BST_REG_SOCKET_REQUEST, 1), -1); // no tray
    std::unique_ptr<QObject> data(dev->GetBstData());
    auto* d = qobject_cast<UnitBstEvent*>(data.get());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ChangeMask, 0);
    EXPECT_EQ(d->Preset, -1);
    EXPECT_EQ(d->NoSocket, -1);
    dev->SetBstAlarmForce();
    std::unique_ptr<QObject> forced(dev->GetBstData());
    EXPECT_EQ(qobject_cast<UnitBstEvent*>(forced.get())->Alarm, 2);
    EXPECT_FALSE(dev->IsBstComm()); // the other values are still unknown
    // A tray whose serial node never appears: connected, never communicating.
    bst_arrive_proc();
    bst_main();
    EXPECT_TRUE(dev->IsBstConnect());
    EXPECT_FALSE(dev->IsBstComm());
    bst_left_proc();
    EXPECT_TRUE(dev->IsBstConnect()); // until the tick has closed it
    bst_main();
    EXPECT_FALSE(dev->IsBstConnect());
    bst_set_usb_search(nullptr);
}
