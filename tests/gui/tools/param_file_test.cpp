// Parameter data files against virtual tools: the save and load pressed on the pull-down
// panel, what the file holds per tool type, which registers a load writes (the tool's own
// request trace), the load's checks and messages, and a save then load round trip.
#include "Presses.h"
#include "UnitToolInfo.h"
#include "page/tools/PageTopDownBox.h"
#include "page/tools/ParamFile.h"
#include "page/tools/ParamFileRunner.h"
#include "page/tools/UnitSelectToolsItem.h"

#include <QLineEdit>
#include <sstream>

namespace {
class ParamFileTest : public WithPresses<ToolScreenTest> {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        tools = FakeTool::onLoopback({2, 3});
        ASSERT_NE(tools, nullptr);
        ASSERT_EQ(connect(0), 0);
        ASSERT_EQ(connect(1), 1);
    }
    // Addresses the panel wrote to tool t since the last call, in order: "2 240 5000".
    std::string writes(int t) {
        std::string out;
        std::istringstream in(tools->trace(t));
        for (std::string tok; in >> tok;)
            if (tok.find('=') != std::string::npos)
                out += (out.empty() ? "" : " ") +
                       std::to_string(std::atoi(tok.c_str() + (tok[0] == '!' ? 1 : 0)));
        return out;
    }
    // The tool's registers a load can restore, and its 30 barcode entries.
    std::vector<long> snapshot(int t, int type) {
        std::vector<long> out;
        for (int a : ParamFile::Registers(type))
            if (a != 251 && a != 252 && a != 260) out.push_back(tools->reg(t, a));
        for (int i = 0; i < ParamFile::BarcodeEntries; ++i) {
            EXPECT_EQ(tools->cmd("set " + std::to_string(t) + " 5000 " + std::to_string(i)), "ok");
            for (const ParamFile::Block& b : ParamFile::BarcodeBlocks)
                for (int a = b.Start; a < b.Start + b.Count; ++a)
                    out.push_back(tools->reg(t, a));
        }
        return out;
    }
    void waitDone(PageTopDownBox* panel) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !panel->Busy(); }, int(kest_test::kWaitLimit.count())));
        flush();
    }
    // The open save dialog into ./files, named `name` (nullptr: the name offered).
    void save(PageTopDownBox* panel, const char* name) {
        run("p2pFolderButton browserOk");
        if (name) run(("p2pNameField =" + std::string(name) + " textKeypadOk").c_str());
        press("p2pOk");
        EXPECT_TRUE(panel->Busy()) << "the wait indicator shows first";
        waitDone(panel);
    }
};

TEST_F(ParamFileTest, SaveWritesTheToolsRegistersInFileOrderAndLoadRestoresThem) {
    struct Case {
        int tdx, type;
        const char* name;
        const char* model;
    } cases[] = {{0, 2, "zq", "Driver model,ZQ-3020"}, {1, 3, "zqt", "Driver model,ZQT-3030"}};
    set(1, 356, 7);
    setBarcode(1, 4, 3, "AB12");
    PageTopDownBox* panel = openPanel("0");
    ASSERT_NE(panel, nullptr);
    shot("PageTopDownBox_ParamButtons");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UnitToolInfo info = dev->GetTdxToolInfo(c.tdx);
        press(("toolRow" + std::to_string(c.tdx) + "Save").c_str());
        EXPECT_EQ(find<QPushButton>("p2pNameField")->text().toStdString(),
                  info.Name.toStdString() + "_" + (c.type == 2 ? "ZQ" : "ZQT") +
                      std::to_string(info.ModelNo) + "_FW1.20.3.csv");
        save(panel, c.name);
        EXPECT_EQ(panel->LastMessage(), "");
        const auto l = FileLines(std::string("files/") + c.name + ".csv");
        const auto regs = ParamFile::Registers(c.type);
        ASSERT_EQ(l.size(), 3 + regs.size() + 30 * 37);
        EXPECT_EQ(std::tuple(l[0], l[1], l[2]),
                  std::tuple("Driver Parameter data file,", c.model, "Firmware version,1.20.3"));
        for (size_t i = 0; i < regs.size(); ++i)
            EXPECT_EQ(l[3 + i], "A" + std::string(4 - std::to_string(regs[i]).size(), '0') +
                                    std::to_string(regs[i]) + "," +
                                    std::to_string(tools->reg(c.tdx, regs[i])));
        EXPECT_EQ(std::count(l.begin(), l.end(), "A0356,7"), c.type == 3 ? 1 : 0);
        for (const char* a : {"A0355,", "A0359,"})
            EXPECT_EQ(std::count_if(l.begin(), l.end(),
                                    [a](const std::string& s) { return s.rfind(a, 0) == 0; }),
                      c.type == 3 ? 1 : 0)
                << a;
        // Entry 4 of the barcode window: select, preset, ..., commit.
        const size_t e4 = 3 + regs.size() + 4 * 37;
        EXPECT_EQ(std::tuple(l[e4], l[e4 + 1], l[e4 + 4], l[e4 + 36]),
                  std::tuple("A5000,4", c.type == 3 ? "A5001,3" : "A5001,0",
                             c.type == 3 ? "A5007,65" : "A5007,0", "A5006,1"));
    }
    // Saved, the tool changed, then the file loaded back through the file dialog.
    setBarcode(1, 0, 5, "X-1");
    setBarcode(1, 29, 15, std::string(32, 'z'));
    set(1, 2, 420);
    set(1, 356, 250);
    const std::vector<long> before = snapshot(1, 3);
    press("toolRow1Save");
    save(panel, "round");
    ASSERT_EQ(panel->LastMessage(), "");
    // The tool is changed, then the file loaded back through the file dialog.
    setBarcode(1, 0, 1, "other");
    setBarcode(1, 29, 0, "");
    set(1, 2, 200);
    set(1, 356, 100);
    ASSERT_NE(snapshot(1, 3), before);
    run("toolRow1Load p2pFileButton %PageP2P_SelectFile_Csv");
    browserPick("round.csv");
    press("p2pOk");
    waitDone(panel);
    EXPECT_EQ(panel->LastMessage(), "");
    EXPECT_EQ(snapshot(1, 3), before);
    // Written a slice per event-loop turn, so other tools' results are taken meanwhile.
    EXPECT_GT(panel->Turns(), int(before.size() / ParamFileRunner::Loading::kSlice));

    // A tool that stops answering mid-save leaves no file.
    ASSERT_EQ(tools->cmd("ignore 0 1000"), "ok");
    press("toolRow0Save");
    save(panel, nullptr);
    EXPECT_EQ(find<QLabel>("msgText")->text(), "Communication fail");
    EXPECT_EQ(QDir("files").entryList({"*.csv"}), (QStringList{"round.csv", "zq.csv", "zqt.csv"}));
}

TEST_F(ParamFileTest, LoadChecksTheFileAndWritesOnlyWhatItMay) {
    const std::string head2 = "Driver Parameter data file,\nDriver model,ZQ-3020\n"
                              "Firmware version,1.20.3\n";
    const std::string head3 = "Driver Parameter data file,\nDriver model,ZQT-3030\r\n"
                              "Firmware version,9.9.9\n";
    const std::string body = "A0002,300\nA0251,1\nA0252,77\nA0260,2\nA0240,5\nA5000,2\n"
                             "A5001,7\nA5006,1\n";
    const std::string zq12 =
        "Driver Parameter data file,\nDriver model,ZQ-12\nFirmware version,1\n";
    const QString invalid = "Invalid data file.", mismatch = "Driver model mismatch.";
    struct Case {
        const char* what;
        int tdx;
        bool barcodeOnly;
        std::string text;
        QString message;
        const char* written; // the addresses written, in order
    } cases[] = {
        {"type 2 file into its tool", 0, false, head2 + body, "", "2 240 5000 5001 5006"},
        {"into the type-3 tool", 1, false, head2 + body, mismatch, ""},
        {"ZQ-12 into a ZQ-3020", 0, false, zq12 + body, mismatch, ""},
        {"barcode only, any model", 1, true, zq12 + body, "", "5000 5001 5006"},
        {"trailing blanks, CRLF", 1, false, head3 + "A0355,1\r\n", "", "355"},
        {"first line", 0, false, "Driver Parameter data file\n" + body, invalid, ""},
        {"second line", 0, false, "Driver Parameter data file,\nModel,ZQ-3020\nFirmware version\n",
         invalid, ""},
        {"third line", 0, false, "Driver Parameter data file,\nDriver model,ZQ-3020\nFW,1\n",
         invalid, ""},
        {"a bad line late in the file: nothing written", 0, false,
         head2 + "A0002,300\nB0003,1\nA0004,1\n", invalid, ""},
        {"missing value", 0, false, head2 + "A0002\n", invalid, ""},
        {"address 0", 0, false, head2 + "A0000,1\n", invalid, ""},
        {"value past 16 bits", 0, false, head2 + "A0002,65536\n", invalid, ""},
        {"motor start", 0, false, head2 + "A0002,300\nA4003,1\n", invalid, ""},
        {"unlock", 0, false, head2 + "A4001,0\n", invalid, ""},
        {"crow foot into a type-2 driver", 0, false, head2 + "A0002,300\nA0355,1\n", invalid, ""},
        {"barcode only, a command", 1, true, zq12 + "A5005,2\n", invalid, ""},
        {"refused by the tool: the load stops", 0, false,
         head2 + "A0002,300\nA5000,3\nA5001,16\nA5006,1\n", invalid, "2 5000 5001 5001"},
        {"outside the tool's limits: nothing written", 0, false, head2 + "A0003,1\nA0002,9000\n",
         invalid, ""},
        {"line over 1000", 0, false, head2 + "A0002,1" + std::string(1000, ' ') + "\n", invalid,
         ""},
        {"header only", 0, false, head2, "", ""},
        {"empty file", 0, false, "", invalid, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv::writeFile("files/in.csv", c.text);
        writes(c.tdx);
        EXPECT_EQ(ParamFileRunner::Load(c.tdx, "./files/in.csv", c.barcodeOnly), c.message);
        EXPECT_EQ(writes(c.tdx), c.written);
    }
    EXPECT_EQ(ParamFileRunner::Load(0, "./files/none.csv", false), "File open fail.");
    // The tool is gone: the write fails other than by refusal.
    TestEnv::writeFile("files/in.csv", head2 + body);
    ASSERT_EQ(tools->cmd("ignore 0 1000"), "ok");
    EXPECT_EQ(ParamFileRunner::Load(0, "./files/in.csv", false), "Communication fail.");
}

} // namespace
