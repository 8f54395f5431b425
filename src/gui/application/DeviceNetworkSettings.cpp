// Device-object family "interfaces": Ethernet and Wi-Fi interfaces up and down for the
// network settings screen, and interface addresses for the network status screen.
#include "ApplicationDeviceClass.h"
#include "ethernet.h"
#include "wlan.h"

#include <cstring>

void ApplicationDeviceClass::Eth0Up() {
    ifconfig_eth0_up();
}

void ApplicationDeviceClass::Eth0Down() {
    ifconfig_eth0_down();
}

void ApplicationDeviceClass::Wlan0Up() {
    Hostapd_Ifup_Wlan();
}

void ApplicationDeviceClass::Wlan0Down() {
    Hostapd_Ifup_Down();
}

UnitIfAddrData ApplicationDeviceClass::GetIfAddr(const QString& ifname) {
    IfAddr a{};
    get_ifaddr(ToNative(ifname).constData(), &a); // filled as far as it could be read
    UnitIfAddrData d;
    d.Ip = a.ip;
    d.Netmask = a.netmask;
    d.Gateway = a.gateway;
    memcpy(d.Mac, a.mac, sizeof d.Mac);
    return d;
}

QString ApplicationDeviceClass::CheckWifiConf(const QString& ssid, const QString& passphrase) {
    return QString::fromLatin1(Hostapd_CheckWifiConfMessage(
        Hostapd_CheckWifiConf(ToNative(ssid).constData(), ToNative(passphrase).constData())));
}

QList<int> ApplicationDeviceClass::WifiManualChannels(int band, int country) {
    int channels[16];
    int n = Hostapd_ManualChannels(uint32_t(band), uint32_t(country), channels, 16);
    return QList<int>(channels, channels + n);
}
