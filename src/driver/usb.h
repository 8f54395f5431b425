// USB hot-plug: the Wi-Fi dongles, the tool's USB serial port, the bit socket tray and
// any other device (drive list), and the bus searches used at start-up.
#pragma once

#include <cstdint>

// 1 if a device with that vendor and product is on the bus now, else 0.
int usb_search_vpid(uint16_t vendor, uint16_t product);
// 1 if one of the two supported Wi-Fi dongles is on the bus now, else 0.
int is_wifi_dongle_connected();
