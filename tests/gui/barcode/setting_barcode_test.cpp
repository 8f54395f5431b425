// The preset barcode tab of the settings over two registered tools: presses on the tool
// chooser, the list and the entry editor, then each tool's table file right after the
// change, byte for byte, and the tool's barcode setting.
#include "../tools/ToolScreenFixture.h"
#include "UnitMessageBox.h"
#include "barcode.h"
#include "page/barcode/PageSettingBarcode.h"
#include "page/barcode/UnitBarcodeEdit.h"
#include "page/barcode/UnitBarcodeList.h"
#include "page/shell/PageTabHost.h"

#include <QCheckBox>

namespace {
std::string toolFile(const char* name) {
    return std::string("files/tools/") + name + "/barcode.zq";
}

class SettingBarcodeTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        EwDriver_WireToolBarcodes(); // the tool tables in the registry records
        registerTools({{"left", 2, 0}, {"right", 3, 0}});
        // Registration makes each tool's folder.
        for (const char* name : {"left", "right"})
            std::filesystem::create_directories(std::string("files/tools/") + name);
        makeRoot();
        dev->SetSysPwd("4321");
        login("4321");
        press("tileSetting");
        press("tabSettingBarcode");
    }
    PageSettingBarcode* page() const { return find<PageSettingBarcode>("PageSettingBarcode"); }
    std::string read(const char* name) const {
        return TestEnv::exists(toolFile(name)) ? TestEnv::readFile(toolFile(name)) : "(none)";
    }
};

TEST_F(SettingBarcodeTest, PressesThenEachToolsFileTheToolSettingAndNoTool) {
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(std::tuple(page()->Tool(), find("sbTool0")->text(), find("sbTool1")->text()),
              std::tuple(0, QString("left"), QString("right")));
    const std::string k1 = "k1~0~0~0~3~\n", abc = "abc123~1~4~6~17~\n", r9 = "r9~0~0~0~16~\n";
    struct Case {
        const char* what;
        const char* presses;     // "=text" types on the keypad
        std::string left, right; // the files after the presses
        const char* error = "";  // the error shown (then closed), "" for none
    } cases[] = {
        {"add P.3 to the first tool", "sbAdd =k1 bceP3 bceOk", k1, "(none)"},
        {"no preset is refused", "sbAdd =k2 bceOk", k1, "(none)", "Please select a preset."},
        {"MS-B with a part, to all tools",
         "bceCancel sbAdd =abc123 bceChar4 bceChar6 bceP17 bceAll bceOk", k1 + abc, abc},
        {"the other tool's table", "sbTool1 sbAdd =r9 bceP16 bceOk", k1 + abc, abc + r9},
        {"move up saves at once", "sbRow1 sbUp", k1 + abc, r9 + abc},
        {"up of row 0 changes nothing", "sbUp", k1 + abc, r9 + abc},
        {"edit the first tool's row", "sbTool0 sbRow0 sbEdit =x bceP15 bceOk",
         "k1x~0~0~0~15~\n" + abc, r9 + abc},
        {"end then delete", "sbEnd confirmOk sbDelete confirmOk", abc, r9 + abc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& p : words(c.presses)) {
            if (p[0] == '=')
                type(QString::fromStdString(p.substr(1)));
            else
                press(p.c_str());
        }
        if (*c.error) {
            ASSERT_NE(page()->ErrorDialog(), nullptr);
            EXPECT_EQ(page()->ErrorDialog()->findChild<QLabel*>("msgText")->text(), c.error);
            press("msgClose");
        } else {
            EXPECT_EQ(page()->ErrorDialog(), nullptr);
        }
        EXPECT_EQ(std::pair(read("left"), read("right")), std::pair(c.left, c.right));
    }

    // Each tool's barcode setting, then the settings file.
    auto* enable = find<QCheckBox>("sbToolEnable");
    ASSERT_NE(enable, nullptr);
    // The tool pressed, the switch's label, both tools' settings after a click on it.
    const std::tuple<const char*, const char*, std::pair<bool, bool>> settings[] = {
        {"sbTool1", "Preset selection by barcode (tool 2)", {false, true}},
        {"sbTool0", "Preset selection by barcode (tool 1)", {true, true}},
        {"sbTool1", "Preset selection by barcode (tool 2)", {true, false}},
    };
    for (const auto& [tool, label, after] : settings) {
        SCOPED_TRACE(tool);
        press(tool);
        EXPECT_EQ(enable->text(), label);
        QTest::mouseClick(enable, Qt::LeftButton, {}, QPoint(8, enable->height() / 2));
        flush();
        EXPECT_EQ(std::pair(dev->GetSettingBarcodeTdx(0), dev->GetSettingBarcodeTdx(1)), after);
        EXPECT_EQ(enable->isChecked(), dev->GetSettingBarcodeTdx(page()->Tool()));
    }
    dev->BarcodeAddPreset(1, "ab345cd", 1, 3, 5, 16); // after r9 and abc123
    page()->Refresh();
    EXPECT_EQ(page()->List()->Cells(2).mid(2, 2), QStringList({"3 / 5", "MS-A"}));
    shot("PageSettingBarcode");
    press("sbRow0");
    press("sbEdit");
    shot("UnitBarcodeEdit_Preset");
    press("bceCancel");
    press("tabBack"); // leaving the settings saves the settings file
    dev->SetSettingBarcodeTdx(0, false);
    ASSERT_EQ(load_setting(), 0);
    EXPECT_TRUE(dev->GetSettingBarcodeTdx(0)) << "read back from the file";
    EXPECT_FALSE(dev->GetSettingBarcodeTdx(1));

    // Without a registered tool there is no table to edit.
    registerTools({});
    press("tileSetting");
    press("tabSettingBarcode");
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(
        std::tuple(page()->Tool(), find<QLabel>("sbNone")->isVisible(), find("sbAdd")->isEnabled()),
        std::tuple(-1, true, false));
}

} // namespace
