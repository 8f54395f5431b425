// One row of the fastening event table as the screens read it: the result, its sequence
// number, the time it came in and the tool's name (8-bit texts as the driver keeps them).
#pragma once

#include "fasten_result.h"

#include <cstdint>

struct UnitFetItem : FastenResult {
    uint32_t Seq = 0; // from 1 since start or the last clear
    char Time[20] = {};
    char ToolName[33] = {};
};
