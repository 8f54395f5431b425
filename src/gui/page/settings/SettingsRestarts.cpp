#include "SettingsRestarts.h"

#include "ApplicationDeviceClass.h"

SettingsRestarts& SettingsRestarts::Instance() {
    static SettingsRestarts* one = new SettingsRestarts; // lives as long as the GUI
    return *one;
}

SettingsRestarts::SettingsRestarts(QObject* parent) : QObject(parent) {
    for (int k = 0; k < KindCount; ++k) {
        timers_[k].setSingleShot(true);
        timers_[k].setTimerType(Qt::PreciseTimer);
        timers_[k].setInterval(kDelayMs);
        connect(&timers_[k], &QTimer::timeout, this, [k] { run(Kind(k)); });
    }
}

void SettingsRestarts::run(Kind kind) {
    if (kind == Wifi)
        ApplicationDevice()->Wlan0Up();
    else
        ApplicationDevice()->RunFtpd();
}

void SettingsRestarts::Schedule(Kind kind) {
    timers_[kind].start();
}

bool SettingsRestarts::Pending(Kind kind) const {
    return timers_[kind].isActive();
}

void SettingsRestarts::RunPending() {
    for (int k = 0; k < KindCount; ++k) {
        if (!timers_[k].isActive()) continue;
        timers_[k].stop();
        run(Kind(k));
    }
}

void SettingsRestarts::Cancel(Kind kind) {
    timers_[kind].stop();
}
