// A USB event source for tests: devices are plugged and pulled by vendor and product; the
// events wait until the GUI cycle handles them, and an eventfd wakes it as libusb's would.
#pragma once

#include "usb.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <poll.h>
#include <set>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>
#include <vector>

class UsbTestSource : public UsbEventSource {
  public:
    struct Reg {
        int vendor, product, events;
        Handler handler;
    };
    int initResult = 0;
    bool hotplug = true;
    std::set<size_t> failRegistration; // registration numbers (0-based) that fail
    std::vector<Reg> regs;

    UsbTestSource() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~UsbTestSource() override { close(fd_); }

    void Plug(uint16_t vendor, uint16_t product) { post(USB_EVENT_ARRIVED, vendor, product); }
    void Pull(uint16_t vendor, uint16_t product) { post(USB_EVENT_LEFT, vendor, product); }

    int Init() override { return initResult; }
    bool HasHotplug() override { return hotplug; }
    int Register(int vendor, int product, int events, Handler handler) override {
        if (failRegistration.count(regs.size() + failed_)) {
            ++failed_;
            return -99;
        }
        regs.push_back({vendor, product, events, handler});
        return 0;
    }
    void HandleEvents() override {
        uint64_t v;
        (void)!read(fd_, &v, sizeof v);
        for (;;) {
            Event e;
            {
                std::lock_guard<std::mutex> g(lock_);
                if (pending_.empty()) return;
                e = pending_.front();
                pending_.pop_front();
            }
            // Like libusb: each matching registration, in registration order.
            for (const Reg& r : regs)
                if ((r.vendor == USB_MATCH_ANY || r.vendor == e.vendor) &&
                    (r.product == USB_MATCH_ANY || r.product == e.product) && (r.events & e.event))
                    r.handler(e.event, e.vendor, e.product);
        }
    }
    int Search(uint16_t vendor, uint16_t product) override {
        std::lock_guard<std::mutex> g(lock_);
        return present_.count({vendor, product}) ? 1 : 0;
    }
    std::vector<UsbPollFd> PollFds() override { return {{fd_, POLLIN}}; }
    void SetPollFdNotifiers(UsbPollFdAdded, UsbPollFdRemoved) override {}
    const char* ErrorName(int rc) override { return rc == -99 ? "LIBUSB_ERROR_TEST" : "?"; }

  private:
    struct Event {
        int event;
        uint16_t vendor, product;
    };
    void post(int event, uint16_t vendor, uint16_t product) {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (event == USB_EVENT_ARRIVED) present_.insert({vendor, product});
            if (event == USB_EVENT_LEFT) present_.erase({vendor, product});
            pending_.push_back({event, vendor, product});
        }
        uint64_t one = 1;
        (void)!write(fd_, &one, sizeof one);
    }
    int fd_;
    size_t failed_ = 0;
    std::mutex lock_;
    std::deque<Event> pending_;
    std::set<std::pair<uint16_t, uint16_t>> present_;
};
