// Result to acknowledgement through the job screen: the time from toolsim sending a
// fastening result to the answer of its 4016 := 1, with the result's line flushed to the
// day's CSV in between, for 8 virtual tools at 5 results/s each while the real job screen
// (offscreen) runs a job whose step is on tool 0. Every result goes the panel's way: the
// driver's event channel, the GUI loop, the screen's run state, the durable log writer,
// then the acknowledgement. Beside it in the same run the raw path: libmodbus receive,
// append + fdatasync, one Modbus write. Reports p50 and p99 of both and their ratios, and
// checks the log holds every result. The plant's two peers take every result in the same
// run: an Open Protocol client and an MQTT subscriber on Debian's broker (on the panel's
// loopback), each with the time from the tool's send to its receipt, p50 and p99. Needs root
// (namespaces); otherwise skipped. BENCH_SECONDS sets the length of the load (default 15).
#include "gui_cell_bench.h"
#include "plant_bench.h"

#include "LoopbackPort.h"
#include "MqttBroker.h"
#include "resultstore.h"

#include "UnitTdxData.h"
#include "eventlog.h"
#include "page/operation/UnitStepFastenView.h"

#include <deque>
#include <fcntl.h>
#include <set>

using namespace bench;
using namespace gbench;

namespace {
const int kTools = 8, kRate = 5;

std::vector<double> rawPath(ToolCell& cell, int total, int per) {
    std::vector<double> raw;
    TestEnv env;
    auto sim = startTools(cell, kTools, {});
    RawLink link;
    if (!sim || !sim->ok() || !link.open(cell, kTools)) return raw;
    link.writeAll(4015, 2);
    return link.durableAckLatencies(total, [&] { startBursts(*sim, kTools, per, kRate); });
}

// Send times of the results the screen took and the times their acknowledgements were
// answered, per tool. A tool sends its next result only after the ack, so the n-th of
// each belong together, whichever of the two is recorded first.
struct Stamps {
    std::mutex lock;
    std::deque<uint64_t> sent[kTools], acked[kTools];
    std::vector<double> lat;
    int stolen = 0;
    void pair(int t) {
        while (!sent[t].empty() && !acked[t].empty()) {
            lat.push_back(double(acked[t].front() - sent[t].front()));
            sent[t].pop_front();
            acked[t].pop_front();
        }
    }
};
} // namespace

int main() {
    if (geteuid() != 0) {
        std::puts("bench_gui_result_ack_screen: skipped (needs root for the cell's namespaces)");
        return 0;
    }
    const int seconds = std::getenv("BENCH_SECONDS") ? std::atoi(std::getenv("BENCH_SECONDS")) : 15;
    const int per = kRate * seconds, total = kTools * per;
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) {
        std::fprintf(stderr, "bench_gui_result_ack_screen: cell did not come up\n");
        return 1;
    }
    const std::vector<double> raw = rawPath(*cell, total, per);

    TestEnv env;
    // The plant: a broker here and both peers switched on in the panel's settings.
    kest_test::MqttBroker broker(env.root() + "/broker");
    std::string why;
    if (!broker.start("allow_anonymous true\nlog_type all\n", &why)) {
        std::fprintf(stderr, "bench_gui_result_ack_screen: broker did not start: %s\n",
                     why.c_str());
        return 1;
    }
    bench::Receipts atOp, atMqtt;
    bench::MqttPlantSub mqttSub;
    if (!mqttSub.start("127.0.0.1", broker.port, "plant/bench", &atMqtt) ||
        !broker.process->waitFor("Sending SUBACK to bench-plant")) {
        std::fprintf(stderr, "bench_gui_result_ack_screen: no subscription: %s\n",
                     broker.process->output().c_str());
        return 1;
    }
    const int opPort = kest_test::FreePort();
    load_setting();
    SettingPlant* plant = get_setting_plant();
    plant->op_enable = 1;
    plant->op_port = uint32_t(opPort);
    plant->mqtt_enable = 1;
    plant->mqtt_broker = 0x7f000001;
    plant->mqtt_port = uint32_t(broker.port);
    setting_set_str(plant->mqtt_topic, sizeof plant->mqtt_topic, "plant/bench");
    save_setting();
    auto sim = startTools(*cell, kTools, {"--write-regtools", env.home() + "/regtools"});
    bench::OpPlantClient opClient;
    if (!sim || !sim->ok() || !startPanel(*cell, env, kTools, false) ||
        !opClient.start(opPort, &atOp)) {
        std::fprintf(stderr, "bench_gui_result_ack_screen: panel did not connect the tools\n");
        return 1;
    }
    // The step takes more screws than tool 0 sends, so the job screen stays on it.
    const int jdx = makeJob("load", 99);
    PageOperationWithJob* page = openJobScreen();
    if (jdx < 0 || !page) {
        std::fprintf(stderr, "bench_gui_result_ack_screen: no job or no job screen\n");
        return 1;
    }
    page->Run().JobLoad(jdx);
    // Event output on, with or without the stored results first: a "connected" the screen
    // meets after its start renews output with them (the tool holds none here).
    if (!cycleUntil([&] { return sim->reg(0, 4001) == 0 && sim->reg(0, 4015) != 0; }, 20000)) {
        std::fprintf(stderr,
                     "bench_gui_result_ack_screen: the step did not unlock tool 0 (4001=%ld "
                     "4015=%ld, step tool %d)\n",
                     sim->reg(0, 4001), sim->reg(0, 4015), page->Run().StepTool());
        return 1;
    }
    // The other tools fasten too (unlocked at the tool): their results are logged and
    // acknowledged without counting for the step.
    for (int t = 1; t < kTools; t++)
        sim->cmd("lock " + std::to_string(t) + " 0");

    // The screen takes each result in its handler; this one, connected after it, reads
    // the same record again (toolsim sends a tool's next result only after the ack).
    Stamps st;
    QObject::connect(&ApplicationDevice()->FastenEvent, &SystemEvent::triggered, [&](QObject* ctx) {
        const int t = static_cast<UnitTdxData*>(ctx)->Tdx;
        FastenResult r{};
        const int rc = Operation_TakeEvent(t, &r);
        if (t < 0 || t >= kTools || rc < 0) return;
        std::lock_guard<std::mutex> g(st.lock);
        if (rc == 0) st.stolen++; // the screen had not taken it
        st.sent[t].push_back(stampOf(r.A1, r.A2, r.A3));
        st.pair(t);
    });
    EventLog_SetAckWriter([&st](int t) {
        const int rc = Modbus_Write(t, MBUS_REG_EVENT_ACK, 1, 1);
        const uint64_t now = nowUs();
        std::lock_guard<std::mutex> g(st.lock);
        if (t >= 0 && t < kTools) {
            st.acked[t].push_back(now);
            st.pair(t);
        }
        return rc;
    });

    std::atomic<bool> done{false};
    bool acked = true;
    std::thread load([&] {
        startBursts(*sim, kTools, per, kRate);
        for (int t = 0; t < kTools; t++)
            if (!sim->wait(t, "acked>=" + std::to_string(per), (seconds + 30) * 1000))
                acked = false;
        done = true;
        wakeGui();
    });
    cycleUntil([&] { return done.load(); }, (seconds + 60) * 1000);
    load.join();
    ApplicationDevice()->FlushEventLog();
    cycleUntil([&] { return atOp.size() >= size_t(total) && atMqtt.size() >= size_t(total); },
               30000);
    // Send to receipt: the send stamp is in the stored row's angles.
    auto toPlant = [](bench::Receipts& r) {
        std::vector<double> lat;
        std::lock_guard<std::mutex> g(r.lock);
        for (auto [id, at] : r.at) {
            StoredResult row;
            if (ResultStore_Get(id, &row) == 0)
                lat.push_back(
                    double(at - stampOf(uint16_t(row.a1), uint16_t(row.a2), uint16_t(row.a3))));
        }
        return lat;
    };
    const std::vector<double> op = toPlant(atOp), mqtt = toPlant(atMqtt);
    const auto lines = logLines(env.home());
    // With a job loaded every line names the step's tool; the send stamps (A1..A3) tell
    // the results apart: every one logged, none twice.
    std::set<std::string> stamps;
    for (const auto& f : lines)
        if (f.size() > 12) stamps.insert(f[10] + "." + f[11] + "." + f[12]);
    const int distinct = int(stamps.size());
    std::vector<double> panel;
    int stolen;
    {
        std::lock_guard<std::mutex> g(st.lock);
        panel = st.lat;
        stolen = st.stolen;
    }
    // Tool 0's results counted on the step: the screen judged them.
    const QString counted = page->FastenView()->Counter();

    std::printf("result to acknowledgement through the job screen, %d tools x %d results/s, %d s\n",
                kTools, kRate, seconds);
    reportLatencies("raw (append+fdatasync+write)", raw, "job screen (GUI, log, then ack)", panel);
    std::printf(
        "  result to the plant, same run: 0061 on the client p50 %.0f us, p99 %.0f us (%zu);"
        " MQTT subscriber p50 %.0f us, p99 %.0f us (%zu)\n",
        pct(op, 0.5), pct(op, 0.99), op.size(), pct(mqtt, 0.5), pct(mqtt, 0.99), mqtt.size());
    std::printf("  check: %zu log lines, %d distinct results, toolsim acked all: %s,"
                " step counter %s\n",
                lines.size(), distinct, acked ? "yes" : "no", counted.toStdString().c_str());
    const bool ok = int(raw.size()) >= total && int(panel.size()) >= total && acked &&
                    int(lines.size()) == total && distinct == total && stolen == 0 &&
                    counted == QString::number(per) && int(op.size()) == total &&
                    int(mqtt.size()) == total;
    if (!ok)
        std::printf("  INCOMPLETE: expected %d results on each path (%d read early)\n", total,
                    stolen);
    sim.reset();
    cell.reset();
    std::fflush(stdout);
    _exit(ok ? 0 : 1); // the driver's worker threads are not joined
}
