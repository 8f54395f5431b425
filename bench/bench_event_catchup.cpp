// Catch-up of stored results: 8 virtual tools hold 2000 results each while event output
// is off; output is then turned on (stored results first) and every result is
// acknowledged with 4016 before the tool sends the next. Results per second through the
// panel's event channel to a consumer thread, beside a raw libmodbus loop in the same
// run. Needs root (network namespaces); otherwise skipped.
#include "toolsim_bench.h"

using namespace bench;

int main() {
    if (geteuid() != 0) {
        std::puts("bench_event_catchup: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const int tools = 8;
    const int stored = std::getenv("BENCH_STORED") ? std::atoi(std::getenv("BENCH_STORED")) : 2000;
    const int total = tools * stored;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) return 1;
    auto fill = [&](Toolsim& sim) {
        sim.cmd("burst all " + std::to_string(stored) + " 0");
        for (int t = 0; t < tools; t++)
            if (sim.stat(t, "pending") != stored) return false;
        return true;
    };

    double rawSecs = 0, panelSecs = 0;
    int rawGot = 0;
    std::atomic<int> panelGot{0};
    {
        auto sim = startTools(*cell, tools, {});
        RawLink link;
        if (!sim || !sim->ok() || !fill(*sim) || !link.open(*cell, tools)) return 1;
        const uint64_t t0 = nowUs();
        link.writeAll(4015, 1);
        link.receive([&](int, const uint8_t*, int) { rawGot++; }, [&] { return rawGot >= total; });
        rawSecs = double(nowUs() - t0) / 1e6;
    }
    {
        TestEnv env;
        auto sim = startTools(*cell, tools, {"--write-regtools", env.home() + "/regtools"});
        PanelLink link;
        link.onResult = [&](int, const FastenResult&) { panelGot++; };
        if (!sim || !sim->ok() || !fill(*sim) || !link.start(tools, *cell, env)) {
            std::fprintf(stderr, "bench_event_catchup: panel did not connect the tools\n");
            return 1;
        }
        const uint64_t t0 = nowUs();
        for (int t = 0; t < tools; t++)
            fastening_event_enable(t, 0);
        uint64_t last = nowUs();
        int seen = 0;
        while (panelGot.load() < total && nowUs() - last < 5000000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (panelGot.load() != seen) {
                seen = panelGot.load();
                last = nowUs();
            }
        }
        panelSecs = double(nowUs() - t0) / 1e6;
        for (int t = 0; t < tools; t++)
            if (sim->stat(t, "pending") != 0)
                std::printf("  tool %d: results left in the tool\n", t);
        link.stop();
    }
    const double rawRate = rawSecs > 0 ? rawGot / rawSecs : 0;
    const double panelRate = panelSecs > 0 ? panelGot.load() / panelSecs : 0;
    std::printf("catch-up of %d x %d stored results, one acknowledge each\n", tools, stored);
    std::printf("  raw libmodbus loop : %d results in %.2f s, %.0f results/s\n", rawGot, rawSecs,
                rawRate);
    std::printf("  panel to consumer  : %d results in %.2f s, %.0f results/s\n", panelGot.load(),
                panelSecs, panelRate);
    std::printf("  ratio panel/raw    : %.2f\n", rawRate > 0 ? panelRate / rawRate : 0);
    const bool complete = rawGot >= total && panelGot.load() >= total;
    if (!complete) std::printf("  INCOMPLETE: expected %d results on each path\n", total);
    cell.reset();
    std::fflush(stdout);
    _exit(complete ? 0 : 1); // the driver's worker threads are not joined
}
