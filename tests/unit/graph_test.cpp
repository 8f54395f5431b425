// Curve frames without a tool: the check of received frames on frames from the tool
// simulator's encoder, and the readers of a kept copy. Frames over real data connections:
// tests/integration/toollink_curve_test.cpp.
#include "graph.h"
#include "unit_common.h"
#include "wire.h"

namespace {

std::vector<uint8_t> curve(uint16_t ch1, uint16_t ch2, int n) {
    toolsim::CurveRecord c;
    c.channel1 = ch1;
    c.channel2 = ch2;
    c.convTorque = 1234;
    c.status = 1;
    for (int i = 0; i < n; ++i) {
        c.samples1.push_back(int16_t(i - 3));
        c.samples2.push_back(int16_t(1000 + i));
    }
    return toolsim::encodeCurveFrame(7, c);
}

std::vector<uint8_t> withN(std::vector<uint8_t> f, uint16_t n) {
    f[18] = uint8_t(n >> 8);
    f[19] = uint8_t(n);
    return f;
}

using toolsim::cutFrame;

TEST(CurveFrame, CheckTableAndReadersOfACopyStayInsideIt) {
    const int big = GRAPH_HEADER_SIZE + 4 * GRAPH_SAMPLES_MAX; // every sound layout fits
    const int kept = GRAPH_FRAME_MAX;
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        int cap;
        GraphFrameVerdict want;
        int n, channels;
    } cases[] = {
        {"trigger answer", std::vector<uint8_t>(12, 0xAA), kept, GRAPH_FRAME_TRIGGER_ACK, 0, 0},
        {"one channel, n 100, 240 bytes", curve(1, 0, 100), kept, GRAPH_FRAME_OK, 100, 1},
        {"two channels, n 55, 260 bytes", curve(4, 3, 55), kept, GRAPH_FRAME_OK, 55, 2},
        {"two channels, n 100, 240 bytes", withN(cutFrame(curve(1, 3, 50), 240), 100), big,
         GRAPH_FRAME_MISMATCH, 100, 2},
        {"two channels, n 100, 440 bytes", curve(1, 3, 100), big, GRAPH_FRAME_OK, 100, 2},
        {"440 bytes beyond the kept frame", curve(1, 3, 100), kept, GRAPH_FRAME_OVERSIZE, 100, 2},
        {"one channel, 40 + 2 x 511", curve(2, 0, 511), big, GRAPH_FRAME_OK, 511, 1},
        {"n 512", withN(curve(1, 0, 100), 512), big, GRAPH_FRAME_TOO_BIG, 512, 1},
        {"n 65535", withN(curve(1, 0, 100), 65535), big, GRAPH_FRAME_TOO_BIG, 65535, 1},
        {"header only, n 0", curve(1, 0, 0), kept, GRAPH_FRAME_OK, 0, 1},
        {"39 bytes", cutFrame(curve(1, 0, 10), 39), kept, GRAPH_FRAME_SHORT, 0, 0},
        {"13 bytes", cutFrame(curve(1, 0, 10), 13), kept, GRAPH_FRAME_SHORT, 0, 0},
        {"11 bytes", cutFrame(curve(1, 0, 10), 11), kept, GRAPH_FRAME_SHORT, 0, 0},
        {"empty", {}, kept, GRAPH_FRAME_SHORT, 0, 0},
        {"a sample missing", cutFrame(curve(1, 0, 100), 238), kept, GRAPH_FRAME_MISMATCH, 100, 1},
        {"one byte over", withN(cutFrame(curve(1, 0, 10), 61), 10), kept, GRAPH_FRAME_MISMATCH, 10,
         1},
        {"n says more than sent", withN(curve(1, 0, 100), 101), kept, GRAPH_FRAME_MISMATCH, 101, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GraphFrameInfo info;
        EXPECT_EQ(Graph_CheckFrame(c.frame.data(), int(c.frame.size()), &info, c.cap), c.want);
        EXPECT_EQ(std::pair(info.n, info.channels), std::pair(c.n, c.channels));
    }
    EXPECT_EQ(Graph_CheckFrame(nullptr, 40), GRAPH_FRAME_SHORT);
    EXPECT_EQ(Graph_CheckFrame(nullptr, -1), GRAPH_FRAME_SHORT);
    // The readers of a kept copy stay inside it.
    const auto f = curve(2, 6, 55);
    GraphFrameCopy copy;
    memcpy(copy.bytes, f.data(), f.size());
    copy.len = int32_t(f.size());
    ASSERT_EQ(Graph_CheckFrame(copy.bytes, copy.len, &copy.info), GRAPH_FRAME_OK);
    EXPECT_EQ(std::tuple(Graph_Field(&copy, GRAPH_OFF_CONV), Graph_Field(&copy, GRAPH_OFF_STATUS),
                         Graph_Field(&copy, GRAPH_OFF_CH2)),
              std::tuple(1234, 1, 6));
    // Signed samples, the second block after the first, nothing outside either.
    for (auto [ch, i, want] : {std::tuple{1, 0, -3},
                               {1, 54, 51},
                               {2, 0, 1000},
                               {2, 54, 1054},
                               {1, 55, 0},
                               {2, -1, 0},
                               {3, 0, 0},
                               {0, 0, 0}})
        EXPECT_EQ(Graph_Sample(&copy, ch, i), want) << ch << "/" << i;
    EXPECT_EQ(Graph_Field(&copy, copy.len - 1), 0) << "half a register";
    copy.info.channels = 1;
    EXPECT_EQ(Graph_Sample(&copy, 2, 0), 0);
}

} // namespace
