// Fuzz target: a control message of hostapd (read from its socket, at most 255 bytes). A
// station address is taken only from six two-digit hexadecimal groups after the station
// event's name, and the parser never reads beyond the message.
#include "wlan.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 255) size = 255;
    // An exact-size copy, so a read past the end is caught by the sanitizers.
    std::vector<char> msg(data, data + size);
    uint8_t mac[6] = {0xa5, 0xa5, 0xa5, 0xa5, 0xa5, 0xa5};
    int kind = Hostapd_ParseLine(msg.data(), msg.size(), mac);
    if (kind < HOSTAPD_LINE_BAD_MAC || kind > HOSTAPD_LINE_AP_ENABLED) __builtin_trap();
    std::string text(msg.begin(), msg.end());
    size_t gt = text.find('>');
    std::string body = gt == std::string::npos ? text : text.substr(gt + 1);
    if (kind != HOSTAPD_LINE_STA_LEFT) {
        for (uint8_t b : mac)
            if (b != 0xa5) __builtin_trap(); // untouched unless a station left
        return 0;
    }
    if (body.rfind("AP-STA-DISCONNECTED ", 0) != 0) __builtin_trap();
    size_t at = body.find_first_not_of(' ', 19);
    if (at == std::string::npos || body.size() < at + 17) __builtin_trap();
    char back[18];
    snprintf(back, sizeof back, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
             mac[4], mac[5]);
    for (size_t i = 0; i < 17; ++i) {
        char c = body[at + i];
        if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
        if (c != back[i]) __builtin_trap();
    }
    return 0;
}
