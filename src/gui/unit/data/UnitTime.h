// Local date and time of the panel: month 1..12.
#pragma once

#include <cstdint>

struct UnitTime {
    int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
