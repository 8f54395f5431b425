// A registered tool whose data connection trickles its answers must not hold up the screen:
// the real zqcapp process in the cell keeps its discovery scan going while it connects
// that tool, and still ends on 'p'. One byte every 0.4 s keeps each answer inside the
// link's 0.5 s byte time-out, so every start-up transaction succeeds slowly instead of
// failing fast. How long the scan gaps and the exit take is bench_slow_tool's figure.
#include "ChildProcess.h"
#include "ScanListener.h"
#include "TestEnv.h"
#include "ToolCell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

TEST(SlowTool, ScreenKeepsScanningAndQuitsWhileATrickleToolConnects) {
    auto cell = ToolCell::make(ToolCell::Namespaces);
    if (!cell->up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
    TestEnv env;
    SetPanelEnvironment(env.root());
    for (const char* v : {"KEST_DISCO_GROUP", "KEST_DISCO_PORT", "KEST_DISCO_DEST_PORT",
                          "KEST_DISCO_ETH_ADDR", "KEST_DISCO_WLAN_ADDR"})
        unsetenv(v); // the board's discovery endpoints
    const std::string home = env.root() + "/panelhome";
    std::filesystem::create_directories(home);

    // The panel raises eth0 with its static address and joins the group itself.
    ASSERT_TRUE(cell->handLinkToPanel());
    TestEnv::writeFile(home + "/files/setting/setting.kest",
                       "dhcp = static\nip = 10.77.0.1\nnetmask = 255.255.255.0\n"
                       "gateway = 0.0.0.0\n");
    auto sim = cell->startTools({2}, {"--write-regtools", home + "/regtools"});
    ASSERT_TRUE(sim && sim->ok());
    auto* proc = dynamic_cast<ToolsimProcess*>(sim.get());
    ASSERT_NE(proc, nullptr);
    ASSERT_EQ(sim->cmd("drip 0 400"), "ok");
    ScanListener scans(proc->pid(), cell->toolIp(0));
    ASSERT_GE(scans.fd(), 0);

    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", home}));
    // The panel connects the registered tool at its first answer; wait for the tool to see
    // the data connection, then for four more scans while the start-up registers trickle in.
    ASSERT_TRUE(serveUntil(p, scans, Clock::now() + std::chrono::seconds(30), [&] {
        return sim->stat(0, "data") >= 1;
    })) << p.output();
    const size_t before = scans.at.size();
    EXPECT_TRUE(serveUntil(p, scans, Clock::now() + std::chrono::seconds(30),
                           [&] { return scans.at.size() >= before + 4 || !p.running(); }));
    EXPECT_GE(scans.at.size(), before + 4) << "the scan timer stopped\n" << p.output();
    ASSERT_TRUE(p.write("p"));
    EXPECT_TRUE(serveUntil(p, scans, Clock::now() + std::chrono::seconds(30), [&] {
        return !p.running();
    })) << p.output();
    EXPECT_EQ(p.status(), 0) << p.output();
}

} // namespace
