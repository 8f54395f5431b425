// The start-up checks as a state machine without widgets: which steps run, in which order,
// when the driver layer is ready, when the access point's channel scan starts and ends,
// and when the scan indicator times out. ShellStartup carries the steps out.
#pragma once

#include <vector>

class StartupChecks {
  public:
    enum Step {
        LowSpaceCheck,  // warn when a store is more than 89 % used
        AutoStartCheck, // open the operation screen with the default job
        ShowScanning,   // scanning indicator and its time-out
        CloseScanning,  // indicator away, time-out stopped
        StopTimeout,
        ScanFailed // "Error" / "Scanning failed."
    };
    using Steps = std::vector<Step>;

    // The driver layer is ready; with a Wi-Fi adapter the checks wait for the scan.
    Steps InitDone(bool wifiAdapter);
    Steps ScanStarted();
    Steps ScanEnded();
    Steps TimedOut();

    bool Done() const { return done_; }
    bool ScanningShown() const { return scanning_; }

  private:
    void closeScanning(Steps& steps);
    bool done_ = false;
    bool scanning_ = false;
    bool scanEnded_ = false;
};
