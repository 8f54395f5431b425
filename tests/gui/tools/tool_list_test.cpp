// The tool list editor and the pull-down tool panel over the real device object and
// virtual tools on loopback: register, rename, release and "./regtools", the rows of the
// panel, the current tool and the temperatures.
#include "ToolScreenFixture.h"
#include "Wait.h"
#include "page/tools/PageEditToolList.h"
#include "page/tools/PageTopDownBox.h"
#include "page/tools/UnitSelectToolsItem.h"

#include <QLabel>
#include <QSignalSpy>

namespace {

class ToolListTest : public ToolScreenTest {
  protected:
    PageEditToolList* openEditor() {
        openPanel("0");
        press("topDownEdit");
        return qobject_cast<PageEditToolList*>(Screens::Find(ScreenId::EditToolList));
    }
    static bool folder(const QString& name) { return QDir("files/tools/" + name).exists(); }
};

TEST_F(ToolListTest, RegisterRenameReleaseAndTheRegtoolsFile) {
    tools = FakeTool::onLoopback({2, 3, 4});
    for (int i = 0; i < 3; ++i)
        discover(i);
    PageEditToolList* page = openEditor();
    ASSERT_NE(page, nullptr);
    shot("PageEditToolList");
    EXPECT_EQ(text("editDiscoCount"), "3 ea");
    EXPECT_EQ(text("editRegCount"), "0 ea");

    // Register the second and then the (new) first discovered tool. The choice stays on
    // its tool when the first one stops answering and the list moves up.
    clickCell("editDiscoList", 1, 1);
    const QString serial = dev->GetDiscoToolSerial(1);
    for (int tick = 0; tick < 4; ++tick) {
        ToolManager_KeepAlive_DiscoTools();
        discover(1);
        discover(2);
    }
    ASSERT_EQ(dev->GetDiscotoolsLen(), 2);
    played.clear();
    press("editRegister");
    deliver();
    EXPECT_EQ((QStringList{text("editRegCount"), text("editDiscoCount")}),
              (QStringList{"1 ea", "1 ea"}));
    EXPECT_EQ(cellText("editRegList", 0, PageEditToolList::ColSerial), serial);
    EXPECT_EQ(cellText("editRegList", 0, PageEditToolList::ColModel), QString("ZQT3030"));
    EXPECT_EQ(page->Editor().SelectedDiscovered(), -1) << "a registration clears the choice";
    EXPECT_EQ(sounds(UiSoundKind::Tap), 1);
    press("editRegister"); // nothing chosen: nothing happens
    EXPECT_EQ(dev->GetRegtoolsLen(), 1);
    clickCell("editDiscoList", 0, 0);
    press("editRegister");
    deliver();
    ASSERT_EQ(dev->GetRegtoolsLen(), 2);
    const QString first = dev->GetTdxToolName(0), second = "Line-2-right-station-torque-0032";
    ASSERT_EQ(dev->SetTdxToolName(1, second), 0) << "the longest name";
    EXPECT_TRUE(folder(first));

    // Rename: touching the name opens the keypad with it; the checks keep it open.
    dev->OnSetCurrTdx(0);
    QSignalSpy current(dev, &ApplicationDeviceClass::CurrTdxChanged);
    struct Rename {
        QString typed;
        QString error; // empty: renamed
    } cases[] = {
        {"Left/1", "Can not use \"/\" in the tool name."},
        {second, "Already exist."},
        {second + "9", "Already exist."}, // cut to 32 characters it is the other's
        {first, "Already exist."},        // its own name
        {"", "Failed to rename."},
        {"Station-L", ""},
    };
    clickCell("editRegList", 0, PageEditToolList::ColName);
    shot("UnitTextKeypad");
    for (const Rename& c : cases) {
        if (!page->Keypad()) clickCell("editRegList", 0, PageEditToolList::ColName);
        auto* field = find<QLineEdit>("textKeypadField");
        ASSERT_NE(field, nullptr);
        field->clear();
        QTest::keyClicks(field, c.typed);
        press("textKeypadOk");
        EXPECT_EQ(msgText(), c.error) << c.typed.toStdString();
        EXPECT_EQ(page->Keypad() != nullptr, !c.error.isEmpty()) << c.typed.toStdString();
        if (c.typed == first) shot("PageEditToolList_Exists");
        if (!c.error.isEmpty()) press("msgClose");
    }
    EXPECT_EQ(cellText("editRegList", 0, PageEditToolList::ColName), "Station-L");
    EXPECT_TRUE(folder("Station-L"));
    EXPECT_FALSE(folder(first)) << "the folder moved with the name";
    EXPECT_EQ(current.count(), 1) << "the current tool was set again for its new name";

    // Release the current tool: it stops being current before it leaves the table.
    int toolsWhenCurrentCleared = -1;
    QObject::connect(dev, &ApplicationDeviceClass::CurrTdxChanged, [&] {
        if (dev->OnGetCurrTdx() == -1) toolsWhenCurrentCleared = dev->GetRegtoolsLen();
    });
    clickCell("editRegList", 0, PageEditToolList::ColSerial);
    press("editRelease");
    EXPECT_EQ(msgText(), "Release?");
    shot("PageEditToolList_Release");
    press("msgConfirm");
    deliver();
    EXPECT_EQ(std::tuple(toolsWhenCurrentCleared, dev->OnGetCurrTdx(), dev->GetRegtoolsLen()),
              std::tuple(2, -1, 1));
    EXPECT_EQ(cellText("editRegList", 0, PageEditToolList::ColName), second);
    EXPECT_FALSE(folder("Station-L")) << "an empty folder goes with its tool";
    EXPECT_EQ(TestEnv::readFile("regtools"), "") << "saved when the editor closes";

    press("editClose");
    EXPECT_EQ(Screens::Find(ScreenId::EditToolList), nullptr);
    const std::string file = TestEnv::readFile("regtools");
    ASSERT_EQ(file.size(), size_t(REGTOOLS_RECORD_SIZE));
    EXPECT_EQ(file.substr(0, size_t(second.size())), second.toStdString());
    auto* panel = qobject_cast<PageTopDownBox*>(root->TopDownBox());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Rows(), 1) << "the panel shows the edited table";
}

TEST_F(ToolListTest, EightToolsMakeTheLimitDialogEvenWithNothingChosen) {
    registerTools({{"T1", 2, 0},
                   {"T2", 2, 0},
                   {"T3", 2, 0},
                   {"T4", 2, 0},
                   {"T5", 3, 0},
                   {"T6", 3, 0},
                   {"T7", 1, 0},
                   {"T8", 4, 0}});
    tools = FakeTool::onLoopback({2});
    discover(0);
    openEditor();
    for (bool chosen : {false, true}) {
        if (chosen) clickCell("editDiscoList", 0, 1);
        played.clear();
        press("editRegister");
        EXPECT_EQ(std::tuple(text("msgTitle"), msgText(), sounds(UiSoundKind::Ng)),
                  std::tuple("Error", "Exceed limit\n\nUp to 8 tools can be registered.", 1));
        if (!chosen) shot("PageEditToolList_Limit");
        press("msgClose");
        EXPECT_EQ(std::tuple(dev->GetRegtoolsLen(), dev->GetDiscotoolsLen()), std::tuple(8, 1));
    }
    // The list cannot be kept: closing the editor says so.
    QFile::remove("regtools");
    ASSERT_TRUE(QDir().mkdir("regtools"));
    press("editClose");
    EXPECT_EQ(msgText(), "Failed to save.");
}

TEST_F(ToolListTest, PanelListsToolsWithTheirLinkAndChoosesAConnectedOne) {
    tools = FakeTool::onLoopback({2, 3, 1});
    for (int i = 0; i < 3; ++i)
        connect(i);
    ASSERT_EQ(tools->cmd("temp 0 235"), "ok");
    ASSERT_EQ(tools->cmd("die 2"), "ok");
    dev->ToolLost(2);
    deliver();
    ASSERT_EQ(dev->GetTdxToolConn(2), 0);
    auto* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    shot("PageTopDownBox");
    EXPECT_FALSE(find("topDownEdit")->isVisible()) << "guests do not edit the list";
    EXPECT_FALSE(find("toolRow0Save")->isVisible()) << "nor save parameters";
    ASSERT_EQ(panel->Rows(), 3);
    EXPECT_EQ(panel->Footer(), "2 / 3 ea");
    using F = UnitSelectToolsItem;
    struct Row {
        int tdx;
        const char* status;
        const char* version; // toolsim's 1203
        std::string address;
        std::string port;
    } rows[] = {
        {0, "Connected", "1.20.3", FakeTool::loopbackIp(0), std::to_string(tools->port())},
        {1, "Connected", "1.20.3", FakeTool::loopbackIp(1), std::to_string(tools->port())},
        {2, "Disconnected", "-", "-", "-"},
    };
    for (const Row& r : rows) {
        UnitSelectToolsItem* item = panel->Row(r.tdx);
        QStringList shown;
        for (auto field : {F::Name, F::Status, F::Version, F::Address, F::Port, F::Mac})
            shown << item->Text(field);
        EXPECT_EQ(shown, (QStringList{dev->GetTdxToolName(r.tdx), r.status, r.version,
                                      QString::fromStdString(r.address),
                                      QString::fromStdString(r.port), dev->GetTdxToolMac(r.tdx)}));
    }
    // The temperature timer reads 3313 of the connected tools.
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->Row(0)->Text(F::Temp) == "23.5"; }, 20000));
    EXPECT_EQ(panel->Row(2)->Text(F::Temp), "-");
    shot("PageTopDownBox_Live");

    played.clear();
    QTest::mouseClick(panel->Row(2), Qt::LeftButton);
    flush();
    EXPECT_EQ(dev->OnGetCurrTdx(), -1) << "a disconnected tool is not chosen";
    EXPECT_NE(root->TopDownBox(), nullptr);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 1);
    QTest::mouseClick(panel->Row(1), Qt::LeftButton);
    flush();
    EXPECT_EQ(dev->OnGetCurrTdx(), 1);
    EXPECT_EQ(root->TopDownBox(), nullptr) << "choosing closes the panel";
}

} // namespace
