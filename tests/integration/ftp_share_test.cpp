// The FTP share served by Debian's proftpd from the files the panel generates, in a
// network and mount namespace of the test's own (as root): a real FTP client (curl) logs
// in with the account of the settings, reads and replaces files under "files" and cannot
// leave it; the system's own accounts (root included) cannot log in.
#include "LoopbackPort.h"
#include "TestEnv.h"
#include "Wait.h"
#include "common.h"
#include "setting.h"
#include "share.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kest_test::WaitUntil;

namespace {
constexpr const char* kDaemon = "/usr/sbin/proftpd";
constexpr const char* kTool = "/usr/sbin/ftpasswd";
// Shell characters, quotes and a blank: the account must take it as it is.
const std::string kPassword = "a b$(touch pwned)`touch pwned2`'\";|&";
// System accounts of the namespace's own /etc/passwd and /etc/shadow, with known passwords
// ("sys-pass-1" and "root-pass-1"; SHA-512 crypt).
constexpr const char* kSysUser = "kestsys";
constexpr const char* kSysHash = "$6$kestsalt$1bLYV.csAQR0kR8Z2e4FZU6ydhvrzzaipVi0aJ/"
                                 "WbDqhlZPZNtZv6sWWIVIW4PFAMyKxiHYRy4FUE61xdkAfq.";
constexpr const char* kRootHash =
    "$6$kestsalt$2W8jafEuWQejWtcsgsPbQIT0LYDfa2PDqiY0s9QSG09BfvOIcWmtLRCNNzLAIdyDot06."
    "ERhAOYAnTT0DbtAz.";

// `text` (passwd, shadow or ftpusers lines) without those of `user`, plus `entry`.
std::string withEntry(const std::string& text, const std::string& user, const std::string& entry) {
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line != user && line.rfind(user + ":", 0) != 0) out += line + "\n";
    return out + entry + "\n";
}

bool listening() {
    return kest_test::PortListening(21);
}

struct FtpShare : ::testing::Test {
    TestEnv env;
    std::string err;

    // Private network and mounts: the daemon's pid file and scoreboard go to a folder of
    // the test bound over /run, and /etc/shells lists the account's /bin/false as a board
    // that serves FTP must (proftpd refuses logins whose shell it does not list).
    bool enterNamespaces() {
        oldNet_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        oldMnt_ = open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (oldNet_ < 0 || oldMnt_ < 0) return false;
        if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return false;
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
        std::string run = env.root() + "/run";
        fs::create_directories(run);
        if (mount(run.c_str(), "/run", nullptr, MS_BIND, nullptr) != 0) return false;
        if (!fs::is_symlink("/var/run") &&
            mount(run.c_str(), "/var/run", nullptr, MS_BIND, nullptr) != 0)
            return false;
        // A system account and root with known passwords, their homes in the test's folder
        // (which the account may pass through). /etc/ftpusers without root: the share must
        // not rest on a list the engineer may edit.
        const std::string sysHome = env.root() + "/syshome", rootHome = env.root() + "/roothome";
        fs::create_directories(sysHome);
        fs::create_directories(rootHome);
        chmod(env.root().c_str(), 0711);
        std::string passwd = withEntry(TestEnv::readFile("/etc/passwd"), "root",
                                       "root:x:0:0:root:" + rootHome + ":/bin/sh");
        passwd = withEntry(passwd, kSysUser,
                           std::string(kSysUser) + ":x:1999:1999::" + sysHome + ":/bin/sh");
        std::string shadow = withEntry(TestEnv::readFile("/etc/shadow"), "root",
                                       std::string("root:") + kRootHash + ":19000:0:99999:7:::");
        shadow = withEntry(shadow, kSysUser,
                           std::string(kSysUser) + ":" + kSysHash + ":19000:0:99999:7:::");
        const std::string ftpusers = withEntry(TestEnv::readFile("/etc/ftpusers"), "root", "");
        const std::string shells = TestEnv::readFile("/etc/shells") + "/bin/false\n";
        for (auto [text, target] : {std::pair{passwd, "/etc/passwd"},
                                    {shadow, "/etc/shadow"},
                                    {ftpusers, "/etc/ftpusers"},
                                    {shells, "/etc/shells"}}) {
            std::string copy = env.root() + target;
            TestEnv::writeFile(copy, text);
            if (mount(copy.c_str(), target, nullptr, MS_BIND, nullptr) != 0) return false;
        }
        return std::system("ip link set lo up") == 0;
    }

    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root for its namespaces";
        if (access(kDaemon, X_OK) != 0 || access(kTool, X_OK) != 0)
            GTEST_SKIP() << "proftpd-basic is not installed";
        ASSERT_TRUE(enterNamespaces()) << strerror(errno);
        // The system paths are this test's own now: the pid file and /proc as they are.
        Common_SetSysroot("");
        // The real daemon on PATH in place of its stub; the real tool as "./ftpasswd".
        std::string stub = env.root() + "/stubs/proftpd";
        fs::remove(stub);
        fs::create_symlink(kDaemon, stub);
        fs::create_symlink(kTool, env.home() + "/ftpasswd");

        TestEnv::writeFile("files/log/2025/01/01/20250101.csv", "2025-01-01 08:00:00,OK\n");
        TestEnv::writeFile("files/job/a.job", "old job\n");
        TestEnv::writeFile("regtools", "registry\n");
        load_setting();
        SettingShare* s = get_setting_share();
        s->ftp_enable = 1;
        setting_set_str(s->ftp_username, sizeof s->ftp_username, "quillet");
        setting_set_str(s->ftp_password, sizeof s->ftp_password, kPassword.c_str());
        EXPECT_EQ(FtpServer_Init(), 0);
        ASSERT_TRUE(WaitUntil(listening)) << "proftpd does not listen";
    }
    void TearDown() override {
        std::string pid;
        if (Common_ReadFile("/run/proftpd.pid", pid) == 0) {
            kill_ftpd();
            std::string proc = "/proc/" + std::to_string(atoi(pid.c_str()));
            EXPECT_TRUE(WaitUntil([&] { return !fs::exists(proc); })) << "proftpd still runs";
        }
        // Back to the machine's namespaces for the next test of this process.
        if (oldMnt_ >= 0) setns(oldMnt_, CLONE_NEWNS), close(oldMnt_);
        if (oldNet_ >= 0) setns(oldNet_, CLONE_NEWNET), close(oldNet_);
    }
    int oldNet_ = -1, oldMnt_ = -1;

    // curl's exit status; its output in `out`.
    int curl(std::vector<std::string> args, std::string& out,
             const std::string& password = kPassword, const std::string& user = "quillet") {
        args.insert(args.begin(),
                    {"curl", "-sS", "--max-time", "20", "--user", user + ":" + password});
        return Common_RunCapture(args, out);
    }
    // The system account and root are refused (530: curl's 67), the share's account is in.
    void onlyTheShareAccount() {
        std::string out;
        EXPECT_EQ(curl({"ftp://127.0.0.1/"}, out, "sys-pass-1", kSysUser), 67) << "system account";
        EXPECT_EQ(curl({"ftp://127.0.0.1/"}, out, "root-pass-1", "root"), 67) << "root";
        EXPECT_EQ(curl({"--list-only", "ftp://127.0.0.1/job/"}, out), 0) << "share account";
        EXPECT_EQ(out, "a.job\n");
    }
};
} // namespace

TEST_F(FtpShare, ServesTheFilesFolderToTheAccountAndRestartsWithANewPassword) {
    const std::string url = "ftp://127.0.0.1";
    std::string out;
    // List and fetch a day log.
    ASSERT_EQ(curl({"--list-only", url + "/log/2025/01/01/"}, out), 0);
    EXPECT_EQ(out, "20250101.csv\n");
    ASSERT_EQ(curl({url + "/log/2025/01/01/20250101.csv"}, out), 0);
    EXPECT_EQ(out, "2025-01-01 08:00:00,OK\n");
    // Replace a job file.
    TestEnv::writeFile(env.root() + "/new.job", "new job\n");
    ASSERT_EQ(curl({"-T", env.root() + "/new.job", url + "/job/a.job"}, out), 0);
    EXPECT_EQ(TestEnv::readFile("files/job/a.job"), "new job\n");

    // The files root is the whole view: ".." and absolute paths stay inside it.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--path-as-is", url + "/../regtools"},
          {"--path-as-is", url + "/job/../../regtools"},
          {"-Q", "CWD ..", url + "/regtools"},
          {url + "/%2F" + env.home().substr(1) + "/regtools"}}) {
        SCOPED_TRACE(args.back());
        EXPECT_NE(curl(args, out), 0);
        EXPECT_EQ(out.find("registry"), std::string::npos);
    }

    // A wrong password is refused (530); the shell characters ran nothing anywhere.
    EXPECT_EQ(curl({url + "/"}, out, "vuzo"), 67);
    EXPECT_EQ(curl({url + "/"}, out, kPassword + "x"), 67);
    EXPECT_FALSE(TestEnv::exists("pwned") || TestEnv::exists("pwned2") ||
                 TestEnv::exists("files/pwned") || TestEnv::exists("/pwned"));

    // Switching FTP off and restarting: the daemon stops and no new one starts; on again
    // with a new password, only that password logs in.
    kill_ftpd();
    ASSERT_TRUE(WaitUntil([] { return !listening(); }));
    get_setting_share()->ftp_enable = 0;
    EXPECT_EQ(run_ftpd(), 0);
    EXPECT_FALSE(listening());

    SettingShare* s = get_setting_share();
    s->ftp_enable = 1;
    setting_set_str(s->ftp_password, sizeof s->ftp_password, "second pass");
    EXPECT_EQ(run_ftpd(), 0);
    ASSERT_TRUE(WaitUntil(listening));
    EXPECT_EQ(curl({"ftp://127.0.0.1/log/2025/01/01/20250101.csv"}, out, "second pass"), 0);
    EXPECT_EQ(curl({"ftp://127.0.0.1/"}, out), 67) << "the old password is gone";
}

TEST_F(FtpShare, OnlyTheShareAccountLogsInAlsoUnderAConfigurationOfAnOlderVersion) {
    onlyTheShareAccount();
    // A board upgraded from a version whose configuration let proftpd's Unix accounts in
    // keeps its file, edits and all: the start adds the restriction and nothing else.
    kill_ftpd();
    ASSERT_TRUE(WaitUntil([] { return !listening(); }));
    const std::string old = "ServerName\t\t\"Quillet-Kest FTP Server\"\nServerType\t\tstandalone\n"
                            "DefaultServer\t\ton\nRootLogin\t\ton\nPort\t\t\t21\nUseIPv6\t\t\toff\n"
                            "Umask\t\t\t022\nMaxInstances\t\t3\nUser\t\t\troot\nGroup\t\t\troot\n"
                            "DefaultRoot\t\t~\nAllowOverwrite\t\ton\nAuthUserFile\t\t" +
                            env.home() + "/ftpd.passwd";
    TestEnv::writeFile("proftpd.conf", old);
    EXPECT_EQ(run_ftpd(), 0);
    ASSERT_TRUE(WaitUntil(listening));
    EXPECT_EQ(TestEnv::readFile("proftpd.conf"), old + "\nAuthOrder\t\tmod_auth_file.c\n");
    onlyTheShareAccount();
}
