// Fastening event channel without a tool: frame normalisation and decoding, pending-event
// arithmetic and the fastening event table, on frames from the tool simulator's encoder.
// Frames over real event connections: the tool-link suites in tests/integration.
#include "operation.h"
#include "tools.h"
#include "unit_common.h"
#include "wire.h"

namespace {

// A frame as a tool of `type` sends it: registers 1..13 = base + i, the given status, the
// barcode in the layout of the tool type (cut to the 37-byte fixed part without barcode).
std::vector<uint8_t> makeFrame(uint8_t type, uint16_t status, const std::string& code,
                               bool withBarcode = true, uint16_t base = 100) {
    toolsim::EventRecord r;
    uint16_t* regs[13] = {&r.fastenTime, &r.preset, &r.targetTorque, &r.convTorque, &r.speed,
                          &r.a1,         &r.a2,     &r.a3,           &r.screwNo,    &r.error,
                          &r.direction,  &r.status, &r.snug};
    for (int i = 0; i < 13; ++i)
        *regs[i] = uint16_t(base + i + 1);
    r.status = status;
    r.number = base;
    r.barcode = code;
    auto f = toolsim::encodeEventFrame(type, 0x1234, r);
    return withBarcode ? f : toolsim::cutFrame(f, 37);
}

TEST(EventFrame, NormaliseByTypeAndLengthDecodeReadsRegistersBoundsTheBarcodeAndPendingEvents) {
    // what, the tool type, the frame, its length normalised, the barcode decoded
    using Case = std::tuple<const char*, uint8_t, std::vector<uint8_t>, int, std::string>;
    const Case cases[] = {
        {"driver without barcode", TOOL_TYPE_ZQ, makeFrame(2, 1, "", false), 37, ""},
        {"controller without barcode", TOOL_TYPE_XWC, makeFrame(1, 1, "", false), 37, ""},
        {"driver full frame", TOOL_TYPE_ZQT, makeFrame(3, 1, "QR-77"), 70, "QR-77"},
        {"controller ABC", TOOL_TYPE_XWC, makeFrame(1, 1, "ABC"), 40, "ABC"},
        {"controller 32 characters", TOOL_TYPE_XWTC,
         makeFrame(4, 1, "0123456789abcdef0123456789ABCDEF"), 69,
         "0123456789abcdef0123456789ABCDEF"},
        {"controller cut inside the barcode", TOOL_TYPE_XWC,
         toolsim::cutFrame(makeFrame(1, 1, "ABCDEFGH"), 44), 40, "ABC"},
    };
    for (const auto& [what, type, frame, want, code] : cases) {
        std::vector<uint8_t> f = frame;
        const int lenField = f[4] << 8 | f[5];
        int got = Operation_NormaliseFrame(f.data(), int(f.size()), f.size(), type);
        ASSERT_EQ(got, want) << what;
        int delta = got - int(frame.size());
        EXPECT_EQ(f[4] << 8 | f[5], (lenField + delta) & 0xffff) << what;
        FastenResult r;
        ASSERT_EQ(Operation_DecodeFrame(f.data(), got, &r), 0);
        EXPECT_EQ(std::string(r.Barcode), code) << what;
    }
    // The controller example: 101 bytes with A, B, C become 40, the length field minus 61
    // (the byte count: tests/integration/toollink_events_test.cpp).
    auto f = makeFrame(TOOL_TYPE_XWC, 1, "ABC");
    Operation_NormaliseFrame(f.data(), 101, f.size(), TOOL_TYPE_XWC);
    EXPECT_EQ(f[4] << 8 | f[5], 95 - 61);
    // Decoding reads the registers and bounds the barcode.
    f = makeFrame(TOOL_TYPE_ZQ, 2, "", true, 1000);
    memset(&f[37], 'Z', 33); // no terminator anywhere in the text area
    FastenResult r;
    ASSERT_EQ(Operation_DecodeFrame(f.data(), int(f.size()), &r), 0);
    for (size_t i = 0; i < 13; ++i) // registers 1..13 in their order; the status is 2
        EXPECT_EQ(r.*kFastenResultRegs[i], i == 11 ? 2 : 1001 + int(i)) << "register " << i + 1;
    EXPECT_EQ(strlen(r.Barcode), 32u);
    EXPECT_EQ(Operation_DecodeFrame(f.data(), 40, &r), 0); // only 3 text bytes received
    EXPECT_STREQ(r.Barcode, "ZZZ");
    EXPECT_EQ(Operation_DecodeFrame(f.data(), 36, &r), -1);
    // The stored events pending.
    // newest, delivered, the tool type, the events pending
    const std::tuple<uint16_t, uint16_t, uint8_t, uint16_t> pending[] = {
        {5, 65030, TOOL_TYPE_ZQ, 7},
        {3, 98, TOOL_TYPE_XWC, 5},
        {3, 98, TOOL_TYPE_XWTC, 5},
        {10, 4, TOOL_TYPE_ZQT, 6},
        {7, 7, TOOL_TYPE_ZQ, 0},
        {0, 1, TOOL_TYPE_ZQ, 65031},
        {0, 99, TOOL_TYPE_XWC, 1},
        // A delivered count beyond the counter's range is nonsense, not 65000 results.
        {5, 150, TOOL_TYPE_XWC, 0},
        {0, 65535, TOOL_TYPE_ZQ, 0}};
    for (const auto& [newest, delivered, type, want] : pending)
        EXPECT_EQ(Operation_PendingEvents(newest, delivered, type), want)
            << newest << "/" << delivered << " type " << int(type);
}

void localBarcode(char* out, size_t size) {
    snprintf(out, size, "%s", "LOCAL-1");
}

TEST(Fet, WrapsAtCapacityRefusesAShortFrameAndTakesTheBarcodeFromToolOrReader) {
    TestEnv env;
    Operation_Init();
    Common_SetFixedTime(1700000000);
    auto f = makeFrame(TOOL_TYPE_ZQ, 1, "");
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(add_fet_item(-1, f.data(), int(f.size())), 0);
    EXPECT_EQ(get_fet_len(), 1024);
    add_fet_item(-1, f.data(), int(f.size()));
    add_fet_item(-1, f.data(), int(f.size()));
    EXPECT_EQ(get_fet_len(), 1024);
    FetItem it;
    for (auto [row, seq] : {std::pair{0, 1025u}, {1, 1026u}, {2, 3u}}) {
        ASSERT_EQ(get_fet_item(row, &it), 0);
        EXPECT_EQ(it.seq, seq) << row;
    }
    EXPECT_EQ(get_fet_item(1024, &it), -1);
    struct tm tm;
    Common_LocalTime(&tm);
    char want[80];
    strftime(want, sizeof want, "%Y-%m-%d %H:%M:%S", &tm);
    EXPECT_STREQ(it.time, want);
    EXPECT_EQ(add_fet_item(-1, f.data(), 36), -1);
    // The barcode comes from the tool or the reader.
    clear_fet();
    f = makeFrame(TOOL_TYPE_ZQ, 1, "AT-TOOL");
    Operation_SetBarcodeHooks(nullptr, localBarcode);
    get_setting_operation()->barcode_if = 1; // remote
    add_fet_item(-1, f.data(), int(f.size()));
    get_setting_operation()->barcode_if = 0; // local
    add_fet_item(-1, f.data(), int(f.size()));
    FetItem a, b;
    get_fet_item(0, &a);
    get_fet_item(1, &b);
    EXPECT_EQ(std::tuple(std::string(a.Barcode), std::string(b.Barcode), a.ConvTorque, a.Status),
              std::tuple("AT-TOOL", "LOCAL-1", 104, 1));
    Operation_SetBarcodeHooks(nullptr, nullptr);
}

} // namespace
