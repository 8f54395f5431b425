// Fuzz target: the touch reader's input-event records and its state rules.
#include "ewmain.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TouchState st;
    TouchPoint p;
    // The first byte picks the record size: 16 (32-bit board, simulated node) or 24.
    const size_t rec = size && (data[0] & 0x80) ? 24 : 16;
    for (size_t off = 0; off + rec <= size; off += rec) {
        Touch_ApplyRecord(st, data + off, rec);
        if (st.state < 0 || st.state > 3) __builtin_trap();
        // The GUI looks every few records.
        if ((data[off] & 3) == 0) Touch_QueryState(st, &p);
    }
    // However the stream ended, the GUI sees the touch end within three looks.
    if (st.state == 2) return 0; // still held
    for (int i = 0; i < 3; ++i)
        Touch_QueryState(st, &p);
    if (st.state == 1) return 0; // a press seen in the last record is pending
    if (st.state != 0 && st.state != 2) __builtin_trap();
    return 0;
}
