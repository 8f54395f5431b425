// The MQTT publisher: its JSON, then against Debian's broker (mosquitto on a loopback port
// of the test's own, its files in the temp folder) with mosquitto_sub as the plant's
// subscriber in a persistent session.
#include "ChildProcess.h"
#include "FakeResultStore.h"
#include "MqttBroker.h"
#include "mqttpub.h"
#include "resultstore.h"
#include "unit_common.h"

#include <numeric>

using kest_test::WaitUntil;

namespace {
StoredResult fullRow() {
    StoredResult r;
    r.id = 42;
    r.time = "2026-12-08 14:03:05";
    r.utcOffset = 3600;
    r.job = "Door";
    r.step = "S1";
    r.tool = "ZQ-7";
    r.barcode = "VIN-1";
    r.preset = 3;
    r.targetTorque = 1250;
    r.torque = 1234;
    r.extra.unit = 2;
    r.speed = 300;
    r.a1 = 720;
    r.a2 = 10;
    r.a3 = 0;
    r.screw = 2;
    r.error = 0;
    r.direction = 0;
    r.status = 1;
    return r;
}
} // namespace

TEST(MqttJson, KeysEscapesDecimalsAndOffset) {
    const std::string tail = R"("speed":300,"angle1":720,"angle2":10,"angle3":0,"screw":2,)"
                             R"("error":0,"direction":0,"status":"OK"})";
    // What the row shows, the change made to the full row, the JSON it becomes.
    const std::tuple<const char*, std::function<void(StoredResult&)>, std::string> cases[] = {
        {"every field", [](StoredResult&) {},
         R"({"id":42,"time":"2026-12-08T14:03:05+01:00","job":"Door","step":"S1","tool":"ZQ-7",)"
         R"("barcode":"VIN-1","preset":3,"target_torque":12.50,"torque":12.34,"unit":"N.m",)" +
             tail},
        {"unknown: no job, step, tool, barcode \"-\", unit -1, bad time",
         [](StoredResult& r) {
             r.job = r.step = r.tool = "";
             r.barcode = "-";
             r.extra.unit = -1;
             r.time = "2026-12-08";
         },
         R"({"id":42,"preset":3,"target_torque":12.50,"torque":12.34,)" + tail},
        {"empty barcode, west offset, small and negative torque, NG",
         [](StoredResult& r) {
             r.barcode = "";
             r.utcOffset = -(5 * 3600 + 30 * 60);
             r.targetTorque = 5;
             r.torque = -7;
             r.extra.unit = 9; // beyond the table: shown modulo its size, as on the screens
             r.status = 2;
         },
         R"({"id":42,"time":"2026-12-08T14:03:05-05:30","job":"Door","step":"S1","tool":"ZQ-7",)"
         R"("preset":3,"target_torque":0.05,"torque":-0.07,"unit":"N.m",)" +
             tail.substr(0, tail.size() - 5) + "\"NG\"}"},
        {"escapes, control bytes, Latin-1 and UTF-8",
         [](StoredResult& r) {
             r.job = "a\"b\\c\n\t\x01";
             r.step = "Gr\xfc\xdf";            // Latin-1
             r.tool = "\xc3\xa9t\xe2\x82\xac"; // UTF-8 stays
             r.barcode = "\xc3(";              // broken UTF-8: Latin-1 bytes
             r.utcOffset = 0;
         },
         R"({"id":42,"time":"2026-12-08T14:03:05+00:00","job":"a\"b\\c\n\t\u0001",)"
         "\"step\":\"Gr\xc3\xbc\xc3\x9f\",\"tool\":\"\xc3\xa9t\xe2\x82\xac\","
         "\"barcode\":\"\xc3\x83(\","
         R"("preset":3,"target_torque":12.50,"torque":12.34,"unit":"N.m",)" +
             tail},
    };
    for (const auto& [what, change, expect] : cases) {
        StoredResult r = fullRow();
        change(r);
        EXPECT_EQ(Mqtt_ResultJson(r), expect) << what;
    }
    EXPECT_EQ(Mqtt_ClientId("SN 1234/A", "host"), "kest-SN1234A");
    EXPECT_EQ(Mqtt_ClientId("", "panel-7"), "kest-panel-7");
    EXPECT_EQ(Mqtt_ClientId("0123456789abcdefghijklmnop", nullptr), "kest-0123456789abcdefgh");
}

namespace {
struct MqttBrokerTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    RecordingSink sink;
    FakeResultStore store;
    kest_test::MqttBroker mqtt{env.root() + "/broker"};
    int port = mqtt.port;
    ChildProcess* broker = nullptr; // mqtt's running process
    std::unique_ptr<ChildProcess> sub;

    void SetUp() override {
        EwDriver_SetDeviceObject(&sink);
        store.base = fullRow();
        store.peer = MQTT_PEER;
    }
    void TearDown() override {
        Mqtt_Stop();
        EwDriver_SetDeviceObject(nullptr);
    }
    void startBroker(const std::string& extra = "allow_anonymous true\n") {
        std::string why;
        ASSERT_TRUE(mqtt.start("persistence true\nlog_type all\n" + extra, &why)) << why;
        broker = mqtt.process.get();
    }
    void startSubscriber() {
        sub = std::make_unique<ChildProcess>();
        ASSERT_TRUE(mqtt.subscribe(*sub, "plant-sub", "kest/station/#")) << broker->output();
    }
    void startPanel() {
        load_setting();
        set_vendor_info("SN-0042");
        Mqtt_ApplySetting(1, 0x7f000001, uint32_t(port), "kest/station", "", "");
        MqttStore ops = store.ops<MqttStore>();
        ops.backlog = [this](const char*) {
            std::lock_guard<std::mutex> g(store.lock);
            return size_t(
                std::count_if(store.rows.begin(), store.rows.end(),
                              [this](const StoredResult& r) { return r.id > store.cursor; }));
        };
        Mqtt_Start(ops);
        Threads_Init();
    }
    bool received(int64_t id) {
        std::string needle = "kest/station/results {\"id\":" + std::to_string(id) + ",";
        return sub->waitFor(needle);
    }
};
} // namespace

// Results arrive in order with their fields and move the cursor; with the broker down
// meanwhile, the missing ones follow its return in order.
TEST_F(MqttBrokerTest, ResultsArriveInOrderAndABrokerDownMeanwhileGetsTheMissingOnes) {
    // The broker saves its sessions at every change, so one killed keeps the subscriber's.
    startBroker("allow_anonymous true\nautosave_interval 1\nautosave_on_changes true\n");
    startSubscriber();
    ASSERT_TRUE(broker->waitFor("Saving in-memory database")) << broker->output();
    Debug_GetFlag()[DEBUG_FLAG_BEF].store(1);
    store.add(1); // logged before the publisher started
    startPanel();
    ASSERT_TRUE(sink.next("mqtt_state 2", 20000));
    EXPECT_EQ(std::tuple(Mqtt_State(), Mqtt_StateText()), std::tuple(MQTT_CONNECTED, "Connected"));
    ASSERT_TRUE(sub->waitFor("kest/station/status online"));
    // MQTT 3.1.1, the session kept (clean session off), 30 s keep-alive.
    EXPECT_TRUE(broker->waitFor(" as kest-SN-0042 (p2, c0, k30)")) << broker->output();
    for (int64_t id = 2; id <= 5; ++id)
        store.add(id);
    ASSERT_TRUE(WaitUntil([&] { return store.acked() == 5; }));
    // The broker acknowledges before it passes a result on: one stopped in between loses
    // it for its subscriber, which is the broker's loss, not the panel's.
    ASSERT_TRUE(received(5)) << sub->output();
    EXPECT_EQ(kest_test::ReceivedIds(sub->output(), "kest/station"),
              (std::vector<int64_t>{1, 2, 3, 4, 5}));
    StoredResult third = fullRow();
    third.id = 3;
    third.torque = 301;
    EXPECT_NE(sub->output().find("kest/station/results " + Mqtt_ResultJson(third) + "\n"),
              std::string::npos);

    // Published to a broker that takes nothing in and then dies: never acknowledged, so
    // published again from the cursor.
    kill(broker->pid(), SIGSTOP);
    for (int64_t id = 6; id <= 10; ++id)
        store.add(id);
    ASSERT_TRUE(log.waitFor("result 10 published"));
    kill(broker->pid(), SIGKILL);
    ASSERT_EQ(broker->wait(20000), 128 + SIGKILL);
    ASSERT_TRUE(sink.next("mqtt_state 1", 20000));
    for (int64_t id = 11; id <= 250; ++id) // more than the window
        store.add(id);
    EXPECT_EQ(Mqtt_Backlog(), 245u);
    EXPECT_EQ(store.acked(), 5);
    startBroker("allow_anonymous true\nautosave_interval 1\nautosave_on_changes true\n");
    ASSERT_TRUE(sink.next("mqtt_state 2", 30000));
    ASSERT_TRUE(received(250)) << sub->output();
    // Each one at least once, first arrivals in ID order.
    std::vector<int64_t> all(250);
    std::iota(all.begin(), all.end(), 1);
    EXPECT_EQ(kest_test::FirstArrivals(kest_test::ReceivedIds(sub->output(), "kest/station")), all);
    ASSERT_TRUE(WaitUntil([&] { return store.acked() == 250; }));
    EXPECT_EQ(Mqtt_Backlog(), 0u);
    EXPECT_TRUE(log.contains("broker 127.0.0.1:" + std::to_string(port)));

    // A restart with the publisher off says "offline" first.
    Mqtt_ApplySetting(0, 0x7f000001, uint32_t(port), "kest/station", "", "");
    ASSERT_TRUE(sink.waitFor("mqtt_state 0"));
    EXPECT_TRUE(sub->waitFor("kest/station/status offline"));
}
