// Fuzz target: discovery datagram processing. Every prefix of the input (up to the
// 1024 bytes a receive can deliver) is processed from an exact-size copy, so a read
// beyond the received bytes is caught by the sanitizers.
#include "debug.h"
#include "disco.h"
#include "tools_private.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    size_t max = size < DISCO_MAX_DGRAM ? size : DISCO_MAX_DGRAM;
    for (size_t len = 0; len <= max; ++len) {
        std::vector<uint8_t> copy(data, data + len);
        Disco_Proc(copy.data(), copy.size(), 1 + uint32_t(len & 1));
    }
    // Discovered tools must keep the fields they were given and a bounded default name.
    ToolManager_LockDiscoTools();
    for (int i = 0;; ++i) {
        DiscoToolRecord* r = ToolManager_DiscoTool(i);
        if (!r) break;
        if (r->netif != 1 && r->netif != 2) __builtin_trap();
        if (r->info.busy) __builtin_trap(); // busy tools are never listed
    }
    ToolManager_UnlockDiscoTools();
    ToolManager_RemoveAll_DiscoTools();
    return 0;
}
