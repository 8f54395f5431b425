// Shared set-up of the GUI tests: a temporary data home and sysroot with loaded settings,
// instant transitions, the real device object over real files, the sounds recorded, and
// stand-in pages for screens that are not built yet.
#pragma once

#include "ApplicationApplication.h"
#include "ApplicationDeviceClass.h"
#include "CsvRead.h"
#include "FakeTool.h"
#include "Navigator.h"
#include "Page.h"
#include "TestEnv.h"
#include "Timer.h"
#include "UiSound.h"
#include "Wait.h"
#include "browser.h"
#include "debug.h"
#include "eventlog.h"
#include "ew_driver.h"
#include "page/Screens.h"
#include "setting.h"
#include "tools_private.h"
#include "unit/UnitBrowser.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>

// Storage figures by board path, for the low-space checks (a temporary folder cannot be
// made 90 % full).
inline std::map<std::string, BrowserStorageStat>& storageFigures() {
    static std::map<std::string, BrowserStorageStat> m;
    return m;
}
inline int storageHook(const char* path, BrowserStorageStat* out) {
    auto it = storageFigures().find(path);
    if (it == storageFigures().end()) return -2;
    *out = it->second;
    return 0;
}

// A registered tool as the test lays it into "./regtools" and the registry.
struct RegisteredTool {
    const char* name;
    uint8_t type;   // 1 XWC, 2 ZQ, 3 ZQT, 4 XWTC
    uint32_t state; // connection state 0..5
};

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.reset(); // leave the old data home before entering a new one
        env = std::make_unique<TestEnv>();
        load_setting();
        Debug_Init();
        Navigator::SetInstant(true);
        played.clear();
        created.clear();
        recordSounds();
        storageFigures().clear();
        Browser_SetStorageStatHook(storageHook);
        dev = ApplicationDevice();
        dev->OnSetUserLevel(0);
        dev->OnSetDebugPageOpen(false);
        dev->OnSetCurrTdx(-1);
    }
    void TearDown() override {
        delete root;
        root = nullptr;
        flush();
        // Event-output changes of the screens just closed wait behind the log's lines:
        // done before the next test's tools take their places.
        EventLog_Flush();
        for (int i = 0; i < int(ScreenId::Count); ++i)
            Screens::SetFactory(ScreenId(i), nullptr);
        UiSound_SetSink(nullptr);
        Browser_SetStorageStatHook(nullptr);
        env.reset();
    }
    ApplicationApplication* makeRoot() {
        root = new ApplicationApplication;
        // The tests drive discovery by hand: the periodic scan's keep-alive would count
        // their tools' unanswered scans and dismiss them when a slow machine stretches a
        // test past four periods.
        if (!scanning) root->ScanTimer()->SetEnabled(false);
        recordSounds(); // the root plays through the sound module; the tests count them
        root->show();
        flush();
        return root;
    }
    static void flush() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Driver events to the screens.
    static void deliver() {
        EwDriver_ProcessData();
        flush();
    }
    // Delivers driver events and the GUI's own until `pred` holds.
    template <class Pred> static bool until(Pred pred) {
        return kest_test::WaitUntil([&] {
            deliver();
            return pred();
        });
    }
    // Renders the window (or `w`) to $KEST_SCREENS_DIR/<name>.png (build/screens) for review,
    // at its own full size; the screen it is named after (up to a '_'), when the window holds
    // one by that object or class name, is the one shown.
    void shot(const char* name, QWidget* w = nullptr) {
        const char* dir = getenv("KEST_SCREENS_DIR");
        const QString out = dir ? dir : QString(KEST_BINARY_DIR) + "/screens";
        QDir().mkpath(out);
        flush();
        const QString screen = QString(name).section('_', 0, 0);
        int named = 0, shown = 0;
        for (QWidget* c : root ? root->findChildren<QWidget*>() : QList<QWidget*>())
            if (c->objectName() == screen || screen == c->metaObject()->className())
                ++named, shown += c->isVisible();
        EXPECT_TRUE(named == 0 || shown > 0) << name << " is not shown";
        const QPixmap picture = (w ? w : root)->grab();
        EXPECT_EQ(picture.width(), (w ? w : root)->width()) << name;
        const QString path = out + "/" + name + ".png";
        ASSERT_TRUE(picture.save(path)) << path.toStdString();
    }
    template <class T = QPushButton> T* find(const char* name) const {
        return root ? root->findChild<T*>(name) : nullptr;
    }
    // The text of the label `name` while it is shown, "" otherwise; of the message box shown.
    QString shownText(const char* name) const {
        auto* l = find<QLabel>(name);
        return l && l->isVisible() ? l->text() : QString();
    }
    QString msgText() const { return shownText("msgText"); }
    // The screen behind a home tile, pressed on a new window (after a login with `pwd`).
    template <class P> P* openTile(const char* tile, ScreenId id, const char* pwd = nullptr) {
        makeRoot();
        if (pwd) login(pwd);
        press(tile);
        return qobject_cast<P*>(Screens::Find(id));
    }
    void press(const char* name) {
        auto* b = find<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        ASSERT_TRUE(b->isVisible()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
        flush();
    }
    void type(const QString& text) {
        for (QChar c : text)
            press(("key_" + QString(c)).toLatin1().constData());
    }
    void login(const QString& pwd) {
        press("tileLogin");
        type(pwd);
        press("passwordOk");
    }
    void setInternalUsage(int percent) {
        TestEnv::writeFile(env->sysroot() + "/media/mmcblk3p2/.keep", "");
        uint64_t total = 100ull << 30;
        storageFigures()["/media/mmcblk3p2"] = {total, total - total * uint64_t(percent) / 100};
    }
    // Stand-in pages for screens not built yet; created[id] counts them.
    void standIn(std::initializer_list<ScreenId> ids) {
        for (ScreenId id : ids)
            Screens::SetFactory(id, [this, id] {
                ++created[id];
                return new Page;
            });
    }
    void standInAll() {
        for (int i = 0; i < int(ScreenId::Count); ++i)
            if (!Screens::Built(ScreenId(i))) standIn({ScreenId(i)});
    }
    // Tools in "./regtools", loaded into the registry with their connection states.
    void registerTools(std::initializer_list<RegisteredTool> tools) {
        std::string file;
        uint8_t mac = 0;
        for (const RegisteredTool& t : tools)
            file += regRecord(t.name, ++mac, t.type, 0);
        TestEnv::writeFile("regtools", file);
        ASSERT_EQ(ToolManager_LoadRegTools(), 0);
        int tdx = 0;
        for (const RegisteredTool& t : tools)
            setToolState(tdx++, t.state);
    }
    static void setToolState(int tdx, uint32_t state) {
        RegToolsLock lock;
        ToolManager_SetState_Locked(tdx, ToolManager_RegTool(tdx), state, false);
    }
    // The open browser: into `folder` (when given), `file` highlighted (none: the folder
    // itself), then OK.
    void browserPick(const QString& file, const QString& folder = {}) {
        auto* b = root->findChild<UnitBrowser*>("UnitBrowser");
        ASSERT_NE(b, nullptr);
        if (!folder.isEmpty()) {
            ASSERT_TRUE(b->Model().Enter(folder));
        }
        const auto& items = b->Model().Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].Name == file) b->Model().SetHighlight(int(i));
        press("browserOk");
    }
    // The key lines of the settings file by key.
    static std::map<std::string, std::string> settingsKeys() {
        std::map<std::string, std::string> keys;
        for (const std::string& line : FileLines("files/setting/setting.kest")) {
            const size_t eq = line.find("= ");
            if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
            keys[line.substr(0, line.find_last_not_of(' ', eq - 1) + 1)] = line.substr(eq + 2);
        }
        return keys;
    }
    int sounds(UiSoundKind k) const { return int(std::count(played.begin(), played.end(), k)); }

    std::unique_ptr<TestEnv> env;
    ApplicationDeviceClass* dev = nullptr;
    ApplicationApplication* root = nullptr;
    bool scanning = false; // the root's periodic discovery scan runs
    std::map<ScreenId, int> created;
    std::vector<UiSoundKind> played;

  private:
    void recordSounds() {
        UiSound_SetSink([this](UiSoundKind k) { played.push_back(k); });
    }
};
