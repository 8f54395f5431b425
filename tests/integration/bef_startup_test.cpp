// The real zqcapp process forwards nothing until it connects: with "bef enable" saved
// in the settings file, the start-up slot and the forwarding worker's set-up must make
// it connect to the configured server about 5 s after start.
#include "TestEnv.h"
#include "common.h"
#include "setting.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TEST(ZqcappForwarding, ConnectsToTheSavedServerAfterStartUp) {
    TestEnv env;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string xdg = env.root() + "/xdg";
    std::filesystem::create_directories(xdg);
    std::filesystem::permissions(xdg, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);

    int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
    ASSERT_EQ(listen(lfd, 1), 0);

    // The panel's own settings file, written by the settings module in a second home.
    std::string home = env.root() + "/panelhome";
    ASSERT_EQ(Common_SetHome(home.c_str()), 0);
    load_setting();
    get_setting_share()->bef_enable = 1;
    get_setting_share()->bef_server_ip = INADDR_LOOPBACK;
    get_setting_share()->bef_port = ntohs(a.sin_port);
    ASSERT_EQ(save_setting(), 0);
    ASSERT_EQ(Common_SetHome(env.home().c_str()), 0);

    int devnull[2];
    ASSERT_EQ(pipe(devnull), 0); // standard input stays open and silent
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, devnull[0], 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {ZQCAPP_PATH, "--home", home};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    auto started = std::chrono::steady_clock::now();

    pollfd p{lfd, POLLIN, 0};
    int ready = poll(&p, 1, 20000);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(devnull[0]);
    close(devnull[1]);
    ASSERT_EQ(ready, 1) << "no connection from the panel within 20 s";
    int c = accept(lfd, nullptr, nullptr);
    EXPECT_GE(c, 0);
    EXPECT_GE(waited.count(), 4500) << "the first attempt waits for the 5 s timer";
    if (c >= 0) close(c);
    close(lfd);
}
