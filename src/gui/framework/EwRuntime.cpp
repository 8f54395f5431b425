#include "EwRuntime.h"

#include "ApplicationApplication.h"
#include "ApplicationDeviceClass.h"
#include "UsbWatch.h"
#include "debug.h"
#include "ew_driver.h"
#include "ewmain.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSocketNotifier>
#include <QWindow>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
struct RuntimeState {
    int argc = 1;
    char** argv = nullptr;
    QApplication* app = nullptr;
    ApplicationApplication* RootObject = nullptr;
    FbInfo fb;
    int Width = 1280, Height = 800;
    bool touching = false;
    TouchPoint last{0, 0};
    QSocketNotifier* driverNotifier = nullptr;
    QSocketNotifier* consoleNotifier = nullptr;
    QSocketNotifier* touchNotifier = nullptr;
    QSocketNotifier* quitNotifier = nullptr;
    UsbWatch* usbWatch = nullptr;
    EwCycleStats stats;
    char arg0[16] = "zqcapp";
    char* defaultArgv[2] = {arg0, nullptr};
};
RuntimeState rt;

// Set by a quit signal; the pipe wakes the GUI loop from its wait.
volatile sig_atomic_t quitSignalled = 0;
int quitPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const int saved = errno;
    quitSignalled = 1;
    const char c = 'q';
    if (quitPipe[1] >= 0) (void)!write(quitPipe[1], &c, 1);
    errno = saved;
}

void step(const char* label) {
    fputs(EwStepLabel(label).c_str(), stdout);
    fflush(stdout);
}
void ok() {
    fputs("[OK]\n", stdout), fflush(stdout);
}
void failed() {
    fputs("[failed]\n", stdout), fflush(stdout);
}

bool usesFramebuffer() {
    const char* p = getenv("QT_QPA_PLATFORM");
    return !p || !*p || strncmp(p, "linuxfb", 7) == 0;
}

Qt::Key qtKey(int key) {
    switch (key) {
    case EW_KEY_OK:
        return Qt::Key_Return;
    case EW_KEY_EXIT:
        return Qt::Key_Escape;
    case EW_KEY_MENU:
        return Qt::Key_Menu;
    case EW_KEY_UP:
        return Qt::Key_Up;
    case EW_KEY_DOWN:
        return Qt::Key_Down;
    case EW_KEY_LEFT:
        return Qt::Key_Left;
    case EW_KEY_RIGHT:
        return Qt::Key_Right;
    default:
        return Qt::Key_unknown;
    }
}

void deliverKey(int key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : rt.RootObject;
    if (!target) return;
    QKeyEvent press(QEvent::KeyPress, qtKey(key), Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, qtKey(key), Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

void deliverMouse(QEvent::Type type, TouchPoint p) {
    if (!rt.RootObject) return;
    QWindow* w = rt.RootObject->windowHandle();
    if (!w) return;
    QPointF local(p.x, p.y);
    Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, local, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

bool displayStep() {
    step("Initialize Display...");
    if (usesFramebuffer()) {
        if (Fb_Open(&rt.fb) != 0) return false; // the message is already printed
        rt.Width = int(rt.fb.width);
        rt.Height = int(rt.fb.height);
        // Qt draws through linuxfb on the same device; the panel feeds touch and keys.
        std::string platform = "linuxfb:fb=" + Fb_DevicePath();
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        setenv("QT_QPA_FB_DISABLE_INPUT", "1", 1);
        setenv("QT_QPA_FB_HIDECURSOR", "1", 1);
    }
    rt.app = new QApplication(rt.argc, rt.argv ? rt.argv : rt.defaultArgv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        printf("Error: failed to open framebuffer device.\n");
        return false;
    }
    if (!usesFramebuffer() && screen->depth() < 24) {
        printf("Error: Color format of Graphics Engine does not fit to framebuffer!");
        fflush(stdout);
        return false;
    }
    ok();
    return true;
}
} // namespace

int EwQuitOnSignal(int signo) {
    if (quitPipe[0] < 0 && pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        DBG_ERR("no pipe for signal %d, %s", signo, strerror(errno));
        return -1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (sigaction(signo, &sa, nullptr) != 0) {
        DBG_ERR("cannot handle signal %d, %s", signo, strerror(errno));
        return -1;
    }
    return 0;
}

void EwSetArgs(int argc, char** argv) {
    rt.argc = argc;
    rt.argv = argv;
}

ApplicationApplication* EwRootObject() {
    return rt.RootObject;
}
EwCycleStats EwGetCycleStats() {
    return rt.stats;
}

int EwInit() {
    setenv("QT_NO_GLIB", "1", 1); // GLib's default context belongs to worker "0"
    Console_Init();
    if (!displayStep()) {
        Console_Restore(); // a failed start must not leave the terminal without echo
        return 0;
    }

    step("Initialize Touch Driver...");
    Touch_Start();
    sleep(1);
    ok();

    step("Initialize Graphics Engine...");
    if (!rt.app) {
        failed();
        Console_Restore();
        return 0;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    ok();

    rt.RootObject = new ApplicationApplication();
    if (!rt.RootObject) {
        failed();
        Console_Restore();
        return 0;
    }
    rt.RootObject->Init(1280, 800);
    rt.RootObject->show(); // the viewport: the whole screen at full opacity

    EwDriver_Initialize(ApplicationDevice());

    // Wake sources of the GUI loop; their slots do nothing, the cycle does the work.
    int wfd = EwDriver_GetWakeFd();
    if (wfd >= 0) rt.driverNotifier = new QSocketNotifier(wfd, QSocketNotifier::Read);
    rt.consoleNotifier = new QSocketNotifier(Console_Fd(), QSocketNotifier::Read);
    rt.usbWatch = new UsbWatch;
    int tfd = Touch_WakeFd();
    if (tfd >= 0) {
        rt.touchNotifier = new QSocketNotifier(tfd, QSocketNotifier::Read);
        QObject::connect(rt.touchNotifier, &QSocketNotifier::activated, [tfd] {
            uint64_t v;
            (void)!read(tfd, &v, sizeof v);
        });
    }
    if (quitPipe[0] >= 0) {
        rt.quitNotifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read);
        QObject::connect(rt.quitNotifier, &QSocketNotifier::activated, [] {
            char buf[16];
            while (read(quitPipe[0], buf, sizeof buf) > 0) {
            }
        });
    }
    printf("Start main loop... press 'p' to shut down the application\n");
    fflush(stdout);
    return 1;
}

int EwProcess() {
    ++rt.stats.cycles;
    bool activity = false;
    // 1. driver-to-GUI bridge
    EwDriver_ProcessData();
    // 2. console
    if (quitSignalled) return 0; // as "p": the shutdown follows
    int key = Console_ReadKey();
    if (key == EW_KEY_QUIT) return 0;
    // A closed standard input stays readable forever: stop watching it.
    if (Console_AtEof() && rt.consoleNotifier) rt.consoleNotifier->setEnabled(false);
    if (key != EW_KEY_NONE) {
        deliverKey(key);
        activity = true;
    }
    // 3. touch
    TouchPoint p;
    if (Touch_Query(&p)) {
        deliverMouse(rt.touching ? QEvent::MouseMove : QEvent::MouseButtonPress, p);
        rt.touching = true;
        rt.last = p;
        activity = true;
    } else if (rt.touching) {
        deliverMouse(QEvent::MouseButtonRelease, rt.last);
        rt.touching = false;
        activity = true;
    }
    // 4. timers and pending signals (queued deliveries of the system events)
    QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
    if (d && d->processEvents(QEventLoop::AllEvents)) activity = true;
    QCoreApplication::sendPostedEvents();
    if (EwDriver_LastDelivered() > 0) activity = true;
    // 5/6. with nothing to do, sleep until a wake source or timer fires
    if (!activity && !rt.touching) {
        ++rt.stats.waits;
        if (d) d->processEvents(QEventLoop::WaitForMoreEvents);
    }
    return 1;
}

void EwDone() {
    EwDriver_Deinitialize();
    step("Deinitialize Touch Driver...");
    Touch_Stop();
    sleep(1);
    ok();
    step("Shutting down Application...");
    delete rt.driverNotifier;
    delete rt.consoleNotifier;
    delete rt.touchNotifier;
    delete rt.quitNotifier;
    rt.quitNotifier = nullptr;
    delete rt.usbWatch;
    rt.usbWatch = nullptr;
    rt.driverNotifier = rt.consoleNotifier = rt.touchNotifier = nullptr;
    delete rt.RootObject;
    rt.RootObject = nullptr;
    ok();
    step("Deinitialize Graphics Engine...");
    delete rt.app;
    rt.app = nullptr;
    Fb_Close(&rt.fb);
    ok();
    Console_Restore();
}

void EwPrintSystemInfo() {
    fputs(EwSystemInfoText(uintptr_t(rt.fb.addr), uint32_t(rt.Width), uint32_t(rt.Height)).c_str(),
          stdout);
    fflush(stdout);
}
