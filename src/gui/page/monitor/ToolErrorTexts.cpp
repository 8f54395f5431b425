#include "ToolErrorTexts.h"

namespace {
struct Entry {
    int32_t code;
    const char* text;
};
// As the tools' firmware names them, blanks and signs included.
// clang-format off
const Entry kTexts[] = {
    {0, "None"},
    {104, "Low Battery voltage "},
    {107, "Parameter read / write Error"},
    {108, "Back up (Fastening) data read / write Error"},
    {110, "Current calculation error"},
    {112, "Over Motor max speed"},
    {113, "Can\u2019t read driver parameter"},
    {114, "Controller driver model setting different with driver"},
    {115, "Program itself can not recognize the controller information."},
    {118, "When motor rotation is not monitored"},
    {120, "Disconnect with AP"},
    {122, "USB communication Fail"},
    {123, "Wi-Fi connect fail with AP"},
    {201, "The read parameter is wrong by the checksum routine"},
    {220, "Multi-sequence program is wrong"},
    {300, "Over time limit on A242(Forward run time limit)"},
    {301, "Over time limit on A243(Loosen run time limit)"},
    {304, "Motor stall by loosening failure within time limit on A244"},
    {330, "Target torque reached before the Min angle"},
    {331, "Target angle setting is out of the range [ AC/TM mode]"},
    {332, "Target torque reached over the Max angle"},
    {333, "Operation stops before complete cycle of torque up by releasing lever trigger"},
    {334, "The engaging torque is not detected in time or angle limit"},
    {335, "Converted torque is out of torque limit (%)"},
    {336, "Torque reached to the high limit of torque capacity"},
    {337, "Torque up when free speed zone"},
    {338, "Torque reached when prevailing zone"},
    {339, "Over Prevailing torque Min, Max range"},
    {500, "Motor temperature over 80\u00b0C"},
    {501, "Battery temperature over 80\u00b0C"},
};
// clang-format on
} // namespace

namespace ToolErrorTexts {
QString Text(int32_t code) {
    for (const Entry& e : kTexts)
        if (e.code == code) return QString::fromUtf8(e.text);
    return "Undefined error code";
}
} // namespace ToolErrorTexts
