#include "UsbWatch.h"

#include "usb.h"

#include <QSocketNotifier>
#include <atomic>
#include <poll.h>

namespace {
std::atomic<UsbWatch*> current{nullptr}; // the library's notifier calls carry no object
}

UsbWatch::UsbWatch(QObject* parent) : QObject(parent) {
    current = this;
    for (UsbPollFd f : Usb_GetPollFds())
        add(f.fd, f.events);
    // The library may report descriptors from its own event thread: notifiers are made
    // and dropped on the GUI thread.
    Usb_SetPollFdNotifiers(
        [](int fd, short events) {
            if (UsbWatch* w = current.load())
                QMetaObject::invokeMethod(w, [w, fd, events] { w->add(fd, events); });
        },
        [](int fd) {
            if (UsbWatch* w = current.load())
                QMetaObject::invokeMethod(w, [w, fd] { w->remove(fd); });
        });
}

UsbWatch::~UsbWatch() {
    UsbWatch* self = this;
    current.compare_exchange_strong(self, nullptr);
    Usb_SetPollFdNotifiers(nullptr, nullptr);
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
