// The start-up checks of the home screen: network start-up, low-space warning and
// job auto-start once the driver layer is ready, or after the access point's channel
// scan when a Wi-Fi adapter is present (with the scanning indicator and its time-out).
#pragma once

#include "Navigator.h"

#include <QObject>

class PageHome;
class Timer;

class ShellStartup : public QObject {
    Q_OBJECT
  public:
    explicit ShellStartup(PageHome* home);
    static constexpr int ScanTimeoutMs = 20000;

    bool StartupDone() const { return done_; }
    bool ScanningShown() const { return scanning_.Open(); }
    Timer* ScanTimeout() const { return timeout_; }

    void OnInitDone();
    void OnWlanScan(int scanning);
    void OnScanTimeout();
    // The two checks, also usable on their own.
    void LowSpaceCheck();
    void AutoStartCheck();

  private:
    void closeScanning();
    PageHome* home_;
    Timer* timeout_;
    ModalHandle scanning_;
    bool done_ = false;
    bool scanEnded_ = false;
};
