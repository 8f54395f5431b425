// The job screen end to end in the simulated cell: the zqcapp process in the panel's
// namespace starts its default job at start-up and runs it on two toolsim tools in the
// tools' namespace; the register traffic, the acknowledgements against the result log
// and the output pulses in the GPIO tree are checked from outside. Root only.
#include "JobCell.h"
#include "setting.h"

namespace {
using namespace jobcell;

TEST_F(JobRunCell, ThreeStepJobOnTwoToolsRunsTwice) {
    const std::string sys = env.sysroot();
    ASSERT_NO_FATAL_FAILURE(startCellTools({2, 1}));
    const std::string a = names[0], b = names[1];

    // Settings: the job starts at start-up; output 1 "Fastening OK", 2 "Job OK".
    startupJob("cell", 1);
    get_setting_io()->output[0] = IO_OUT_FASTEN_OK;
    get_setting_io()->output[1] = IO_OUT_JOB_OK;
    ASSERT_EQ(save_setting(), 0);
    // The job: tool A 2 screws preset 1, tool B 1 screw preset 3, an impulse on output 3.
    // Jobs beside it with other presets and counts: the default one is the one started.
    addJob("before", {{a, 6, 4}});
    ASSERT_NO_FATAL_FAILURE(addJob("cell", {{a, 0, 2}, {b, 2, 1}, {"", 0, 0, 3}}));
    addJob("after", {{a, 4, 3}});

    OutputWatch outputs(sys, {1, 2, 3});
    startPanel();
    // Step 1 is on tool A once the tools are connected at the panel's first scan.
    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=1 r262=2 r264=1 r4015=2", 30000));
    ASSERT_TRUE(tools->wait(1, "r4001=1", 10000));

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const int before = logLines(env.home());
        if (run == 1) {
            // The restart enters step 1: all locked, preset, screw count, auto lock, unlock.
            ASSERT_TRUE(tools->wait(0, "r4001=0 r262=2", 20000));
            EXPECT_TRUE(inOrder(tools->trace(0), {"4001=1", "4004=1", "262=2", "264=1", "4001=0"}));
        }
        tools->trace(1);
        for (int screw = 0; screw < 2; ++screw) {
            ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok " + std::to_string(run * 2 + screw + 1));
            ASSERT_TRUE(tools->wait(0, "acked>=" + std::to_string(run * 2 + screw + 1), 20000));
            // The tool saw its acknowledgement: the result's line is in the log already.
            EXPECT_GE(logLines(env.home()), before + screw + 1);
        }
        // Step 2 on tool B: tool A locked, B selected and unlocked, 247 on a controller.
        ASSERT_TRUE(tools->wait(1, "r4001=0 r4004=3 r247=1", 20000));
        EXPECT_TRUE(inOrder(tools->trace(1), {"4001=1", "4004=3", "247=1", "264=1", "4001=0"}));
        EXPECT_EQ(tools->reg(0, 4001), 1);
        tools->trace(0);
        ASSERT_EQ(tools->cmd("fasten 1 ok"), "ok " + std::to_string(run + 1));
        ASSERT_TRUE(tools->wait(1, "acked>=" + std::to_string(run + 1), 20000));
        EXPECT_GE(logLines(env.home()), before + 3);
        // The output step's impulse and the Job OK pulse.
        ASSERT_TRUE(WaitUntil([&] { return outputs.highs(3) == run + 1; }));
        ASSERT_TRUE(WaitUntil([&] { return outputs.highs(2) == run + 1; }));
    }
    EXPECT_EQ(logLines(env.home()), 6);
    // Six "Fastening OK" pulses, each ended by a 0; the last Job OK pulse ends too.
    ASSERT_TRUE(WaitUntil([&] { return outputs.highs(1) == 6 && outputs.levels(1).back() == '0'; }))
        << outputs.levels(1);
    EXPECT_EQ(outputs.levels(1).find("11"), std::string::npos) << outputs.levels(1);
    ASSERT_TRUE(WaitUntil([&] { return outputs.levels(2).back() == '0'; }));
    EXPECT_EQ(outputs.highs(2), 2) << outputs.levels(2);
    EXPECT_EQ(outputs.highs(3), 2) << outputs.levels(3);
    ASSERT_TRUE(panel.write("p"));
}
} // namespace
