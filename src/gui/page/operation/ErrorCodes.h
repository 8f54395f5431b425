// The tools' error codes and their texts, shared by both operation screens: the error
// line of the job screen and the error-code list of the screen without a job.
#pragma once

#include <QString>
#include <cstdint>

namespace ErrorCodes {
struct Entry {
    int32_t Code;
    const char* Text;
};
// Every known code in ascending order.
const Entry* Table();
int Count();
// The text of a code, "Unknown error code" for any other.
QString Text(int32_t code);
} // namespace ErrorCodes
