// Refreshing one parameter tab (its value block and the two limit blocks read through the
// device object, then every line configured) against three raw libmodbus reads of the same
// blocks from the same virtual tool (toolsim's code in this process, on loopback) in the
// same run. The tab is the "Contoller" one of a driver with transducer: its settings block
// and, for that type, the crow-foot block.

#include "loopback_tool_bench.h"

#include "ApplicationDeviceClass.h"
#include "page/parameters/PageParamController.h"
#include "page/parameters/ParameterMap.h"

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int refreshes = argc > 1 ? atoi(argv[1]) : 2000;
    benchOffscreen();
    TestEnv env;
    QApplication app(argc, argv);
    auto tool = FakeTool::onLoopback({3});
    if (!tool) return 1;
    // Panel path: the tool registered, connected and made current; raw path: libmodbus.
    modbus_t* raw = benchConnect(*tool);
    if (!raw) return 1;
    ApplicationDevice()->OnSetCurrTdx(0);
    PageParamController tab;
    tab.resize(1240, 640);
    tab.show();
    const ParameterMap::Block b = ParameterMap::ToolSettingsBlock();
    const ParameterMap::Block crow = ParameterMap::CrowFootBlock();
    uint16_t buf[125];

    // Both paths in alternating blocks, so a change of the machine's load hits both alike.
    Clock::duration rawTime{}, panelTime{};
    for (int done = 0; done < refreshes; done += 100) {
        auto t0 = Clock::now();
        for (int i = 0; i < 100; ++i)
            for (const ParameterMap::Block& k : {crow, b})
                for (int off : {0, ParameterMap::kLower, ParameterMap::kUpper})
                    if (modbus_read_registers(raw, k.First + off, k.Count, buf) != k.Count)
                        return 1;
        rawTime += Clock::now() - t0;
        t0 = Clock::now();
        for (int i = 0; i < 100; ++i) {
            tab.Reload();
            if (!tab.Values().Valid()) {
                fprintf(stderr, "panel refresh failed at %d\n", done + i);
                return 1;
            }
        }
        panelTime += Clock::now() - t0;
    }
    // Both saw the same tool: the block's last upper limit as the raw read gave it.
    const int last = b.First + b.Count - 1;
    const auto* shown = tab.findChild<QPushButton*>(QString("param%1Value").arg(last));
    if (!shown || tab.Values().At(last).Upper != buf[b.Count - 1]) {
        fprintf(stderr, "the tab and the raw reads disagree on register %d\n", last);
        return 1;
    }
    modbus_close(raw);
    modbus_free(raw);

    const double rawMs = std::chrono::duration<double, std::milli>(rawTime).count() / refreshes;
    const double panelMs = std::chrono::duration<double, std::milli>(panelTime).count() / refreshes;
    printf("parameter tab refresh (3 x %d + 3 x %d registers, %d lines) over loopback: raw "
           "reads %.3f ms, panel tab %.3f ms, ratio %.2f\n",
           b.Count, crow.Count, int(ParameterMap::ToolSettings().size()), rawMs, panelMs,
           panelMs / rawMs);
    ToolManager_DismissTool_All();
    return 0;
}
