// Fuzz target: the Wi-Fi driver's channel report. Whatever the text, the choices are
// channels the rules admit (1, 5 or 9; 36..48, or 149..165 for the US; 48 for an unknown
// country) or stay as they were.
#include "wlan.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint32_t country = data[0] % 4;
    std::vector<char> text(data + 1, data + size);
    int b24 = -7, b5 = -7;
    Hostapd_ParseBestChannel(text.data(), text.size(), country, &b24, &b5);
    if (b24 != -7 && b24 != 1 && b24 != 5 && b24 != 9) __builtin_trap();
    bool low = b5 >= 36 && b5 <= 48, high = b5 >= 149 && b5 <= 165;
    if (b5 == -7) return 0;
    if (country == 3 ? b5 != 48 : !(low || (country == 0 && high))) __builtin_trap();
    return 0;
}
