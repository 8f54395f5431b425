// The device side of the run state without a job: the result half is ResultsDevice; the
// tray, locks, the result table and the sounds through the device object here. The screen
// adds timers, view and dialogs.
#pragma once

#include "FreeRunPort.h"
#include "ResultsDevice.h"

class FreeRunDevice : public FreeRunPort, public ResultsDevice {
  public:
    bool TrayUsed() override;
    int FindTrayTool() override;
    void SetToolLock(int tdx, int on) override;
    void SetAutoLock(int tdx, int on) override;
    void SetFetBit(int tdx, bool on) override;
    void ClearFet() override;
    bool BarcodePresetOn(int tdx) override;
    int FindPreset(int tdx, const std::string& code) override;
    FreeTray Tray() override;
    void TrayAlarmForce() override;
    void SoundTap() override;
    void SoundNg() override;
};
