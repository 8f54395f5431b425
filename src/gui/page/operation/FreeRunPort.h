// Everything the run state of the operation screen without a job does to the world: the
// result half shared with the editor screens (ResultsPort), and here the tray, locks, the
// result table, its two timers, what the screen shows and the dialogs it opens. The
// screen implements it over the device object; tests record the calls.
#pragma once

#include "ResultsPort.h"

#include <string>

enum class FreeTimer { StoredPrompt, TrayCheck };

// The bit socket tray as the device object reports it (-1: value unknown).
struct FreeTray {
    bool Connected = false;
    bool Comm = false; // every polled value known
    int Preset = -1, Alarm = -1, Opmode = -1;
};

class FreeRunPort : public virtual ResultsPort {
  public:
    // ---- settings ----
    virtual bool TrayUsed() = 0;
    // ---- tools ----
    virtual int FindTrayTool() = 0; // index of the tray's tool, -1 none
    virtual void SetToolLock(int tdx, int on) = 0;
    virtual void SetAutoLock(int tdx, int on) = 0;
    virtual void SetFetBit(int tdx, bool on) = 0;
    virtual void ClearFet() = 0;
    // ---- results ----
    virtual bool BarcodePresetOn(int tdx) = 0;                    // settings "tool 1".."tool 8"
    virtual int FindPreset(int tdx, const std::string& code) = 0; // -1 no match
    // ---- tray ----
    virtual FreeTray Tray() = 0;
    virtual void TrayAlarmForce() = 0;
    // ---- sounds and timers (single shot) ----
    virtual void SoundTap() = 0;
    virtual void SoundNg() = 0;
    virtual void StartTimer(FreeTimer id, int ms) = 0;
    // ---- view ----
    virtual void ShowLast(int tdx, const FastenResult& r) = 0;
    virtual void ClearLast() = 0;
    virtual void TableChanged() = 0; // rows re-read, the last one shown
    virtual void Notice(const std::string& text) = 0;
    virtual void Confirm(const std::string& question, const std::string& context) = 0;
    virtual void LeaveScreen() = 0;
};
