// The job screen end to end in the simulated cell, beyond a plain run: a tool whose link
// drops mid-step has the results it stored meanwhile caught up and counted for the step,
// also when the link is announced twice; jobs are chosen by a barcode read at a tool and
// by the binary job-select inputs. The zqcapp process runs in the panel's namespace,
// toolsim in the tools'. Root only.
#include "JobCell.h"
#include "wire.h"

#include <arpa/inet.h>
#include <sys/socket.h>

namespace {
using namespace jobcell;

// Tool tdx's advertise with `cause`, encoded by toolsim, sent to the panel's Ethernet
// endpoint: the panel process has not joined the discovery group here (its link monitor
// joins when eth0 gets its address, which the cell gives it before the start), so the
// tools' advertises to the group do not reach it.
bool advertiseToPanel(int tdx, uint8_t cause) {
    toolsim::ToolIdentity id;
    memcpy(id.mac, ToolManager_RegTool(tdx)->mac, 6);
    id.type = ToolManager_RegTool(tdx)->type;
    const std::vector<uint8_t> d = toolsim::encodeAdvertise(cause, id);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(53256);
    inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
    const bool sent = fd >= 0 && sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to),
                                        sizeof to) == ssize_t(d.size());
    if (fd >= 0) close(fd);
    return sent;
}

TEST_F(JobRunCell, ResultsStoredWhileTheLinkIsDownCountForTheStep) {
    ASSERT_NO_FATAL_FAILURE(startCellTools({2, 1}));
    startupJob("link", 0);
    ASSERT_EQ(save_setting(), 0);
    ASSERT_NO_FATAL_FAILURE(addJob("link", {{names[0], 0, 4}, {names[1], 2, 1}}));
    startPanel();

    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=1 r262=4 r4015=2 event=1", 30000));
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 1");
    ASSERT_TRUE(tools->wait(0, "acked>=1", 20000));
    tools->trace(0);
    // The tool's end of the link goes away and it answers no scan, so the panel cannot
    // reconnect; it goes on fastening into its store. Then it answers again.
    ASSERT_EQ(tools->cmd("silent 0"), "ok");
    ASSERT_EQ(tools->cmd("drop 0"), "ok");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 2");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 3");
    ASSERT_TRUE(tools->wait(0, "pending=2 event=0"));
    ASSERT_EQ(tools->cmd("back 0"), "ok");
    // Back on the link, the two stored results arrive, each logged before its
    // acknowledgement, and count: one screw remains, told to the tool after the last.
    ASSERT_TRUE(tools->wait(0, "acked>=3 pending=0 r262=1 r4001=0", 30000))
        << tools->cmd("stats 0");
    EXPECT_GE(logLines(env.home()), 3);
    const std::string trace = tools->trace(0);
    // Locked, the step's preset, unlocked, stored results on; the remaining count once
    // both have been judged (their acknowledgements follow their log lines, in order).
    EXPECT_TRUE(inOrder(trace, {"4001=1", "4004=1", "4001=0", "4015=1", "262=1"})) << trace;
    EXPECT_TRUE(inOrder(trace, {"4015=1", "4016=1", "4016=1"})) << trace;
    EXPECT_EQ(trace.find("262=", trace.find("262=1") + 1), std::string::npos) << trace;
    EXPECT_EQ(trace.find("4015=2"), std::string::npos) << "stored results skipped: " << trace;
    EXPECT_EQ(tools->reg(1, 4001), 1) << "the other tool stays locked";
    // The fourth screw ends the step: tool B's step starts.
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 4");
    ASSERT_TRUE(tools->wait(1, "r4001=0 r4004=3 r247=1", 20000));
    ASSERT_TRUE(tools->wait(0, "acked>=4", 20000));
    EXPECT_EQ(tools->reg(0, 4001), 1);
    // Each result logged once, all four with the job (not as results of no job).
    const auto rows = logRows(env.home());
    EXPECT_EQ(rows.size(), 4u);
    for (const auto& r : rows)
        EXPECT_EQ(r.at(1), "link") << r.at(0);
}

// The same link announced a second time while the step tool catches up (advertise cause
// 5 renews only the event connection): the results the tool still holds must keep coming
// and count, not be dropped by 4015 := 2.
TEST_F(JobRunCell, ASecondConnectedDuringTheCatchUpDropsNothing) {
    ASSERT_NO_FATAL_FAILURE(startCellTools({2}));
    startupJob("again", 0);
    ASSERT_EQ(save_setting(), 0);
    ASSERT_NO_FATAL_FAILURE(addJob("again", {{names[0], 0, 8}, {names[0], 2, 1}}));
    startPanel();

    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=1 r262=8 r4015=2 event=1", 30000));
    ASSERT_EQ(tools->cmd("silent 0"), "ok");
    ASSERT_EQ(tools->cmd("drop 0"), "ok");
    for (int i = 1; i <= 6; ++i)
        ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok " + std::to_string(i));
    ASSERT_TRUE(tools->wait(0, "pending=6 event=0"));
    // Each answer trickles out, so the catch-up lasts seconds.
    ASSERT_EQ(tools->cmd("drip 0 30"), "ok");
    tools->trace(0);
    ASSERT_EQ(tools->cmd("back 0"), "ok");
    ASSERT_TRUE(tools->wait(0, "r4015=1", 60000)) << tools->cmd("stats 0");
    ASSERT_TRUE(advertiseToPanel(0, 5));
    ASSERT_TRUE(tools->wait(0, "acked>=6 pending=0", 60000)) << tools->cmd("stats 0");
    const std::string trace = tools->trace(0);
    EXPECT_EQ(trace.find("4015=2"), std::string::npos) << "stored results dropped: " << trace;
    ASSERT_EQ(tools->cmd("drip 0 0"), "ok");
    // All six counted: two more screws end the step, the second step selects preset 3.
    for (int i = 7; i <= 8; ++i) {
        ASSERT_TRUE(tools->wait(0, "r4001=0", 20000));
        ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok " + std::to_string(i));
        ASSERT_TRUE(tools->wait(0, "acked>=" + std::to_string(i), 20000));
    }
    ASSERT_TRUE(tools->wait(0, "r4004=3", 20000)) << tools->trace(0);
    const auto rows = logRows(env.home());
    ASSERT_EQ(rows.size(), 8u);
    for (const auto& r : rows) // each logged once, all in the first step
        EXPECT_EQ(r.at(1) + "/" + r.at(2), "again/" + rows[0].at(2)) << r.at(0);
}

TEST_F(JobRunCell, ToolBarcodeAndBinaryInputsLoadTheirJobs) {
    ASSERT_NO_FATAL_FAILURE(startCellTools({2, 1}));
    // The start-up job has one message step: it ends at once and leaves no job loaded,
    // with the "Ready" output (4) high. Inputs 5 and 6 are "Job select.1" and ".2".
    startupJob("idle", 0);
    get_setting_operation()->job_sel_type = 0;
    get_setting_io()->output[3] = IO_OUT_READY;
    get_setting_io()->input[4] = 1;
    get_setting_io()->input[5] = 2;
    ASSERT_EQ(save_setting(), 0);
    ASSERT_NO_FATAL_FAILURE(addJob("right", {{names[1], 4, 3}}));
    ASSERT_NO_FATAL_FAILURE(addJob("left", {{names[0], 6, 2}}));
    ASSERT_NO_FATAL_FAILURE(addJob("idle", {{"", 0, 0}}));
    // Whole code "BODY-R"; characters 3..4 "AB" for the left job.
    TestEnv::writeFile("files/barcode.kest", "BODY-R~0~0~0~right~\nxxAB~1~3~4~left~\n");

    OutputWatch outputs(env.sysroot(), {4});
    startPanel();
    auto readyHigh = [&](int highs) {
        return WaitUntil([&] {
            const std::string l = outputs.levels(4);
            return outputs.highs(4) >= highs && l.back() == '1';
        });
    };
    ASSERT_TRUE(readyHigh(1)) << outputs.levels(4);
    ASSERT_TRUE(tools->wait(0, "event=1 output=2", 20000));
    ASSERT_TRUE(tools->wait(1, "event=1 output=2", 20000));
    tools->trace(0);
    tools->trace(1);

    // A code in no entry loads nothing; a partial match loads the left job on tool A.
    ASSERT_EQ(tools->cmd("barcode 1 NOPE-7"), "ok 1");
    ASSERT_TRUE(tools->wait(1, "acked>=1", 20000));
    ASSERT_EQ(tools->cmd("barcode 1 99AB5"), "ok 2");
    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=7 r262=2", 20000));
    EXPECT_EQ(tools->trace(1).find("4004="), std::string::npos);

    // Binary selection, the mask rebuilt at every edge. "Job select.1": mask 1, job 1.
    const std::string wire =
        std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree wire " + env.sysroot() + " ";
    ASSERT_EQ(std::system((wire + "5 0").c_str()), 0);
    ASSERT_TRUE(tools->wait(1, "r4001=0 r4004=5 r247=3", 20000));
    ASSERT_TRUE(tools->wait(0, "r4001=1", 20000));
    // Both: mask 3, job 3 (its message step ends the job at once: "Ready" again).
    ASSERT_EQ(std::system((wire + "6 0").c_str()), 0);
    ASSERT_TRUE(readyHigh(2)) << outputs.levels(4);
    EXPECT_EQ(tools->reg(1, 4001), 1);
    // "Job select.2" alone: mask 2, job 2.
    tools->trace(0);
    ASSERT_EQ(std::system((wire + "5 1").c_str()), 0);
    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=7 r262=2", 20000));
    // None: mask 0 releases the job, all locked.
    ASSERT_EQ(std::system((wire + "6 1").c_str()), 0);
    ASSERT_TRUE(tools->wait(0, "r4001=1", 20000));

    // With no job loaded, the whole code of the right job read at tool A loads it.
    tools->trace(1);
    ASSERT_EQ(tools->cmd("barcode 0 BODY-R"), "ok 1");
    ASSERT_TRUE(tools->wait(1, "r4001=0 r4004=5 r247=3", 20000));
    EXPECT_EQ(tools->reg(0, 4001), 1);
    ASSERT_TRUE(tools->wait(0, "acked>=1", 20000));
    EXPECT_EQ(logLines(env.home()), 3) << "each barcode read is logged";
}
} // namespace
