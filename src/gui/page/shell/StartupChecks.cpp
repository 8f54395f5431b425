#include "StartupChecks.h"

StartupChecks::Steps StartupChecks::InitDone(bool wifiAdapter) {
    if (wifiAdapter || done_) return {};
    done_ = true;
    return {LowSpaceCheck, AutoStartCheck};
}

StartupChecks::Steps StartupChecks::ScanStarted() {
    if (scanning_) return {};
    scanning_ = true;
    return {ShowScanning};
}

void StartupChecks::closeScanning(Steps& steps) {
    if (!scanning_) return;
    scanning_ = false;
    steps.push_back(CloseScanning);
    if (!done_) {
        done_ = true;
        steps.push_back(AutoStartCheck);
    }
}

StartupChecks::Steps StartupChecks::ScanEnded() {
    Steps steps{StopTimeout};
    // A scan end without an indicator (a manual channel needs no scan) starts nothing.
    closeScanning(steps);
    if (!scanEnded_) {
        scanEnded_ = true;
        steps.push_back(LowSpaceCheck);
    }
    return steps;
}

StartupChecks::Steps StartupChecks::TimedOut() {
    Steps steps{StopTimeout};
    closeScanning(steps);
    steps.push_back(ScanFailed);
    return steps;
}
