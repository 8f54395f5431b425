#include "ParameterMap.h"

#include "page/operation/ResultFormat.h"

namespace ParameterMap {

namespace {

// clang-format off
// Fastening block titles by offset 1..15: "TC/AM" column, "AC/TM" column.
const char* const kFastening[kBlockLen][2] = {
    {"Type", "Type"},
    {"Target torque", "Max torque"},
    {"Torque limit (%%)", "Min torque"},
    {"Target angle (not use)", "Target angle (degree)"},
    {"Min angle (degree)", "Min angle (degree)"},
    {"Max angle (degree)", "Max angle (degree)"},
    {"Snug torque", "Snug torque"},
    {"Speed (rpm)", "Speed (rpm)"},
    {"Free angle (degree)", "Free angle (degree)"},
    {"Free speed (rpm)", "Free speed (rpm)"},
    {"Soft start (ms)", "Soft start (ms)"},
    {"Seating point from\nTarget torque (%%)", "Seating point from\nMax torque (%%)"},
    {"Torque rising time (ms)", "Torque rising time (ms)"},
    {"Ramp-up speed (rpm)", "Ramp-up speed (rpm)"},
    {"Torque compensation (%%)", "Torque compensation (%%)"},
};

struct AdvancedLine {
    const char* Title;
    int Decimals;
};
struct AdvancedGroup {
    const char* Title;
    int First, Count;
};
// Torques in hundredths of the unit, turns in tenths.
const AdvancedLine kAdvanced[kBlockLen] = {
    {"Speed (rpm)", 0}, {"Angle (turn)", 1},
    {"Min torque (unit)", 2}, {"Max torque (unit)", 2}, {"Speed (rpm)", 0}, {"Finish torque", 2},
    {"Angle start from tapping", 0},
    {"Speed (rpm)", 0}, {"Torque (%%)", 0}, {"Angle limit (turn)", 1}, {"Time limit (sec)", 0},
    {"Angle start from engaging", 0},
    {"Speed (rpm)", 0}, {"Angle (degree)", 0}, {"Direction", 0},
};
const AdvancedGroup kGroups[] = {
    {"A. Free reverse rotation", 0, 2},
    {"B. Thread tapping", 2, 5},
    {"C. Engaging torque detection", 7, 5},
    {"D. Angle after torque-up", 12, 3},
};

struct Setting {
    int Reg;
    const char* Title;
    Editor Kind;
};
const Setting kSettings[] = {
    {238, "Preset change by barcode", Editor::Value},
    {239, "Driver lock after wifi\ndisconnect (sec)", Editor::Value},
    {240, "Select display preset\nnumber", Editor::PresetDialog},
    {241, "L/F switch reverse", Editor::Value},
    {242, "Forward RUN time limit\n(sec)", Editor::Value},
    {243, "Reverse RUN time limit\n(sec)", Editor::Value},
    {244, "Motor stall time limit\n(sec)", Editor::Value},
    {245, "Loosening speed (rpm)", Editor::Value},
    {246, "Acceleration (ms)", Editor::Value},
    {247, "Alarm reset time", Editor::Value},
    {248, "Torque calibration (%%)", Editor::Value},
    {249, "Initial torque preset", Editor::Value},
    {250, "LED / Light on time (sec)", Editor::Value},
    {251, "Driver model", Editor::List},
    {252, "Controller parameter\ninitialize", Editor::Value},
    {253, "Torque holding time (ms)", Editor::Value},
    {254, "Auto speed", Editor::Value},
    {255, "Judged fasten min turns", Editor::Value},
    {256, "Fastening stop error", Editor::Value},
    {257, "Reverse lock", Editor::Value},
    {258, "LCD button lock", Editor::ButtonLock},
    {259, "Auto data output", Editor::Value},
    {260, "Torque unit", Editor::List},
    {261, "Screw type", Editor::Mask},
    {262, "Screw count", Editor::Value},
    {263, "Sleep time (min)", Editor::Value},
    {264, "Auto lock", Editor::Value},
    {265, "Select backup data type", Editor::Mask},
    {266, "Trigger start delay time", Editor::Value},
    {355, "Crow foot enable", Editor::Value},
    {356, "Crow foot ratio", Editor::Value},
    {357, "Crow foot efficiency", Editor::Value},
    {358, "Crow foot reverse torque", Editor::Value},
    {359, "Crow foot reverse speed", Editor::Value},
};

// Display names of the family's ten driver models, by code.
const char* const kDriverModels[11] = {
    "Unknown", "ZQ-05", "ZQ-10", "ZQ-20", "ZQ-30", "ZQ-40",
    "ZQ-50", "ZQ-70", "ZQ-90", "ZQ-120", "ZQ-150",
};

// One bit per event status of the fastening channel.
const Choice kBackupTypes[] = {
    {0x001, "  Etc"}, {0x002, "  Fastening OK"}, {0x004, "  Fastening NG"},
    {0x008, "  FL"}, {0x010, "  Preset change"}, {0x020, "  Alarm reset"},
    {0x040, "  System error"}, {0x080, "  Barcode"}, {0x100, "  Screw count -1"},
};

// The tool's own keys, one bit each: a set bit locks that key on the tool's display.
const Choice kButtonLocks[] = {
    {0x01, "  Preset key"}, {0x02, "  F/L key"}, {0x04, "  Alarm reset key"},
    {0x08, "  Menu key"}, {0x10, "  Up key"}, {0x20, "  Down key"},
    {0x40, "  Enter key"}, {0x80, "  Escape key"},
};
// clang-format on

constexpr int kTorqueUnits = 7;

} // namespace

int FasteningReg(int preset, int offset) {
    return (preset - 1) * kBlockLen + offset;
}
int AdvancedReg(int preset, int k) {
    return (preset - 1) * kBlockLen + 500 + k;
}
Block FasteningBlock(int preset) {
    return {FasteningReg(preset, 1), kBlockLen};
}
Block AdvancedBlock(int preset) {
    return {AdvancedReg(preset, 0), kBlockLen};
}

QString TypeName(int type) {
    return type == 0 ? "TC/AM" : "AC/TM";
}

namespace {
QList<Line> fastening(int preset, int type, int first, int last) {
    const int column = type == 0 ? 0 : 1;
    QList<Line> lines;
    for (int o = first; o <= last; ++o) {
        int decimals = 0;
        if (o == 2 || o == 7 || (o == 3 && column == 1)) decimals = 2; // torques
        lines.append({FasteningReg(preset, o), kFastening[o - 1][column], decimals});
    }
    return lines;
}
} // namespace

QList<Line> FasteningLeft(int preset, int type) {
    return fastening(preset, type, 1, 10);
}
QList<Line> FasteningRight(int preset, int type) {
    return fastening(preset, type, 11, 15);
}

QList<Group> AdvancedGroups(int preset) {
    QList<Group> groups;
    for (const AdvancedGroup& g : kGroups) {
        Group out{g.Title, {}};
        for (int k = g.First; k < g.First + g.Count; ++k)
            out.Lines.append({AdvancedReg(preset, k), kAdvanced[k].Title, kAdvanced[k].Decimals});
        groups.append(out);
    }
    return groups;
}

QList<Line> ToolSettings() {
    QList<Line> lines;
    for (const Setting& s : kSettings)
        lines.append({s.Reg, s.Title, 0, s.Kind});
    return lines;
}

Block ToolSettingsBlock() {
    return {238, 266 - 238 + 1};
}

Block CrowFootBlock() {
    return {355, 359 - 355 + 1};
}

QString ScrewTypeLabel(int preset, bool ccw) {
    return QString("  P%1 (%2)").arg(preset).arg(ccw ? "CCW" : "CW");
}

QString DriverModelName(int code) {
    return code >= 0 && code <= 10 ? kDriverModels[code] : QString::number(code);
}

Selector SelectorOf(int reg, int value) {
    Selector s;
    switch (reg) {
    case kRegDisplayPreset:
        s.Title = "Select the preset number available in the tool.";
        s.Items.append({0, " Use all presets"});
        for (int p = 1; p <= kPresets; ++p)
            s.Items.append({p, QString("  P%1").arg(p)});
        break;
    case kRegDriverModel:
        s.Title = "Driver model";
        for (int m = 0; m <= 10; ++m)
            s.Items.append({m, QString("  ") + kDriverModels[m]});
        break;
    case kRegTorqueUnit:
        s.Title = "Torque unit";
        for (int u = 0; u < kTorqueUnits; ++u)
            s.Items.append({u, "  " + ResultFormat::TorqueUnit(u)});
        break;
    case kRegScrewType:
        s.Title = "Screw type";
        s.IsMask = true;
        for (int p = 1; p <= kPresets; ++p)
            s.Items.append({1 << (p - 1), ScrewTypeLabel(p, value & (1 << (p - 1)))});
        s.AllLabel = "  Select ALL";
        break;
    case kRegBackupType:
        s.Title = "Select backup data type";
        s.IsMask = true;
        for (const Choice& c : kBackupTypes)
            s.Items.append(c);
        s.AllLabel = "  Select ALL";
        break;
    case kRegButtonLock:
        s.Title = "LCD button lock";
        s.IsMask = true;
        for (const Choice& c : kButtonLocks)
            s.Items.append(c);
        s.AllLabel = "  Select ALL";
        break;
    default:
        break;
    }
    return s;
}

QString SelectorText(int reg, int value) {
    switch (reg) {
    case kRegDisplayPreset:
        return value == 0 ? QString("All") : QString("P%1").arg(value);
    case kRegDriverModel:
        return DriverModelName(value);
    case kRegTorqueUnit:
        return ResultFormat::TorqueUnit(value);
    default:
        return QString("0x%1").arg(value, 4, 16, QChar('0')).toUpper().replace("0X", "0x");
    }
}

QString Shown(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '%' || text[i + 1] == '~'))
            ++i;
        out += text[i];
    }
    return out;
}

QString Format(int value, int decimals) {
    if (decimals <= 0) return QString::number(value);
    const int scale = decimals == 1 ? 10 : 100;
    const int a = value < 0 ? -value : value;
    return QString("%1%2.%3")
        .arg(value < 0 ? "-" : "")
        .arg(a / scale)
        .arg(a % scale, decimals, 10, QChar('0'));
}

std::optional<int> Parse(const QString& text, int decimals, int lower, int upper) {
    const QString t = text.trimmed();
    int i = 0;
    const bool negative = t.startsWith('-');
    if (negative) ++i;
    long long whole = 0, frac = 0;
    int wholeDigits = 0, fracDigits = 0;
    for (; i < t.size() && t[i].isDigit(); ++i, ++wholeDigits) {
        whole = whole * 10 + t[i].digitValue();
        if (whole > 1000000) return std::nullopt;
    }
    if (i < t.size() && t[i] == '.') {
        if (decimals <= 0) return std::nullopt;
        for (++i; i < t.size() && t[i].isDigit(); ++i, ++fracDigits) {
            if (fracDigits == decimals) return std::nullopt; // finer than the line holds
            frac = frac * 10 + t[i].digitValue();
        }
    }
    if (i != t.size() || wholeDigits + fracDigits == 0) return std::nullopt;
    long long scale = 1;
    for (int d = 0; d < decimals; ++d)
        scale *= 10;
    for (int d = fracDigits; d < decimals; ++d)
        frac *= 10;
    long long v = whole * scale + frac;
    if (negative) v = -v;
    if (v < lower || v > upper) return std::nullopt;
    return int(v);
}

QString InvalidMessage(int lower, int upper, int decimals) {
    return Shown("Invalid value !!!\n\n( " + Format(lower, decimals) + " %~ " +
                 Format(upper, decimals) + " )");
}

std::optional<int> Step(int value, int direction, int lower, int upper) {
    if (direction > 0 && value < upper)
        value += 1;
    else if (direction < 0 && value > lower)
        value -= 1;
    else
        return std::nullopt;
    if (value < lower || value > upper) return std::nullopt;
    return value;
}

int WireValue(int value, int typeCode) {
    return (value + typeCode * 1000) & 0xFFFF;
}

} // namespace ParameterMap
