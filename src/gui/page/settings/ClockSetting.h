// The rules of the clock editor, without widgets: the five fields as typed, read as
// numbers (an unreadable year counts as 1970, month and day as 1, hour and minute as 0)
// and kept in range, and the command lines that set the system clock and then the
// hardware clock. The date argument is built from numbers only, so no typed text reaches
// a command.
#pragma once

#include <QString>
#include <string>
#include <vector>

struct ClockFields {
    int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0;
    bool operator==(const ClockFields&) const = default;
};

namespace ClockSetting {
// Years the editor offers (the range of the board's real-time clock).
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2099;

ClockFields Parse(const QString& year, const QString& month, const QString& day,
                  const QString& hour, const QString& minute);
// A value out of range is brought to its nearest bound; the day to the month's last.
ClockFields Clamp(ClockFields f);
// {"date", "-s", "Y-M-D h:m:00"}: unpadded numbers, seconds zero.
std::vector<std::string> DateArgv(const ClockFields& f);
// {"hwclock", "-w"}: the hardware clock follows the system clock.
std::vector<std::string> HwclockArgv();
int DaysInMonth(int year, int month);
} // namespace ClockSetting
