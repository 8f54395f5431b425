// Entry point of zqcapp: options, data home, then start-up, GUI loop and shutdown.
#include "EwRuntime.h"
#include "backup.h"
#include "common.h"
#include "debug.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
void usage() {
    printf("Usage: zqcapp [--home DIR] [--help] [--version] [Qt options]\n"
           "\n"
           "Operator panel and cell controller of a station of networked screwdrivers.\n"
           "\n"
           "Options:\n"
           "  --home DIR     data home (working directory); default /home/dromik\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Environment:\n"
           "  KEST_HOME        data home when --home is not given\n"
           "  KEST_SYSROOT     prefix of /dev, /sys, /proc, /media and /var/run paths\n"
           "                   (empty on the board; the simulated cell sets it)\n"
           "  KEST_FBDEV       framebuffer device instead of /dev/fb0\n"
           "  QT_QPA_PLATFORM  Qt platform; unset or linuxfb draws on the framebuffer,\n"
           "                   xcb, vnc or offscreen draw elsewhere\n"
           "\n"
           "Console keys: Enter, Escape, arrows, 'm' for the GUI; 'p' shuts down.\n");
}
} // namespace

int main(int argc, char** argv) {
    const char* home = getenv("KEST_HOME");
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            usage();
            return 0;
        }
        if (!strcmp(argv[i], "--version")) {
            printf("zqcapp %s\n", KEST_VERSION);
            return 0;
        }
        if (!strcmp(argv[i], "--home")) {
            if (i + 1 >= argc) {
                fprintf(stderr, "zqcapp: --home needs a directory\n");
                return 2;
            }
            home = argv[++i];
        }
    }
    if (Common_SetHome(home) != 0) {
        fprintf(stderr, "zqcapp: cannot use data home %s\n", home ? home : "/home/dromik");
        return 1;
    }
    // A backup load cut off during its swap is finished before any module reads ./files.
    Backup_Recover();
    // A peer or child that goes away mid-write must give EPIPE, not end the panel.
    signal(SIGPIPE, SIG_IGN);
    // Stopped by the system (a restart) or by Ctrl-C in a terminal: the same shutdown as "p".
    EwQuitOnSignal(SIGTERM);
    EwQuitOnSignal(SIGINT);
    EwSetArgs(argc, argv);
    if (!EwInit()) return 1;
    // Started by the service's launcher in place of a program that failed to start.
    if (const char* why = getenv("KEST_FALLBACK"); why && *why) DBG_ERR("%s", why);
    EwPrintSystemInfo();
    while (EwProcess()) {
    }
    EwDone();
    return 0;
}
