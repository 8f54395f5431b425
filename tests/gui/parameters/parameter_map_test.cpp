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
    // Types 0 and 1, with their decimals, are on the screen (parameters_test.cpp).
    const PM::Line angle = PM::FasteningLeft(1, 7)[3];
    EXPECT_EQ(std::pair(angle.Title, angle.Decimals),
              std::pair(QString("Target angle (degree)"), 0));
    EXPECT_EQ(PM::FasteningRight(15, 0).last().Reg, 225);
    const QList<PM::Group> groups = PM::AdvancedGroups(15);
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups[2].Title, "C. Engaging torque detection");
    EXPECT_EQ(groups[2].Lines[1].Title, "Torque (%%)");
    EXPECT_EQ(groups[2].Lines[1].Reg, 14 * 15 + 500 + 8);
    EXPECT_EQ(groups[3].Lines.last().Reg, 14 * 15 + 514);
}

TEST(ParameterMap, NumpadReadsTheLinesDecimalsWithinTheLimits) {
    // 9.99 and 12.34 within 0.00 .. 10.00, and the refusal's text, are typed on the screen;
    // with the upper limit below the lower one nothing fits.
    struct Case {
        const char* text;
        int decimals, lower, upper;
        int want; // -1: refused
    } cases[] = {{"10", 2, 0, 1000, 1000}, {"10.01", 2, 0, 1000, -1},     {"0.5", 2, 0, 1000, 50},
                 {".5", 1, 0, 100, 5},     {"9.999", 2, 0, 1000, -1},     {"1.5", 0, 0, 100, -1},
                 {"15", 0, 0, 100, 15},    {"2.5", 1, 0, 100, 25},        {"", 0, 0, 100, -1},
                 {"-", 0, 0, 100, -1},     {"-3", 0, -5, 100, -3},        {"1-2", 0, 0, 100, -1},
                 {"4", 0, 5, 100, -1},     {"5", 0, 10, 3, -1},           {"10", 0, 10, 3, -1},
                 {"3", 0, 10, 3, -1},      {"99999999999", 0, 0, 100, -1}};
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
    } cases[] = {
        {321, 15, 1, false, "321=1015", WriteOutcome::Written},
        {32, 70000, 0, false, "32=4464", WriteOutcome::Written},
        {252, 76, 0, false, "252=76", WriteOutcome::Written},
        // 252 := 77 accepted dismisses the tool: pressed on the screen (parameters_test.cpp).
        {252, 77, 0, true, "252=77", WriteOutcome::Failed},
    };
    for (const Case& c : cases) {
        RecordingPort port;
        port.refuse = c.refuse;
        const WriteOutcome got = WriteParam(port, c.reg, c.value, c.typeCode);
        EXPECT_EQ(std::tuple(got, port.writes.join(' '), port.lost),
                  std::tuple(c.outcome, QString(c.written), 0));
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
    const PM::Selector backup = PM::SelectorOf(PM::kRegBackupType, 0);
    EXPECT_EQ((QStringList{preset.Title, preset.Items[0].Label, backup.Items.last().Label,
                           QString::number(backup.Items.last().Code, 16)}),
              (QStringList{"Select the preset number available in the tool.", " Use all presets",
                           "  Screw count -1", "100"}));
    EXPECT_EQ(PM::SelectorText(PM::kRegTorqueUnit, 9), "N.m") << "code modulo 7";
    EXPECT_EQ(PM::SelectorText(PM::kRegDriverModel, 0), "Unknown");
}

} // namespace
