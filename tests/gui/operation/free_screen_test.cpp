// The operation screen without a job over the real device object and virtual tools on
// loopback: results become table rows with the chosen columns, clear, sounds, preset by
// barcode, the scanner rule and the screen code that leaves connecting tools unlocked.
#include "UnitMessageBox.h"
#include "UnitNotice.h"
#include "UnitStoredResults.h"
#include "barcode.h"
#include "common.h"
#include "page/operation/FetTableModel.h"
#include "page/operation/PageOperationWithoutJob.h"
#include "page/operation/UnitLastResult.h"
#include "threads.h"
#include "tools/ToolScreenFixture.h"

#include <QTableView>
#include <QTableWidget>
#include <atomic>
#include <future>

namespace {

class FreeScreenTest : public ToolScreenTest {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        Threads_Init();
        EwDriver_WireToolBarcodes(); // the tool tables in the registry records
        ToolManager_LoadRegTools();
        dev->OnSetOpmode(1); // without job
    }
    void TearDown() override {
        Common_SetFault(nullptr, 0, 0);
        dev->FlushEventLog(); // no line is written into the next test's data home
        ToolScreenTest::TearDown();
    }
    PageOperationWithoutJob* open() {
        return openTile<PageOperationWithoutJob>("tileOperation", ScreenId::OperationWithoutJob);
    }
    int rows() const { return page ? page->Model()->rowCount() : -1; }
    // Result lines in the log, every day.
    static int logLines() { return int(LogRecords("files/log").size()); }
    // Waits until the panel has written n acknowledgements (4016 := 1) to tool 0: the
    // writes, not the tool's own count, which a late "connected" of the tool can leave
    // behind (its 4015 := 2 makes the tool drop a result in flight).
    bool panelAcks(int n) {
        return kest_test::WaitUntil([&] { return writesOf("4016=1") >= n; });
    }
    // Tool 0's writes of `what` so far.
    int writesOf(const std::string& what) {
        writes += " " + tools->trace(0);
        int k = 0;
        for (size_t p = writes.find(what); p != std::string::npos; p = writes.find(what, p + 1))
            ++k;
        return k;
    }
    std::string writes; // tool 0's register writes taken from its trace so far
    QString cell(int row, int column) const {
        return page->Model()->index(row, column).data().toString();
    }
    void fasten(const std::string& line) {
        const int before = rows();
        ASSERT_EQ(tools->cmd(line).rfind("ok ", 0), 0u) << line;
        ASSERT_TRUE(until([&] { return rows() > before; })) << line;
    }
    void setColumns(const QStringList& on) {
        for (const char* p : {"LogToolname", "LogBarcode", "LogFtime", "LogPreset", "LogTtorque",
                              "LogCtorque", "LogSpeed", "LogA1", "LogA2", "LogA3", "LogScrewNo",
                              "LogError", "LogDirection", "LogStatus", "LogSnug"})
            dev->setProperty(p, on.contains(p));
    }

    // Tool 0 holds a result of each of `results` (fasten commands' words) when the screen
    // opens with the backup manager on; waits for the dialog that offers them.
    void openHolding(std::initializer_list<const char*> results) {
        tools = FakeTool::onLoopback({2});
        connect(0);
        ASSERT_EQ(tools->cmd("set 0 4001 0"), "ok");
        int n = 0;
        for (const char* r : results)
            ASSERT_EQ(tools->cmd(std::string("fasten 0 ") + r), "ok " + std::to_string(++n));
        dev->OnSetBackupManager(true);
        page = open();
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page->StoredDialog() != nullptr; }, 20000));
    }

    PageOperationWithoutJob* page = nullptr;
};

TEST_F(FreeScreenTest, ResultsBecomeRowsWithTheChosenColumnsAndTheRightSounds) {
    tools = FakeTool::onLoopback({2});
    const int t = connect(0);
    setColumns({"LogToolname", "LogCtorque", "LogDirection", "LogStatus"});
    page = open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(dev->OnGetFetEnable() & 1, 1);
    EXPECT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    tools->trace(0);
    writes.clear();
    played.clear();
    fasten("fasten 0 ok torque=1234 dir=0");
    EXPECT_EQ(std::tuple(sounds(UiSoundKind::Tap), sounds(UiSoundKind::Ng)), std::tuple(1, 0));
    fasten("fasten 0 ng torque=905 dir=1");
    EXPECT_EQ(std::tuple(sounds(UiSoundKind::Tap), sounds(UiSoundKind::Ng)), std::tuple(1, 1))
        << "an NG result plays the NG sound and no tap";
    // Each result is acknowledged once, and only after its line is in the log.
    ASSERT_TRUE(panelAcks(2)) << tools->cmd("stats 0") << ", writes" << writes;
    EXPECT_EQ(std::tuple(logLines(), writesOf("4016=")), std::tuple(2, 2)) << writes;

    const QString name = dev->GetTdxToolName(t);
    QStringList titles;
    for (int c = 0; c < page->Model()->columnCount(); ++c)
        titles << page->Model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(titles, QStringList({"No.", "Tool", "Torque", "Dir", "Status"}));
    auto row = [&](int r) { // the tool cell's background, then the cells
        const QBrush b = page->Model()->index(r, 1).data(Qt::BackgroundRole).value<QBrush>();
        QStringList got{b.color().name(QColor::HexArgb)};
        for (int c = 0; c < 5; ++c)
            got << cell(r, c);
        return got;
    };
    EXPECT_EQ(row(0), QStringList({"#ff1a5e33", "1", name, "12.34", "F", "OK"}));
    EXPECT_EQ(row(1), QStringList({"#ff7a1f1f", "2", name, "9.05", "L", "NG"}));
    EXPECT_EQ(std::tuple(page->LastResult()->StatusText(), page->LastResult()->ToolText()),
              std::tuple(QString("NG"), name));
    // The status column is wider than 110 px here: long labels.
    EXPECT_GE(page->Table()->columnWidth(4), PageOperationWithoutJob::kLongStatusWidth);

    setColumns({"LogToolname", "LogBarcode", "LogFtime", "LogPreset", "LogTtorque", "LogCtorque",
                "LogSpeed", "LogScrewNo", "LogError", "LogStatus"});
    page->BuildColumns();
    dev->OnSetBarcodeIF(1); // the code the tool read goes into the row
    fasten("fasten 0 ok torque=1180 time=820 barcode=LOT-4711");
    shot("PageOperationWithoutJob");

    // A barcode read at the tool selects its preset only with the tool's setting on and a
    // row for the code; else nothing is written (the panel's 4004 writes so far).
    dev->OnSetBarcodeIF(0);
    dev->BarcodeAddPreset(t, "AB-77", 0, 0, 0, 3);
    ASSERT_EQ(tools->cmd("set 0 4004 1"), "ok");
    for (auto [on, code, preset, n] :
         {std::tuple(false, "AB-77", 1L, 0), std::tuple(true, "AB-77", 3L, 1),
          std::tuple(true, "CD-8", 3L, 1)}) {
        dev->SetSettingBarcodeTdx(t, on);
        fasten(std::string("barcode 0 ") + code);
        // The preset write, if any, is made before the row is shown.
        EXPECT_EQ(std::tuple(tools->reg(0, 4004), writesOf("4004=")), std::tuple(preset, n))
            << on << " " << code;
    }
}

TEST_F(FreeScreenTest, ClearAfterConfirmationEmptiesTheTableAndNumberingStartsAgain) {
    tools = FakeTool::onLoopback({3});
    connect(0);
    setColumns({}); // every column off: only the sequence is shown
    page = open();
    ASSERT_NE(page, nullptr);
    fasten("fasten 0 ok");
    EXPECT_EQ(std::tuple(page->Model()->columnCount(), cell(0, 0)), std::tuple(1, QString("1")));
    fasten("fasten 0 ok");
    press("opClear");
    ASSERT_NE(page->ConfirmDialog(), nullptr);
    EXPECT_EQ(page->ConfirmDialog()->Text(), "Clear ?");
    press("msgClose"); // cancelled: nothing cleared
    EXPECT_EQ(rows(), 2);
    press("opClear");
    press("msgConfirm");
    EXPECT_EQ(std::tuple(rows(), page->LastResult()->StatusText()), std::tuple(0, QString("-")));
    fasten("fasten 0 ng");
    EXPECT_EQ(std::tuple(rows(), cell(0, 0)), std::tuple(1, QString("1")));
}

TEST_F(FreeScreenTest, ScannerCodesShownOnlyWithTheLocalScannerAndTheErrorCodeList) {
    page = open();
    ASSERT_NE(page, nullptr);
    for (auto [barcodeIf, shown] : {std::pair(1, false), std::pair(0, true)}) {
        dev->OnSetBarcodeIF(barcodeIf);
        dev->TriggerBcode("SCAN-42");
        flush();
        EXPECT_EQ(page->NoticeWidget()->Showing(), shown) << barcodeIf;
        if (shown) {
            EXPECT_EQ(page->NoticeWidget()->text(), "SCAN-42");
            // The notice fades away on its own.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !page->NoticeWidget()->Showing(); }, 20000));
        }
    }
    // The error code list shows every code.
    press("opErrorCodes");
    auto* table = find<QTableWidget>("errorCodeTable");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(
        std::tuple(table->rowCount(), table->item(0, 0)->text(), table->item(28, 1)->text()),
        std::tuple(29, QString("E104"), QString::fromUtf8("Battery temperature over 80\u00b0C")));
    shot("UnitErrorCodeList");
    press("errorCodeClose");
    EXPECT_EQ(find<QTableWidget>("errorCodeTable"), nullptr);
}

TEST_F(FreeScreenTest, AToolConnectingWhileTheScreenIsShownStaysUnlocked) {
    tools = FakeTool::onLoopback({2, 3});
    page = open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(dev->GetScreenCode(), PageOperationWithoutJob::kScreenCode);
    tools->trace(0);
    connect(0);
    // The first write of the connection is the lock, made by the link itself.
    EXPECT_EQ(tools->trace(0).rfind("4001=0", 0), 0u);
    EXPECT_EQ(tools->reg(0, 4001), 0);
    press("opHome");
    EXPECT_EQ(Screens::Find(ScreenId::OperationWithoutJob), nullptr);
    page = nullptr;
    EXPECT_EQ(std::tuple(dev->GetScreenCode(), tools->reg(0, 4001), tools->reg(0, 4015)),
              std::tuple(0, 1L, 0L))
        << "leaving locks every registered tool";
    tools->trace(1);
    connect(1);
    EXPECT_EQ(tools->trace(1).rfind("4001=1", 0), 0u) << "elsewhere a connecting tool is locked";
}

// Results a tool stored while no screen took them are collected into the log through the
// dialog, never into the table; afterwards the tool works unlocked with its results listed.
TEST_F(FreeScreenTest, StoredResultsGoToTheLogNotTheTable) {
    ASSERT_NO_FATAL_FAILURE(openHolding({"ok", "ng"}));
    UnitStoredResults* dlg = page->StoredDialog();
    EXPECT_EQ(std::tuple(page->Run().Pending(0), dlg->PendingText(0), dlg->Chosen(0)),
              std::tuple(2, QString("2"), true));
    shot("UnitStoredResults_Free");
    press("storedConfirm");
    ASSERT_TRUE(until([&] { return page->StoredDialog() == nullptr; }));
    EXPECT_EQ(std::tuple(rows(), tools->reg(0, 4001), dev->OnGetFetEnable() & 1),
              std::tuple(0, 0L, 1));
    ASSERT_TRUE(panelAcks(2)) << writes;
    EXPECT_EQ(logLines(), 2) << "both stored results";
    fasten("fasten 0 ok");
    EXPECT_EQ(cell(0, 0), "1") << "live results are listed again";
}
// "Leave" during a collection while a line is still in the writer: the tool hears that
// line's acknowledgement before its event output goes off, so the result is not sent again
// to the next screen and logged twice.
TEST_F(FreeScreenTest, LeavingDuringACollectionTurnsOutputOffAfterTheLastAcknowledgement) {
    ASSERT_NO_FATAL_FAILURE(openHolding({"ok", "ok"}));
    std::promise<void> release;
    std::shared_future<void> held = release.get_future().share();
    std::atomic<int> acking{0};
    EventLog_SetAckWriter([&, held](int tdx) {
        acking++;
        held.wait(); // the line is written; its acknowledgement waits here
        return Modbus_Write(tdx, 4016, 1, 1);
    });
    writesOf(""); // the connection's own writes
    writes.clear();
    press("storedConfirm");
    ASSERT_TRUE(until([&] { return acking.load() >= 1; }));
    press("storedLeave");
    release.set_value();
    dev->FlushEventLog();
    EventLog_SetAckWriter(nullptr);
    ASSERT_TRUE(kest_test::WaitUntil([&] { return writesOf("4015=0") >= 1; })) << writes;
    EXPECT_LT(writes.find("4016=1"), writes.find("4015=0")) << writes;
    EXPECT_EQ(tools->stat(0, "pending"), 1) << "the second stays stored, the first is acked";
}

// A log the writer cannot take (full disk): every result is still acknowledged, the screen
// says so once, and the held lines reach the file in order once it can be written again.
TEST_F(FreeScreenTest, AFailedLogLineIsReportedOnceAndKeptUntilTheLogWorks) {
    tools = FakeTool::onLoopback({2});
    connect(0);
    page = open();
    ASSERT_NE(page, nullptr);
    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE | COMMON_FAULT_OPEN);
    fasten("fasten 0 ok screw=71 error=0 dir=0 snug=0");
    fasten("fasten 0 ng screw=72 error=0 dir=0 snug=0");
    ASSERT_TRUE(panelAcks(2)) << "the tool protocol is unchanged";
    ASSERT_TRUE(until([&] { return page->MessageDialog() != nullptr; }));
    EXPECT_EQ(std::tuple(page->MessageDialog()->Title(), page->MessageDialog()->Text()),
              std::tuple(QString("Error"), QString("Logging failed")));
    EXPECT_EQ(root->findChildren<UnitMessageBox*>().size(), 1u) << "one message at a time";
    EXPECT_EQ(std::tuple(logLines(), EventLog_SpoolLength()), std::tuple(0, size_t(2)));
    press("msgClose");
    Common_SetFault(nullptr, 0, 0);
    fasten("fasten 0 ok screw=73 error=0 dir=0 snug=0");
    dev->FlushEventLog();
    EXPECT_EQ(EventLog_SpoolLength(), 0u);
    std::vector<std::string> screws;
    for (const auto& record : LogRecords("files/log"))
        screws.push_back(record.at(13));
    EXPECT_EQ(screws, (std::vector<std::string>{"71", "72", "73"})) << "spooled first, in order";
}
} // namespace
