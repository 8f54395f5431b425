// Saving a full parameter data file of a type-3 driver (35 blocks, the transducer block and
// the 30 barcode entries read through the device object, then the file written) against the
// same reads and barcode-window writes done by a plain libmodbus client of the same virtual
// tool (toolsim's code in this process, on loopback) in the same run.

#include "loopback_tool_bench.h"

#include "ApplicationDeviceClass.h"
#include "page/tools/ParamFile.h"
#include "page/tools/ParamFileRunner.h"

#include <QApplication>
#include <QFileInfo>
#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;

namespace {
// The save's Modbus traffic without the panel: false at the first failure.
bool rawSave(modbus_t* raw) {
    uint16_t buf[64];
    std::vector<ParamFile::Block> blocks = ParamFile::ReadBlocks();
    blocks.push_back(ParamFile::Type3Block);
    for (const ParamFile::Block& b : blocks)
        if (modbus_read_registers(raw, b.Start, b.Count, buf) != b.Count) return false;
    for (int i = 0; i < ParamFile::BarcodeEntries; ++i) {
        if (modbus_write_register(raw, ParamFile::BarcodeSelect, i) != 1) return false;
        for (const ParamFile::Block& b : ParamFile::BarcodeBlocks)
            if (modbus_read_registers(raw, b.Start, b.Count, buf) != b.Count) return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    const int saves = argc > 1 ? atoi(argv[1]) : 200;
    benchOffscreen();
    TestEnv env;
    QApplication app(argc, argv);
    auto tool = FakeTool::onLoopback({3});
    if (!tool) return 1;
    // Panel path: the tool registered and connected; raw path: libmodbus.
    modbus_t* raw = benchConnect(*tool);
    if (!raw) return 1;
    const QString path = "./files/bench.csv";

    // Both paths in alternating blocks, so a change of the machine's load hits both alike.
    Clock::duration rawTime{}, panelTime{};
    const int step = saves < 10 ? saves : 10;
    for (int done = 0; done < saves; done += step) {
        auto t0 = Clock::now();
        for (int i = 0; i < step; ++i)
            if (!rawSave(raw)) return 1;
        rawTime += Clock::now() - t0;
        t0 = Clock::now();
        for (int i = 0; i < step; ++i)
            if (QString m = ParamFileRunner::Save(0, path); !m.isEmpty()) {
                fprintf(stderr, "save failed at %d: %s\n", done + i, qPrintable(m));
                return 1;
            }
        panelTime += Clock::now() - t0;
    }
    modbus_close(raw);
    modbus_free(raw);
    const size_t lines = 3 + ParamFile::Registers(3).size() + 37 * ParamFile::BarcodeEntries;

    const double rawMs = std::chrono::duration<double, std::milli>(rawTime).count() / saves;
    const double panelMs = std::chrono::duration<double, std::milli>(panelTime).count() / saves;
    printf("parameter file save (type 3, %zu lines, %lld bytes) over loopback: raw reads "
           "%.3f ms, panel save %.3f ms, ratio %.2f\n",
           lines, (long long)QFileInfo(path).size(), rawMs, panelMs, panelMs / rawMs);
    ToolManager_DismissTool_All();
    return 0;
}
