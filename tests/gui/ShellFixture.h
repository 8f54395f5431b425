// Shared set-up of the shell GUI tests: a temporary data home and sysroot with loaded
// settings, instant transitions, and shell services the test controls.
#pragma once

#include "ApplicationApplication.h"
#include "ApplicationDeviceClass.h"
#include "Navigator.h"
#include "ShellServices.h"
#include "TestEnv.h"
#include "browser.h"
#include "debug.h"
#include "ew_driver.h"
#include "setting.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>

struct FakeTool {
    int type;
    int conn;
    QString name;
};

// Records what the shell asks of the modules that join later.
class FakeServices : public ShellServices {
  public:
    std::vector<FakeTool> tools;
    QStringList drives;
    bool wifi = false, tray = false;
    std::map<QString, int> jobs;
    std::vector<UiSoundKind> sounds;
    int scans = 0, netInits = 0, driveRefreshes = 0, barcodeRefreshes = 0;
    std::vector<int> loadedJobs;

    int RegtoolsLen() override { return int(tools.size()); }
    int ToolState(int tdx) override { return tools.at(size_t(tdx)).conn; }
    int ToolType(int tdx) override { return tools.at(size_t(tdx)).type; }
    QString ToolName(int tdx) override {
        return tdx >= 0 && size_t(tdx) < tools.size() ? tools[size_t(tdx)].name : QString();
    }
    void Sound(UiSoundKind k) override { sounds.push_back(k); }
    void DiscoScan() override { ++scans; }
    void NetInit() override { ++netInits; }
    bool IsWifiConnected() override { return wifi; }
    int RefreshDrvs() override { return ++driveRefreshes, int(drives.size()); }
    QStringList Drives() override { return drives; }
    void BarcodeRefreshDev() override { ++barcodeRefreshes; }
    bool IsBstConnect() override { return tray; }
    int FindJob(const QString& name) override {
        auto it = jobs.find(name);
        return it == jobs.end() ? -1 : it->second;
    }
    void LoadJob(int jdx) override { loadedJobs.push_back(jdx); }
    int count(UiSoundKind k) const { return int(std::count(sounds.begin(), sounds.end(), k)); }
};

// Storage figures by board path, for the low-space checks.
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

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.reset(); // leave the old data home before entering a new one
        env = std::make_unique<TestEnv>();
        load_setting();
        Debug_Init();
        Navigator::SetInstant(true);
        services = new FakeServices;
        ShellServices::Set(services);
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
        Browser_SetStorageStatHook(nullptr);
        ShellServices::Set(nullptr);
        env.reset();
    }
    ApplicationApplication* makeRoot() {
        root = new ApplicationApplication;
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
    template <class T = QPushButton> T* find(const char* name) const {
        return root ? root->findChild<T*>(name) : nullptr;
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
    void setInternalUsage(int percent) {
        TestEnv::writeFile(env->sysroot() + "/media/mmcblk3p2/.keep", "");
        uint64_t total = 100ull << 30;
        storageFigures()["/media/mmcblk3p2"] = {total, total - total * uint64_t(percent) / 100};
    }

    std::unique_ptr<TestEnv> env;
    FakeServices* services = nullptr;
    ApplicationDeviceClass* dev = nullptr;
    ApplicationApplication* root = nullptr;
};
