// Fuzz target: the settings file parser, and its address reader on the same bytes.
#include "debug.h"
#include "setting.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
uint32_t field(const Setting& s, const SettingConfig& c) {
    uint32_t v = 0;
    memcpy(&v, reinterpret_cast<const char*>(&s) + c.offset, c.width < 4 ? c.width : 4);
    return v;
}

// Every address the reader accepts writes back as text it reads the same, and every
// canonical dotted address is accepted with the value inet_pton gives.
void checkAddress(const std::string& text) {
    uint32_t v = 0;
    bool ok = setting_parse_ipv4(text.c_str(), &v) == 0;
    in_addr a;
    if (inet_pton(AF_INET, text.c_str(), &a) == 1 && (!ok || v != ntohl(a.s_addr)))
        __builtin_trap();
    if (!ok) return;
    char back[16];
    snprintf(back, sizeof back, "%u.%u.%u.%u", v >> 24, (v >> 16) & 0xff, (v >> 8) & 0xff,
             v & 0xff);
    uint32_t again = 0;
    if (setting_parse_ipv4(back, &again) != 0 || again != v) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true); // refused addresses are logged
    checkAddress(
        std::string(reinterpret_cast<const char*>(data), strnlen((const char*)data, size)));
    Setting s;
    memcpy(&s, get_default_setting(), sizeof s);
    setting_parse_text(&s, reinterpret_cast<const char*>(data), size);
    // Every string field must stay terminated within its buffer.
    for (size_t i = 0; i < configs_count; ++i) {
        if (configs[i].type != CFG_STRING) continue;
        const char* f = reinterpret_cast<const char*>(&s) + configs[i].offset;
        if (strnlen(f, configs[i].width) >= configs[i].width) __builtin_trap();
    }
    // What was read is written and read back to the same numbers and addresses.
    std::string text = setting_format_text(&s);
    Setting again;
    memcpy(&again, get_default_setting(), sizeof again);
    setting_parse_text(&again, text.data(), text.size());
    for (size_t i = 0; i < configs_count; ++i) {
        const SettingConfig& c = configs[i];
        if (c.type == CFG_SECTION || c.type == CFG_STRING) continue;
        if (field(s, c) != field(again, c)) __builtin_trap();
    }
    return 0;
}
