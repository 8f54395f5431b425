// The real zqcapp process forwards nothing until it connects: with "bef enable" saved
// in the settings file, the start-up slot and the forwarding worker's set-up must make
// it connect to the configured server (when: bench_forwarding).
#include "ChildProcess.h"
#include "TcpServer.h"
#include "TestEnv.h"
#include "common.h"
#include "setting.h"

#include <gtest/gtest.h>

TEST(ZqcappForwarding, ConnectsToTheSavedServerAfterStartUp) {
    TestEnv env;
    SetPanelEnvironment(env.root());
    TcpServer server;

    // The panel's own settings file, written by the settings module in a second home.
    std::string home = env.root() + "/panelhome";
    ASSERT_EQ(Common_SetHome(home.c_str()), 0);
    load_setting();
    get_setting_share()->bef_enable = 1;
    get_setting_share()->bef_server_ip = INADDR_LOOPBACK;
    get_setting_share()->bef_port = server.port();
    ASSERT_EQ(save_setting(), 0);
    ASSERT_EQ(Common_SetHome(env.home().c_str()), 0);

    ChildProcess panel; // its standard input stays open and silent
    ASSERT_TRUE(panel.start({ZQCAPP_PATH, "--home", home}));
    ASSERT_TRUE(server.waitAccepts(1)) << "no connection from the panel within 20 s";
}
