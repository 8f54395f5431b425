// Latency from a tool sending a fastening result to the "fastening" event reaching a
// consumer thread: 8 virtual tools at 20 results/s each, over the simulated cell. Beside
// it, in the same run, a raw libmodbus receive loop on the same traffic. Reports p50 and
// p99 of both and their ratio. Needs root (network namespaces); otherwise skipped.
#include "toolsim_bench.h"

using namespace bench;

int main() {
    if (geteuid() != 0) {
        std::puts("bench_event_latency: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const int tools = 8, rate = 20;
    const int seconds = std::getenv("BENCH_SECONDS") ? std::atoi(std::getenv("BENCH_SECONDS")) : 10;
    const int per = rate * seconds, total = tools * per;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) {
        std::fprintf(stderr, "bench_event_latency: cell did not come up\n");
        return 1;
    }

    std::vector<double> raw, panel;
    {
        auto sim = startTools(*cell, tools, {});
        RawLink link;
        if (!sim || !sim->ok() || !link.open(*cell, tools)) return 1;
        link.writeAll(4015, 2);
        startBursts(*sim, tools, per, rate);
        link.receive(
            [&](int, const uint8_t* f, int) {
                const auto be = [&](int o) { return uint16_t((f[o] << 8) | f[o + 1]); };
                raw.push_back(double(nowUs() - stampOf(be(21), be(23), be(25))));
            },
            [&] { return int(raw.size()) >= total; });
    }
    {
        TestEnv env;
        auto sim = startTools(*cell, tools, {"--write-regtools", env.home() + "/regtools"});
        std::mutex m;
        PanelLink link;
        link.onResult = [&](int, const FastenResult& r) {
            std::lock_guard<std::mutex> g(m);
            panel.push_back(double(nowUs() - stampOf(r.A1, r.A2, r.A3)));
        };
        if (!sim || !sim->ok() || !link.start(tools, *cell, env)) {
            std::fprintf(stderr, "bench_event_latency: panel did not connect the tools\n");
            return 1;
        }
        for (int t = 0; t < tools; t++) {
            Modbus_Write(t, MBUS_REG_TOOL_LOCK, 0, 1);
            fastening_event_enable(t, 1);
        }
        startBursts(*sim, tools, per, rate);
        for (int waited = 0; waited < (seconds + 10) * 100; waited++) {
            {
                std::lock_guard<std::mutex> g(m);
                if (int(panel.size()) >= total) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        link.stop();
    }
    std::printf("event latency, %d tools x %d results/s, %d s\n", tools, rate, seconds);
    reportLatencies("raw libmodbus loop", raw, "panel to consumer", panel);
    const bool complete = int(raw.size()) >= total && int(panel.size()) >= total;
    if (!complete) std::printf("  INCOMPLETE: expected %d results on each path\n", total);
    cell.reset();
    std::fflush(stdout);
    _exit(complete ? 0 : 1); // the driver's worker threads are not joined
}
