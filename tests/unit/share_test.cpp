// FTP share: the password file's account, the configuration created once, the daemon's
// start and its stop by the pid file, with the recording stubs and real processes.
#include "ChildProcess.h"
#include "share.h"
#include "unit_common.h"

namespace {
// The configuration as written down for the board, with the data home in place of
// /home/dromik, and the line that keeps the system's accounts out.
std::string expectedConf(const std::string& home) {
    return "ServerName\t\t\"Quillet-Kest FTP Server\"\nServerType\t\tstandalone\n"
           "DefaultServer\t\ton\nRootLogin\t\ton\nPort\t\t\t21\nUseIPv6\t\t\toff\n"
           "Umask\t\t\t022\nMaxInstances\t\t5\nUser\t\t\troot\nGroup\t\t\troot\n"
           "DefaultRoot\t\t~\nAllowOverwrite\t\ton\nAuthUserFile\t\t" +
           home + "/ftpd.passwd\nAuthOrder\t\tmod_auth_file.c\n";
}

struct ShareTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    void SetUp() override { load_setting(); }
    void account(uint32_t enable, const char* user, const char* pwd) {
        SettingShare* s = get_setting_share();
        s->ftp_enable = enable;
        setting_set_str(s->ftp_username, sizeof s->ftp_username, user);
        setting_set_str(s->ftp_password, sizeof s->ftp_password, pwd);
    }
    // "./ftpasswd" that records its arguments and its standard input.
    void localTool() {
        TestEnv::writeFile("ftpasswd", "#!/bin/sh\necho \"./ftpasswd $*\" >>\"$KEST_STUB_LOG\"\n"
                                       "cat >ftpasswd.stdin\n");
        chmod("ftpasswd", 0755);
    }
};
} // namespace

TEST_F(ShareTest, StartTable) {
    const std::string home = env.home();
    const std::string tool =
        "--stdin --passwd --name=quillet --uid 0 --home " + home + "/files --shell /bin/false";
    const std::string start = "proftpd -c " + home + "/proftpd.conf";
    using Lines = std::vector<std::string>;
    // What, ftp_enable, user, password, "./ftpasswd" in the data home, an existing
    // configuration (nullptr: none), the calls, what the local tool read (nullptr: it did not
    // run), the existing configuration afterwards (nullptr: unchanged).
    using Row = std::tuple<const char*, uint32_t, const char*, const char*, bool, const char*,
                           Lines, const char*, const char*>;
    const Row rows[] = {
        Row("off: account only", 0, "quillet", "vuzo", false, nullptr, {"ftpasswd " + tool},
            nullptr, nullptr),
        Row("edited configuration kept, the system's accounts shut out", 1, "quillet", "vuzo", true,
            "Port 2121\n#AuthOrder mod_auth_unix.c\nMaxInstances 2", {"./ftpasswd " + tool, start},
            "vuzo\n",
            "Port 2121\n#AuthOrder mod_auth_unix.c\nMaxInstances 2\n"
            "AuthOrder\t\tmod_auth_file.c\n"),
        Row("an AuthOrder of the engineer's own kept", 0, "quillet", "vuzo", false,
            "Port 2121\n  authorder\tmod_auth_file.c mod_auth_unix.c\r\n", {"ftpasswd " + tool},
            nullptr, nullptr),
        Row("name with a colon: no account", 1, "a::0:0::/:/bin/sh", "vuzo", true, nullptr, {start},
            nullptr, nullptr),
        Row("name with a line break: no account", 1, "a\nb", "vuzo", true, nullptr, {start},
            nullptr, nullptr),
        Row("password with a line break: no account", 1, "quillet", "x\ny", true, nullptr, {start},
            nullptr, nullptr),
    };
    for (const auto& [what, enable, user, pwd, local, conf, calls, stdinText, after] : rows) {
        SCOPED_TRACE(what);
        for (const auto& f : fs::directory_iterator(home))
            fs::remove_all(f.path());
        env.clearStubCalls();
        TestEnv::writeFile("ftpd.passwd", "old:entry\n");
        if (local) localTool();
        if (conf) TestEnv::writeFile("proftpd.conf", conf);
        account(enable, user, pwd);

        EXPECT_EQ(FtpServer_Init(), 0);
        EXPECT_EQ(env.stubCalls(), calls);
        EXPECT_FALSE(TestEnv::exists("ftpd.passwd")) << "the old file is deleted first";
        EXPECT_EQ(TestEnv::readFile("proftpd.conf"),
                  conf ? (after ? after : conf) : expectedConf(home));
        EXPECT_EQ(TestEnv::exists("ftpasswd.stdin") ? TestEnv::readFile("ftpasswd.stdin")
                                                    : "(none)",
                  stdinText ? stdinText : "(none)");
    }
    EXPECT_EQ(log.count("no account written"), 3u);
}

TEST_F(ShareTest, ConfigurationThatCannotBeWrittenAndStopByPidFile) {
    account(0, "quillet", "vuzo");
    Common_SetWriteFailAfter(0);
    EXPECT_EQ(FtpServer_Init(), -1);
    EXPECT_TRUE(log.contains("proftpd.conf open fail"));
    EXPECT_FALSE(TestEnv::exists("proftpd.conf"));
    // Switched on, the daemon is started all the same; the start's result is returned.
    account(1, "quillet", "vuzo");
    EXPECT_EQ(FtpServer_Init(), 0);
    EXPECT_EQ(env.stubCalls().back(), "proftpd -c " + env.home() + "/proftpd.conf");
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(run_ftpd(), 0);
    EXPECT_EQ(TestEnv::readFile("proftpd.conf"), expectedConf(env.home()));
    // A kept configuration that cannot take the AuthOrder line stays as it was.
    account(0, "quillet", "vuzo");
    TestEnv::writeFile("proftpd.conf", "Port 2121\n");
    Common_SetWriteFailAfter(0);
    EXPECT_EQ(FtpServer_Init(), -1);
    Common_SetWriteFailAfter(-1);
    EXPECT_TRUE(log.contains("proftpd.conf write fail"));
    EXPECT_EQ(TestEnv::readFile("proftpd.conf"), "Port 2121\n");
    // The pid file's numbers are stopped only when they name a proftpd; other lines, stale
    // numbers given to another program and a missing file stop nothing.
    ChildProcess daemon, other;
    ASSERT_TRUE(daemon.start({"/bin/sleep", "600"}));
    ASSERT_TRUE(other.start({"/bin/sleep", "600"}));
    const std::string proc = env.sysroot() + "/proc/";
    TestEnv::writeFile(proc + std::to_string(daemon.pid()) + "/comm", "proftpd\n");
    TestEnv::writeFile(proc + std::to_string(other.pid()) + "/comm", "sleep\n");
    kill_ftpd(); // no pid file
    TestEnv::writeFile(env.sysroot() + "/var/run/proftpd.pid",
                       "0\n-" + std::to_string(other.pid()) + "\nabc\n\n " +
                           std::to_string(other.pid()) + "x\n" + std::to_string(other.pid()) +
                           "\n99999999999\n" + std::to_string(daemon.pid()) + "\n");
    kill_ftpd();
    EXPECT_EQ(daemon.wait(int(kest_test::kWaitLimit.count())), 128 + SIGTERM);
    EXPECT_EQ(other.wait(500), -1) << "a number that is not proftpd's is left alone";
    EXPECT_TRUE(log.contains("is not proftpd, left alone"));
}
