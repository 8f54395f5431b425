// Wi-Fi access point on wlan0 (hostapd): configuration file, channel choice, daemon start
// and stop, and its control connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define HOSTAPD_AP_ADDR 0xC0A88301u // 192.168.131.1

void Hostapd_Ifup_Wlan();
void Hostapd_Ifup_Down();
// 0 when a line of /proc/net/wireless names wlan0, else -1.
int check_wlan_access();

// Starts the access point (network queue's worker only); a second start does nothing.
// A stop requested meanwhile cuts the channel survey and the wait for the daemon short.
void Hostapd_Run();
// Stops it: closes the control connection and ends the daemon this module started (its
// pid file, checked to still name a hostapd); a stop while stopped does nothing.
void Hostapd_Kill();
// Cuts a start that is running short (its survey and its wait for the daemon), at once.
void Hostapd_CutStart();
// 1 while the access point counts as running.
int Hostapd_IsRunning();
// Fills the best 2.4 GHz and 5 GHz channels from the dongle driver's channel report; a
// missing report leaves both as they are.
void Hostapd_Scan_BestChannel(int* best24, int* best5);
// Handles every pending control message of the daemon; always 1 (the watch stays).
int Hostapd_RecvCB();

// ---- pure helpers (tables in the tests, fuzz targets) ----

// The channel report's text (lines "...22 characters... <channel> = <value>"): the lowest
// value wins, the first of equal values; 2.4 GHz takes only 1, 5 and 9; 5 GHz takes the
// channels the country allows (0 US: 36..48, 149..165; 1 Europe, 2 Japan: 36..48) and any
// other country makes it 48.
void Hostapd_ParseBestChannel(const char* text, size_t len, uint32_t country, int* best24,
                              int* best5);

struct HostapdConfInput {
    const char* ssid;
    const char* passphrase;
    uint32_t band;        // 0 2.4 GHz, 1 5 GHz
    uint32_t country;     // 0 US, 1 Europe, 2 Japan, other: US
    uint32_t channelMode; // 0 automatic, 1 manual
    int32_t manualChannel;
    int best24, best5; // survey results, -1 for none
};
// The 17 lines of hostapd.conf, in order, without line ends.
std::vector<std::string> Hostapd_ConfLines(const HostapdConfInput& in);
// The number of its channel line: the manual channel, or the survey's choice for the band.
// One that the band and country do not admit (no survey report, no channel picked) becomes
// the first of Hostapd_ManualChannels, so the daemon still starts on a channel allowed
// everywhere. `wanted`, when given, gets the number before that.
int Hostapd_ConfChannel(const HostapdConfInput& in, int* wanted = nullptr);

// Checks of the Wi-Fi tab's apply, in this order.
enum HostapdConfCheck {
    HOSTAPD_CONF_OK = 0,
    HOSTAPD_CONF_NO_SSID,     // "Please input the SSID"
    HOSTAPD_CONF_NO_PSK,      // "Please input the Password"
    HOSTAPD_CONF_SSID_LENGTH, // "Invalid SSID length (max 32)"
    HOSTAPD_CONF_PSK_LENGTH,  // "Invalid password length (expected 8..31)"
    // A control character would add lines to hostapd.conf.
    HOSTAPD_CONF_SSID_CHAR, // "Invalid character in SSID"
    HOSTAPD_CONF_PSK_CHAR,  // "Invalid character in Password"
};
constexpr size_t HOSTAPD_SSID_MAX = 32;
// Tools join the access point with this pass phrase, and a tool's pass-phrase field holds
// 31 characters (the 32-byte register block keeps its NUL), so longer ones are refused.
constexpr size_t HOSTAPD_PSK_MIN = 8;
constexpr size_t HOSTAPD_PSK_MAX = 31;
// 8-bit texts as stored in the settings.
int Hostapd_CheckWifiConf(const char* ssid, const char* psk);
// The error dialog's text of a check result ("" for HOSTAPD_CONF_OK).
const char* Hostapd_CheckWifiConfMessage(int check);

// Channels the advanced dialog offers in manual mode for a band and a country (a country
// outside 0..2 gets the US list); returns how many were written (at most `max`).
int Hostapd_ManualChannels(uint32_t band, uint32_t country, int* out, int max);

// One control message of the daemon (after its "<n>" priority prefix).
enum HostapdLine {
    HOSTAPD_LINE_OTHER = 0,      // only logged
    HOSTAPD_LINE_STA_LEFT = 1,   // a station left: `mac` holds its address
    HOSTAPD_LINE_AP_ENABLED = 2, // the access point is up
    HOSTAPD_LINE_NO_MAC = -1,    // station message without an address
    HOSTAPD_LINE_BAD_MAC = -2,   // station message with a malformed address
};
// `line` need not be terminated; `mac` is written only for HOSTAPD_LINE_STA_LEFT.
int Hostapd_ParseLine(const char* line, size_t len, uint8_t mac[6]);
