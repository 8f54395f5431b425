// The share tab: the FTP, forwarding, Open Protocol and MQTT applies as tables (switches and
// entries pressed in, then the settings record, the file, the daemon's stop and restart, the
// dialog); the pending restarts when the operator leaves are the settings screen's test.
#include "ChildProcess.h"
#include "MqttBroker.h"
#include "NetworkTabFixture.h"
#include "mqttpub.h"
#include "opsrv.h"
#include "page/settings/PageSettingShare.h"
#include "resultstore.h"
#include "threads.h"

#include <QLabel>

#include <unistd.h>

#include <csignal>

namespace {
const char* kApplied = "Message / Changes have been applied.";

class ShareTabTest : public TabTest {
  protected:
    std::string startLine() const { return "proftpd -c " + env->home() + "/proftpd.conf"; }
    // A process the pid file names as proftpd, to see the stop.
    void fakeDaemon(ChildProcess& p) {
        ASSERT_TRUE(p.start({"/bin/sleep", "600"}));
        TestEnv::writeFile(env->sysroot() + "/proc/" + std::to_string(p.pid()) + "/comm",
                           "proftpd\n");
        TestEnv::writeFile(env->sysroot() + "/var/run/proftpd.pid", std::to_string(p.pid()) + "\n");
    }
};

TEST_F(ShareTabTest, FtpApply) {
    struct Case {
        const char* what;
        bool switchOff;
        const char* user; // entered, nullptr: as shown
        const char* pwd;
        const char* dialog;
        bool stopped, restarts;
        uint32_t enableAfter;
        const char* userAfter;
        const char* pwdAfter;
    } cases[] = {
        {"unchanged", false, nullptr, nullptr, "", false, false, 1, "quillet", "vuzo"},
        {"empty user, FTP on", false, "", nullptr, "Error / Please input the User name", false,
         false, 1, "quillet", "vuzo"},
        {"empty password, FTP on", false, nullptr, "", "Error / Please input the Password", false,
         false, 1, "quillet", "vuzo"},
        {"user with a colon", false, "a:b", nullptr, "Error / Invalid character in User name",
         false, false, 1, "quillet", "vuzo"},
        {"password with a trailing blank", false, nullptr, "vuzo ",
         "Error / Password can not begin or end with a blank.", false, false, 1, "quillet", "vuzo"},
        {"empty user, FTP off: not checked", true, "", nullptr, kApplied, true, false, 0, "",
         "vuzo"},
        {"only the password", false, nullptr, "n3w $(pass)", kApplied, true, true, 1, "quillet",
         "n3w $(pass)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingShare* st = get_setting_share();
        st->ftp_enable = 1;
        setting_set_str(st->ftp_username, sizeof st->ftp_username, "quillet");
        setting_set_str(st->ftp_password, sizeof st->ftp_password, "vuzo");
        open<PageSettingShare>();
        ChildProcess daemon;
        fakeDaemon(daemon);
        env->clearStubCalls();
        if (c.user) enter("ftpUser", c.user);
        if (c.pwd) enter("ftpPwd", c.pwd);
        if (c.switchOff) {
            tap("ftpEnable");
            EXPECT_FALSE(widget<QLineEdit>("ftpUser")->isEnabled());
        }
        tap("ftpApply");

        EXPECT_EQ(dialog(), c.dialog);
        const SettingShare* s = get_setting_share();
        EXPECT_EQ(
            std::tuple(s->ftp_enable, std::string(s->ftp_username), std::string(s->ftp_password)),
            std::tuple(c.enableAfter, c.userAfter, c.pwdAfter));
        EXPECT_EQ(fileSetting().share.ftp_enable, c.enableAfter) << "saved when applied";
        EXPECT_EQ(daemon.wait(c.stopped ? int(kest_test::kWaitLimit.count()) : 300),
                  c.stopped ? 128 + SIGTERM : -1);
        EXPECT_EQ(SettingsRestarts::Instance().Pending(SettingsRestarts::Ftp), c.restarts);
        if (c.restarts) {
            QElapsedTimer since;
            since.start();
            EXPECT_GE(waitStub(startLine(), since), 0);
            EXPECT_EQ(env->stubCalls().front(),
                      "ftpasswd --stdin --passwd --name=quillet --uid 0 --home " + env->home() +
                          "/files --shell /bin/false");
            EXPECT_EQ(TestEnv::readFile(env->root() + "/stub.log").find("n3w"), std::string::npos)
                << "the password is on no command line";
        } else {
            EXPECT_EQ(env->stubCalls(), std::vector<std::string>{});
        }
    }
}

// The restart comes 1 s after the apply; switching off meanwhile drops it.
TEST_F(ShareTabTest, RestartOneSecondLaterUnlessSwitchedOff) {
    open<PageSettingShare>();
    env->clearStubCalls();
    QElapsedTimer since;
    since.start();
    enter("ftpPwd", "second");
    tap("ftpApply");
    EXPECT_EQ(dialog(), kApplied);
    EXPECT_GE(waitStub(startLine(), since), SettingsRestarts::kDelayMs);

    enter("ftpPwd", "third");
    tap("ftpApply");
    dialog();
    tap("ftpEnable");
    tap("ftpApply");
    EXPECT_EQ(dialog(), kApplied);
    EXPECT_FALSE(SettingsRestarts::Instance().Pending(SettingsRestarts::Ftp));
    EXPECT_EQ(env->stubCalls().size(), 2u) << "no second start";
}

TEST_F(ShareTabTest, ForwardingApply) {
    struct Case {
        const char* what;
        bool switchOn;
        bool offAgain;  // switched off after the entries
        const char* ip; // entered, nullptr: as shown
        const char* port;
        const char* dialog;
        uint32_t enableAfter, ipAfter, portAfter;
    } cases[] = {
        {"address 0", true, false, "0.0.0.0", "5001", "Error / Invalid server ip address.", 0, 0,
         0},
        {"first field 0", true, false, "0.1.2.3", "5001", "Error / Invalid server ip address.", 0,
         0, 0},
        {"port 0", true, false, "10.0.0.1", "0", "Error / Invalid port number.", 0, 0, 0},
        {"octet 300", true, false, "10.0.0.300", "5001", "Error / Invalid server ip address.", 0, 0,
         0},
        {"port 70000", true, false, "10.0.0.1", "70000", "Error / Invalid port number.", 0, 0, 0},
        {"unchanged", false, false, nullptr, nullptr, "", 0, 0, 0},
        {"off with address 0: not checked", true, true, "0.0.0.0", "7", kApplied, 0, 0, 7},
        {"on", true, false, "10.0.0.1", "5001", kApplied, 1, 0x0a000001, 5001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dev->BefApplySetting(false, 0, 0);
        ASSERT_EQ(save_setting(), 0);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("befPort")->isEnabled(), false);
        if (c.switchOn) tap("befEnable");
        if (c.ip) enterOctets("befIp", c.ip);
        if (c.port) enter("befPort", c.port);
        if (c.offAgain) tap("befEnable");
        tap("befApply");
        EXPECT_EQ(dialog(), c.dialog);
        const SettingShare* s = get_setting_share();
        EXPECT_EQ(std::tuple(s->bef_enable, s->bef_server_ip, s->bef_port),
                  std::tuple(c.enableAfter, c.ipAfter, c.portAfter));
        EXPECT_EQ(fileSetting().share.bef_port, 0u) << "written when the screens are left";
    }
    dev->BefApplySetting(false, 0, 0);
}

// The Open Protocol server: a port it cannot listen on is refused, an applied change moves
// the listener at once, switched off it listens no more.
TEST_F(ShareTabTest, OpenProtocolApply) {
    const int free = kest_test::FreePort();
    struct Case {
        const char* what;
        bool tapSwitch;
        std::string port; // entered, "": as shown
        const char* dialog;
        uint32_t enableAfter, portAfter;
        int listening;
    } cases[] = {
        {"port 0", true, "0", "Error / Invalid port number.", 0, 4545, 0},
        {"port 70000", true, "70000", "Error / Invalid port number.", 0, 4545, 0},
        {"unchanged", false, "", "", 0, 4545, 0},
        {"on", true, std::to_string(free), kApplied, 1, uint32_t(free), free},
        {"off", true, "", kApplied, 0, uint32_t(free), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("opPort")->isEnabled(), get_setting_plant()->op_enable != 0);
        if (c.tapSwitch) tap("opEnable");
        if (!c.port.empty()) enter("opPort", c.port.c_str()); // "": as shown
        tap("opApply");
        EXPECT_EQ(dialog(), c.dialog);
        const SettingPlant* p = get_setting_plant();
        EXPECT_EQ(std::tuple(p->op_enable, p->op_port, OpSrv_BoundPort()),
                  std::tuple(c.enableAfter, c.portAfter, c.listening));
    }
    OpSrv_Stop();
}

// The MQTT publisher: entries the record or a broker cannot take are refused; an applied
// account the broker refuses says so on the tab, the right one connects; no password is
// ever logged.
TEST_F(ShareTabTest, MqttApplyAndTheBrokerLink) {
    LogCapture log;
    Debug_GetFlag()[DEBUG_FLAG_BEF].store(1); // the informational lines too
    ASSERT_EQ(ResultStore_Init(), 0);
    EwDriver_SetDeviceObject(dev); // the link's state reaches the tab as on the panel
    Mqtt_Init();
    Threads_Init();
    kest_test::MqttBroker broker(env->root() + "/broker");
    ShellOutput("/usr/bin/mosquitto_passwd -c -b " + env->root() + "/passwd panel right-one");
    std::string why;
    ASSERT_TRUE(
        broker.start("allow_anonymous false\npassword_file " + env->root() + "/passwd\n", &why))
        << why;
    const std::string at = "127.0.0.1:" + std::to_string(broker.port);
    struct Case {
        const char* what;
        bool tapSwitch;
        std::string broker; // the entries, nullptr: as shown
        const char *topic, *user, *pwd;
        const char* dialog;
        uint32_t enableAfter;
        const char* state; // the link's row once the apply is through
    } cases[] = {
        {"three octets", true, "127.0.1", nullptr, nullptr, nullptr,
         "Error / Invalid broker ip address.", 0, "Off"},
        {"first octet 0", true, "0.1.2.3:1883", nullptr, nullptr, nullptr,
         "Error / Invalid broker ip address.", 0, "Off"},
        {"port 70000", true, "127.0.0.1:70000", nullptr, nullptr, nullptr,
         "Error / Invalid port number.", 0, "Off"},
        {"no topic", true, at, "", nullptr, nullptr, "Error / Please input the Topic", 0, "Off"},
        {"a wildcard", true, at, "kest/#", nullptr, nullptr, "Error / Invalid character in Topic",
         0, "Off"},
        {"a password without a user", true, at, nullptr, "", "x",
         "Error / Please input the User name", 0, "Off"},
        {"unchanged", false, "", nullptr, nullptr, nullptr, "", 0, "Off"},
        {"refused", true, at, "line 4", "panel", "wrong-secret", kApplied, 1,
         "Refused: Not authorised"},
        {"right password", false, "", nullptr, nullptr, "right-one", kApplied, 1, "Connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("mqttTopic")->isEnabled(), get_setting_plant()->mqtt_enable);
        if (c.tapSwitch) tap("mqttEnable");
        if (!c.broker.empty()) {
            // "address:port" into the broker's two fields
            const size_t colon = c.broker.find(':');
            enter("mqttBroker", QString::fromStdString(c.broker.substr(0, colon)));
            if (colon != std::string::npos)
                enter("mqttPort", QString::fromStdString(c.broker.substr(colon + 1)));
        }
        if (c.topic) enter("mqttTopic", c.topic);
        if (c.user) enter("mqttUser", c.user);
        if (c.pwd) enter("mqttPwd", c.pwd);
        tap("mqttApply");
        EXPECT_EQ(dialog(), c.dialog);
        EXPECT_EQ(get_setting_plant()->mqtt_enable, c.enableAfter);
        auto* state = widget<QLabel>("mqttState");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                EwDriver_ProcessData();
                return state->text() == c.state;
            },
            int(kest_test::kWaitLimit.count())))
            << state->text().toStdString();
        EXPECT_EQ(state->property("role").toString() == "error", c.state[0] == 'R');
    }
    const SettingPlant* pl = get_setting_plant();
    EXPECT_EQ(std::tuple(pl->mqtt_broker, pl->mqtt_port, std::string(pl->mqtt_topic),
                         std::string(pl->mqtt_password)),
              std::tuple(0x7f000001u, uint32_t(broker.port), "line 4", "right-one"));
    for (const std::string& l : log.lines())
        EXPECT_TRUE(l.find("wrong-secret") == std::string::npos &&
                    l.find("right-one") == std::string::npos)
            << l;
    Mqtt_Stop();
    EwDriver_SetDeviceObject(nullptr);
    ResultStore_Shutdown();
}

} // namespace
