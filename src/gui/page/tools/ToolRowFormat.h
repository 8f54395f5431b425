// How the pull-down tool panel writes a tool's row: link status from the connection
// state, firmware version, address, temperature, and the footer of connected tools.
#pragma once

#include <QString>
#include <cstdint>

namespace ToolRowFormat {
enum LinkStatus { Connected = 0, Failed = 1, Disconnected = 2, Busy = 3 };
// State 3 connected; 4 or 5 failed; 1 busy with another controller; else disconnected.
LinkStatus Status(int32_t state);
QString StatusText(LinkStatus s);
// 1234 -> "1.23.4"; "-" for a disconnected tool, as the address and the port.
QString Version(LinkStatus s, uint16_t version);
QString Address(LinkStatus s, uint32_t ip);
QString Port(LinkStatus s, uint16_t port);
// Register 3313 in tenths: "23.5".
QString Temperature(int32_t tenths);
// "n / m ea".
QString Footer(int connected, int registered);
} // namespace ToolRowFormat
