// The GUI runtime of the process: start-up (EwInit), one GUI cycle (EwProcess) and
// shutdown (EwDone), over Qt. The GUI loop sleeps in Qt's event wait until the driver
// queue, the console, the touch reader or a timer wakes it.
#pragma once

class ApplicationApplication;

void EwSetArgs(int argc, char** argv);
int EwInit();
int EwProcess();
void EwDone();
void EwPrintSystemInfo();
ApplicationApplication* EwRootObject();
// Counters for tests and benchmarks: GUI cycles run and cycles that slept.
struct EwCycleStats {
    unsigned long cycles = 0, waits = 0;
};
EwCycleStats EwGetCycleStats();
