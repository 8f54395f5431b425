// Operation without job: the time to append one result to the result table holding
// about a thousand rows and redraw it, on the screen (its model, styled view, fixed row
// heights) against a bare QTableView over the same model class and the same event table,
// measured in the same run on the offscreen platform. Reports both and their ratio.
#include "ApplicationDeviceClass.h"
#include "common.h"
#include "debug.h"
#include "operation.h"
#include "page/operation/FetTableModel.h"
#include "page/operation/PageOperationWithoutJob.h"
#include "setting.h"
#include "tools_private.h"
#include "wire.h"

#include <QApplication>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {
constexpr int kRows = 1000;
uint16_t tid = 0;

// One result into the driver's table, as the event reader adds it.
void appendResult() {
    toolsim::EventRecord r;
    r.number = ++tid;
    r.status = uint16_t(1 + tid % 2);
    r.convTorque = uint16_t(1000 + tid % 300);
    r.targetTorque = 1200;
    r.speed = 700;
    const std::vector<uint8_t> frame = toolsim::encodeEventFrame(2, tid, r);
    RegToolsLock lock;
    add_fet_item(0, frame.data(), int(frame.size()));
}

PageOperationWithoutJob* screen = nullptr;
QTableView* bare = nullptr;
FetTableModel* bareModel = nullptr;

void BM_ScreenTable(benchmark::State& state) {
    FetTableModel* model = screen->Model();
    QTableView* view = screen->Table();
    for (auto _ : state) {
        appendResult();
        model->Sync();
        view->scrollToBottom();
        view->repaint();
    }
    state.counters["rows"] = model->rowCount();
}

void BM_BareTableView(benchmark::State& state) {
    for (auto _ : state) {
        appendResult();
        bareModel->Sync();
        bare->scrollToBottom();
        bare->repaint();
    }
    state.counters["rows"] = bareModel->rowCount();
}

BENCHMARK(BM_ScreenTable)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_BareTableView)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The console report, and the real time per iteration of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            real[r.run_name.function_name] = r.GetAdjustedRealTime();
            cpu[r.run_name.function_name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> real, cpu;
};
} // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/kest-bench-free-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_NO_GLIB", "1", 1);
    setenv("KEST_SYSROOT", (root + "/sysroot").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    Common_MkdirP(root + "/home");
    Common_SetHome((root + "/home").c_str());
    Debug_SetQuiet(true);
    load_setting();
    Operation_Init();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    for (int i = 0; i < kRows; ++i)
        appendResult();
    QWidget window;
    window.setFixedSize(1280, 760);
    screen = new PageOperationWithoutJob(&window);
    screen->setGeometry(window.rect());
    window.show();
    screen->Model()->Sync();
    // The bare view: same model class over the same table, same size and columns.
    bareModel = new FetTableModel(
        [] { return ApplicationDevice()->GetFetLen(); },
        [](int i, UnitFetItem* out) { return ApplicationDevice()->GetFetItem(i, out); });
    std::vector<int> fields;
    for (int c = 1; c < screen->Model()->columnCount(); ++c)
        fields.push_back(screen->Model()->FieldOf(c));
    bareModel->SetFields(fields);
    bareModel->Sync();
    bare = new QTableView;
    bare->setModel(bareModel);
    bare->resize(screen->Table()->size());
    for (int c = 0; c < bareModel->columnCount(); ++c)
        bare->setColumnWidth(c, screen->Table()->columnWidth(c));
    bare->show();
    QApplication::processEvents();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* const names[] = {"BM_ScreenTable", "BM_BareTableView"};
    const double rs = reporter.real[names[0]], rb = reporter.real[names[1]];
    const double cs = reporter.cpu[names[0]], cb = reporter.cpu[names[1]];
    if (rs > 0 && rb > 0 && cs > 0 && cb > 0)
        printf("append + redraw with %d rows: screen %.0f us (cpu %.0f), bare QTableView %.0f us "
               "(cpu %.0f); ratio screen/bare %.2f real, %.2f cpu\n",
               screen->Model()->rowCount(), rs, cs, rb, cb, rs / rb, cs / cb);
    delete bare;
    delete bareModel;
    benchmark::Shutdown();
    return 0;
}
