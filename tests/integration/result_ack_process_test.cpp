// A result a tool has seen acknowledged is in the log file: checked at the moment the
// tool receives 4016 := 1, and after the panel process is killed (-9) right then. The
// panel is ack_harness (the driver layer logging and acknowledging as the job screen).
#include "ChildProcess.h"
#include "CsvRead.h"
#include "FakeTool.h"
#include "LoopbackPort.h"
#include "OpClient.h"
#include "TestEnv.h"
#include "setting.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {
// The Screw no column of a result record.
int screwOf(const std::vector<std::string>& record) {
    return record.size() > 13 ? std::atoi(record[13].c_str()) : -1;
}

struct ResultAckProcess : ::testing::Test {
    TestEnv env;
    std::unique_ptr<FakeTool> tools;
    std::unique_ptr<ChildProcess> panel;
    void SetUp() override {
        tools = FakeTool::onLoopback({2}, {"--write-regtools", env.home() + "/regtools"});
        ASSERT_TRUE(tools && tools->ok());
        ASSERT_NO_FATAL_FAILURE(startPanel());
        ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    }
    // A panel, up once it has connected the tool.
    void startPanel() {
        panel = std::make_unique<ChildProcess>();
        ASSERT_TRUE(panel->start({ACK_HARNESS_PATH, env.home()}));
        ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output();
    }
};
} // namespace

TEST_F(ResultAckProcess, TheToolSeesTheAckOnlyWhenTheLineIsInTheFileEvenAfterKillNine) {
    // The tool leaves the first acknowledgement unanswered, so the panel waits inside
    // that write: the file is looked at while the tool holds the request.
    ASSERT_EQ(tools->cmd("ignore 0 1"), "ok");
    ASSERT_EQ(tools->cmd("fasten 0 ok screw=7"), "ok 1");
    std::string trace;
    ASSERT_TRUE(kest_test::WaitUntil([&] {
        trace += tools->trace(0);
        return trace.find("~4016=1") != std::string::npos;
    })) << trace;
    auto l = LogRecords("files/log");
    ASSERT_EQ(l.size(), 1u) << "the acknowledgement reached the tool before the line";
    EXPECT_EQ(screwOf(l[0]), 7);
    ASSERT_TRUE(tools->wait(0, "acked=1")) << "the retry is answered";

    // Killed (-9) right after an acknowledgement, the panel has the line in the file.
    for (int i = 2; i <= 5; ++i) {
        ASSERT_EQ(tools->cmd("fasten 0 ok screw=" + std::to_string(i)), "ok " + std::to_string(i));
        ASSERT_TRUE(tools->wait(0, "acked=" + std::to_string(i))) << i;
        if (i == 5) panel->stop(); // at once: nothing more may reach the file
        auto l = LogRecords("files/log");
        ASSERT_EQ(l.size(), size_t(i)) << "after ack " << i;
        EXPECT_EQ(screwOf(l.back()), i);
    }
}

// KEST_FAULT makes the whole internal log unwritable: the result is acknowledged, kept
// in the spool on the card (flushed before the ack), and a panel started after a kill -9
// without the fault writes it to the log at start.
TEST_F(ResultAckProcess, SpooledResultSurvivesKillNineAndIsWrittenAtTheNextStart) {
    panel.reset();
    env.insertCard();
    setenv("KEST_FAULT", ("eacces:" + env.home() + "/files/log").c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(startPanel()); // the fault is in the started panel's environment
    unsetenv("KEST_FAULT");
    ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    ASSERT_EQ(tools->cmd("fasten 0 ok screw=42"), "ok 1");
    ASSERT_TRUE(tools->wait(0, "acked=1"));
    panel->stop();
    EXPECT_TRUE(LogRecords("files/log").empty());
    const std::string spool = env.sysroot() + "/media/mmcblk1p1/spool.csv";
    ASSERT_TRUE(TestEnv::exists(spool));
    EXPECT_EQ(screwOf(CsvSplit(TestEnv::readFile(spool))), 42);
    ASSERT_NO_FATAL_FAILURE(startPanel());
    // The spool left behind is written by the writer's loop after start-up, not before it.
    ASSERT_TRUE(kest_test::WaitUntil([&] { return !TestEnv::exists(spool); })) << panel->output();
    auto l = LogRecords("files/log");
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(screwOf(l[0]), 42);
}

// A plant client subscribed over Open Protocol while the panel is killed (-9) right after a
// tool saw an acknowledgement, the line in the file and its delivery not yet made. After
// every start the client gets what it has not acknowledged, in order, each result under the
// ID it was first sent with, and in the end every line of the file once.
TEST_F(ResultAckProcess, KillNineBetweenTheLineAndThePlantLosesAndRenumbersNothing) {
    panel.reset();
    const int port = kest_test::FreePort();
    load_setting();
    get_setting_plant()->op_enable = 1;
    get_setting_plant()->op_port = uint32_t(port);
    ASSERT_EQ(save_setting(), 0);

    std::map<int64_t, std::string> torqueOf; // by tightening ID, as first delivered
    std::map<std::string, int64_t> idOf;
    int64_t acked = 0;
    // Takes a delivery: one ID per result and one result per ID, IDs in order within a session
    // (a resend repeats the last; after a kill a new session may repeat what was acknowledged
    // before the store wrote the cursor, under the same IDs).
    auto take = [&](const std::string& d, int64_t* last) {
        const int64_t id = OpResultId(d);
        const std::string torque = OpResultTorque(d);
        EXPECT_GE(id, *last) << d;
        *last = id;
        auto [t, newId] = torqueOf.emplace(id, torque);
        EXPECT_EQ(t->second, torque) << "ID " << id << " sent for two results";
        auto [i, newTorque] = idOf.emplace(torque, id);
        EXPECT_EQ(i->second, id) << "result " << torque << " sent under two IDs";
    };
    int made = 0;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("start " + std::to_string(round + 1));
        ASSERT_NO_FATAL_FAILURE(startPanel());
        ASSERT_TRUE(kest_test::WaitUntil([&] { return kest_test::PortListening(port); }));
        // The probe above was a client too: the server takes the next once it saw it go.
        std::unique_ptr<OpClient> session;
        ASSERT_TRUE(kest_test::WaitUntil([&] {
            session = std::make_unique<OpClient>(port);
            session->send(1);
            return session->next().mid == 2;
        }));
        OpClient& c = *session;
        c.send(60);
        ASSERT_EQ(c.next().mid, 5);
        // What the client had not acknowledged comes first, in order.
        int64_t last = 0;
        auto newest = [&] { return torqueOf.empty() ? int64_t(0) : torqueOf.rbegin()->first; };
        while (int(torqueOf.size()) < made || acked < newest()) {
            const OpReply r = c.next();
            ASSERT_EQ(r.mid, 61) << r.data << panel->output();
            take(r.data, &last);
            c.send(62);
            acked = std::max(acked, last);
        }
        if (round == 3) break;
        for (int i = 0; i < 2; ++i) {
            ++made;
            const std::string torque = std::to_string(1000 + made);
            ASSERT_EQ(tools->cmd("fasten 0 ok torque=" + torque), "ok " + std::to_string(made));
            ASSERT_TRUE(tools->wait(0, "acked=" + std::to_string(made)));
        }
        panel->stop(); // right after the tool's acknowledgement
        // What reached the client before the kill (the first of the two, or resends of
        // it): taken, never acknowledged, so the next start sends it again.
        for (OpReply r = c.next(); r.mid == 61; r = c.next())
            take(r.data, &last);
    }
    const auto lines = LogRecords("files/log");
    ASSERT_EQ(int(lines.size()), made);
    EXPECT_EQ(int(idOf.size()), made) << "every line delivered";
    for (int i = 1; i <= made; ++i)
        EXPECT_EQ(idOf.count("00" + std::to_string(1000 + i)), 1u) << i;
}
