// Device-object families "interfaces" and "FTP share": each verb's command line, and the
// Wi-Fi advanced settings' properties on the settings record.
#include "ShellFixture.h"

namespace {
class DeviceNetworkTest : public ShellTest {};

TEST_F(DeviceNetworkTest, VerbsRunTheirCommands) {
    get_setting_share()->ftp_enable = 1;
    struct Case {
        std::function<void()> verb;
        std::vector<std::string> calls;
    } cases[] = {
        {[this] { dev->Eth0Up(); }, {"ifconfig eth0 up"}},
        {[this] { dev->Eth0Down(); }, {"ifconfig eth0 down"}},
        {[this] { dev->Wlan0Up(); }, {"ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up"}},
        {[this] { dev->Wlan0Down(); }, {"ifconfig wlan0 down"}},
        {[this] { dev->RunFtpd(); },
         {"ftpasswd --stdin --passwd --name=quillet --uid 0 --home " + env->home() +
              "/files --shell /bin/false",
          "proftpd -c " + env->home() + "/proftpd.conf"}},
    };
    for (const Case& c : cases) {
        env->clearStubCalls();
        c.verb();
        EXPECT_EQ(env->stubCalls(), c.calls);
    }
}

TEST_F(DeviceNetworkTest, WifiAdvancedProperties) {
    int notified = 0;
    QObject::connect(dev, &ApplicationDeviceClass::WifiManualChannelChanged, [&] { ++notified; });
    dev->setProperty("WifiCountry", 2);
    dev->setProperty("WifiChannelMode", 1);
    dev->setProperty("WifiManualChannel", -1);
    EXPECT_EQ(get_setting_network()->country, 2u);
    EXPECT_EQ(get_setting_network()->channel_mode, 1u);
    EXPECT_EQ(get_setting_network()->manual_channel, -1);
    dev->OnSetWifiManualChannel(165);
    EXPECT_EQ(dev->property("WifiManualChannel").toInt(), 165);
    EXPECT_EQ(notified, 2);
}
} // namespace
