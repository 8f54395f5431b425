// The run state of the operation screen without a job, free of widgets: what happens on
// each result, tool link change, tray report, scanner code and button, carried out
// through a FreeRunPort. The screen forwards its events here and shows what it is told.
#pragma once

#include "FreeRunPort.h"
#include "StoredResults.h"

#include <string>

class FreeRun {
  public:
    static constexpr int kTools = 8;

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
    // Stored-results dialog: the operator chose the tools to collect (bit per tool) or
    // left the screen from it.
    void StoredConfirmed(unsigned chosen);
    void StoredLeave() { HomePressed(); }

    int Pending(int tdx) const { return stored_.Pending(tdx); }
    int StoredTotal() const { return stored_.Total(); }
    int Collecting() const { return stored_.Current(); }
    const StoredResults& Stored() const { return stored_; }
    int TrayTool() const { return trayTool_; }

  private:
    void openTool(int tdx);
    void storedResult(int tdx);
    void storedToolDone(int tdx);
    void startCollecting(int tdx);
    bool connected(int tdx);
    void logResult(int tdx, const FastenResult& r, int barcodeSource);
    void lockTray(bool on);
    void trayPreset(int preset);
    void masterModeWarning();

    FreeRunPort& port_;
    StoredResults stored_;
    ResultOnce once_;
    int trayTool_ = -1;
};
