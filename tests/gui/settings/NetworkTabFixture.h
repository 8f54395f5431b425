// Shared set-up of the network and share tab tests: a tab on its own over the real device
// object, its widgets entered and pressed by object name, its message box read back, and
// the settings as the file holds them.
#pragma once

#include "ShellFixture.h"
#include "UnitMessageBox.h"
#include "page/settings/SettingsRestarts.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <sstream>

class TabTest : public ShellTest {
  protected:
    void TearDown() override {
        tab.reset();
        SettingsRestarts::Instance().Cancel(SettingsRestarts::Wifi);
        SettingsRestarts::Instance().Cancel(SettingsRestarts::Ftp);
        ShellTest::TearDown();
    }
    template <class T> void open() {
        tab.reset();
        flush();
        tab.reset(new T);
        tab->resize(1200, 700);
        tab->show();
        flush();
    }
    // A widget of the tab (of the window when no tab is open).
    template <class W = QPushButton> W* widget(const char* name) const {
        return tab ? tab->findChild<W*>(name) : find<W>(name);
    }
    // Presses a button or a switch where a finger would (a switch's box is at its left).
    void tap(const char* name) {
        auto* b = widget<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isVisible() && b->isEnabled()) << name;
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
        flush();
    }
    // Taps, entries and pictures in turn: "name" taps it, "name=text" types the text into it
    // ("+" a space; into its four octet fields when it has them), "%name" takes that picture.
    void fill(const std::string& script) {
        std::istringstream in(script);
        for (std::string w; in >> w;) {
            const size_t eq = w.find('=');
            const std::string name = w.substr(0, eq);
            const QString text = QString::fromStdString(w.substr(eq + 1)).replace('+', ' ');
            if (w[0] == '%')
                shot(w.c_str() + 1);
            else if (eq == std::string::npos)
                tap(name.c_str());
            else if (widget<QLineEdit>((name + "_0").c_str()))
                for (int i = 0; i < 4; ++i)
                    enter((name + "_" + std::to_string(i)).c_str(), text.section('.', i, i));
            else
                enter(name.c_str(), text);
        }
    }
    // Types into a field as the keypad would (the field's validator applies).
    void enter(const char* name, const QString& text) {
        auto* e = widget<QLineEdit>(name);
        ASSERT_NE(e, nullptr) << name;
        e->clear();
        QTest::keyClicks(e, text);
    }
    // "Title / text" of the open message box of the tab (the window when no tab is open),
    // "" for none; the box is closed.
    std::string dialog() {
        UnitMessageBox* box = nullptr;
        QWidget* in = tab ? static_cast<QWidget*>(tab.get()) : root;
        for (auto* b : in->findChildren<UnitMessageBox*>())
            if (b->isVisible()) box = b;
        if (!box) return "";
        std::string s = (box->Title() + " / " + box->Text()).toStdString();
        QTest::mouseClick(box->findChild<QPushButton*>("msgClose"), Qt::LeftButton);
        flush();
        return s;
    }
    // The settings as the file holds them.
    static Setting fileSetting() {
        Setting s = *get_default_setting();
        std::string t = TestEnv::readFile("files/setting/setting.kest");
        setting_parse_text(&s, t.data(), t.size());
        return s;
    }
    // Waits for a stub line; the milliseconds since `since`, -1 when it never came.
    qint64 waitStub(const std::string& line, const QElapsedTimer& since) {
        auto seen = [&] { return std::ranges::count(env->stubCalls(), line) > 0; };
        if (!QTest::qWaitFor(seen, int(kest_test::kWaitLimit.count()))) return -1;
        return since.elapsed();
    }
    std::unique_ptr<Page> tab;
};
