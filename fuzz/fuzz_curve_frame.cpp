// Fuzz target: curve frames from the tools' data connections (the check and the readers
// of a kept copy), over every length up to a frame of two full channels.
#include "graph.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int big = GRAPH_HEADER_SIZE + 4 * GRAPH_SAMPLES_MAX;
    if (size > size_t(big)) size = size_t(big);
    const int len = int(size);
    std::vector<uint8_t> f(data, data + size); // exact size: no slack to read into
    for (int cap : {GRAPH_FRAME_MAX, big}) {
        GraphFrameInfo info;
        GraphFrameVerdict v = Graph_CheckFrame(f.data(), len, &info, cap);
        if ((v == GRAPH_FRAME_TRIGGER_ACK) != (len == GRAPH_ACK_LEN)) __builtin_trap();
        if (v == GRAPH_FRAME_SHORT && len >= GRAPH_HEADER_SIZE) __builtin_trap();
        if (v == GRAPH_FRAME_OVERSIZE && len <= cap) __builtin_trap();
        if (v != GRAPH_FRAME_OK) continue;
        if (len > cap || info.n > GRAPH_SAMPLES_MAX || info.channels < 1 || info.channels > 2 ||
            len != GRAPH_HEADER_SIZE + 2 * info.channels * info.n)
            __builtin_trap();
        if (cap != GRAPH_FRAME_MAX) continue;
        GraphFrameCopy copy;
        memcpy(copy.bytes, f.data(), size);
        copy.len = len;
        copy.info = info;
        long sum = 0;
        for (int ch = 0; ch <= 3; ++ch)
            for (int i = -1; i <= info.n; ++i)
                sum += Graph_Sample(&copy, ch, i);
        for (int off = -2; off <= len; ++off)
            sum += Graph_Field(&copy, off);
        if (sum == -1) f.push_back(0); // keeps the reads
    }
    return 0;
}
