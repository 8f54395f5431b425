// The shell fixture with USB events from a test source, handled by the GUI cycle.
#pragma once

#include "ShellFixture.h"
#include "UsbTestSource.h"
#include "usb.h"

#include <functional>

class UsbShellTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Usb_SetEventSource(&src);
        ASSERT_EQ(Usb_Init(), 0);
        EwDriver_SetDeviceObject(dev);
    }
    void TearDown() override {
        EwDriver_SetDeviceObject(nullptr);
        ShellTest::TearDown();
        Usb_SetEventSource(nullptr);
    }
    // GUI cycles (driver bridge, then Qt's events) until `cond` holds.
    bool cycleUntil(const std::function<bool()>& cond) { return until(cond); }
    UsbTestSource src;
};
