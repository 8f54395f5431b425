// A result a tool has seen acknowledged is in the log file: checked at the moment the
// tool receives 4016 := 1, and after the panel process is killed (-9) right then. The
// panel is ack_harness (the driver layer logging and acknowledging as the job screen).
#include "ChildProcess.h"
#include "CsvRead.h"
#include "FakeTool.h"
#include "TestEnv.h"

#include <gtest/gtest.h>
#include <string>

namespace {
// Result records of the log, every day.
std::vector<std::vector<std::string>> logLines() {
    return LogRecords("files/log");
}

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
        startPanel();
        ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output();
        ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    }
    void startPanel() {
        panel = std::make_unique<ChildProcess>();
        ASSERT_TRUE(panel->start({ACK_HARNESS_PATH, env.home()}));
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
    auto l = logLines();
    ASSERT_EQ(l.size(), 1u) << "the acknowledgement reached the tool before the line";
    EXPECT_EQ(screwOf(l[0]), 7);
    ASSERT_TRUE(tools->wait(0, "acked=1")) << "the retry is answered";

    // Killed (-9) right after an acknowledgement, the panel has the line in the file.
    for (int i = 2; i <= 5; ++i) {
        ASSERT_EQ(tools->cmd("fasten 0 ok screw=" + std::to_string(i)), "ok " + std::to_string(i));
        ASSERT_TRUE(tools->wait(0, "acked=" + std::to_string(i))) << i;
        if (i == 5) panel->stop(); // at once: nothing more may reach the file
        auto l = logLines();
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
    startPanel();
    unsetenv("KEST_FAULT");
    ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output();
    ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    ASSERT_EQ(tools->cmd("fasten 0 ok screw=42"), "ok 1");
    ASSERT_TRUE(tools->wait(0, "acked=1"));
    panel->stop();
    EXPECT_TRUE(logLines().empty());
    const std::string spool = env.sysroot() + "/media/mmcblk1p1/spool.csv";
    ASSERT_TRUE(TestEnv::exists(spool));
    EXPECT_EQ(screwOf(CsvSplit(TestEnv::readFile(spool))), 42);
    startPanel();
    ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output();
    // The spool left behind is written by the writer's loop after start-up, not before it.
    ASSERT_TRUE(kest_test::WaitUntil([&] { return !TestEnv::exists(spool); })) << panel->output();
    auto l = logLines();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(screwOf(l[0]), 42);
}
