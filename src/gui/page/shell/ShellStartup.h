// The start-up checks of the home screen: network start-up once the driver layer is ready,
// then the steps StartupChecks decides (low-space warning, job auto-start, the scanning
// indicator of the access point's channel scan and its time-out).
#pragma once

#include "Navigator.h"
#include "StartupChecks.h"

#include <QObject>

class PageHome;
class Timer;

class ShellStartup : public QObject {
    Q_OBJECT
  public:
    explicit ShellStartup(PageHome* home);
    static constexpr int ScanTimeoutMs = 20000;

    bool StartupDone() const { return checks_.Done(); }
    bool ScanningShown() const { return scanning_.Open(); }
    Timer* ScanTimeout() const { return timeout_; }

    void OnInitDone();
    void OnWlanScan(int scanning);
    void OnScanTimeout();
    // The two checks, also usable on their own.
    void LowSpaceCheck();
    void AutoStartCheck();

  private:
    void run(const StartupChecks::Steps& steps);
    PageHome* home_;
    Timer* timeout_;
    ModalHandle scanning_;
    StartupChecks checks_;
};
