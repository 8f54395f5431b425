// Device-object family "USB": the tool network register image read over the tool's USB
// serial port, and its transmission back.
#include "ApplicationDeviceClass.h"
#include "usb.h"

QVector<uint16_t> ApplicationDeviceClass::GetTtyNetinfo() {
    QVector<uint16_t> image(TTY_NETINFO_WORDS);
    tty_get_netinfo(image.data());
    return image;
}

int32_t ApplicationDeviceClass::TtyXmitNetinfo(const QVector<uint16_t>& image) {
    if (image.size() != TTY_NETINFO_WORDS) return -1;
    tty_set_netinfo(image.constData());
    return tty_xmit_netinfo();
}
