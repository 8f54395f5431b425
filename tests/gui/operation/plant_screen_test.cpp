// A plant client over Open Protocol against the job screen on toolsim's virtual tools, with
// the real result log and store: it selects the job, takes every result in order, drops the
// link mid-run and gets the missed one after reconnecting, fetches an old one, locks and
// unlocks the step's tool.
#include "JobScreenFixture.h"
#include "OpClient.h"
#include "opsrv.h"
#include "resultstore.h"

namespace {
using namespace job_screen_test;

class PlantScreenTest : public JobScreenTest {
  protected:
    void SetUp() override {
        JobScreenTest::SetUp();
        ASSERT_EQ(ResultStore_Init(), 0);
        get_setting_plant()->op_enable = 1;
        get_setting_plant()->op_port = 0; // any free port
        OpSrv_Init();
        ASSERT_TRUE(kest_test::WaitUntil([] { return OpSrv_BoundPort() > 0; }));
    }
    void TearDown() override {
        OpSrv_Stop();
        JobScreenTest::TearDown();
        ResultStore_Shutdown();
    }
    // The next telegram, the GUI and the driver queue running meanwhile.
    std::string answer(OpClient& c, int mid) {
        EXPECT_TRUE(until([&] { return c.has(); })) << "no answer, waiting for " << mid;
        return c.expect(mid);
    }
};

TEST_F(PlantScreenTest, AClientSelectsTheJobTakesEveryResultAcrossAReconnectAndLocksTheTool) {
    connectTools({2});
    const QString a = dev->GetTdxToolName(0);
    makeJob("body", {{kStepFasten, a, 5, 1}});
    PageOperationWithJob* page = openScreen();
    ASSERT_NE(page, nullptr);
    auto c = std::make_unique<OpClient>(OpSrv_BoundPort());
    c->start();
    c->send(38, 1, "02");
    EXPECT_EQ(answer(*c, 4), "003817") << "no second job";
    c->send(38, 1, "01");
    answer(*c, 5);
    EXPECT_EQ(page->Run().Jdx(), 0);
    ASSERT_TRUE(until([&] { return reg(0, 4001) == 0; })) << "the step's tool unlocked";
    c->send(60);
    answer(*c, 5);

    std::vector<int64_t> ids;
    for (int torque : {1234, 1300}) {
        ASSERT_EQ(tools->cmd("fasten 0 ok torque=" + std::to_string(torque)).rfind("ok", 0), 0u);
        const std::string d = answer(*c, 61);
        EXPECT_EQ(OpResultTorque(d), "00" + std::to_string(torque)) << d;
        ids.push_back(OpResultId(d));
        c->send(62);
    }
    EXPECT_EQ(ids[1], ids[0] + 1);
    ASSERT_TRUE(until([&] { return ResultStore_Cursor(OP_PEER) == ids[1]; }));

    // The link drops; a result made meanwhile follows the next subscription.
    c.reset();
    ASSERT_TRUE(until([] { return OpSrv_Connected() == 0; }));
    ASSERT_EQ(tools->cmd("fasten 0 ok torque=1400").rfind("ok", 0), 0u);
    ASSERT_TRUE(until([&] { return ResultStore_LastId() == ids[1] + 1; }));
    c = std::make_unique<OpClient>(OpSrv_BoundPort());
    c->start();
    c->send(60);
    answer(*c, 5);
    const std::string missed = answer(*c, 61);
    EXPECT_EQ(OpResultId(missed), ids[1] + 1);
    EXPECT_EQ(OpResultTorque(missed), "001400");
    c->send(62);

    char id[16];
    snprintf(id, sizeof id, "%010lld", static_cast<long long>(ids[0]));
    c->send(64, 1, id);
    EXPECT_NE(answer(*c, 65).find(id), std::string::npos);
    c->send(64, 1, "9999999999");
    EXPECT_EQ(answer(*c, 4), "006415");

    c->send(42);
    answer(*c, 5);
    EXPECT_EQ(reg(0, 4001), 1) << "locked by the plant";
    c->send(43);
    answer(*c, 5);
    EXPECT_EQ(reg(0, 4001), 0);
    EXPECT_TRUE(until([&] { return find<QLabel>("plantBacklog")->text() == "Plant: OP 0"; }))
        << find<QLabel>("plantBacklog")->text().toStdString();
    shot("PageOperationWithJob_Plant");
}

} // namespace
