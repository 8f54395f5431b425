// The real zqcapp process: start-up sequence, data home, console quit, shutdown order, a
// backup load cut off before the start, and the upgrade with the real program as its file.
#include "ChildProcess.h"
#include "TestEnv.h"
#include "backup.h"
#include "upgrade.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <unistd.h>

TEST(ZqcappProcess, StartsCreatesDataHomeAndQuitsOnP) {
    TestEnv env;
    SetPanelEnvironment(env.root());
    std::string home = env.root() + "/panelhome";
    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", home}));
    ASSERT_TRUE(p.waitFor("Start main loop", 20000)) << p.output();
    ASSERT_TRUE(p.write("xp"));
    EXPECT_EQ(p.wait(20000), 0) << p.output();
    const std::string o = p.output();
    // Start-up labels padded to 45 characters, in order, then the info block, then the
    // shutdown labels.
    size_t at = 0;
    for (const char* label :
         {"Initialize Display...                        [OK]",
          "Initialize Touch Driver...                   ",
          "Initialize Graphics Engine...                [OK]", "Start main loop",
          "Color format                                 RGBA8888",
          "Deinitialize Touch Driver...                 [OK]",
          "Shutting down Application...                 [OK]",
          "Deinitialize Graphics Engine...              [OK]"}) {
        at = o.find(label, at);
        ASSERT_NE(at, std::string::npos) << label << "\n" << o;
    }
    // No touch device in the sysroot: reported, start-up goes on.
    EXPECT_NE(o.find("Error: failed to open touch input device."), std::string::npos);
    for (const char* dir : {"files", "files/log", "files/job", "files/setting", "files/image"})
        EXPECT_TRUE(std::filesystem::is_directory(home + "/" + dir)) << dir;
    EXPECT_TRUE(std::filesystem::exists(home + "/files/setting/setting.kest"));

    // Started again on that data home, it finds it and ends on 'p' again (how much it
    // works with its standard input closed is bench_idle's figure).
    ChildProcess c;
    ASSERT_TRUE(c.start({ZQCAPP_PATH, "--home", home}));
    ASSERT_TRUE(c.waitFor("Start main loop", 20000)) << c.output();
    ASSERT_TRUE(c.write("p"));
    EXPECT_EQ(c.wait(20000), 0) << c.output();
}

// SIGTERM (the system's stop at a restart) and SIGINT (Ctrl-C where the panel runs in a
// terminal) end the panel as "p" does: the whole shutdown runs, the result log's included,
// and the exit status is 0.
TEST(ZqcappProcess, SigtermAndSigintShutDownAsTheQuitKeyDoes) {
    TestEnv env;
    SetPanelEnvironment(env.root());
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        ChildProcess p;
        ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", env.root() + "/panelhome"}));
        ASSERT_TRUE(p.waitFor("Start main loop", 20000)) << p.output();
        ASSERT_EQ(kill(p.pid(), sig), 0);
        EXPECT_EQ(p.wait(20000), 0) << p.output();
        const std::string o = p.output();
        size_t at = o.find("Start main loop");
        for (const char* label : {"Deinitialize Touch Driver...                 [OK]",
                                  "Shutting down Application...                 [OK]",
                                  "Deinitialize Graphics Engine...              [OK]"}) {
            at = o.find(label, at);
            ASSERT_NE(at, std::string::npos) << label << "\n" << o;
        }
    }
}

// "--version" is the upgrade's trial start, in the upgrade test below.
TEST(ZqcappProcess, HelpListsTheOptionsAndTheEnvironment) {
    TestEnv env;
    ChildProcess h;
    ASSERT_TRUE(h.start({ZQCAPP_PATH, "--help"}));
    EXPECT_EQ(h.wait(30000), 0) << h.output();
    for (const char* s : {"--home", "KEST_HOME", "KEST_SYSROOT", "KEST_FBDEV", "QT_QPA_PLATFORM"})
        EXPECT_NE(h.output().find(s), std::string::npos) << s;
}

// The board path without a framebuffer: the panel's own framebuffer checks fail the
// start-up, and the terminal it was started on is left as it was.
TEST(ZqcappProcess, MissingFramebufferFailsStartUpAndLeavesTheTerminalAsItWas) {
    TestEnv env;
    unsetenv("QT_QPA_PLATFORM");
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", env.root() + "/h"}, {.stdinFd = slave}));
    EXPECT_EQ(p.wait(30000), 1) << p.output();
    EXPECT_NE(p.output().find("Initialize Display...                        Error: failed to open "
                              "framebuffer device."),
              std::string::npos)
        << p.output();
    EXPECT_EQ(p.output().find("Initialize Touch Driver"), std::string::npos);
    struct termios t;
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_TRUE(t.c_lflag & ECHO) << "echo restored";
    EXPECT_TRUE(t.c_lflag & ICANON) << "line mode restored";
    close(slave);
    close(master);
}

// A backup load cut off during its swap (the process killed) is finished by the next start
// before the panel reads its data.
TEST(ZqcappProcess, StartFinishesABackupLoadCutOffDuringItsSwap) {
    TestEnv env;
    SetPanelEnvironment(env.root());
    TestEnv::writeFile("files/job/Body.job", "saved\n");
    TestEnv::writeFile("files/image/a.png", "picture");
    const std::string p2p = env.root() + "/saved.p2p";
    ASSERT_EQ(Backup_Save(p2p.c_str()), BACKUP_OK);
    TestEnv::writeFile("files/job/Body.job", "changed\n");
    Backup_SetSwapCutAfter(1);
    ASSERT_EQ(Backup_Load(p2p.c_str()), BACKUP_ERR_SWAP);
    Backup_SetSwapCutAfter(-1);
    ChildProcess p;
    ASSERT_TRUE(p.start({ZQCAPP_PATH, "--home", env.home()}));
    ASSERT_TRUE(p.waitFor("Start main loop", 20000)) << p.output();
    EXPECT_NE(p.output().find("a load was cut off during its swap"), std::string::npos);
    ASSERT_TRUE(p.write("p"));
    EXPECT_EQ(p.wait(20000), 0) << p.output();
    EXPECT_EQ(TestEnv::readFile("files/job/Body.job"), "saved\n");
    EXPECT_EQ(TestEnv::readFile("files/image/a.png"), "picture");
    for (const char* hidden : {"files/.p2p-swap", "files/.p2p-old", "files/.p2p-restore"})
        EXPECT_FALSE(std::filesystem::exists(hidden)) << hidden;
}

// The upgrade tries the new program before it takes the program's place, and keeps as
// zqcapp.prev the program that starts: the replaced one, or while the launcher's fallback
// runs, zqcapp.prev itself (the program file is then the one that failed to start).
TEST(ZqcappProcess, UpgradeTriesTheNewProgramAndKeepsTheOneThatStarts) {
    TestEnv env;
    const std::string program = env.home() + "/zqcapp";
    Upgrade_SetProgramPath(program.c_str());
    const std::string real = TestEnv::readFile(ZQCAPP_PATH);
    ASSERT_GT(real.size(), 65536u);
    TestEnv::writeFile(env.root() + "/zqcapp.dmk", real);
    TestEnv::writeFile(env.root() + "/cut.dmk", real.substr(0, 65536));
    const std::string other = std::string(SIM_BIN_DIR) + "/jobgen/jobgen";
    ASSERT_TRUE(std::filesystem::exists(other)) << other;
    // what, the file installed, the fallback running, the result, the program and the
    // previous one afterwards ("real": the new program)
    using Row = std::tuple<const char*, std::string, bool, int, std::string, std::string>;
    const Row rows[] = {
        {"does not start", env.root() + "/cut.dmk", false, UPGRADE_ERR_START, "broken", "good"},
        {"another program", other, false, UPGRADE_ERR_START, "broken", "good"},
        {"upgrade", env.root() + "/zqcapp.dmk", false, UPGRADE_OK, "real", "broken"},
        {"upgrade while the fallback runs", env.root() + "/zqcapp.dmk", true, UPGRADE_OK, "real",
         "good"},
    };
    for (const auto& [name, file, fallback, want, afterwards, prev] : rows) {
        SCOPED_TRACE(name);
        TestEnv::writeFile(program, "broken");
        TestEnv::writeFile(program + ".prev", "good");
        if (fallback)
            setenv("KEST_FALLBACK", "zqcapp failed to start 3 times in a row: starting zqcapp.prev",
                   1);
        EXPECT_EQ(Upgrade_Install(file.c_str()), want);
        unsetenv("KEST_FALLBACK");
        const std::string now = TestEnv::readFile(program);
        EXPECT_EQ(now == real ? "real" : now, afterwards);
        EXPECT_EQ(TestEnv::readFile(program + ".prev"), prev);
        EXPECT_FALSE(std::filesystem::exists(env.home() + "/.zqcapp.upgrade"));
    }
    // What was installed starts.
    ChildProcess v;
    ASSERT_TRUE(v.start({program, "--version"}));
    EXPECT_EQ(v.wait(30000), 0) << v.output();
    Upgrade_SetProgramPath(nullptr);
}
