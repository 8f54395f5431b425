// Shared parts of the benchmarks that run the real job screen in the simulated cell: the
// panel process's GUI runtime (offscreen) and driver layer on the panel's side, toolsim's
// tools on the other, the GUI loop cycled until a condition holds, and the CSV result log.
#pragma once

#include "TestPaths.h"
#include "toolsim_bench.h"

#include "CsvRead.h"

#include "ApplicationApplication.h"
#include "ApplicationDeviceClass.h"
#include "EwRuntime.h"
#include "page/Screens.h"
#include "page/operation/PageOperationWithJob.h"
#include "setting.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <map>
#include <sstream>

namespace gbench {

using bench::nowUs;

// Runs GUI cycles until `pred` holds; false after `ms`. The timer only bounds each sleep
// of the loop so a condition set by another thread is seen.
template <class Pred> bool cycleUntil(Pred pred, int ms) {
    QTimer tick;
    tick.start(20);
    const uint64_t end = nowUs() + uint64_t(ms) * 1000u;
    while (!pred()) {
        if (nowUs() > end) return pred();
        EwProcess();
    }
    return true;
}

// Wakes the GUI loop from another thread.
inline void wakeGui() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

// The GUI runtime and the driver layer in `env`, connected to the n tools named in its
// "./regtools" (toolsim --write-regtools), with the job screen's settings.
inline bool startPanel(ToolCell& cell, const TestEnv& env, int n, bool backupManager) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string xdg = env.root() + "/xdg";
    std::filesystem::create_directories(xdg);
    std::filesystem::permissions(xdg, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
    std::filesystem::create_directories(env.home() + "/files/job");
    if (std::system(
            (std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + env.sysroot()).c_str()) !=
        0)
        return false;
    if (!EwInit()) return false;
    Debug_SetQuiet(true);
    cell.driverStarted();
    ApplicationDeviceClass* dev = ApplicationDevice();
    get_setting_operation()->operation_mode = 0;
    dev->OnSetBackupManager(backupManager);
    Disco_Send_ScanReq(0);
    return cycleUntil(
        [&] {
            for (int t = 0; t < n; t++)
                if (dev->GetTdxToolState(t) != TOOL_STATE_CONNECTED) return false;
            return true;
        },
        20000);
}

// A job of one fastening step on tool 0 with `screws` screws, saved; its index.
inline int makeJob(const QString& name, int screws) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    if (dev->JobCreateNew(name) != 0) return -1;
    const int jdx = dev->FindJdxByName(name);
    if (dev->JobLoad(jdx) != 0 || dev->StepCreateNew(kStepFasten) != 0) return -1;
    dev->SetFastenToolName(0, dev->GetTdxToolName(0));
    dev->SetFastenNoScrews(0, screws);
    if (dev->JobSave(jdx) != 0) return -1;
    dev->JobFree();
    return jdx;
}

// The operator presses the home screen's Operation tile; the job screen once it is up.
inline PageOperationWithJob* openJobScreen() {
    auto* tile = EwRootObject()->findChild<QPushButton*>("tileOperation");
    if (!tile) return nullptr;
    tile->click();
    PageOperationWithJob* page = nullptr;
    cycleUntil(
        [&] {
            page = qobject_cast<PageOperationWithJob*>(Screens::Find(ScreenId::OperationWithJob));
            return page != nullptr;
        },
        10000);
    return page;
}

// The result lines of every day file under the data home's log folder, split into fields.
inline std::vector<std::vector<std::string>> logLines(const std::string& home) {
    return LogRecords(home + "/files/log");
}
constexpr size_t kFieldTool = 4, kFieldScrew = 13;

// Per tool name the screw numbers of its lines, in file order.
inline std::map<std::string, std::vector<int>>
screwsByTool(const std::vector<std::vector<std::string>>& lines) {
    std::map<std::string, std::vector<int>> m;
    for (const auto& f : lines)
        if (f.size() > kFieldScrew) m[f[kFieldTool]].push_back(std::atoi(f[kFieldScrew].c_str()));
    return m;
}

// True when `seq` is exactly 1..n.
inline bool isOneToN(const std::vector<int>& seq, int n) {
    if (int(seq.size()) != n) return false;
    for (int i = 0; i < n; i++)
        if (seq[size_t(i)] != i + 1) return false;
    return true;
}

} // namespace gbench
