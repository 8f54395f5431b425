#include "usb.h"

#include "debug.h"

#include <libusb.h>

int usb_search_vpid(uint16_t vendor, uint16_t product) {
    libusb_context* usb = nullptr;
    int rc = libusb_init(&usb);
    if (rc != 0) {
        DBG_ERR("libusb init error : %s", libusb_error_name(rc));
        return 0;
    }
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(usb, &list);
    int found = 0;
    if (n < 0) {
        DBG_ERR("get device list error : %s", libusb_error_name(int(n)));
    } else {
        for (ssize_t i = 0; i < n && !found; ++i) {
            struct libusb_device_descriptor desc;
            rc = libusb_get_device_descriptor(list[i], &desc);
            if (rc != 0) {
                DBG_ERR("failed to get device descriptor : %s", libusb_error_name(rc));
                continue;
            }
            found = desc.idVendor == vendor && desc.idProduct == product;
        }
        libusb_free_device_list(list, 1);
    }
    libusb_exit(usb);
    return found;
}

int is_wifi_dongle_connected() {
    return usb_search_vpid(0x0BDA, 0xB812) || usb_search_vpid(0x2357, 0x0115);
}
