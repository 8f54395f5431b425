// Stored-results catch-up through the job screen's dialog: 8 virtual tools hold 2000
// results each (fastened before the panel connects); the job screen, with "backup
// manager" on and a job loaded, opens the stored-results dialog, all tools are chosen and
// confirmed, and the run ends when toolsim has seen every result acknowledged. Checked:
// 16000 lines in the day's CSV, per tool the screw numbers 1..2000 in order (none lost,
// none twice), toolsim's acknowledged count, nothing left stored. Beside it in the same
// run the raw path: a bare libmodbus loop that appends the results of a batch, fdatasyncs
// once and acknowledges each, over all tools at once and tool by tool.
// Needs root (network namespaces); otherwise skipped. BENCH_STORED sets the count per tool.
#include "gui_cell_bench.h"

#include "UnitStoredResults.h"
#include "page/operation/UnitStepFastenView.h"

#include <QCheckBox>
#include <fcntl.h>

using namespace bench;
using namespace gbench;

namespace {
const int kTools = 8;

bool fill(Toolsim& sim, int stored) {
    if (sim.cmd("burst all " + std::to_string(stored) + " 0").rfind("ok", 0) != 0) return false;
    for (int t = 0; t < kTools; t++)
        if (!sim.wait(t, "pending>=" + std::to_string(stored), 20000)) return false;
    return true;
}

struct RawRun {
    double secs = 0;
    int got = 0;
    bool ordered = true;
};

// Drains the stored results of the tools in `groups` (one group after the other, the
// tools of a group at once): per poll round every frame received is appended, one
// fdatasync, then each acknowledged.
RawRun rawDrain(ToolCell& cell, int stored, const std::vector<std::vector<int>>& groups,
                const std::string& csv) {
    RawRun run;
    auto sim = startTools(cell, kTools, {});
    RawLink link;
    if (!sim || !sim->ok() || !fill(*sim, stored) || !link.open(cell, kTools)) return run;
    const int fd = open(csv.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::vector<int> last(kTools, 0);
    const uint64_t t0 = nowUs();
    uint8_t buf[MODBUS_TCP_MAX_ADU_LENGTH];
    for (const auto& group : groups) {
        std::vector<pollfd> fds;
        for (int t : group) {
            modbus_write_register(link.data[size_t(t)], 4015, 1);
            fds.push_back({modbus_get_socket(link.ev[size_t(t)]), POLLIN, 0});
        }
        int want = int(group.size()) * stored, got = 0;
        std::string lines;
        std::vector<int> ready;
        while (got < want && poll(fds.data(), fds.size(), 5000) > 0) {
            lines.clear();
            ready.clear();
            for (size_t i = 0; i < fds.size(); i++) {
                if (!(fds[i].revents & POLLIN)) continue;
                const int t = group[i];
                const int n = modbus_receive_confirmation(link.ev[size_t(t)], buf);
                if (n < 37) continue;
                const auto be = [&](int o) { return uint16_t((buf[o] << 8) | buf[o + 1]); };
                const int screw = be(27);
                if (screw != last[size_t(t)] + 1) run.ordered = false;
                last[size_t(t)] = screw;
                char line[96];
                const int len =
                    snprintf(line, sizeof line, "%d,%u,%u,%d\n", t, be(11), be(17), screw);
                lines.append(line, size_t(len));
                ready.push_back(t);
            }
            if (ready.empty()) continue;
            (void)!write(fd, lines.data(), lines.size());
            fdatasync(fd);
            for (int t : ready)
                modbus_write_register(link.data[size_t(t)], 4016, 1);
            got += int(ready.size());
            run.got += int(ready.size());
        }
    }
    run.secs = double(nowUs() - t0) / 1e6;
    close(fd);
    for (int t = 0; t < kTools; t++)
        if (sim->stat(t, "pending") != 0) run.ordered = false;
    return run;
}
} // namespace

int main() {
    if (geteuid() != 0) {
        std::puts("bench_gui_catchup_dialog: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const int stored = std::getenv("BENCH_STORED") ? std::atoi(std::getenv("BENCH_STORED")) : 2000;
    const int total = kTools * stored;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) {
        std::fprintf(stderr, "bench_gui_catchup_dialog: cell did not come up\n");
        return 1;
    }

    RawRun rawAll, rawEach;
    {
        TestEnv env;
        std::vector<int> all;
        std::vector<std::vector<int>> each;
        for (int t = 0; t < kTools; t++)
            all.push_back(t), each.push_back({t});
        rawAll = rawDrain(*cell, stored, {all}, env.home() + "/raw.csv");
        rawEach = rawDrain(*cell, stored, each, env.home() + "/raw.csv");
    }

    TestEnv env;
    auto sim = startTools(*cell, kTools, {"--write-regtools", env.home() + "/regtools"});
    if (!sim || !sim->ok() || !fill(*sim, stored) || !startPanel(*cell, env, kTools, true)) {
        std::fprintf(stderr, "bench_gui_catchup_dialog: panel did not connect the tools\n");
        return 1;
    }
    const int jdx = makeJob("catchup", 5);
    PageOperationWithJob* page = openJobScreen();
    if (jdx < 0 || !page) {
        std::fprintf(stderr, "bench_gui_catchup_dialog: no job or no job screen\n");
        return 1;
    }
    page->Run().JobLoad(jdx);
    if (!cycleUntil([&] { return page->StoredDialog() != nullptr; }, 20000)) {
        std::fprintf(stderr, "bench_gui_catchup_dialog: the stored-results dialog did not open\n");
        return 1;
    }
    UnitStoredResults* dlg = page->StoredDialog();
    // The dialog shows the pending counts once it has read them.
    cycleUntil(
        [&] {
            for (int t = 0; t < kTools; t++)
                if (dlg->PendingText(t) != QString::number(stored)) return false;
            return true;
        },
        10000);
    for (int t = 0; t < kTools; t++)
        if (auto* box = dlg->findChild<QCheckBox*>(QString("storedCollect%1").arg(t)))
            if (!box->isChecked()) box->click();
    auto* confirm = dlg->findChild<QPushButton*>("storedConfirm");
    if (!confirm) return 1;

    // toolsim waits inside itself until each tool has seen all its results acknowledged.
    std::atomic<bool> done{false};
    std::atomic<uint64_t> t1{0};
    bool acked = true;
    const uint64_t t0 = nowUs();
    confirm->click();
    std::thread waiter([&] {
        for (int t = 0; t < kTools; t++)
            if (!sim->wait(t, "acked>=" + std::to_string(stored), 120000)) acked = false;
        t1 = nowUs();
        done = true;
        wakeGui();
    });
    cycleUntil([&] { return done.load(); }, 150000);
    waiter.join();
    const double secs = double(t1.load() - t0) / 1e6;
    const bool closed = cycleUntil([&] { return page->StoredDialog() == nullptr; }, 10000);

    // None lost, none twice, in order per tool; nothing left in the tools.
    ApplicationDevice()->FlushEventLog();
    const auto lines = logLines(env.home());
    const auto byTool = screwsByTool(lines);
    int inOrder = 0;
    for (int t = 0; t < kTools; t++) {
        auto it = byTool.find(ApplicationDevice()->GetTdxToolName(t).toStdString());
        if (it != byTool.end() && isOneToN(it->second, stored)) inOrder++;
    }
    long ackedSum = 0, left = 0;
    for (int t = 0; t < kTools; t++) {
        ackedSum += sim->stat(t, "acked");
        left += sim->stat(t, "pending");
    }
    // Stored results never count for the loaded job's step.
    const QString counted = page->FastenView()->Counter();
    const bool ok = acked && closed && counted == "0" && int(lines.size()) == total &&
                    inOrder == kTools && ackedSum == total && left == 0 && rawAll.got == total &&
                    rawEach.got == total && rawAll.ordered && rawEach.ordered;

    const double rate = secs > 0 ? total / secs : 0;
    const double allRate = rawAll.secs > 0 ? rawAll.got / rawAll.secs : 0;
    const double eachRate = rawEach.secs > 0 ? rawEach.got / rawEach.secs : 0;
    std::printf("stored-results catch-up through the job screen's dialog, %d x %d results\n",
                kTools, stored);
    std::printf("  raw, all tools at once   : %d results in %.2f s, %.0f results/s\n", rawAll.got,
                rawAll.secs, allRate);
    std::printf("  raw, one tool at a time  : %d results in %.2f s, %.0f results/s\n", rawEach.got,
                rawEach.secs, eachRate);
    std::printf("  job screen dialog        : %d results in %.2f s, %.0f results/s\n", total, secs,
                rate);
    std::printf("  ratio dialog/raw         : %.2f (all at once), %.2f (one at a time)\n",
                allRate > 0 ? rate / allRate : 0, eachRate > 0 ? rate / eachRate : 0);
    std::printf("  check: %zu log lines, %d/%d tools 1..%d in order, toolsim acked %ld, left %ld,"
                " dialog %s, step counter %s\n",
                lines.size(), inOrder, kTools, stored, ackedSum, left,
                closed ? "closed" : "still open", counted.toStdString().c_str());
    if (!ok) std::printf("  FAILED: a result was lost, repeated or out of order\n");
    sim.reset();
    cell.reset();
    std::fflush(stdout);
    _exit(ok ? 0 : 1); // the driver's worker threads are not joined
}
