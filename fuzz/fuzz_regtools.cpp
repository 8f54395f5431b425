// Fuzz target: the 80-byte "./regtools" record decoder.
#include "tools_private.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (size_t off = 0; off + REGTOOLS_RECORD_SIZE <= size; off += REGTOOLS_RECORD_SIZE) {
        uint8_t rec[REGTOOLS_RECORD_SIZE];
        memcpy(rec, data + off, sizeof rec);
        RegToolRecord r;
        memset(&r, 0, sizeof r);
        int ok = RegTools_DecodeRecord(rec, &r);
        if (strnlen(r.name, TOOL_NAME_SIZE) >= TOOL_NAME_SIZE) __builtin_trap();
        if (ok == 0) {
            if (!ToolManager_NameIsSafe(r.name)) __builtin_trap();
            // A usable record encodes back to the same persistent bytes (name cut at NUL).
            uint8_t back[REGTOOLS_RECORD_SIZE];
            RegTools_EncodeRecord(&r, back);
            if (memcmp(back + 33, rec + 33, 16) || memcmp(back + 52, rec + 52, 27))
                __builtin_trap();
        }
    }
    return 0;
}
