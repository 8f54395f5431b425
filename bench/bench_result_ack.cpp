// Result to acknowledgement: the time from toolsim sending a fastening result to the
// tool's 4016 := 1 being answered, with the result's log line flushed to disk in between,
// for 8 virtual tools at 5 results/s each over the simulated cell. The panel path is the
// driver layer with a consumer doing what the job screen does (take the result, format
// the line, hand it to the log writer, which acknowledges after the flush). Beside it in
// the same run the raw path: libmodbus receive, append + fdatasync, one Modbus write.
// Reports p50 and p99 of both and their ratio. Needs root (namespaces); else skipped.
#include "toolsim_bench.h"

#include "eventlog.h"

#include <deque>
#include <fcntl.h>

using namespace bench;

namespace {
// The panel side: results are logged and acknowledged through the log writer.
class AckLink : public PanelLink {
  public:
    std::mutex lock;
    std::deque<uint64_t> stamps[8]; // send times of the lines waiting for their ack
    std::vector<double> lat;

    void TriggerFastenEvent(int32_t t) override {
        FastenResult r{};
        if (t < 0 || t > 7 || Operation_TakeEvent(t, &r) != 0) return;
        struct tm now;
        Common_LocalTime(&now);
        std::string line = EventLog_FormatLine(now, "", "", "-", "tool", r);
        {
            std::lock_guard<std::mutex> g(lock);
            stamps[t].push_back(stampOf(r.A1, r.A2, r.A3));
        }
        EventLog_Queue(line, t);
    }
    void ackWritten(int t) {
        const uint64_t now = nowUs();
        std::lock_guard<std::mutex> g(lock);
        if (stamps[t].empty()) return;
        lat.push_back(double(now - stamps[t].front()));
        stamps[t].pop_front();
    }
    size_t count() {
        std::lock_guard<std::mutex> g(lock);
        return lat.size();
    }
};
} // namespace

int main() {
    if (geteuid() != 0) {
        std::puts("bench_result_ack: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const int tools = 8, rate = 5;
    const int seconds = std::getenv("BENCH_SECONDS") ? std::atoi(std::getenv("BENCH_SECONDS")) : 20;
    const int per = rate * seconds, total = tools * per;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) {
        std::fprintf(stderr, "bench_result_ack: cell did not come up\n");
        return 1;
    }

    std::vector<double> raw;
    {
        TestEnv env;
        auto sim = startTools(*cell, tools, {});
        RawLink link;
        if (!sim || !sim->ok() || !link.open(*cell, tools)) return 1;
        link.writeAll(4015, 2);
        raw = link.durableAckLatencies(total, [&] { startBursts(*sim, tools, per, rate); });
    }
    std::vector<double> panel;
    {
        TestEnv env;
        auto sim = startTools(*cell, tools, {"--write-regtools", env.home() + "/regtools"});
        AckLink link;
        EventLog_SetAckWriter([&link](int t) {
            int rc = Modbus_Write(t, MBUS_REG_EVENT_ACK, 1, 1);
            link.ackWritten(t);
            return rc;
        });
        if (!sim || !sim->ok() || !link.start(tools, *cell, env)) {
            std::fprintf(stderr, "bench_result_ack: panel did not connect the tools\n");
            return 1;
        }
        for (int t = 0; t < tools; t++) {
            Modbus_Write(t, MBUS_REG_TOOL_LOCK, 0, 1);
            fastening_event_enable(t, 1);
        }
        startBursts(*sim, tools, per, rate);
        for (int waited = 0; waited < (seconds + 10) * 100 && int(link.count()) < total; waited++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10)); // bounds the wait
        link.stop();
        std::lock_guard<std::mutex> g(link.lock);
        panel = link.lat;
    }
    std::printf("result to acknowledgement with the line on disk, %d tools x %d results/s, %d s\n",
                tools, rate, seconds);
    reportLatencies("raw (append+fdatasync+write)", raw, "panel (log writer, then ack)", panel);
    const bool complete = int(raw.size()) >= total && int(panel.size()) >= total;
    if (!complete) std::printf("  INCOMPLETE: expected %d results on each path\n", total);
    cell.reset();
    std::fflush(stdout);
    _exit(complete ? 0 : 1); // the driver's worker threads are not joined
}
