// Fuzz target: the settings file parser.
#include "setting.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setting s;
    memcpy(&s, get_default_setting(), sizeof s);
    setting_parse_text(&s, reinterpret_cast<const char*>(data), size);
    // Every string field must stay terminated within its buffer.
    for (size_t i = 0; i < configs_count; ++i) {
        if (configs[i].type != CFG_STRING) continue;
        const char* f = reinterpret_cast<const char*>(&s) + configs[i].offset;
        if (strnlen(f, configs[i].width) >= configs[i].width) __builtin_trap();
    }
    std::string text = setting_format_text(&s);
    Setting again;
    memcpy(&again, get_default_setting(), sizeof again);
    setting_parse_text(&again, text.data(), text.size());
    return 0;
}
