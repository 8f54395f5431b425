// Everything the run state of the operation screen without a job does to the world: the
// device actions, its two timers, what the screen shows and the dialogs it opens. The
// screen implements it over the device object; tests record the calls.
#pragma once

#include "fasten_result.h"

#include <string>

enum class FreeTimer { StoredPrompt, TrayCheck };

// The bit socket tray as the device object reports it (-1: value unknown).
struct FreeTray {
    bool Connected = false;
    bool Comm = false; // every polled value known
    int Preset = -1, Alarm = -1, Opmode = -1;
};

class FreeRunPort {
  public:
    virtual ~FreeRunPort() = default;
    // ---- settings ----
    virtual bool BackupManager() = 0;
    virtual int BarcodeInterface() = 0; // 0 local scanner, 1 the tools' scanners
    virtual bool TrayUsed() = 0;
    // ---- tools ----
    virtual int ToolCount() = 0;        // registered tools
    virtual int ToolState(int tdx) = 0; // connection state, 3 connected
    virtual int FindTrayTool() = 0;     // index of the tray's tool, -1 none
    virtual int PendingEvents(int tdx) = 0;
    virtual void WriteRegister(int tdx, int reg, int value) = 0;
    virtual void SetToolLock(int tdx, int on) = 0;
    virtual void SetAutoLock(int tdx, int on) = 0;
    virtual void EnableDataBackup(int tdx, int skipStored) = 0;
    virtual void DisableDataBackup(int tdx) = 0;
    virtual void SetFetBit(int tdx, bool on) = 0;
    virtual void ClearFet() = 0;
    // ---- results ----
    // The tool's next unread result; false when none was waiting.
    virtual bool ReadResult(int tdx, FastenResult* out) = 0;
    // A log on an absent card moves to internal storage: the message to show, or "".
    virtual std::string CheckLogLocation() = 0;
    // Hands the result line (no job, no step) to the log writer, which acknowledges it to
    // the tool once written: 0, or -1 when it was refused. A line that cannot be written
    // is reported later (the screen shows "Logging failed") and still acknowledged.
    virtual int LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) = 0;
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
    virtual void Message(const std::string& title, const std::string& text) = 0;
    virtual void Confirm(const std::string& question, const std::string& context) = 0;
    virtual void LeaveScreen() = 0;
    // ---- stored-results dialog ----
    virtual bool StoredOpen() = 0;
    virtual void StoredShow() = 0; // opens it with the pending counts
    virtual void StoredRefresh(int tdx) = 0;
    virtual void StoredProgress(int tdx, int collected) = 0;
    virtual void StoredClose() = 0;
};
