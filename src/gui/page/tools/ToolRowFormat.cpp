#include "ToolRowFormat.h"

namespace ToolRowFormat {

LinkStatus Status(int32_t state) {
    switch (state) {
    case 3:
        return Connected;
    case 4:
    case 5:
        return Failed;
    case 1:
        return Busy;
    default:
        return Disconnected;
    }
}

QString StatusText(LinkStatus s) {
    static const char* const texts[] = {"Connected", "Link failed", "Disconnected", "Busy"};
    return texts[s];
}

QString Version(LinkStatus s, uint16_t v) {
    if (s == Disconnected) return "-";
    return QString("%1.%2.%3").arg(v / 1000).arg((v % 1000) / 10).arg(v % 10);
}

QString Address(LinkStatus s, uint32_t ip) {
    if (s == Disconnected) return "-";
    return QString("%1.%2.%3.%4")
        .arg(ip >> 24)
        .arg((ip >> 16) & 0xff)
        .arg((ip >> 8) & 0xff)
        .arg(ip & 0xff);
}

QString Port(LinkStatus s, uint16_t port) {
    return s == Disconnected ? QString("-") : QString::number(port);
}

QString Temperature(int32_t tenths) {
    return QString::number(tenths / 10.0, 'f', 1);
}

QString Footer(int connected, int registered) {
    return QString("%1 / %2 ea").arg(connected).arg(registered);
}

} // namespace ToolRowFormat
