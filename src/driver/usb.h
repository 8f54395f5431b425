// USB hot-plug: the Wi-Fi dongles, the tool's USB serial port, the bit socket tray and
// any other device (drive list), and the bus searches used at start-up.
//
// Handlers run on the GUI thread: the GUI cycle calls Usb_HandleEvents (through the driver
// queue's pump) and watches Usb_GetPollFds, so an event wakes it without polling.
#pragma once

#include <cstdint>
#include <vector>

enum UsbHotplugEvent { USB_EVENT_ARRIVED = 1, USB_EVENT_LEFT = 2 };
constexpr int USB_MATCH_ANY = -1;

struct UsbPollFd {
    int fd;
    short events; // POLLIN, POLLOUT
};
using UsbPollFdAdded = void (*)(int fd, short events);
using UsbPollFdRemoved = void (*)(int fd);

// Where hot-plug events and the bus come from: libusb on the board; tests put in their own
// source to plug and pull devices by vendor and product.
class UsbEventSource {
  public:
    using Handler = void (*)(int event, uint16_t vendor, uint16_t product);
    virtual ~UsbEventSource() = default;
    // 0, or an error code for ErrorName.
    virtual int Init() = 0;
    virtual bool HasHotplug() = 0;
    // One handler for `events` (a mask of UsbHotplugEvent) of devices matching vendor and
    // product (USB_MATCH_ANY for any); devices present now are not reported. 0 or an error.
    virtual int Register(int vendor, int product, int events, Handler handler) = 0;
    // Runs the handlers of pending events on the calling thread; never waits.
    virtual void HandleEvents() = 0;
    // 1 when a device with that vendor and product is on the bus now, else 0.
    virtual int Search(uint16_t vendor, uint16_t product) = 0;
    virtual std::vector<UsbPollFd> PollFds() = 0;
    virtual void SetPollFdNotifiers(UsbPollFdAdded added, UsbPollFdRemoved removed) = 0;
    virtual const char* ErrorName(int rc) = 0;
};

// Replaces the source (nullptr: libusb); before Usb_Init.
void Usb_SetEventSource(UsbEventSource* source);
// Initialises the source, checks hot-plug support and registers the ten handlers; sets the
// driver queue's pump to Usb_HandleEvents. 0, or -1 when no event will ever come.
int Usb_Init();
// The GUI cycle's pump: pending USB events, then the retries that are due.
void Usb_HandleEvents();
// Descriptors the GUI loop watches (the source's and the retry timer's), and the calls
// that tell it about descriptors the source adds or drops later.
std::vector<UsbPollFd> Usb_GetPollFds();
void Usb_SetPollFdNotifiers(UsbPollFdAdded added, UsbPollFdRemoved removed);

// 1 if a device with that vendor and product is on the bus now, else 0.
int usb_search_vpid(uint16_t vendor, uint16_t product);
// 1 if one of the two supported Wi-Fi dongles is on the bus now, else 0.
int is_wifi_dongle_connected();

// The tool's network registers 267..319 as read over its USB serial port (Modbus RTU).
// String words 20..51 keep their bytes in memory order (low byte first), so they read as
// NUL-terminated 8-bit text; registers carry the first character in the high byte.
constexpr int TTY_NETINFO_FIRST_REG = 267;
constexpr int TTY_NETINFO_WORDS = 53;
// Copies the image out or in (GUI thread).
void tty_get_netinfo(uint16_t out[TTY_NETINFO_WORDS]);
void tty_set_netinfo(const uint16_t in[TTY_NETINFO_WORDS]);
// Writes the image back to the tool (not registers 282..286), stopping at the first write
// the tool does not take; 0 or -1. Nothing (0) without a link.
int tty_xmit_netinfo();
// 1 while the tool's serial link is open.
int tty_link_open();
