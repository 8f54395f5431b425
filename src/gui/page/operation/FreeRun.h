// The run state of the operation screen without a job, free of widgets: what happens on
// each result, tool link change, tray report, scanner code and button, carried out
// through a FreeRunPort. The screen forwards its events here and shows what it is told.
#pragma once

#include "FreeRunPort.h"

#include <array>
#include <string>

class FreeRun {
  public:
    static constexpr int kTools = 8;

    explicit FreeRun(FreeRunPort& port) : port_(port) {}

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

    int Pending(int tdx) const { return tdx >= 0 && tdx < kTools ? pending_[size_t(tdx)] : 0; }
    int StoredTotal() const { return total_; }
    int Collecting() const { return collecting_; }
    int TrayTool() const { return trayTool_; }

  private:
    void openTool(int tdx);
    void storedResult(int tdx);
    void storedToolDone(int tdx);
    void startNextCollection();
    void dropPending(int tdx);
    void logResult(int tdx, const FastenResult& r, int barcodeSource);
    void lockTray(bool on);
    void trayPreset(int preset);
    void masterModeWarning();

    FreeRunPort& port_;
    std::array<int, kTools> pending_{};
    unsigned chosen_ = 0; // tools chosen for collection
    int total_ = 0;       // stored results still to collect
    int collecting_ = -1; // tool whose stored results arrive now
    int trayTool_ = -1;
};
