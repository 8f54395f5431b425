// When the real zqcapp process first connects to the forwarding server saved in its
// settings: the first attempt waits for the worker's 5 s timer after start-up. Reported
// beside the raw path of the same run, the time the same start takes to reach its main
// loop, and this program's own connection to the same server. BENCH_ROUNDS rounds
// (default 3).
#include "ChildProcess.h"
#include "TcpServer.h"
#include "TestEnv.h"
#include "common.h"
#include "setting.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}
} // namespace

int main() {
    const int rounds = std::getenv("BENCH_ROUNDS") ? std::atoi(std::getenv("BENCH_ROUNDS")) : 3;
    for (int r = 0; r < rounds; ++r) {
        TestEnv env;
        SetPanelEnvironment(env.root());
        TcpServer server;
        const std::string home = env.root() + "/panelhome";
        if (Common_SetHome(home.c_str()) != 0) return 1;
        load_setting();
        get_setting_share()->bef_enable = 1;
        get_setting_share()->bef_server_ip = INADDR_LOOPBACK;
        get_setting_share()->bef_port = server.port();
        if (save_setting() != 0 || Common_SetHome(env.home().c_str()) != 0) return 1;

        // The raw path: a connection of this program's own to the same server.
        const auto c0 = Clock::now();
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(server.port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || !server.waitAccepts(1))
            return 1;
        const double raw = since(c0);
        close(fd);

        ChildProcess panel;
        const auto t0 = Clock::now();
        if (!panel.start({ZQCAPP_PATH, "--home", home})) return 1;
        if (!panel.waitFor("Start main loop")) return 1;
        const double loop = since(t0);
        if (!server.waitAccepts(2)) return 1;
        const double first = since(t0);
        printf("round %d: first connection %.2f s after start (goal >= 4.5 s: %s), main loop at "
               "%.2f s, raw connect %.4f s\n",
               r, first, first >= 4.5 ? "met" : "NOT met", loop, raw);
        panel.write("p");
        panel.wait(20000);
    }
    return 0;
}
