// The device side of the run state without a job: settings, tool actions, results, the
// tray and the sounds through the device object. The screen adds timers, view and dialogs.
#pragma once

#include "FreeRunPort.h"

class FreeRunDevice : public FreeRunPort {
  public:
    bool BackupManager() override;
    int BarcodeInterface() override;
    bool TrayUsed() override;
    int ToolCount() override;
    int ToolState(int tdx) override;
    int FindTrayTool() override;
    int PendingEvents(int tdx) override;
    void WriteRegister(int tdx, int reg, int value) override;
    void SetToolLock(int tdx, int on) override;
    void SetAutoLock(int tdx, int on) override;
    void EnableDataBackup(int tdx, int skipStored) override;
    void DisableDataBackup(int tdx) override;
    void SetFetBit(int tdx, bool on) override;
    void ClearFet() override;
    bool ReadResult(int tdx, FastenResult* out) override;
    std::string CheckLogLocation() override;
    int LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) override;
    bool BarcodePresetOn(int tdx) override;
    int FindPreset(int tdx, const std::string& code) override;
    FreeTray Tray() override;
    void TrayAlarmForce() override;
    void SoundTap() override;
    void SoundNg() override;
};
