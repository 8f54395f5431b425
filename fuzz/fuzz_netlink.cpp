// Fuzz target: the route monitor's message walk and the card watcher's event check. Each
// input is walked from an exact-size copy, so a read beyond the received bytes is caught
// by the sanitizers; every item must come from inside the buffer.
#include "debug.h"
#include "net.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    const size_t max = size < 4096 ? size : 4096;
    std::vector<uint8_t> copy(data, data + max);
    size_t items = 0;
    auto sink = [](const NetNlinkItem* it, void* user) {
        if (it->kind < NET_NL_NEWLINK || it->kind > NET_NL_ADDRESS) __builtin_trap();
        if (strnlen(it->ifname, sizeof it->ifname) >= sizeof it->ifname) __builtin_trap();
        ++*static_cast<size_t*>(user);
    };
    const int end = Net_WalkNlinkRoute(copy.data(), copy.size(), sink, &items);
    if (end < NET_NL_BAD_ATTR || end > NET_NL_DONE) __builtin_trap();
    // A message gives at most one item per 4 bytes of it (header, body, attribute).
    if (items > max / 4) __builtin_trap();

    std::vector<char> text(data, data + max);
    Net_KobjIsSdChange(text.data(), text.size());
    return 0;
}
