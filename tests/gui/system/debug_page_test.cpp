// Debug page: ring of lines, clear, save with its dialogs, flags dialog, one instance.
#include "CsvRead.h"
#include "RecordingSink.h"
#include "ShellFixture.h"
#include "UnitMessageBox.h"
#include "common.h"
#include "page/shell/PageHome.h"
#include "page/system/DebugLogModel.h"
#include "page/system/PageDebug.h"
#include "page/system/PageDebugSetting.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <iterator>

namespace {
class DebugPageTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
        Common_SetFixedTime(1767225600); // 2026-01-01 00:00:00
        makeRoot();
        // Events queued before this test belong to nobody: drain them into a recorder.
        RecordingSink drain;
        EwDriver_SetDeviceObject(&drain);
        EwDriver_ProcessData();
        EwDriver_SetDeviceObject(dev);
    }
    void TearDown() override {
        if (PageDebug::Instance()) PageDebug::Instance()->Leave();
        EwDriver_SetDeviceObject(nullptr);
        ShellTest::TearDown();
    }
    PageDebug* open() {
        dev->OnSetUserLevel(2);
        auto* p = qobject_cast<PageDebug*>(Screens::Open(ScreenId::Debug, root));
        flush();
        return p;
    }
    // Saves through the dialogs: the answer shown once the save ended, "title: text", closed.
    QString save(PageDebug* page) {
        press("debugSave");
        EXPECT_EQ(page->Dialog()->Text(), "Save?");
        EXPECT_EQ(find("msgClose")->text(), "Cancel");
        const int taps = sounds(UiSoundKind::Tap);
        press("msgConfirm");
        EXPECT_EQ(sounds(UiSoundKind::Tap), taps + 1);
        // A slow machine may already have finished; while it works, nothing closes it.
        if (page->Dialog()->Text() == "Please wait ...") {
            EXPECT_FALSE(find("msgClose")->isVisible());
        }
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return page->Dialog()->Text() != "Please wait ..."; }, 20000));
        EXPECT_TRUE(find("msgClose")->isVisible());
        const QString answer = page->Dialog()->Title() + ": " + page->Dialog()->Text();
        press("msgClose");
        return answer;
    }
    // Saves and reads the file the stamp `name` names.
    std::string saveAndRead(PageDebug* page, const char* name = "20260101_000000") {
        EXPECT_EQ(save(page), "Message: Complete");
        return TestEnv::readFile(std::string("files/dlog_") + name + ".dbg");
    }
};

TEST_F(DebugPageTest, LinesCarryTheStampAndTheRingDropsTheOldest) {
    PageDebug* page = open();
    DebugLogModel* m = page->Model();
    m->Append("first");
    EXPECT_EQ(m->Line(0), "[2026-01-01 00:00:00] first");
    for (int i = 2; i <= DebugLogModel::Capacity + 1; ++i)
        m->Append(QString("line %1").arg(i));
    EXPECT_EQ(m->Count(), DebugLogModel::Capacity);
    EXPECT_EQ(m->rowCount(), DebugLogModel::Capacity);
    EXPECT_EQ(m->Line(0), "[2026-01-01 00:00:00] line 2");
    EXPECT_EQ(m->Line(DebugLogModel::Capacity - 1), "[2026-01-01 00:00:00] line 65536");
    ASSERT_FALSE(saveAndRead(page).empty());
    const auto lines = FileLines("files/dlog_20260101_000000.dbg");
    ASSERT_EQ(lines.size(), size_t(DebugLogModel::Capacity));
    for (int i = 0; i < DebugLogModel::Capacity; i += 4099)
        EXPECT_EQ(lines[size_t(i)], "[2026-01-01 00:00:00] line " + std::to_string(i + 2));
    EXPECT_EQ(lines.back(), "[2026-01-01 00:00:00] line 65536");
}

TEST_F(DebugPageTest, SaveFailureSaysSaveFail) {
    const std::pair<const char*, void (*)()> cases[] = {
        {"the save file cannot be created", [] { QDir("files").removeRecursively(); }},
        // The file opens, but the disk is full: the lines never reach it.
        {"the disk is full", [] { QFile::link("/dev/full", "files/dlog_20260101_000000.dbg"); }},
    };
    for (const auto& [what, prepare] : cases) {
        SCOPED_TRACE(what);
        QDir().mkpath("files");
        PageDebug* page = open();
        page->Model()->Append(QString(8192, 'a')); // more than one buffer
        prepare();
        EXPECT_EQ(save(page), "Error: Save fail");
        page->Leave();
        flush();
        QFile::remove("files/dlog_20260101_000000.dbg");
    }
}

// A cancelled save writes nothing: a later save, a minute on, completes while no file of
// the first minute appears; clear empties the ring, whose save is an empty file.
TEST_F(DebugPageTest, CancelClearAndAnEmptySave) {
    PageDebug* page = open();
    page->Model()->Append("a");
    page->Model()->Append("b");
    press("debugSave");
    const int taps = sounds(UiSoundKind::Tap);
    press("msgClose");
    EXPECT_EQ(std::tuple(page->Dialog(), sounds(UiSoundKind::Tap)), std::tuple(nullptr, taps + 1));
    press("debugClear");
    EXPECT_EQ(page->Model()->Count(), 0);
    Common_SetFixedTime(1767225660); // 2026-01-01 00:01:00
    EXPECT_EQ(saveAndRead(page, "20260101_000100"), "");
    EXPECT_TRUE(TestEnv::exists("files/dlog_20260101_000100.dbg"));
    EXPECT_FALSE(TestEnv::exists("files/dlog_20260101_000000.dbg"));
}

// One page however it is opened; a page destroyed without leaving can be opened again.
TEST_F(DebugPageTest, OnePageAtATime) {
    dev->SetSysPwd("1");
    login("vorkel5293");
    press("btnDebug");
    PageDebug* first = PageDebug::Instance();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(dev->OnGetDebugPageOpen());
    root->Home()->PresentDebug();
    flush();
    EXPECT_EQ(root->findChildren<PageDebug*>().size(), 1);
    press("debugClose");
    EXPECT_FALSE(dev->OnGetDebugPageOpen());
    EXPECT_EQ(PageDebug::Instance(), nullptr);
    EXPECT_EQ(root->findChildren<PageDebug*>().size(), 0);
    first = open();
    ASSERT_NE(first, nullptr);
    delete first; // its host went away
    EXPECT_FALSE(dev->OnGetDebugPageOpen());
    EXPECT_EQ(PageDebug::Instance(), nullptr);
    PageDebug* second = open();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(PageDebug::Instance(), second);
}

// Lines while the page is closed are not kept; with every flag off only error lines and
// direct writes of flag 1 arrive.
TEST_F(DebugPageTest, WhatArrivesWithEveryFlagOff) {
    DBG_ERR("before");
    deliver();
    PageDebug* page = open();
    EXPECT_EQ(page->Model()->Count(), 0);
    for (int i = 0; i < DEBUG_FLAG_COUNT; ++i)
        DBG_LOG(i, "informational %d", i);
    DBG_ERR("broken %d", 7);
    deliver();
    ASSERT_EQ(page->Model()->Count(), 1);
    EXPECT_NE(page->Model()->Line(0).indexOf(" : broken 7"), -1);
    for (int flag : {2, 1, 0})
        dev->DebugWrite(flag, flag == 1 ? "direct" : "suppressed");
    flush();
    ASSERT_EQ(page->Model()->Count(), 2);
    EXPECT_TRUE(page->Model()->Line(1).endsWith("direct"));
}

// Each toggle switches its own driver flag at once and no other; a switched flag's lines
// arrive; a toggle follows its property when the flag changes elsewhere.
TEST_F(DebugPageTest, FlagTogglesSwitchTheirOwnFlagAtOnce) {
    const char* names[] = {"flagDisco",  "flagInput",   "flagOutput",  "flagBarcode", "flagSetting",
                           "flagModbus", "flagNetlink", "flagEwevent", "flagBEF",     "flagBST"};
    PageDebug* page = open();
    press("debugSettings");
    QSignalSpy changed(dev, &ApplicationDeviceClass::DebugFlagsChanged);
    auto tap = [&](QCheckBox* t) {
        QTest::mouseClick(t, Qt::LeftButton, {}, QPoint(20, t->height() / 2));
        flush();
    };
    for (int i = 0; i < int(std::size(names)); ++i) {
        SCOPED_TRACE(names[i]);
        auto* t = root->findChild<QCheckBox*>(names[i]);
        ASSERT_NE(t, nullptr);
        EXPECT_FALSE(t->isChecked());
        tap(t);
        for (int j = 0; j < int(std::size(names)); ++j)
            EXPECT_EQ(Debug_GetFlag()[j].load() != 0, j == i) << "flag " << j;
        tap(t);
        EXPECT_EQ(Debug_GetFlag()[i].load(), 0);
    }
    EXPECT_EQ(changed.count(), 20); // one per change, on and off
    tap(root->findChild<QCheckBox*>("flagModbus"));
    EXPECT_TRUE(dev->OnGetDebugFlagModbus());
    EXPECT_EQ(Debug_GetFlag()[DEBUG_FLAG_MODBUS].load(), 1);
    DBG_LOG(DEBUG_FLAG_MODBUS, "modbus line");
    DBG_LOG(DEBUG_FLAG_DISCO, "disco line");
    deliver();
    ASSERT_EQ(page->Model()->Count(), 1);
    EXPECT_NE(page->Model()->Line(0).indexOf("modbus line"), -1);
    dev->OnSetDebugFlagBST(true);
    EXPECT_TRUE(root->findChild<QCheckBox*>("flagBST")->isChecked());
    press("debugSettingClose");
    EXPECT_EQ(root->findChild<PageDebugSetting*>(), nullptr);
    dev->OnSetDebugFlagModbus(false);
    dev->OnSetDebugFlagBST(false);
}

} // namespace
