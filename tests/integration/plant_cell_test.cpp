// The MQTT publisher end to end in the simulated cell: the zqcapp process runs its job on a
// toolsim tool while Debian's broker serves in the tools' namespace and a plant subscriber
// (mosquitto_sub in a persistent session) takes the results there. With the broker frozen
// and then killed, the job goes on (every result logged, acknowledged and counted, the job
// ended and started again), and the results the broker missed follow its return, in order.
// Root only.
#include "JobCell.h"
#include "MqttBroker.h"
#include "setting.h"

#include <arpa/inet.h>
#include <csignal>

namespace {
using namespace jobcell;

TEST_F(JobRunCell, ResultsReachAPlantBrokerAcrossItsOutageWhileTheJobGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startCellTools({2}));
    kest_test::MqttBroker broker(env.root() + "/broker");
    broker.address = cell->toolIp(0);
    broker.launch = [&](const std::vector<std::string>& argv) {
        return cell->startOnToolsSide(argv);
    };
    // Sessions saved at every change: a killed broker keeps the subscriber's.
    const std::string conf = "allow_anonymous true\npersistence true\nautosave_interval 1\n"
                             "autosave_on_changes true\nlog_type all\n";
    std::string why;
    ASSERT_TRUE(broker.start(conf, &why)) << why;

    startupJob("cell", 1);
    SettingPlant* p = get_setting_plant();
    p->mqtt_enable = 1;
    p->mqtt_broker = ntohl(inet_addr(cell->toolIp(0).c_str()));
    p->mqtt_port = uint32_t(broker.port);
    setting_set_str(p->mqtt_topic, sizeof p->mqtt_topic, "plant/st7");
    ASSERT_EQ(save_setting(), 0);
    ASSERT_NO_FATAL_FAILURE(addJob("cell", {{names[0], 0, 3}}));
    startPanel();
    ASSERT_TRUE(tools->wait(0, "r4001=0 r4015=2", 30000));
    // The plant reaches the broker once the panel has raised its side of the cell.
    ChildProcess sub;
    ASSERT_TRUE(broker.subscribe(sub, "plant-mes", "plant/st7/#")) << broker.process->output();
    ASSERT_TRUE(sub.waitFor("plant/st7/status online")) << sub.output();

    auto fasten = [&](int n) {
        ASSERT_EQ(tools->cmd("fasten 0 ok torque=" + std::to_string(1200 + n)),
                  "ok " + std::to_string(n));
        ASSERT_TRUE(tools->wait(0, "acked>=" + std::to_string(n), 20000));
    };
    ASSERT_NO_FATAL_FAILURE(fasten(1));
    ASSERT_TRUE(sub.waitFor("plant/st7/results {\"id\":1,")) << sub.output();
    EXPECT_NE(sub.output().find("\"job\":\"cell\""), std::string::npos) << sub.output();
    EXPECT_NE(sub.output().find("\"torque\":12.01,"), std::string::npos) << sub.output();

    // Frozen: connected, answering nothing. The job screen takes the last two screws, ends
    // the job and starts it again (the tool locked, then unlocked) without waiting on it.
    kill(broker.process->pid(), SIGSTOP);
    tools->trace(0);
    ASSERT_NO_FATAL_FAILURE(fasten(2));
    ASSERT_NO_FATAL_FAILURE(fasten(3));
    std::string trace;
    ASSERT_TRUE(WaitUntil([&] {
        trace += " " + tools->trace(0);
        return inOrder(trace, {"4001=1", "4001=0"});
    })) << trace;
    EXPECT_EQ(logLines(env.home()), 3);

    kill(broker.process->pid(), SIGKILL);
    ASSERT_EQ(broker.process->wait(20000), 128 + SIGKILL);
    ASSERT_TRUE(broker.start(conf, &why)) << why;
    ASSERT_TRUE(sub.waitFor("plant/st7/results {\"id\":3,")) << sub.output();
    EXPECT_EQ(kest_test::FirstArrivals(kest_test::ReceivedIds(sub.output(), "plant/st7")),
              (std::vector<int64_t>{1, 2, 3}));
    EXPECT_NE(sub.output().find("\"torque\":12.03,"), std::string::npos) << sub.output();
    ASSERT_TRUE(panel.write("p"));
}
} // namespace
