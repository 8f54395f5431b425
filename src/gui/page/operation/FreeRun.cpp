#include "FreeRun.h"

namespace {
constexpr int kRegToolLock = 4001;
constexpr int kRegPreset = 4004;
constexpr int kStatusNg = 2;
constexpr int kStatusBarcode = 7;
constexpr int kPromptMs = 100;
constexpr int kTrayCheckMs = 100;
} // namespace

FreeRun::FreeRun(FreeRunPort& port) : ResultTaker(port), port_(port) {}

void FreeRun::Start() {
    port_.TableChanged();
    if (ReadPending()) port_.StartTimer(FreeTimer::StoredPrompt, kPromptMs);
    port_.StartTimer(FreeTimer::TrayCheck, kTrayCheckMs);
}

// Results of the tool enter the table, it sends only new results and works unlocked. Output
// goes on before the unlock, so no fastening is made into the stored results it drops.
void FreeRun::OpenTool(int tdx) {
    port_.SetFetBit(tdx, true);
    OpenOutput(tdx);
    port_.WriteRegister(tdx, kRegToolLock, 0);
    port_.SetAutoLock(tdx, 0);
}

void FreeRun::Fasten(int tdx) {
    if (tdx < 0 || tdx >= kTools) return;
    FastenResult r;
    if (!TakeResult(tdx, &r)) return;
    if (r.Status == kStatusNg)
        port_.SoundNg();
    else
        port_.SoundTap();
    const bool remote = port_.BarcodeInterface() == 1;
    LogResult(tdx, r);
    port_.ShowLast(tdx, r);
    port_.TableChanged();
    if (r.Status != kStatusBarcode) return;
    const std::string code(r.Barcode);
    if (remote) port_.Notice(code);
    if (!port_.BarcodePresetOn(tdx)) return;
    const int preset = port_.FindPreset(tdx, code);
    if (preset >= 0) port_.WriteRegister(tdx, kRegPreset, preset);
}

// Its stored results are in the log: from now on its results enter the table and it is
// unlocked, unless the tray decides its lock.
void FreeRun::StoredToolDone(int tdx) {
    port_.SetFetBit(tdx, true);
    port_.SetAutoLock(tdx, 0);
    if (port_.TrayUsed() && tdx == trayTool_)
        port_.TrayAlarmForce();
    else
        port_.WriteRegister(tdx, kRegToolLock, 0);
}

void FreeRun::StartCollecting(int tdx) {
    // Stored results go to the log only, not into the table.
    port_.SetFetBit(tdx, false);
    intake_.OutputOn(tdx, 0);
}

void FreeRun::Registry(int tdx, int state) {
    if (tdx < 0 || tdx >= kTools) return;
    LinkChanged(tdx, state);
    // The event link alone is gone: the data link would keep the tool working while its
    // results cannot reach us. Locked until the link is back (opening it unlocks it).
    if (state == ResultIntake::kEventLost) port_.WriteRegister(tdx, kRegToolLock, 1);
    if (state != kConnected) return;
    if (!port_.TrayUsed() || tdx != trayTool_) return;
    const FreeTray tray = port_.Tray();
    if (!tray.Connected) {
        port_.WriteRegister(tdx, kRegToolLock, 1);
    } else if (tray.Preset != -1 && tray.Alarm != -1 && tray.Opmode == 1 && tray.Alarm == 0) {
        port_.WriteRegister(tdx, kRegPreset, tray.Preset);
        port_.WriteRegister(tdx, kRegToolLock, 0);
    } else if (tray.Preset == -1 || tray.Alarm == -1 || tray.Opmode != 0) {
        port_.WriteRegister(tdx, kRegToolLock, 1);
    }
}

void FreeRun::ScannerCode(const std::string& code) {
    // With the tools' scanners in use the local scanner selects and shows nothing.
    if (port_.BarcodeInterface() != 0) return;
    port_.Notice(code);
}

void FreeRun::lockTray(bool on) {
    if (trayTool_ >= 0) port_.SetToolLock(trayTool_, on ? 1 : 0);
}

void FreeRun::trayPreset(int preset) {
    if (trayTool_ >= 0) port_.WriteRegister(trayTool_, kRegPreset, preset);
}

void FreeRun::masterModeWarning() {
    port_.Message("Warning", "In Without job mode,\nBST should operate in Master mode");
}

void FreeRun::Timer(FreeTimer id) {
    if (id == FreeTimer::StoredPrompt) {
        if (!port_.StoredOpen()) port_.StoredShow();
        return;
    }
    if (!port_.TrayUsed()) return;
    trayTool_ = port_.FindTrayTool();
    if (trayTool_ < 0) port_.Message("Warning", "The tool specified in BST could not be found.");
    const FreeTray tray = port_.Tray();
    if (tray.Connected && tray.Comm && tray.Opmode == 0) {
        lockTray(true);
        masterModeWarning();
    } else if (tray.Connected && tray.Comm && tray.Opmode == 1 && tray.Alarm == 0) {
        trayPreset(tray.Preset);
        lockTray(false);
    } else {
        lockTray(true);
    }
}

void FreeRun::TrayEvent(int mask, int preset, int alarm, int opmode) {
    if (!port_.TrayUsed()) return;
    if (!port_.Tray().Comm || opmode != 1) {
        lockTray(true);
    } else if (mask & 3) { // preset or alarm changed
        if (alarm != 0) {
            lockTray(true);
        } else {
            trayPreset(preset);
            lockTray(false);
        }
    }
    if ((mask & 4) && opmode == 0) {
        lockTray(true);
        masterModeWarning();
    }
}

void FreeRun::TrayHotplug(bool present) {
    if (!port_.TrayUsed()) return;
    if (!present) {
        lockTray(true);
        return;
    }
    const FreeTray tray = port_.Tray();
    if (!tray.Comm) return;
    if (tray.Opmode == 1) {
        if (tray.Alarm != 0) {
            lockTray(true);
        } else {
            trayPreset(tray.Preset);
            lockTray(false);
        }
    } else if (tray.Opmode == 0) {
        masterModeWarning();
    }
}

void FreeRun::ClearPressed() {
    port_.Confirm("Clear ?", "clear");
}

void FreeRun::Confirmed(const std::string& context) {
    if (context != "clear") return;
    port_.ClearLast();
    port_.ClearFet();
    port_.TableChanged();
}

void FreeRun::HomePressed() {
    for (int t = 0; t < port_.ToolCount() && t < kTools; ++t) {
        port_.WriteRegister(t, kRegToolLock, 1);
        intake_.OutputOff(t);
    }
    port_.LeaveScreen();
}
