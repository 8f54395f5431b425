// The GUI runtime of the process: start-up (EwInit), one GUI cycle (EwProcess) and
// shutdown (EwDone), over Qt. The GUI loop sleeps in Qt's event wait until the driver
// queue, the console, the touch reader or a timer wakes it.
#pragma once

class ApplicationApplication;

void EwSetArgs(int argc, char** argv);
// `signo` (SIGTERM: the init system's stop, as "reboot" sends it) ends the GUI loop as "p"
// does, so the shutdown runs and the result log keeps what it holds. The handler only
// sets a flag and writes to a pipe the GUI loop watches. 0 or -1.
int EwQuitOnSignal(int signo);
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
