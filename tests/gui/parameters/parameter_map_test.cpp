// The parameter map without widgets: where a preset's lines and limits are read from, the
// titles by the block's type, the numpad's reading of typed values against the limits,
// the plus and minus steps, and the write rule with its tool dismissal.
#include "page/parameters/ParamBlock.h"
#include "page/parameters/ParameterMap.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>

namespace PM = ParameterMap;

namespace {

// A tool whose register r holds r (values) and whose writes are recorded; a read of
// `failAt` fails.
class RecordingPort : public ParamPort {
  public:
    int Read(int addr, int) override { return addr == failAt ? 5 : 0; }
    QVector<uint16_t> Block(int addr, int count) override {
        QVector<uint16_t> v;
        for (int i = 0; i < count; ++i)
            v.append(uint16_t(addr + i));
        return v;
    }
    int Write(int addr, int value) override {
        writes << QString("%1=%2").arg(addr).arg(value);
        return refuse ? 5 : 0;
    }
    void ToolLost() override { ++lost; }
    void TorqueUnitWritten() override { writes << "unit"; }
    QStringList writes;
    int failAt = -1;
    bool refuse = false;
    int lost = 0;
};

// Where each block is read from is in the screen's request traces (parameters_test.cpp).
TEST(ParameterMap, AFailedLimitReadLeavesNoValue) {
    RecordingPort port;
    ParamBlock block;
    ASSERT_TRUE(block.Refresh(port, PM::ToolSettingsBlock()));
    EXPECT_TRUE(block.At(260).Valid);
    port.failAt = 2238; // not the values of the first read either
    EXPECT_FALSE(block.Refresh(port, PM::ToolSettingsBlock()));
    EXPECT_FALSE(block.At(260).Valid);
}

TEST(ParameterMap, TitlesFollowTheBlockType) {
    struct Case {
        int type;
        int index; // in the left list
        const char* title;
        int decimals;
    } cases[] = {
        // Target torque, Min torque (both 2 decimals), "AC/TM" and a title's "%" as shown are
        // on the screen.
        {0, 2, "Torque limit (%%)", 0}, {0, 3, "Target angle (not use)", 0},
        {1, 1, "Max torque", 2},        {7, 3, "Target angle (degree)", 0},
        {1, 6, "Snug torque", 2},       {0, 9, "Free speed (rpm)", 0},
    };
    for (const Case& c : cases) {
        const PM::Line l = PM::FasteningLeft(1, c.type)[c.index];
        EXPECT_EQ(l.Title, c.title) << c.type << "/" << c.index;
        EXPECT_EQ(l.Decimals, c.decimals) << c.title;
    }
    EXPECT_EQ(PM::FasteningRight(1, 0)[1].Title, "Seating point from\nTarget torque (%%)");
    EXPECT_EQ(PM::FasteningRight(1, 1)[1].Title, "Seating point from\nMax torque (%%)");
    EXPECT_EQ(PM::FasteningRight(15, 0).last().Reg, 225);
    EXPECT_EQ(PM::TypeName(0), "TC/AM");
    const QList<PM::Group> groups = PM::AdvancedGroups(15);
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups[2].Title, "C. Engaging torque detection");
    EXPECT_EQ(groups[2].Lines[1].Title, "Torque (%%)");
    EXPECT_EQ(groups[2].Lines[1].Reg, 14 * 15 + 500 + 8);
    EXPECT_EQ(groups[3].Lines.last().Reg, 14 * 15 + 514);
}

TEST(ParameterMap, NumpadReadsTheLinesDecimalsWithinTheLimits) {
    struct Case {
        const char* text;
        int decimals, lower, upper;
        int want; // -1: refused
    } cases[] = {
        // 9.99 and 12.34 within 0.00 .. 10.00, and the refusal's text, are typed on the screen.
        {"10", 2, 0, 1000, 1000},
        {"10.01", 2, 0, 1000, -1},
        {"0.5", 2, 0, 1000, 50},
        {".5", 1, 0, 100, 5},
        {"9.999", 2, 0, 1000, -1},
        {"1.5", 0, 0, 100, -1},
        {"15", 0, 0, 100, 15},
        {"2.5", 1, 0, 100, 25},
        {"", 0, 0, 100, -1},
        {"-", 0, 0, 100, -1},
        {"-3", 0, -5, 100, -3},
        {"1-2", 0, 0, 100, -1},
        {"4", 0, 5, 100, -1},
        // Upper limit below the lower one: nothing fits.
        {"5", 0, 10, 3, -1},
        {"10", 0, 10, 3, -1},
        {"3", 0, 10, 3, -1},
        {"99999999999", 0, 0, 100, -1},
    };
    for (const Case& c : cases) {
        const auto got = PM::Parse(c.text, c.decimals, c.lower, c.upper);
        EXPECT_EQ(got.value_or(-1), c.want) << c.text << " " << c.decimals;
    }
    EXPECT_EQ(PM::Format(5, 1), "0.5");
}

TEST(ParameterMap, StepsStayWithinTheLimits) {
    struct Case {
        int value, direction, lower, upper;
        int want; // -1: no step
    } cases[] = {
        {4, 1, 0, 5, 5},   {5, 1, 0, 5, -1},   {1, -1, 0, 5, 0},  {0, -1, 0, 5, -1},
        {5, 1, 10, 3, -1}, {5, -1, 10, 3, -1}, {9, -1, 0, 5, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PM::Step(c.value, c.direction, c.lower, c.upper).value_or(-1), c.want)
            << c.value << " " << c.direction;
}

TEST(ParameterMap, WritesCarryTheTypeCodeAndInitDismissesTheTool) {
    struct Case {
        int reg, value, typeCode;
        bool refuse;
        const char* written;
        WriteOutcome outcome;
        int lost;
    } cases[] = {
        {321, 15, 1, false, "321=1015", WriteOutcome::Written, 0},
        {32, 70000, 0, false, "32=4464", WriteOutcome::Written, 0},
        {252, 76, 0, false, "252=76", WriteOutcome::Written, 0},
        // 252 := 77 accepted dismisses the tool: pressed on the screen (parameters_test.cpp).
        {252, 77, 0, true, "252=77", WriteOutcome::Failed, 0},
    };
    for (const Case& c : cases) {
        RecordingPort port;
        port.refuse = c.refuse;
        EXPECT_EQ(WriteParam(port, c.reg, c.value, c.typeCode), c.outcome) << c.written;
        EXPECT_EQ(port.writes.join(' '), c.written);
        EXPECT_EQ(port.lost, c.lost) << c.written;
    }
}

TEST(ParameterMap, SelectorsAndTheirLabels) {
    const PM::Selector screw = PM::SelectorOf(PM::kRegScrewType, 0x4001);
    ASSERT_EQ(screw.Items.size(), 15);
    EXPECT_TRUE(screw.IsMask);
    EXPECT_EQ((QStringList{screw.Items[0].Label, screw.Items[1].Label, screw.Items[14].Label,
                           screw.AllLabel}),
              (QStringList{"  P1 (CCW)", "  P2 (CW)", "  P15 (CCW)", "  Select ALL"}));
    const PM::Selector preset = PM::SelectorOf(PM::kRegDisplayPreset, 0);
    EXPECT_EQ(preset.Title, "Select the preset number available in the tool.");
    EXPECT_EQ(preset.Items[0].Label, " Use all presets");
    const PM::Selector backup = PM::SelectorOf(PM::kRegBackupType, 0);
    EXPECT_EQ(backup.Items.last().Code, 0x100);
    EXPECT_EQ(backup.Items.last().Label, "  Screw count -1");
    EXPECT_EQ(PM::SelectorText(PM::kRegTorqueUnit, 9), "N.m") << "code modulo 7";
    EXPECT_EQ(PM::SelectorText(PM::kRegDriverModel, 0), "Unknown");
}

} // namespace
