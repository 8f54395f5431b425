// The multi-sequence, network and barcode tabs of the parameters screen over the real
// device object and virtual tools on loopback: each press changes the tool's registers or
// its barcode table as the tool itself reports them, bad text writes nothing, and an
// entry stored for all tools reaches every connected driver but no controller.
#include "../tools/Presses.h"
#include "Wait.h"
#include "page/parameters/PageParamBarcode.h"
#include "page/parameters/PageParamMultiSeq.h"
#include "page/parameters/PageParamNetwork.h"
#include "page/parameters/UnitParamBarcodeEdit.h"

#include <functional>
#include <set>
#include <sstream>

namespace {

enum Tab { MultiSeqTab, NetworkTab, BarcodeTab };

class ToolTabsTest : public WithPresses<ToolScreenTest> {
  protected:
    // Opens the parameters screen (once) and shows one of the three tabs.
    void open(Tab tab);
    template <class T> T* tab() const { return find<T>(T::staticMetaObject.className()); }
    void waitRead() {
        auto* b = tab<PageParamBarcode>();
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(kest_test::WaitUntil([&] {
            flush();
            return !b->Reading();
        }));
    }
    // Tool t's barcode entry as the tool keeps it: "code/preset/start/end".
    std::string entry(int t, int index) {
        EXPECT_EQ(tools->cmd("set " + std::to_string(t) + " 5000 " + std::to_string(index)), "ok");
        std::string s;
        for (int a = 5007; a < 5007 + 32 && tools->reg(t, a) > 0; ++a)
            s += char(tools->reg(t, a));
        for (int a : {5001, 5002, 5003}) // preset, start, end
            s += "/" + std::to_string(tools->reg(t, a));
        return s;
    }
    void typeInto(const char* field, const QString& text) {
        auto* e = find<QLineEdit>(field);
        ASSERT_NE(e, nullptr) << field;
        e->clear(); // the keypads type at the end of the field
        type(text);
    }
    std::set<Tab> shown;
    std::string writes(int t) { // the register writes in tool t's trace
        std::istringstream in(tools->trace(t));
        std::string w, out;
        while (in >> w)
            if (w.find('=') != std::string::npos) out += (out.empty() ? "" : " ") + w;
        return out;
    }
};

void ToolTabsTest::open(Tab t) {
    if (!root) openTile<Page>("tileParameter", ScreenId::Parameters, "0");
    const int index = 3 + int(t); // after "Fastening", "Advanced" and "Contoller"
    press(QString("PageParametersTab%1").arg(index).toLatin1().constData());
    const char* const names[] = {"PageParamMultiSeq", "PageParamNetwork", "PageParamBarcode"};
    const bool first = shown.insert(t).second; // each tab's picture when it is first shown
    if (first && t == BarcodeTab) shot("PageParamBarcode_Reading");
    if (t == BarcodeTab) waitRead();
    if (first) shot(names[t]);
}

TEST_F(ToolTabsTest, PressesReachTheToolsRegistersAndBarcodeTables) {
    tools = FakeTool::onLoopback({2, 3, 1});
    const int t = connect(0);
    connect(1);
    connect(2);
    dev->OnSetCurrTdx(t);
    setBarcode(0, 2, 9, "A-LONGER-CODE"); // written over by a shorter one
    setBarcode(0, 7, 2, "OLD-7");
    setBarcode(0, 29, 15, "LAST");
    tools->trace(0);

    struct Case {
        const char* name;
        Tab tab;
        // Object names pressed; "=text" types into the open field, "%name" takes the picture
        // build/screens/name.png.
        const char* steps;
        std::function<void()> check;
    } cases[] = {
        {"step command then argument", MultiSeqTab,
         "pmCmd0 %PageParamMultiSeq_SelectCommand pmCommand4 pmArg0Plus pmArg0Plus pmArg0Value "
         "key_Clear =12 numpadOk",
         [&] {
             EXPECT_EQ(writes(0), "321=4001 321=4002 321=4003 321=4012");
             EXPECT_EQ(tools->reg(0, 321), 4012);
             EXPECT_EQ(find("pmCmd0")->text(), "  Select preset");
             EXPECT_EQ(find("pmArg0Value")->text(), "12") << "read again after the write";
         }},
        {"program 2, last step jumps", MultiSeqTab, "pmProgram2 pmCmd9 pmCommand6 pmArg9Minus",
         [&] { EXPECT_EQ(writes(0), "340=6001") << "minus stops at the lowest step number"; }},
        {"no-argument command", MultiSeqTab, "pmProgram1 pmCmd1 pmCommand2",
         [&] {
             EXPECT_EQ(writes(0), "322=2000");
             EXPECT_FALSE(find("pmArg1Plus")->isVisible()) << "no argument";
         }},
        {"port typed", NetworkTab, "pnPort %PageParamNetwork_Numpad key_Clear =5123 numpadOk",
         [&] {
             EXPECT_EQ(writes(0), "281=5123");
             EXPECT_EQ(find("pnPort")->text(), "5123") << "read again after the write";
         }},
        {"bad port text writes nothing", NetworkTab,
         "pnPort key_Clear =12.5 numpadOk %PageParamNetwork_Error",
         [&] {
             EXPECT_EQ(msgText(), "Invalid number.\n\nDigits only, please.");
             run("msgClose key_Clear ~70000 numpadOk");
             EXPECT_EQ(msgText(), "Invalid value !!!\n\n( 1 ~ 65535 )");
             run("msgClose numpadCancel");
             EXPECT_EQ(writes(0), "");
         }},
        {"static mode and gateway octet", NetworkTab, "pnStatic pnGateway3 key_Clear =254 numpadOk",
         [&] {
             EXPECT_EQ(writes(0), "268=0 280=254");
             EXPECT_TRUE(find("pnStatic")->isChecked());
         }},
        {"ssid typed", NetworkTab, "pnSsid =ab textKeypadOk",
         [&] {
             EXPECT_EQ(tools->reg(0, 287), 0x6162);
             EXPECT_EQ(tools->reg(0, 288), 0);
             EXPECT_EQ(find("pnSsid")->text(), "ab");
         }},
        {"entry stored with a compared part", BarcodeTab,
         "pbRow2 %PageParamBarcode_Edit =abc123 pbeChar6 pbeChar4 pbeP5 pbeOk",
         [&] {
             EXPECT_EQ(entry(0, 2), "abc123/5/4/6");
             EXPECT_EQ(entry(1, 2), "/0/0/0") << "the current tool only";
             EXPECT_EQ(tab<PageParamBarcode>()->Entries()[2].code, "abc123");
         }},
        {"entry cleared", BarcodeTab, "pbRow7 = pbeOk", [&] { EXPECT_EQ(entry(0, 7), "/0/0/0"); }},
        {"entry stored in every driver", BarcodeTab, "pbRow0 =zz pbeP3 pbeAll pbeOk",
         [&] {
             EXPECT_EQ(entry(0, 0), "zz/3/0/0");
             EXPECT_EQ(entry(1, 0), "zz/3/0/0");
             EXPECT_EQ(writes(2), "") << "no controller";
         }},
        {"clear all", BarcodeTab, "pbClearAll %PageParamBarcode_ClearAll msgConfirm",
         [&] {
             EXPECT_EQ(entry(0, 29), "/0/0/0");
             EXPECT_EQ(entry(0, 2), "/0/0/0");
             EXPECT_EQ(tab<PageParamBarcode>()->Entries()[29].code, "");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.tab); // one screen for all cases: each new root would count a scan tick
        for (int k : {0, 1, 2})
            tools->trace(k);
        for (const std::string& s : words(c.steps)) {
            // Typed text goes on the keys into the field open: the barcode editor's, the
            // numpad's or the text keypad's.
            if (s[0] != '=') run(s.c_str());
            for (const char* field : {"pbeCode", "numpadField", "textKeypadField"})
                if (auto* e = find<QLineEdit>(field); s[0] == '=' && e && e->isVisible())
                    typeInto(field, QString::fromStdString(s.substr(1)));
            if (c.tab == BarcodeTab) waitRead();
        }
        c.check();
    }
    // An entry the tab could not read is refused, never erased by confirming it.
    setBarcode(0, 5, 4, "KEEP");
    ASSERT_EQ(tools->cmd("refuse 0 5000"), "ok");
    open(NetworkTab);
    open(BarcodeTab);
    ASSERT_EQ(tools->cmd("refuse 0 off"), "ok");
    press("pbRow5");
    if (find<QLineEdit>("pbeCode")) {
        typeInto("pbeCode", "");
        press("pbeOk");
    }
    EXPECT_EQ(msgText(), "Failed to read from the tool.");
    EXPECT_EQ(entry(0, 5), "KEEP/4/1/4");
}

} // namespace
