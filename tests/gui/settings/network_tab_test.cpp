// The network tab: Ethernet and Wi-Fi applies as tables (entries pressed in, then the
// settings record, the file, the interface commands and the dialog), the advanced dialog,
// and the Wi-Fi checks of its widget-free form.
#include "NetworkTabFixture.h"
#include "page/settings/PageSettingNetwork.h"
#include "page/settings/UnitWlanAdvanced.h"
#include "page/settings/WifiForm.h"

#include <QListWidget>

namespace {
constexpr uint32_t ip(int a, int b, int c, int d) {
    return uint32_t(a) << 24 | uint32_t(b) << 16 | uint32_t(c) << 8 | uint32_t(d);
}
const char* kApplied = "Message / Changes have been applied.";
const std::vector<std::string> kEthCycle = {"ifconfig eth0 down", "ifconfig eth0 up"};

class NetworkTabTest : public TabTest {};

TEST_F(NetworkTabTest, EthernetApply) {
    const uint32_t A = ip(10, 0, 0, 5), M = ip(255, 255, 255, 0), G = ip(10, 0, 0, 1); // stored
    const char* badIp = "Error / Invalid ip address.";
    // What, dhcp stored, the presses (the mode button, the entries), the dialog, the record's
    // dhcp, ip, netmask and gateway then, eth0 cycled and the file saved.
    const std::tuple<const char*, uint32_t, const char*, const char*, uint32_t, uint32_t, uint32_t,
                     uint32_t, bool>
        cases[] = {
            {"DHCP unchanged", 1, "ethIp=10.0.0.9", "", 1, A, M, G, false},
            {"static unchanged", 0, "ethMode_0", "", 0, A, M, G, false},
            {"static edited, taken without checks", 0,
             "ethIp=0.0.0.7 ethMask=0.0.0.0 ethGw=10.0.0.254", kApplied, 0, ip(0, 0, 0, 7), 0,
             ip(10, 0, 0, 254), true},
            {"to DHCP clears the addresses", 0, "ethMode_1", kApplied, 1, 0, 0, 0, true},
            {"to static with IP 0", 1, "ethMode_0 ethIp=0.0.0.0", badIp, 1, A, M, G, false},
            {"to static, first IP field 0", 1, "ethMode_0 ethIp=0.1.2.3", badIp, 1, A, M, G, false},
            {"to static, netmask first field 0", 1, "ethMode_0 ethIp=10.1.1.1 ethMask=0.255.255.0",
             "Error / Invalid netmask address.", 1, A, M, G, false},
            {"static edited, octet 300", 0, "ethIp=192.168.1.300", badIp, 0, A, M, G, false},
            {"static edited, netmask octet 256", 0, "ethMask=255.255.256.0",
             "Error / Invalid netmask address.", 0, A, M, G, false},
            {"to static, gateway octet 999", 1,
             "ethMode_0 ethIp=10.1.1.1 ethMask=255.255.0.0 ethGw=10.1.1.999", badIp, 1, A, M, G,
             false},
            {"to static, gateway not checked", 1,
             "ethMode_0 ethIp=10.1.1.1 ethMask=255.255.0.0 ethGw=0.0.0.0", kApplied, 0,
             ip(10, 1, 1, 1), ip(255, 255, 0, 0), 0, true},
        };
    for (const auto& [what, dhcp, presses, dialogText, dhcpAfter, ipAfter, maskAfter, gwAfter,
                      cycled] : cases) {
        SCOPED_TRACE(what);
        SettingNetwork* n = get_setting_network();
        std::tie(n->dhcp, n->ip, n->netmask, n->gateway) = std::tuple(dhcp, A, M, G);
        ASSERT_EQ(save_setting(), 0);
        open<PageSettingNetwork>();
        env->clearStubCalls();
        fill(presses);
        tap("ethApply");

        EXPECT_EQ(dialog(), dialogText);
        EXPECT_EQ(std::tuple(n->dhcp, n->ip, n->netmask, n->gateway),
                  std::tuple(dhcpAfter, ipAfter, maskAfter, gwAfter));
        EXPECT_EQ(env->stubCalls(), cycled ? kEthCycle : std::vector<std::string>{});
        Setting f = fileSetting();
        EXPECT_EQ(f.network.ip, cycled ? ipAfter : A);
        EXPECT_EQ(f.network.dhcp, cycled ? dhcpAfter : dhcp) << "saved only when applied";
    }
    EXPECT_EQ(sounds(UiSoundKind::Tap), 11 + 7 + 9); // applies, mode buttons, message boxes
}

TEST_F(NetworkTabTest, WifiApply) {
    const std::string down = "ifconfig wlan0 down", ssid32 = "abcdefghijabcdefghijabcdefghijab";
    const char* badLength = "Error / Invalid password length (expected 8..31)";
    // What, the presses, the dialog, wlan0 cycled.
    const std::tuple<const char*, std::string, const char*, bool> cases[] = {
        {"empty SSID", "wifiSsid=", "Error / Please input the SSID", false},
        {"empty pass phrase", "wifiPass=", "Error / Please input the Password", false},
        {"SSID of 33", "wifiSsid=" + ssid32 + "c", "Error / Invalid SSID length (max 32)", false},
        {"pass phrase of 7", "wifiPass=1234567", badLength, false},
        {"pass phrase of 32", "wifiPass=12345678901234567890123456789012", badLength, false},
        {"SSID with a leading blank", "wifiSsid=+quillet",
         "Error / SSID can not begin or end with a blank.", false},
        {"unchanged does not cycle", "", "", false},
        {"advanced cancelled", "wifiAdvanced advCountry_1 advCancel", "", false},
        {"manual channel mode, none picked", "wifiAdvanced advMode_1 advOk",
         "Error / Please select a channel", false},
        {"SSID of 32, pass phrase of 31",
         "wifiSsid=" + ssid32 + " wifiPass=1234567890123456789012345678901", kApplied, true},
    };
    for (const auto& [what, presses, dialogText, cycled] : cases) {
        SCOPED_TRACE(what);
        load_setting(); // "quillet", "40718253", 5 GHz
        open<PageSettingNetwork>();
        env->clearStubCalls();
        fill(presses);
        tap("wifiApply");
        EXPECT_EQ(dialog(), dialogText);
        EXPECT_EQ(env->stubCalls(),
                  cycled ? std::vector<std::string>{down} : std::vector<std::string>{});
        EXPECT_EQ(SettingsRestarts::Instance().Pending(SettingsRestarts::Wifi), cycled);
        EXPECT_EQ(std::string(get_setting_network()->ssid),
                  cycled ? ssid32 : std::string("quillet"));
        SettingsRestarts::Instance().Cancel(SettingsRestarts::Wifi);
    }
}

// The band selector sets automatic channel choice at once; the advanced dialog offers the
// band's and country's channels and its OK is stored with the next apply; wlan0 comes up
// again 1 s after the apply.
TEST_F(NetworkTabTest, BandAdvancedAndRestart) {
    SettingNetwork* n = get_setting_network();
    n->channel_mode = 1;
    n->manual_channel = 149;
    open<PageSettingNetwork>();
    tap("wifiBand_0");
    EXPECT_EQ(std::tuple(n->channel_mode, n->manual_channel, n->band), std::tuple(0u, -1, 1u))
        << "the band itself waits for the apply";
    tap("wifiBand_1");

    tap("wifiAdvanced");
    auto* list = widget<QListWidget>("advChannels");
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEnabled()) << "automatic mode";
    auto channels = [&] {
        QStringList l;
        for (int i = 0; i < list->count(); ++i)
            l << list->item(i)->text();
        return l.join(',');
    };
    EXPECT_EQ(channels(), "36,40,44,48,149,153,157,161,165");
    fill("advCountry_2 advMode_1");
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(channels(), "36,40,44,48");
    QListWidgetItem* ch44 = list->item(2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(ch44).center());
    tap("advOk");
    EXPECT_EQ(widget<UnitWlanAdvanced>("UnitWlanAdvanced"), nullptr);
    EXPECT_EQ(n->country, 0u) << "stored with the apply";

    env->clearStubCalls();
    QElapsedTimer since;
    since.start();
    tap("wifiApply");
    EXPECT_EQ(dialog(), kApplied);
    EXPECT_EQ(std::tuple(n->country, n->channel_mode, n->manual_channel,
                         fileSetting().network.manual_channel),
              std::tuple(2u, 1u, 44, 44));
    EXPECT_EQ(env->stubCalls(), std::vector<std::string>{"ifconfig wlan0 down"});
    qint64 up = waitStub("ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up", since);
    EXPECT_GE(up, SettingsRestarts::kDelayMs);
    EXPECT_FALSE(SettingsRestarts::Instance().Pending(SettingsRestarts::Wifi));
}

TEST(WifiForm, ChecksInOrder) {
    const std::tuple<QString, QString, QString> cases[] = {
        // The longest SSID and pass phrase taken are applied on the tab (WifiApply).
        {"", "", "Please input the SSID"},
        {"a\nb", "", "Please input the Password"},
        {QString(33, 'a'), "1234567", "Invalid SSID length (max 32)"},
        {"a\nb", "1234567", "Invalid password length (expected 8..31)"},
        {"a\nb", "12345678", "Invalid character in SSID"},
        {"ssid", "1234\t5678", "Invalid character in Password"},
        {"ssid", QString("1234567\x7f"), "Invalid character in Password"},
    };
    for (const auto& [ssid, pass, error] : cases)
        EXPECT_EQ(WifiForm::Check(ssid, pass), error) << ssid.toStdString();
    EXPECT_EQ(WifiForm::ParseChannel("x"), -1);
    EXPECT_EQ(WifiForm::ParseChannel("165"), 165);
}
} // namespace
