#include "usb.h"

#include "bst.h"
#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "net.h"
#include "tools.h"
#include "wlan.h"

#include <libusb.h>
#include <modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
// Retries on the GUI thread are paced by one 100 ms timer that wakes the GUI loop, so no
// wait ever holds the screen. A dongle's interface appears once its firmware is loaded
// (a few seconds); one that never shows is given up after 10 s. The tool's serial node
// is looked for from 100 ms after its arrival, for 1 s.
constexpr int kTickMs = 100;
constexpr int kWlanTries = 100;
constexpr int kTtyTries = 10;

constexpr uint16_t kTtyVendor = 0x0483, kTtyProduct = 0x5740;

// ---- libusb ----
class LibusbSource final : public UsbEventSource {
  public:
    int Init() override {
        int rc = libusb_init(nullptr);
        inited_ = rc == 0;
        return rc;
    }
    bool HasHotplug() override { return libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0; }
    int Register(int vendor, int product, int events, Handler handler) override {
        if (count_ >= int(std::size(handlers_))) return LIBUSB_ERROR_NO_MEM;
        handlers_[count_] = handler;
        int rc = libusb_hotplug_register_callback(
            nullptr, events, LIBUSB_HOTPLUG_NO_FLAGS,
            vendor == USB_MATCH_ANY ? LIBUSB_HOTPLUG_MATCH_ANY : vendor,
            product == USB_MATCH_ANY ? LIBUSB_HOTPLUG_MATCH_ANY : product, LIBUSB_HOTPLUG_MATCH_ANY,
            onHotplug, &handlers_[count_], nullptr);
        if (rc == LIBUSB_SUCCESS) ++count_;
        return rc;
    }
    void HandleEvents() override {
        if (!inited_) return;
        timeval zero{0, 0};
        libusb_handle_events_timeout_completed(nullptr, &zero, nullptr);
    }
    int Search(uint16_t vendor, uint16_t product) override {
        // Before Usb_Init (the tray's start-up) a context of its own.
        libusb_context* usb = nullptr;
        if (!inited_) {
            int rc = libusb_init(&usb);
            if (rc != 0) {
                DBG_ERR("libusb_init fail : %s", libusb_error_name(rc));
                return 0;
            }
        }
        libusb_device** list = nullptr;
        ssize_t n = libusb_get_device_list(usb, &list);
        int found = 0;
        if (n < 0) {
            DBG_ERR("get device list error : %s", libusb_error_name(int(n)));
        } else {
            for (ssize_t i = 0; i < n && !found; ++i) {
                libusb_device_descriptor desc;
                int rc = libusb_get_device_descriptor(list[i], &desc);
                if (rc != 0) {
                    DBG_ERR("failed to get device descriptor : %s", libusb_error_name(rc));
                    continue;
                }
                found = desc.idVendor == vendor && desc.idProduct == product;
            }
            libusb_free_device_list(list, 1);
        }
        if (usb) libusb_exit(usb);
        return found;
    }
    std::vector<UsbPollFd> PollFds() override {
        std::vector<UsbPollFd> out;
        if (!inited_) return out;
        const libusb_pollfd** fds = libusb_get_pollfds(nullptr);
        for (int i = 0; fds && fds[i]; ++i)
            out.push_back({fds[i]->fd, fds[i]->events});
        libusb_free_pollfds(fds);
        return out;
    }
    void SetPollFdNotifiers(UsbPollFdAdded added, UsbPollFdRemoved removed) override {
        added_ = added;
        removed_ = removed;
        if (!inited_) return;
        libusb_set_pollfd_notifiers(
            nullptr,
            [](int fd, short events, void*) {
                if (added_) added_(fd, events);
            },
            [](int fd, void*) {
                if (removed_) removed_(fd);
            },
            nullptr);
    }
    const char* ErrorName(int rc) override { return libusb_error_name(rc); }

  private:
    static int LIBUSB_CALL onHotplug(libusb_context*, libusb_device* dev,
                                     libusb_hotplug_event event, void* user) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(dev, &desc) != 0) desc.idVendor = desc.idProduct = 0;
        (*static_cast<Handler*>(user))(int(event), desc.idVendor, desc.idProduct);
        return 0; // stay registered
    }
    bool inited_ = false;
    Handler handlers_[10] = {};
    int count_ = 0;
    static inline UsbPollFdAdded added_ = nullptr;
    static inline UsbPollFdRemoved removed_ = nullptr;
};

struct UsbCtx {
    LibusbSource libusb;
    UsbEventSource* source = &libusb;
    int timerFd = -1;
    bool timerArmed = false;
    int wlanTries = -1; // ticks waited for wlan0; -1: no wait
    int ttyTries = -1;  // ticks waited for the serial node; -1: no wait
};
UsbCtx usbCtx;

// The tool's serial link and its register image (GUI thread only).
modbus_t* mBusRtuCtx = nullptr;
uint16_t tty_netinfo[TTY_NETINFO_WORDS];

void armTimer(bool on) {
    if (usbCtx.timerFd < 0) return;
    if (on == usbCtx.timerArmed) return;
    itimerspec t{};
    if (on) t.it_interval.tv_nsec = t.it_value.tv_nsec = kTickMs * 1000000L;
    timerfd_settime(usbCtx.timerFd, 0, &t, nullptr);
    usbCtx.timerArmed = on;
}

void updateTimer() {
    armTimer(usbCtx.wlanTries >= 0 || usbCtx.ttyTries >= 0);
}

uint16_t swapBytes(uint16_t w) {
    return uint16_t(w << 8 | w >> 8);
}

void closeTtyLink() {
    if (!mBusRtuCtx) return;
    modbus_close(mBusRtuCtx);
    modbus_free(mBusRtuCtx);
    mBusRtuCtx = nullptr;
}

// Opens the tool's serial link and reads its image; -1 while there is no node yet.
int ttyOpen() {
    std::string path;
    int n = 0;
    for (; n < 10; ++n) {
        char dev[32];
        snprintf(dev, sizeof dev, "/dev/ttyACM%d", n);
        path = Common_SysPath(dev);
        if (Common_Exists(path)) break;
    }
    if (n == 10) return -1;
    closeTtyLink(); // a second tool without a departure between
    Common_System("chmod a+rw " + Common_ShellQuote(path));
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!ctx) {
        DBG_ERR("%s rtu context fail : %s", path.c_str(), modbus_strerror(errno));
        return 0;
    }
    if (modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        DBG_ERR("%s connect fail : %s", path.c_str(), modbus_strerror(errno));
        modbus_free(ctx);
        return 0;
    }
    mBusRtuCtx = ctx;
    uint16_t regs[TTY_NETINFO_WORDS] = {};
    int got = modbus_read_registers(ctx, TTY_NETINFO_FIRST_REG, TTY_NETINFO_WORDS, regs);
    if (got < TTY_NETINFO_WORDS) {
        // The link stays open until the tool leaves.
        DBG_ERR("read network registers fail (%d) : %s", got, modbus_strerror(errno));
        return 0;
    }
    for (int i = 20; i <= 51; ++i)
        regs[i] = swapBytes(regs[i]);
    memcpy(tty_netinfo, regs, sizeof tty_netinfo);
    EwDriver_PushMsgQ_TTY(1);
    return 0;
}

void tick() {
    if (usbCtx.wlanTries >= 0) {
        if (check_wlan_access() == 0) {
            usbCtx.wlanTries = -1;
            Hostapd_Ifup_Wlan();
        } else if (++usbCtx.wlanTries >= kWlanTries) {
            usbCtx.wlanTries = -1;
            DBG_ERR("wlan0 did not appear in /proc/net/wireless within %d ms",
                    kWlanTries * kTickMs);
        }
    }
    if (usbCtx.ttyTries >= 0) {
        if (ttyOpen() == 0) {
            usbCtx.ttyTries = -1;
        } else if (++usbCtx.ttyTries >= kTtyTries) {
            usbCtx.ttyTries = -1;
            DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "no ttyACM node");
        }
    }
    updateTimer();
}

// ---- handlers ----

void onWifiDongle(int event, uint16_t, uint16_t) {
    if (event == USB_EVENT_ARRIVED) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "Wi-Fi dongle arrived");
        if (check_wlan_access() == 0) {
            Hostapd_Ifup_Wlan();
        } else {
            usbCtx.wlanTries = 0;
            updateTimer();
        }
    } else if (event == USB_EVENT_LEFT) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "Wi-Fi dongle left");
        usbCtx.wlanTries = -1;
        updateTimer();
        ToolManager_DismissTool_ByNetIf(2);
        Net_PushMsgQ_KillHostapd();
    }
}

void onToolSerial(int event, uint16_t, uint16_t) {
    if (event == USB_EVENT_ARRIVED) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "ttyACM arrived");
        usbCtx.ttyTries = 0; // first look at the next tick, 100 ms on
        updateTimer();
    } else if (event == USB_EVENT_LEFT) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "ttyACM left");
        usbCtx.ttyTries = -1;
        updateTimer();
        closeTtyLink();
        EwDriver_PushMsgQ_TTY(0);
    }
}

void onTray(int event, uint16_t, uint16_t) {
    if (event == USB_EVENT_ARRIVED) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "BST arrived");
        bst_arrive_proc();
    } else if (event == USB_EVENT_LEFT) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "BST left");
        bst_left_proc();
    }
}

void onAnyDevice(int event, uint16_t, uint16_t) {
    if (event == USB_EVENT_ARRIVED || event == USB_EVENT_LEFT)
        EwDriver_PushMsgQ_UpdateDrvs();
    else
        DBG_ERR("unknown hotplug event : %d", event);
}

struct Registration {
    int vendor, product, events;
    UsbEventSource::Handler handler;
    const char* failure;
};
const Registration registrations[] = {
    {0x0BDA, 0xB812, USB_EVENT_ARRIVED, onWifiDongle, "register wifi(iptime) arrive event fail"},
    {0x0BDA, 0xB812, USB_EVENT_LEFT, onWifiDongle, "register wifi(iptime) left event fail"},
    {0x2357, 0x0115, USB_EVENT_ARRIVED, onWifiDongle, "register wifi(tplink) arrive event fail"},
    {0x2357, 0x0115, USB_EVENT_LEFT, onWifiDongle, "register wifi(tplink) left event fail"},
    {kTtyVendor, kTtyProduct, USB_EVENT_ARRIVED, onToolSerial,
     "register wifi(ttyACM) arrive event fail"},
    {kTtyVendor, kTtyProduct, USB_EVENT_LEFT, onToolSerial,
     "register wifi(ttyACM) left event fail"},
    {BST_USB_VENDOR, BST_USB_PRODUCT, USB_EVENT_ARRIVED, onTray,
     "register RS422(ttyUSB0) arrive event fail"},
    {BST_USB_VENDOR, BST_USB_PRODUCT, USB_EVENT_LEFT, onTray,
     "register RS422(ttyUSB0) left event fail"},
    {USB_MATCH_ANY, USB_MATCH_ANY, USB_EVENT_ARRIVED, onAnyDevice,
     "register storage arrive event fail"},
    {USB_MATCH_ANY, USB_MATCH_ANY, USB_EVENT_LEFT, onAnyDevice, "register storage left event fail"},
};
} // namespace

void Usb_SetEventSource(UsbEventSource* source) {
    usbCtx.source = source ? source : &usbCtx.libusb;
}

int Usb_Init() {
    UsbEventSource* src = usbCtx.source;
    int rc = src->Init();
    if (rc != 0) {
        DBG_ERR("libusb_init fail : %s", src->ErrorName(rc));
        return -1;
    }
    if (!src->HasHotplug()) {
        DBG_ERR("hotplug capabilites are not supported on this platform");
        return -1;
    }
    for (const Registration& r : registrations) {
        rc = src->Register(r.vendor, r.product, r.events, r.handler);
        if (rc != 0) DBG_ERR("%s : %s", r.failure, src->ErrorName(rc));
    }
    if (usbCtx.timerFd < 0) {
        usbCtx.timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (usbCtx.timerFd < 0) DBG_ERR("timerfd_create fail : %s", strerror(errno));
    }
    EwDriver_SetUsbPump(Usb_HandleEvents);
    return 0;
}

void Usb_HandleEvents() {
    usbCtx.source->HandleEvents();
    uint64_t expired = 0;
    if (usbCtx.timerFd >= 0 && read(usbCtx.timerFd, &expired, sizeof expired) == sizeof expired &&
        expired > 0)
        tick();
}

std::vector<UsbPollFd> Usb_GetPollFds() {
    std::vector<UsbPollFd> fds = usbCtx.source->PollFds();
    if (usbCtx.timerFd >= 0) fds.push_back({usbCtx.timerFd, POLLIN});
    return fds;
}

void Usb_SetPollFdNotifiers(UsbPollFdAdded added, UsbPollFdRemoved removed) {
    usbCtx.source->SetPollFdNotifiers(added, removed);
}

int usb_search_vpid(uint16_t vendor, uint16_t product) {
    return usbCtx.source->Search(vendor, product);
}

int is_wifi_dongle_connected() {
    return usb_search_vpid(0x0BDA, 0xB812) || usb_search_vpid(0x2357, 0x0115);
}

void tty_get_netinfo(uint16_t out[TTY_NETINFO_WORDS]) {
    memcpy(out, tty_netinfo, sizeof tty_netinfo);
}

void tty_set_netinfo(const uint16_t in[TTY_NETINFO_WORDS]) {
    memcpy(tty_netinfo, in, sizeof tty_netinfo);
}

int tty_link_open() {
    return mBusRtuCtx ? 1 : 0;
}

int tty_xmit_netinfo() {
    if (!mBusRtuCtx) return 0;
    // A tool that stops answering costs one response timeout, not one per word left.
    auto put = [](int word, bool swap) {
        uint16_t v = swap ? swapBytes(tty_netinfo[word]) : tty_netinfo[word];
        if (modbus_write_register(mBusRtuCtx, TTY_NETINFO_FIRST_REG + word, v) == 1) return true;
        DBG_ERR("write of %d failed: %s", TTY_NETINFO_FIRST_REG + word, modbus_strerror(errno));
        return false;
    };
    bool ok = put(0, false); // Wi-Fi
    for (int w = 1; ok && w <= 13; ++w)
        ok = put(w, false);                      // DHCP, address, netmask, gateway
    ok = ok && put(14, false) && put(52, false); // port, country
    for (int w = 20; ok && w <= 51; ++w)
        ok = put(w, true); // SSID, then the pass phrase
    return ok ? 0 : -1;
}
