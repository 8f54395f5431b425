// The job barcode screen over the real job table: presses on the list and the entry
// editor, then the table file written when the screen is left, byte for byte; a scanned
// code opens the editor; leaving turns the connected tools' result output off.
#include "UnitBarcodeData.h"
#include "UnitConfirmation.h"
#include "UnitMessageBox.h"
#include "UnitSelectJob.h"
#include "job.h"

#include "page/barcode/BarcodeList.h"
#include "page/barcode/PageBarcode.h"
#include "page/barcode/UnitBarcodeEdit.h"
#include "page/barcode/UnitBarcodeList.h"
#include "tools/ToolScreenFixture.h"

namespace {
const char* kFile = "files/barcode.kest";

class JobBarcodeTest : public ToolScreenTest {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        std::filesystem::create_directories("files/job");
        load_job();
        job_free();
        for (const char* name : {"body", "door", "seat"})
            ASSERT_EQ(dev->JobCreateNew(name), 0);
    }
    // The table holds exactly these rows ("code partial start end job" each).
    void fill(const std::vector<std::array<QString, 2>>& rows) {
        while (dev->BarcodeGetLen(8) > 0)
            dev->BarcodeDelete(8, 0);
        for (const auto& r : rows)
            dev->BarcodeAddJob(8, r[0], 0, 0, 0, r[1]);
    }
    PageBarcode* open() {
        if (!root) makeRoot();
        dev->OnSetUserLevel(1);
        return qobject_cast<PageBarcode*>(Screens::Open(ScreenId::Barcode, root));
    }
    void chooseJob(int jdx) {
        press("bceJobSelect");
        clickCell("selectJobList", jdx, 0);
    }
};

// Each case: the table before, the presses, the file after leaving the screen.
TEST_F(JobBarcodeTest, PressesThenTheSavedTable) {
    const std::string r1 = "r1~0~0~0~body~\n", r2 = "r2~0~0~0~door~\n", r3 = "r3~0~0~0~seat~\n";
    const std::string all = r1 + r2 + r3;
    struct Case {
        const char* what;
        const char* presses; // "=text" types on the keypad, "@n" picks job n, "!" opens again
        std::string file;
        bool marked = false; // the select button says "Deselect All" before leaving
    } cases[] = {
        {"add a whole code", "bcAdd =ab12 @1 bceOk", all + "ab12~0~0~0~door~\n"},
        {"add comparing chars 3 to 5", "bcAdd =xy345z bceChar3 bceChar5 @2 bceOk",
         all + "xy345z~1~3~5~seat~\n"},
        {"OK without a code adds nothing", "bcAdd @2 bceOk bceCancel", all},
        {"edit the cursor's row", "bcRow1 bcEdit =7 @0 bceOk", r1 + "r27~0~0~0~body~\n" + r3},
        {"edit without a cursor does nothing", "bcEdit", all},
        {"delete confirmed, the cursor stays on row 0", "bcRow0 bcDelete confirmOk", r2 + r3},
        {"deleting row 0 twice", "bcRow0 bcDelete confirmOk bcDelete confirmOk", r3},
        {"deleting the last row moves the cursor up",
         "bcRow2 bcDelete confirmOk bcDelete confirmOk", r1},
        {"delete cancelled", "bcRow0 bcDelete confirmCancel", all},
        {"delete takes the marked rows", "bcRow1 bcSel0 bcSel2 bcDelete confirmOk", r2},
        {"delete without a cursor or marks asks nothing", "bcDelete bcSelectAll bcDelete confirmOk",
         ""},
        {"up of row 0 changes nothing", "bcRow0 bcUp", all},
        {"down of the last row changes nothing", "bcRow2 bcDown", all},
        {"top of row 0 asks nothing", "bcRow0 bcTop bcDelete confirmOk", r2 + r3},
        {"end of the last row asks nothing", "bcRow2 bcEnd bcDelete confirmOk", r1 + r2},
        {"up twice follows the row", "bcRow2 bcUp bcUp", r3 + r1 + r2},
        {"down then top asks and moves", "bcRow0 bcDown bcTop confirmOk", all},
        {"end asks and moves", "bcRow0 bcEnd confirmOk", r2 + r3 + r1},
        {"select all then delete empties the table", "bcSelectAll bcDelete confirmOk", ""},
        {"select all shows deselect", "bcSelectAll", all, true},
        {"select all twice clears the marks", "bcSelectAll bcSelectAll bcRow1 bcDelete confirmOk",
         r1 + r3},
        {"marks do not outlive the screen", "bcSel0 bcBack ! bcRow2 bcDelete confirmOk", r1 + r2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill({{"r1", "body"}, {"r2", "door"}, {"r3", "seat"}});
        TestEnv::writeFile(kFile, "stale\n");
        PageBarcode* page = open();
        ASSERT_NE(page, nullptr);
        for (const std::string& p : words(c.presses)) {
            if (p[0] == '=')
                type(QString::fromStdString(p.substr(1)));
            else if (p[0] == '@')
                chooseJob(p[1] - '0');
            else if (p == "!") {
                TestEnv::writeFile(kFile, "stale\n");
                ASSERT_NE(open(), nullptr);
            } else
                press(p.c_str());
        }
        EXPECT_EQ(find("bcSelectAll")->text(), c.marked ? "Deselect All" : "Select All");
        EXPECT_EQ(TestEnv::readFile(kFile), "stale\n") << "written only when leaving";
        press("bcBack");
        EXPECT_EQ(Screens::Find(ScreenId::Barcode), nullptr);
        EXPECT_EQ(TestEnv::readFile(kFile), c.file);
    }
}

TEST_F(JobBarcodeTest, ListShowsRangeAndJobScanOpensTheEditorLeavingTurnsOutputOff) {
    tools = FakeTool::onLoopback({2, 3});
    ASSERT_TRUE(tools);
    for (int i = 0; i < 2; ++i) {
        const int tdx = connect(i);
        ASSERT_EQ(dev->MbusWriteTdx(tdx, MBUS_REG_EVENT_OUTPUT, 1), 0);
        ASSERT_EQ(tools->reg(i, MBUS_REG_EVENT_OUTPUT), 1);
    }
    fill({});
    dev->BarcodeAddJob(8, "ab345cd", 1, 3, 5, "door");
    dev->BarcodeAddJob(8, "whole", 0, 0, 0, "gone");
    PageBarcode* page = open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->List()->Cells(0), QStringList({"1",
                                                   "ab<span style=\"color:#f2a71b; "
                                                   "text-decoration:underline;\">345</span>cd",
                                                   "3 / 5", "door"}));
    EXPECT_EQ(page->List()->Cells(1), QStringList({"2", "whole", "-", "gone"}));
    EXPECT_EQ((QStringList{BarcodeList::Preset(3), BarcodeList::Preset(16), BarcodeList::Preset(17),
                           BarcodeList::Preset(-1)}),
              (QStringList{"P.3", "MS-A", "MS-B", "-"}));
    BarcodeRow whole;
    whole.Code = "abc";
    whole.Start = 2;
    whole.End = 3;
    EXPECT_EQ(BarcodeList::Range(whole), "-") << "a whole-code row shows no part";
    shot("PageBarcode");

    dev->TriggerBcode("sc4n-77");
    flush();
    UnitBarcodeEdit* ed = page->Editor();
    ASSERT_NE(ed, nullptr) << "a scan opens the editor";
    EXPECT_EQ(find<QLineEdit>("bceCode")->text(), "sc4n-77");
    press("bceChar1");
    press("bceChar4");
    chooseJob(2);
    shot("UnitBarcodeEdit_Job");
    dev->TriggerBcode("next-1"); // a scan into the open editor replaces its code
    flush();
    EXPECT_EQ(page->Editor(), ed);
    EXPECT_EQ(find<QLineEdit>("bceCode")->text(), "next-1");
    press("bceOk");
    EXPECT_EQ(page->Editor(), nullptr);
    auto* row = qobject_cast<UnitBarcodeData*>(dev->UpdateCurrBarcode(8, 2));
    // Partial 0: the new code's part was not chosen.
    EXPECT_EQ(std::tuple(row->Code, row->Partial, row->JobName, page->List()->Cursor()),
              std::tuple(QString("next-1"), 0, QString("seat"), 2));
    press("bcRow0");
    press("bcDelete");
    shot("PageBarcode_Confirm");
    EXPECT_EQ(page->List()->ConfirmDialog()->Context(), "delete");
    press("confirmCancel");

    // A scanner can send the files' field separator; such a code is refused, not stored.
    dev->TriggerBcode("ab~1~2");
    flush();
    chooseJob(0);
    press("bceOk");
    ASSERT_NE(page->ErrorDialog(), nullptr);
    EXPECT_EQ(msgText(), "The code holds a character the table cannot store.");
    shot("PageBarcode_Error");
    press("msgClose");
    EXPECT_NE(page->Editor(), nullptr) << "kept for a correction";
    press("bceCancel");
    EXPECT_EQ(dev->BarcodeGetLen(8), 3);
    press("bcBack");
    EXPECT_EQ(TestEnv::readFile(kFile),
              "ab345cd~1~3~5~door~\nwhole~0~0~0~gone~\nnext-1~0~0~0~seat~\n");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(tools->reg(i, MBUS_REG_EVENT_OUTPUT), 0) << "leaving turns it off, tool " << i;
}

} // namespace
