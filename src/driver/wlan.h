// Wi-Fi access point on wlan0 (hostapd): configuration file, channel choice, daemon start
// and stop, and its control connection.
#pragma once

#include <cstdint>

#define HOSTAPD_AP_ADDR 0xC0A88301u // 192.168.131.1

void Hostapd_Ifup_Wlan();
void Hostapd_Ifup_Down();
// 0 when a line of /proc/net/wireless names wlan0, else -1.
int check_wlan_access();

// Starts the access point (network queue's worker only); a second start does nothing.
void Hostapd_Run();
// Stops it; a stop while stopped does nothing.
void Hostapd_Kill();
// 1 while the access point counts as running.
int Hostapd_IsRunning();
