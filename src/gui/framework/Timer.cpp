#include "Timer.h"

Timer::Timer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::expired);
}

void Timer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on) {
        first_ = true;
        timer_.start(begin_ > 0 ? begin_ : period_);
    } else {
        timer_.stop();
    }
}

void Timer::expired() {
    if (!enabled_) return;
    first_ = false;
    if (period_ > 0)
        timer_.start(period_);
    else
        enabled_ = false;
    emit trigger();
}
