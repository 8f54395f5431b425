#include "UsbWatch.h"

#include "usb.h"

#include <QSocketNotifier>
#include <poll.h>

namespace {
UsbWatch* current = nullptr; // the library's notifier calls carry no object
}

UsbWatch::UsbWatch(QObject* parent) : QObject(parent) {
    current = this;
    for (UsbPollFd f : Usb_GetPollFds())
        add(f.fd, f.events);
    Usb_SetPollFdNotifiers(
        [](int fd, short events) {
            if (current) current->add(fd, events);
        },
        [](int fd) {
            if (current) current->remove(fd);
        });
}

UsbWatch::~UsbWatch() {
    if (current == this) current = nullptr;
}

void UsbWatch::add(int fd, short events) {
    auto watch = [&](QSocketNotifier::Type type) {
        auto* n = new QSocketNotifier(fd, type, this);
        // A level-triggered descriptor stays ready until the cycle handles it; the cycle
        // runs right after this wake-up.
        connect(n, &QSocketNotifier::activated, this, &UsbWatch::woken);
        notifiers_.emplace(fd, n);
    };
    if (events & POLLIN) watch(QSocketNotifier::Read);
    if (events & POLLOUT) watch(QSocketNotifier::Write);
}

void UsbWatch::remove(int fd) {
    auto [from, to] = notifiers_.equal_range(fd);
    for (auto it = from; it != to; ++it) {
        it->second->setEnabled(false);
        it->second->deleteLater();
    }
    notifiers_.erase(from, to);
}
