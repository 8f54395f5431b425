// Fuzz target: fastening event frames (normalisation for every tool type, decoding).
#include "operation.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 260) size = 260; // the largest frame the Modbus library hands over
    for (uint8_t type = 0; type <= 5; ++type) {
        std::vector<uint8_t> f(data, data + size); // exact size: no slack to read into
        int len = Operation_NormaliseFrame(f.data(), int(f.size()), f.size(), type);
        if (size < 37) {
            if (len != -1) __builtin_trap();
            continue;
        }
        if (len < 37 || len > int(size)) __builtin_trap();
        FastenResult r;
        if (Operation_DecodeFrame(f.data(), len, &r) != 0) __builtin_trap();
        if (strnlen(r.Barcode, sizeof r.Barcode) > 32) __builtin_trap();
        if (size_t(len) - 37 < strlen(r.Barcode)) __builtin_trap();
    }
    uint16_t newest = size >= 2 ? uint16_t(data[0] << 8 | data[1]) : 0;
    uint16_t delivered = size >= 4 ? uint16_t(data[2] << 8 | data[3]) : 0;
    if (Operation_PendingEvents(newest, delivered, 1) > 100 && newest <= 100 && delivered <= 100)
        __builtin_trap();
    return 0;
}
