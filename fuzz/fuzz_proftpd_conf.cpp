// Fuzz target: a proftpd.conf kept on the board (edited there at will). The restriction is
// added only when no line starts with an AuthOrder directive, then as the last line, and
// everything already there is kept byte for byte; a second pass changes nothing.
#include "share.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string conf(reinterpret_cast<const char*>(data), size);
    const std::string out = Share_ConfWithAuthOrder(conf);
    if (out.compare(0, conf.size(), conf) != 0) __builtin_trap();
    if (out != conf) {
        std::string added = out.substr(conf.size());
        if (!conf.empty() && conf.back() != '\n') {
            if (added[0] != '\n') __builtin_trap();
            added.erase(0, 1);
        }
        if (added != "AuthOrder\t\tmod_auth_file.c\n") __builtin_trap();
    }
    if (Share_ConfWithAuthOrder(out) != out) __builtin_trap();
    return 0;
}
