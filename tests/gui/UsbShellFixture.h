// The shell fixture with USB events from a test source, handled by the GUI cycle.
#pragma once

#include "ShellFixture.h"
#include "UsbTestSource.h"
#include "usb.h"

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
    UsbTestSource src;
};
