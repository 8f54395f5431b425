// A result a tool has seen acknowledged is in the log file: checked at the moment the
// tool receives 4016 := 1, and after the panel process is killed (-9) right then. The
// panel is ack_harness (the driver layer logging and acknowledging as the job screen).
#include "CsvRead.h"
#include "FakeTool.h"
#include "TestEnv.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
struct Harness {
    pid_t pid = -1;
    int out = -1;
    std::string output;
    explicit Harness(const std::string& home) {
        int p[2];
        if (pipe(p) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, p[1], 1);
        posix_spawn_file_actions_addclose(&fa, p[0]);
        std::string exe = ACK_HARNESS_PATH;
        char* argv[] = {exe.data(), const_cast<char*>(home.c_str()), nullptr};
        if (posix_spawn(&pid, argv[0], &fa, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(p[1]);
        out = p[0];
    }
    ~Harness() {
        if (pid > 0) kill9();
        if (out >= 0) close(out);
    }
    bool waitFor(const std::string& needle, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (output.find(needle) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) return false;
            pollfd p{out, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0) continue;
            char buf[512];
            ssize_t n = read(out, buf, sizeof buf);
            if (n <= 0) return false;
            output.append(buf, size_t(n));
        }
        return true;
    }
    void kill9() {
        kill(pid, SIGKILL);
        int st;
        waitpid(pid, &st, 0);
        pid = -1;
    }
};

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
    std::unique_ptr<Harness> panel;
    void SetUp() override {
        tools = FakeTool::onLoopback({2}, {"--write-regtools", env.home() + "/regtools"});
        ASSERT_TRUE(tools && tools->ok());
        panel = std::make_unique<Harness>(env.home());
        ASSERT_GT(panel->pid, 0);
        ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output;
        ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    }
};
} // namespace

TEST_F(ResultAckProcess, TheToolSeesTheAckOnlyWhenTheLineIsInTheFile) {
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
}

TEST_F(ResultAckProcess, KillNineRightAfterTheAckKeepsTheLine) {
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(tools->cmd("fasten 0 ok screw=" + std::to_string(i)), "ok " + std::to_string(i));
        ASSERT_TRUE(tools->wait(0, "acked=" + std::to_string(i))) << i;
        if (i == 5) panel->kill9(); // at once: nothing more may reach the file
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
    TestEnv::writeFile(env.sysroot() + "/dev/mmcblk1p1", "");
    setenv("KEST_FAULT", ("eacces:" + env.home() + "/files/log").c_str(), 1);
    panel = std::make_unique<Harness>(env.home());
    unsetenv("KEST_FAULT");
    ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output;
    ASSERT_TRUE(tools->wait(0, "r4015=2 r4001=0"));
    ASSERT_EQ(tools->cmd("fasten 0 ok screw=42"), "ok 1");
    ASSERT_TRUE(tools->wait(0, "acked=1"));
    panel->kill9();
    EXPECT_TRUE(logLines().empty());
    const std::string spool = env.sysroot() + "/media/mmcblk1p1/spool.csv";
    ASSERT_TRUE(TestEnv::exists(spool));
    EXPECT_EQ(screwOf(CsvSplit(TestEnv::readFile(spool))), 42);
    panel = std::make_unique<Harness>(env.home());
    ASSERT_TRUE(panel->waitFor("connected 0", 20000)) << panel->output;
    auto l = logLines();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(screwOf(l[0]), 42);
    EXPECT_FALSE(TestEnv::exists(spool));
}
