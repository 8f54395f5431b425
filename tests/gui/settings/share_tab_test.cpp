// The share tab: the FTP, forwarding, Open Protocol and MQTT applies as tables (switches and
// entries pressed in, then the settings record, the file, the daemon's stop and restart, the
// dialog); the pending restarts when the operator leaves, and an empty FTP user refused,
// are the settings screen's test.
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
const char* kBadIp = "Error / Invalid server ip address.";
const char* kBadPort = "Error / Invalid port number.";

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
    // What, the presses, the dialog, the daemon stopped, its restart pending, then ftp_enable,
    // the user and the password.
    const std::tuple<const char*, const char*, const char*, bool, bool, uint32_t, const char*,
                     const char*>
        cases[] = {
            {"unchanged", "", "", false, false, 1, "quillet", "vuzo"},
            {"empty password, FTP on", "ftpPwd=", "Error / Please input the Password", false, false,
             1, "quillet", "vuzo"},
            {"user with a colon", "ftpUser=a:b", "Error / Invalid character in User name", false,
             false, 1, "quillet", "vuzo"},
            {"password with a trailing blank", "ftpPwd=vuzo+",
             "Error / Password can not begin or end with a blank.", false, false, 1, "quillet",
             "vuzo"},
            {"empty user, FTP off: not checked", "ftpUser= ftpEnable", kApplied, true, false, 0, "",
             "vuzo"},
            // Switched off within the restart's delay: the pending start is dropped.
            {"applied, then off", "ftpPwd=third ftpApply msgClose ftpEnable", kApplied, true, false,
             0, "quillet", "third"},
            {"only the password", "ftpPwd=n3w+$(pass)", kApplied, true, true, 1, "quillet",
             "n3w $(pass)"},
        };
    for (const auto& [what, presses, dialogText, stopped, restarts, enableAfter, userAfter,
                      pwdAfter] : cases) {
        SCOPED_TRACE(what);
        SettingShare* st = get_setting_share();
        st->ftp_enable = 1;
        setting_set_str(st->ftp_username, sizeof st->ftp_username, "quillet");
        setting_set_str(st->ftp_password, sizeof st->ftp_password, "vuzo");
        open<PageSettingShare>();
        ChildProcess daemon;
        fakeDaemon(daemon);
        env->clearStubCalls();
        fill(presses);
        EXPECT_EQ(widget<QLineEdit>("ftpUser")->isEnabled(), enableAfter == 1) << "the switch";
        tap("ftpApply");

        EXPECT_EQ(dialog(), dialogText);
        const SettingShare* s = get_setting_share();
        EXPECT_EQ(
            std::tuple(s->ftp_enable, std::string(s->ftp_username), std::string(s->ftp_password)),
            std::tuple(enableAfter, userAfter, pwdAfter));
        EXPECT_EQ(fileSetting().share.ftp_enable, enableAfter) << "saved when applied";
        EXPECT_EQ(daemon.wait(stopped ? int(kest_test::kWaitLimit.count()) : 300),
                  stopped ? 128 + SIGTERM : -1);
        EXPECT_EQ(SettingsRestarts::Instance().Pending(SettingsRestarts::Ftp), restarts);
        if (restarts) {
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

TEST_F(ShareTabTest, ForwardingApply) {
    // What, the presses, the dialog, then bef_enable, bef_server_ip and bef_port.
    const std::tuple<const char*, const char*, const char*, uint32_t, uint32_t, uint32_t> cases[] =
        {
            {"address 0", "befEnable befIp=0.0.0.0 befPort=5001", kBadIp, 0, 0, 0},
            {"first field 0", "befEnable befIp=0.1.2.3 befPort=5001", kBadIp, 0, 0, 0},
            {"port 0", "befEnable befIp=10.0.0.1 befPort=0", kBadPort, 0, 0, 0},
            {"octet 300", "befEnable befIp=10.0.0.300 befPort=5001", kBadIp, 0, 0, 0},
            {"port 70000", "befEnable befIp=10.0.0.1 befPort=70000", kBadPort, 0, 0, 0},
            {"unchanged", "", "", 0, 0, 0},
            {"off with address 0: not checked", "befEnable befIp=0.0.0.0 befPort=7 befEnable",
             kApplied, 0, 0, 7},
            {"on", "befEnable befIp=10.0.0.1 befPort=5001", kApplied, 1, 0x0a000001, 5001},
        };
    for (const auto& [what, presses, dialogText, enableAfter, ipAfter, portAfter] : cases) {
        SCOPED_TRACE(what);
        dev->BefApplySetting(false, 0, 0);
        ASSERT_EQ(save_setting(), 0);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("befPort")->isEnabled(), false);
        fill(presses);
        tap("befApply");
        EXPECT_EQ(dialog(), dialogText);
        const SettingShare* s = get_setting_share();
        EXPECT_EQ(std::tuple(s->bef_enable, s->bef_server_ip, s->bef_port),
                  std::tuple(enableAfter, ipAfter, portAfter));
        EXPECT_EQ(fileSetting().share.bef_port, 0u) << "written when the screens are left";
    }
    dev->BefApplySetting(false, 0, 0);
}

// The Open Protocol server: a port it cannot listen on is refused, an applied change moves
// the listener at once, switched off it listens no more.
TEST_F(ShareTabTest, OpenProtocolApply) {
    const int free = kest_test::FreePort();
    // What, the presses, the dialog, then op_enable, op_port and the port listened on.
    const std::tuple<const char*, std::string, const char*, uint32_t, uint32_t, int> cases[] = {
        {"port 0", "opEnable opPort=0", kBadPort, 0, 4545, 0},
        {"port 70000", "opEnable opPort=70000", kBadPort, 0, 4545, 0},
        {"unchanged", "", "", 0, 4545, 0},
        {"on", "opEnable opPort=" + std::to_string(free), kApplied, 1, uint32_t(free), free},
        {"off", "opEnable", kApplied, 0, uint32_t(free), 0},
    };
    for (const auto& [what, presses, dialogText, enableAfter, portAfter, listening] : cases) {
        SCOPED_TRACE(what);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("opPort")->isEnabled(), get_setting_plant()->op_enable != 0);
        fill(presses);
        tap("opApply");
        EXPECT_EQ(dialog(), dialogText);
        const SettingPlant* p = get_setting_plant();
        EXPECT_EQ(std::tuple(p->op_enable, p->op_port, OpSrv_BoundPort()),
                  std::tuple(enableAfter, portAfter, listening));
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
    const std::string at =
        "mqttEnable mqttBroker=127.0.0.1 mqttPort=" + std::to_string(broker.port);
    const char* badBroker = "Error / Invalid broker ip address.";
    // What, the presses, the dialog, mqtt_enable then, the link's row once the apply is through.
    const std::tuple<const char*, std::string, const char*, uint32_t, const char*> cases[] = {
        {"three octets", "mqttEnable mqttBroker=127.0.1", badBroker, 0, "Off"},
        {"first octet 0", "mqttEnable mqttBroker=0.1.2.3 mqttPort=1883", badBroker, 0, "Off"},
        {"port 70000", "mqttEnable mqttBroker=127.0.0.1 mqttPort=70000", kBadPort, 0, "Off"},
        {"no topic", at + " mqttTopic=", "Error / Please input the Topic", 0, "Off"},
        {"a wildcard", at + " mqttTopic=kest/#", "Error / Invalid character in Topic", 0, "Off"},
        {"a password without a user", at + " mqttUser= mqttPwd=x",
         "Error / Please input the User name", 0, "Off"},
        {"unchanged", "", "", 0, "Off"},
        {"refused", at + " mqttTopic=line+4 mqttUser=panel mqttPwd=wrong-secret", kApplied, 1,
         "Refused: Not authorised"},
        {"right password", "mqttPwd=right-one", kApplied, 1, "Connected"},
    };
    for (const auto& [what, presses, dialogText, enableAfter, stateText] : cases) {
        SCOPED_TRACE(what);
        open<PageSettingShare>();
        EXPECT_EQ(widget<QLineEdit>("mqttTopic")->isEnabled(), get_setting_plant()->mqtt_enable);
        fill(presses);
        tap("mqttApply");
        EXPECT_EQ(dialog(), dialogText);
        EXPECT_EQ(get_setting_plant()->mqtt_enable, enableAfter);
        auto* state = widget<QLabel>("mqttState");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                EwDriver_ProcessData();
                return state->text() == stateText;
            },
            int(kest_test::kWaitLimit.count())))
            << state->text().toStdString();
        EXPECT_EQ(state->property("role").toString() == "error", stateText[0] == 'R');
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
