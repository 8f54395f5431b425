#include "ClockSetting.h"

#include <algorithm>

namespace ClockSetting {
namespace {
int number(const QString& text, int unreadable) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : unreadable;
}
} // namespace

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[std::clamp(month, 1, 12) - 1];
}

ClockFields Parse(const QString& year, const QString& month, const QString& day,
                  const QString& hour, const QString& minute) {
    ClockFields f;
    f.Year = number(year, 1970);
    f.Month = number(month, 1);
    f.Day = number(day, 1);
    f.Hour = number(hour, 0);
    f.Minute = number(minute, 0);
    return Clamp(f);
}

ClockFields Clamp(ClockFields f) {
    f.Year = std::clamp(f.Year, kFirstYear, kLastYear);
    f.Month = std::clamp(f.Month, 1, 12);
    f.Day = std::clamp(f.Day, 1, DaysInMonth(f.Year, f.Month));
    f.Hour = std::clamp(f.Hour, 0, 23);
    f.Minute = std::clamp(f.Minute, 0, 59);
    return f;
}

std::vector<std::string> DateArgv(const ClockFields& in) {
    const ClockFields f = Clamp(in);
    const std::string when = std::to_string(f.Year) + "-" + std::to_string(f.Month) + "-" +
                             std::to_string(f.Day) + " " + std::to_string(f.Hour) + ":" +
                             std::to_string(f.Minute) + ":00";
    return {"date", "-s", when};
}

std::vector<std::string> HwclockArgv() {
    return {"hwclock", "-w"};
}
} // namespace ClockSetting
