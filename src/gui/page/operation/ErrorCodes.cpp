#include "ErrorCodes.h"

#include <iterator>

namespace {
// The texts stand as the tools' manuals print them, in printf form: Text() shows "%%" as
// "%".
// clang-format off
const ErrorCodes::Entry kCodes[] = {
    {104, "Low battery voltage"},
    {107, "Parameter read/write error"},
    {108, "Back up data read/write error"},
    {110, "Current calculation error"},
    {112, "Over motor max speed"},
    {113, "Can not read driver parameter"},
    {114, "Controller driver model setting different with driver"},
    {115, "Program itself can not recognize the controller information"},
    {118, "When motor rotation is not monitored"},
    {120, "Disconnect with AP"},
    {122, "USB communication fail"},
    {123, "Wi-Fi connect fail with AP"},
    {201, "The read parameter is wrong by the checksum routine"},
    {220, "Multi-sequence program is wrong"},
    {300, "Over time limit on A242 (forward run time limit)"},
    {301, "Over time limit on A243 (loosen run time limit)"},
    {304, "Motor stall by loosening failure within time limit on A244"},
    {330, "Target torque reached before the min angle"},
    {331, "Target angle setting is out of the range [AC/TM mode]"},
    {332, "Target torque reached over the max angle"},
    {333, "Operation stops before complete cycle of torque up by releasing lever trigger"},
    {334, "The engaging torque is not detected in time or angle limit"},
    {335, "Converted torque is out of torque limit (%%)"},
    {336, "Torque reached to the high limit of torque capacity"},
    {337, "Torque up when free speed zone"},
    {338, "Torque reached when prevailing zone"},
    {339, "Over prevailing torque min,max range"},
    {500, "Motor temperature over 80\u00b0C"},
    {501, "Battery temperature over 80\u00b0C"},
};
// clang-format on
} // namespace

namespace ErrorCodes {
const Entry* Table() {
    return kCodes;
}
int Count() {
    return int(std::size(kCodes));
}
QString Text(int32_t code) {
    for (const Entry& e : kCodes)
        if (e.Code == code) return QString::fromUtf8(e.Text).replace("%%", "%");
    return "Unknown error code";
}
} // namespace ErrorCodes
