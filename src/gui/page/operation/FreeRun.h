// The run state of the operation screen without a job, free of widgets: what happens on
// each result, tool link change, tray report, scanner code and button, carried out
// through a FreeRunPort. The screen forwards its events here and shows what it is told.
// Logging and stored results are the shared ResultTaker's.
#pragma once

#include "FreeRunPort.h"
#include "ResultTaker.h"

#include <string>

class FreeRun : public ResultTaker {
  public:
    explicit FreeRun(FreeRunPort& port);

    // The screen was created: tools unlocked and their results on, or the stored-results
    // prompt when a tool holds results; the tray check timer started.
    void Start();
    void Fasten(int tdx);
    void Registry(int tdx, int state);
    void ScannerCode(const std::string& code);
    void Timer(FreeTimer id);
    void TrayEvent(int mask, int preset, int alarm, int opmode);
    void TrayHotplug(bool present);
    void ClearPressed();
    void Confirmed(const std::string& context);
    void HomePressed();
    // The stored-results dialog's leave button leaves the screen.
    void StoredLeave() { HomePressed(); }

    int TrayTool() const { return trayTool_; }

  private:
    void OpenTool(int tdx) override;
    void StoredToolDone(int tdx) override;
    void StartCollecting(int tdx) override;
    void lockTray(bool on);
    void trayPreset(int preset);
    void masterModeWarning();

    FreeRunPort& port_;
    int trayTool_ = -1;
};
