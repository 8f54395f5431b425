// The widget-free part of the multi-sequence, network and barcode tabs: the step coding
// with what it shows for values no command stands for, the decimal text of the network
// fields, and the barcode window's read and write sequences and display form, checked
// against a register window that behaves like the tool's.
#include "TestEnv.h"
#include "UnitCodeRange.h"
#include "debug.h"
#include "page/parameters/MultiSeq.h"
#include "page/parameters/ToolBarcode.h"
#include "page/parameters/ToolNetwork.h"

#include <gtest/gtest.h>
#include <map>

namespace {

TEST(MultiSeqCode, StepValuesShowAndLogAsTheCommandTableSays) {
    Debug_Init();
    // Steps 1 of program 1 (321) and 10 of program 2 (340) are written on the screen.
    EXPECT_EQ(MultiSeq::StepRegister(3, 0), -1) << "341 on are the error codes";
    EXPECT_EQ(MultiSeq::StepTitle(9), "Step.10");
    struct Case {
        int value;
        const char* label;
        int argument;
        const char* logged; // "" for none
    } cases[] = {
        {0, "  No Operation", 0, ""},
        {1015, "  Fastening", 15, ""},
        {1016, "  Fastening", 0, "invalid fastening value, 16"},
        {2007, "  End", 0, ""}, // no argument: whatever follows is not shown
        {3999, "  Delay (10ms)", 999, ""},
        {4000, "  Select preset", 1, "invalid preset number, 0"},
        {4016, "  Select preset", 1, "invalid preset number, 16"},
        {5123, "  Loosening (0.1 turn)", 123, ""},
        {6010, "  Jump", 10, ""},
        {6011, "  Jump", 1, "invalid jump, 11"},
        {7000, "  Count Value = A", 0, ""},
        {8000, "  Sub if (A)", 0, ""},
        {9000, "  No Operation", 0, "invalid command, 9000"},
        {65535, "  No Operation", 0, "invalid command, 65535"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        const MultiSeq::Step s = MultiSeq::Decode(c.value);
        // The line logged, or none.
        const bool logOk = *c.logged ? log.contains(c.logged) : log.lines().empty();
        EXPECT_EQ(std::tuple(std::string(MultiSeq::CommandOf(s.command).label), s.argument, logOk),
                  std::tuple(std::string(c.label), c.argument, true))
            << c.value;
    }
    struct Enc {
        int command, argument, value;
    } enc[] = {{1, 7, 1007}, {6, 0, 6001}, {3, 1000, 3999}, {2, 5, 2000}, {12, 3, 0}};
    for (const Enc& e : enc)
        EXPECT_EQ(MultiSeq::Encode(e.command, e.argument), e.value) << e.command;
    // A new command keeps an argument its range allows, else takes the lowest.
    EXPECT_EQ(MultiSeq::Encode(4, MultiSeq::WithCommand({1, 3}, 4).argument), 4003);
    EXPECT_EQ(MultiSeq::WithCommand({3, 500}, 6).argument, 1);
    EXPECT_EQ(MultiSeq::WithCommand({3, 500}, 0).argument, 0);
}

TEST(ToolNetworkCode, DecimalTextIsTakenOnlyWhenWholeAndInRange) {
    struct Case {
        const char* text;
        int lowest, highest;
        int value; // -1 refused
        const char* error;
    } cases[] = {
        // A port typed whole, and a text with a point, are pressed on the screen.
        {" 42 ", 0, 255, 42, ""},
        {"0", 0, 255, 0, ""},
        {"255", 0, 255, 255, ""},
        {"256", 0, 255, -1, "Invalid value !!!\n\n( 0 ~ 255 )"},
        {"0", 1, 65535, -1, "Invalid value !!!\n\n( 1 ~ 65535 )"},
        {"99999999999999999999", 1, 65535, -1, "Invalid value !!!\n\n( 1 ~ 65535 )"},
        {"", 0, 255, -1, "Please input a number."},
        {"  ", 0, 255, -1, "Please input a number."},
        {"-1", 0, 255, -1, "Invalid number.\n\nDigits only, please."},
        {"1e3", 0, 65535, -1, "Invalid number.\n\nDigits only, please."},
        {"0x10", 0, 255, -1, "Invalid number.\n\nDigits only, please."},
        {"99999999999999999999x", 0, 255, -1, "Invalid number.\n\nDigits only, please."},
    };
    for (const Case& c : cases) {
        const ToolNetwork::Parsed p = ToolNetwork::Parse(c.text, c.lowest, c.highest);
        EXPECT_EQ(p.ok, c.value >= 0) << c.text;
        EXPECT_EQ(p.ok ? p.value : -1, c.value) << c.text;
        EXPECT_EQ(p.error, c.error) << c.text;
    }
    EXPECT_EQ(ToolNetwork::Fields().size(), 15);
    EXPECT_EQ(ToolNetwork::Text({}, 281), "-") << "no block read";
}

// The tool's side of the window: 30 entries behind 5000..5038, as the tool keeps them.
struct Window {
    std::map<int, int> regs;
    ToolBarcodeEntry table[30];
    std::vector<std::pair<int, int>> writes;
    int failAt = -1; // the write with this number fails
    int write(int addr, int value) {
        if (int(writes.size()) == failAt) return 5;
        writes.push_back({addr, value});
        regs[addr] = value;
        if (addr == 5000) {
            const ToolBarcodeEntry& e = table[value];
            regs[5001] = e.preset, regs[5002] = e.start, regs[5003] = e.end;
            for (int i = 0; i < 32; ++i)
                regs[5007 + i] = i < e.code.size() ? e.code[i].unicode() : 0;
        }
        if (addr == 5006 && value == 1) {
            ToolBarcodeEntry& e = table[regs[5000]];
            e.preset = regs[5001], e.start = regs[5002], e.end = regs[5003];
            e.code.clear();
            for (int i = 0; i < 32 && regs[5007 + i]; ++i)
                e.code += QChar(regs[5007 + i]);
        }
        return 0;
    }
    ToolBarcodeLink link() {
        ToolBarcodeLink l;
        l.write = [this](int a, int v) { return write(a, v); };
        l.read = [](int, int) { return 0; };
        l.block = [this](int a, int n) {
            QVector<uint16_t> b;
            for (int i = 0; i < n; ++i)
                b.append(uint16_t(regs[a + i]));
            return b;
        };
        return l;
    }
};

TEST(ToolBarcodeCode, EntriesGoThroughTheWindowInTheToolsOrder) {
    Window w;
    auto entry = [](const char* code, int preset, int start = 0, int end = 0) {
        return ToolBarcodeEntry{true, preset, start, end, code};
    };
    // The order of the window's registers, a code written over a longer one, clearing and
    // storing for all tools are pressed on the screen (tool_tabs_test.cpp).
    ASSERT_EQ(ToolBarcode::WriteEntry(w.link().write, 4, entry("AB-123", 7, 4, 6), true), 0);
    // Without partial comparison the range is written 0 whatever the entry holds.
    ASSERT_EQ(ToolBarcode::WriteEntry(w.link().write, 5, entry("XY", 2, 1, 2), false), 0);
    EXPECT_EQ(w.table[5].start + w.table[5].end, 0);
    // Read back through the window (the code's picture is in job_barcode_test.cpp).
    ToolBarcodeEntry got;
    ASSERT_EQ(ToolBarcode::ReadEntry(w.link(), 4, &got), 0);
    EXPECT_EQ(std::tuple(got.valid, got.code, got.preset, ToolBarcode::Range(got),
                         ToolBarcode::Preset(got)),
              std::tuple(true, "AB-123", 7, "4 / 6", "P.7"));
    // A write failing midway never reaches the store command.
    w.writes.clear();
    w.failAt = 10;
    EXPECT_EQ(ToolBarcode::WriteEntry(w.link().write, 6, entry("LONGCODE", 3), false), 5);
    EXPECT_EQ(w.writes.size(), 10u);
    EXPECT_EQ(w.table[6].code, "") << "nothing stored";
    w.failAt = -1;
    // Entries that cannot be stored are refused before any traffic.
    struct Refused {
        ToolBarcodeEntry e;
        bool partial;
        int index;
    } refused[] = {{entry("A", 0), false, 0},
                   {entry("A", 16), false, 0},
                   {entry("ABC", 1, 2, 4), true, 0},
                   {entry("ABC", 1, 3, 2), true, 0},
                   {entry("ABC", 1, 0, 0), true, 0},
                   {entry("A", 1), false, 30},
                   {entry(QString(33, 'x').toLatin1().constData(), 1), false, 0}};
    w.writes.clear();
    for (const Refused& r : refused)
        EXPECT_EQ(ToolBarcode::WriteEntry(w.link().write, r.index, r.e, r.partial), -1)
            << r.e.code.toStdString();
    EXPECT_TRUE(w.writes.empty());
    // A window that does not follow the index is not taken for the entry asked.
    ToolBarcodeLink stuck = w.link();
    stuck.write = [](int, int) { return 0; };
    w.regs[5000] = 3;
    EXPECT_EQ(ToolBarcode::ReadEntry(stuck, 8, &got), -1);
    EXPECT_FALSE(got.valid);
}

TEST(ToolBarcodeCode, DisplayAndRangeChoice) {
    struct Case {
        const char* code;
        int start, end;
        const char* before;
        const char* compared;
        const char* range;
    } cases[] = {
        // A part inside the code, and a whole code, are shown in the job barcode list
        // (job_barcode_test.cpp).
        {"ABCDEF", 4, 2, "ABCDEF", "", "4 / 2"},
        {"ABCDEF", 1, 6, "", "ABCDEF", "1 / 6"},
        {"", 0, 0, "", "", "-"},
    };
    for (const Case& c : cases) {
        const ToolBarcodeEntry e{true, 1, c.start, c.end, c.code};
        const auto p = ToolBarcode::Parts(e);
        EXPECT_EQ(p.before, c.before) << c.code << c.start;
        EXPECT_EQ(p.compared, c.compared) << c.code << c.start;
        EXPECT_EQ(p.before + p.compared + p.after, c.code);
        EXPECT_EQ(ToolBarcode::Range(e), c.range) << c.code << c.start;
    }
    ToolBarcodeEntry unread;
    EXPECT_EQ(ToolBarcode::CodeHtml(unread) + ToolBarcode::Range(unread) +
                  ToolBarcode::Preset(unread),
              "---");
    const ToolBarcodeEntry tag{true, 2, 0, 0, "<b>"};
    EXPECT_EQ(ToolBarcode::CodeHtml(tag), "&lt;b&gt;") << "codes are text, not markup";

    struct Pick {
        std::vector<int> touches;
        int start, end;
    } picks[] = {{{3}, 3, 3}, {{3, 5}, 3, 5}, {{5, 3}, 3, 5}, {{3, 5, 1}, 1, 1}, {{2, 2}, 2, 2}};
    for (const Pick& p : picks) {
        CodeRangePick r;
        for (int t : p.touches)
            r.Touch(t);
        EXPECT_EQ(std::pair(r.start, r.end), std::pair(p.start, p.end)) << p.touches.size();
    }
}

} // namespace
