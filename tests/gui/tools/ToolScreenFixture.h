// Set-up shared by the tool screens' tests: the shell over the real device object, the
// driver-to-GUI queue delivered on demand, and virtual tools on loopback that are
// discovered, registered and connected on the test's thread.
#pragma once

#include "ShellFixture.h"
#include "disco.h"
#include "mbus.h"
#include "operation.h"
#include "page/tools/PageTopDownBox.h"

#include <QAbstractItemView>
#include <QDir>
#include <QLabel>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

// The words of a table's list of presses, in turn.
inline std::vector<std::string> words(const char* text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

class ToolScreenTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        EwDriver_CreateQueue();
        EwDriver_SetDeviceObject(dev);
        Operation_Init();
        ToolManager_LoadRegTools();
    }
    void TearDown() override {
        for (int t = dev->GetRegtoolsLen() - 1; t >= 0; --t)
            dev->ToolLost(t);
        ShellTest::TearDown();
        tools.reset();
        dev->SetScreenCode(0);
    }
    // Tool i's scan answer: it joins the discovered table.
    void discover(int i) {
        const auto a = tools->ack(i);
        Disco_Proc(a.data(), a.size(), TOOL_NETIF_ETH);
        deliver();
    }
    // Registers virtual tool i and connects it on this thread; its index.
    int connect(int i) {
        discover(i);
        const int tdx = dev->GetRegtoolsLen();
        EXPECT_EQ(dev->RegisterDiscoTool(dev->GetDiscotoolsLen() - 1), 0);
        Modbus_MsgQProc_Connect(tdx);
        deliver();
        return tdx;
    }
    // Register `reg` of virtual tool t, set on the tool's side.
    void set(int t, int reg, int value) {
        ASSERT_EQ(tools->cmd("set " + std::to_string(t) + " " + std::to_string(reg) + " " +
                             std::to_string(value)),
                  "ok")
            << reg;
    }
    // Barcode entry `i` of tool t through the tool's window, as the barcode editor does.
    void setBarcode(int t, int i, int preset, const std::string& code) {
        set(t, 5000, i);
        set(t, 5001, preset);
        set(t, 5002, 1);
        set(t, 5003, int(code.size()));
        for (size_t k = 0; k < 32; ++k)
            set(t, 5007 + int(k), k < code.size() ? code[k] : 0);
        set(t, 5006, 1);
    }
    void clickCell(const char* view, int row, int column) {
        auto* v = find<QAbstractItemView>(view);
        ASSERT_NE(v, nullptr) << view;
        const QRect r = v->visualRect(v->model()->index(row, column));
        ASSERT_TRUE(r.isValid()) << view << " row " << row;
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, r.center());
        flush();
    }
    QString cellText(const char* view, int row, int column) {
        auto* v = find<QAbstractItemView>(view);
        return v ? v->model()->index(row, column).data().toString() : QString("(no %1)").arg(view);
    }
    // The pull-down tool panel on a new window, after a login with `pwd` (none: a guest).
    PageTopDownBox* openPanel(const char* pwd = nullptr) {
        makeRoot();
        if (pwd) login(pwd);
        root->OpenTopDownBox();
        flush();
        return qobject_cast<PageTopDownBox*>(root->TopDownBox());
    }
    QString text(const char* label) {
        auto* l = find<QLabel>(label);
        return l ? l->text() : QString("(no %1)").arg(label);
    }
    // sim/gpio's tree in the sysroot: "init", or "wire" with "POS LEVEL".
    int gpioTree(const std::string& verb, const std::string& args = "") {
        const std::string tree = std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree";
        return std::system((tree + " " + verb + " " + env->sysroot() + " " + args).c_str());
    }
    std::unique_ptr<FakeTool> tools;
};
