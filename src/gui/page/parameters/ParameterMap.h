// The register map of the driver families' parameters, free of widgets: which registers a
// list shows and how each line is titled, scaled and edited, the choices of the selector
// dialogs, and the numpad's reading of a typed value against a line's limits.
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace ParameterMap {

// Every parameter register r has its lower limit at r + kLower and its upper at r + kUpper.
constexpr int kLower = 1000;
constexpr int kUpper = 2000;
constexpr int kPresets = 15;
constexpr int kBlockLen = 15;

// How a line is edited. Value lines whose limits are 0 and 1 are shown as a switch.
enum class Editor { Value, List, Mask, PresetDialog, ButtonLock };

struct Line {
    int Reg = 0;
    QString Title;    // as the tool's documents write it ("%%" for a percent sign)
    int Decimals = 0; // 0, 1 or 2: the register holds value x 10^Decimals
    Editor Kind = Editor::Value;
};

// A list's value block: one read of Count registers from First, and the same at +1000 and
// +2000 for the limits.
struct Block {
    int First = 0;
    int Count = 0;
};

// Preset p (1..15): its fastening registers (offset 1..15) and advanced ones (k 0..14).
int FasteningReg(int preset, int offset);
int AdvancedReg(int preset, int k);
Block FasteningBlock(int preset);
Block AdvancedBlock(int preset);

// The fastening block's titles follow its first register, "Type": 0 "TC/AM", else "AC/TM".
QString TypeName(int type);
QList<Line> FasteningLeft(int preset, int type);  // offsets 1..10
QList<Line> FasteningRight(int preset, int type); // offsets 11..15

struct Group {
    QString Title;
    QList<Line> Lines;
};
QList<Group> AdvancedGroups(int preset); // "A." .. "D."

// Tool settings 238..266 and 355..359. The crow foot registers 355..359 are a block of their
// own, read only from a type 3 tool: the other drivers need not serve them.
QList<Line> ToolSettings();
Block ToolSettingsBlock();
Block CrowFootBlock();

// Selector dialogs. A list is one choice; a mask is one bit per item (Code is the bit).
struct Choice {
    int Code;
    QString Label;
};
struct Selector {
    QString Title;
    bool IsMask = false;
    QList<Choice> Items;
    QString AllLabel; // a mask's select-all item; empty for none
};
// Registers of the selector lines.
enum : int {
    kRegDisplayPreset = 240,
    kRegDriverModel = 251,
    kRegParamInit = 252,
    kRegButtonLock = 258,
    kRegTorqueUnit = 260,
    kRegScrewType = 261,
    kRegBackupType = 265,
    kParamInitValue = 77,
};
// The dialog of a selector line (an empty item list for any other register). The screw
// type's labels depend on the mask: bit p - 1 set is preset p turning counter-clockwise.
Selector SelectorOf(int reg, int value);
// The screw type label of preset p for that bit.
QString ScrewTypeLabel(int preset, bool ccw);
// What a selector line shows for its value: the choice's name, or the mask in hex.
QString SelectorText(int reg, int value);
QString DriverModelName(int code);

// Display: "%%" is a percent sign and "%~" a tilde in the tools' texts.
QString Shown(const QString& text);
// A register value with the line's decimals ("9.99" for 999 with 2).
QString Format(int value, int decimals);
// The numpad's text read as the line's register value (x 10^decimals), or nothing when it
// is no number, has more decimals than the line, or lies outside lower..upper.
std::optional<int> Parse(const QString& text, int decimals, int lower, int upper);
// The refusal: "Invalid value !!!\n\n( " + lower + " %~ " + upper + " )" as displayed.
QString InvalidMessage(int lower, int upper, int decimals);
// One step of the plus or minus button within the limits; nothing at the edge.
std::optional<int> Step(int value, int direction, int lower, int upper);
// What goes on the wire for a value: typed lines carry value + type code x 1000, and a
// register holds its low 16 bits.
int WireValue(int value, int typeCode);

} // namespace ParameterMap
