// Console key mapping, touch state rules and the framebuffer colour check.
#include "InputRecord.h"
#include "ewmain.h"
#include "unit_common.h"

namespace {
// The keys of a burst: each byte fed, a pending key taken, and the decoder flushed at the end.
std::vector<int> decode(const std::string& bytes) {
    ConsoleDecoder d;
    std::vector<int> keys;
    auto keep = [&keys](int k) {
        if (k != EW_KEY_NONE) keys.push_back(k);
    };
    for (unsigned char c : bytes) {
        keep(d.feed(c));
        keep(d.take());
    }
    keep(d.flush());
    return keys;
}

// Input records (type, code, value) in the order the device delivers them.
using Rec = std::tuple<uint16_t, uint16_t, int32_t>;
void apply(TouchState& st, std::initializer_list<Rec> recs, size_t size = 16) {
    for (const auto& [type, code, value] : recs) {
        const std::string b = InputRecord(type, code, value, size);
        Touch_ApplyRecord(st, reinterpret_cast<const unsigned char*>(b.data()), size);
    }
}
} // namespace

TEST(Console, MapsKeysAndTheFramebufferColourRuleAndSystemInfoLabels) {
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"\n", {EW_KEY_OK}},
        {"\x1b", {EW_KEY_EXIT}},
        {"\x1b[A", {EW_KEY_UP}},
        {"\x1b[B", {EW_KEY_DOWN}},
        {"\x1b[C", {EW_KEY_RIGHT}},
        {"\x1b[D", {EW_KEY_LEFT}},
        {"m", {EW_KEY_MENU}},
        {"p", {EW_KEY_QUIT}},
        {"x7 q", {}},
        {"\x1b[E", {}}, // escape "[" with a letter other than A..D is ignored
        {"\x1b[Z\n", {EW_KEY_OK}},
        {"\x1b[A\x1b[D", {EW_KEY_UP, EW_KEY_LEFT}},
        // A lone escape keeps its Exit when a key follows in the same burst.
        {"\x1bm", {EW_KEY_EXIT, EW_KEY_MENU}},
        {"\x1b\n", {EW_KEY_EXIT, EW_KEY_OK}},
        {"\x1bx", {EW_KEY_EXIT}},
        {"\x1b\x1b[A", {EW_KEY_EXIT, EW_KEY_UP}},
    };
    for (const auto& [in, keys] : cases)
        EXPECT_EQ(decode(in), keys) << "input: " << in.size();
    // The framebuffer's colour format rule.
    const std::pair<uint32_t, bool> formats[] = {{16, false}, {24, false}, {31, false},
                                                 {32, true},  {39, true},  {40, false}};
    for (auto [bpp, fits] : formats)
        EXPECT_EQ(Fb_FormatFits(bpp), fits) << bpp;
    // The system information labels are padded to 45.
    std::string t = EwSystemInfoText(0, 1280, 800);
    EXPECT_EQ(t.rfind(std::string(45, '-') + "\n", 0), 0u);
    for (const std::string& part :
         {EwStepLabel("Color format") + "RGBA8888\n", std::string("8388608")})
        EXPECT_NE(t.find(part), std::string::npos) << part;
    EXPECT_EQ(EwStepLabel("Initialize Display...").size(), 45u);
}

TEST(Touch, RecordSizesReadAlikeOtherEventsIgnoredHeldTouchAndShortTapGiveOneRelease) {
    for (size_t size : {size_t(16), size_t(24)}) { // 32-bit board or simulated node; 64-bit
        SCOPED_TRACE(size);
        TouchState st;
        TouchPoint p{};
        apply(st, {{3, 53, 640}, {3, 54, -5}, {1, 330, 1}}, size);
        ASSERT_TRUE(Touch_QueryState(st, &p));
        EXPECT_EQ(std::tuple(p.x, p.y), std::tuple(640, -5));
        apply(st, {{1, 330, 0}}, size);
        EXPECT_EQ(st.state, 3);
    }
    TouchState st;
    apply(st, {{0, 0, 0}, {3, 57, 1}, {1, 331, 1}});
    EXPECT_EQ(std::tuple(st.state, st.x), std::tuple(0, 0));
    TouchPoint p{};
    EXPECT_FALSE(Touch_QueryState(st, &p));
    apply(st, {{3, 53, 100}, {3, 54, 200}, {1, 330, 1}});
    ASSERT_TRUE(Touch_QueryState(st, &p)); // press
    EXPECT_EQ(std::tuple(p.x, p.y), std::tuple(100, 200));
    apply(st, {{3, 53, 110}});
    ASSERT_TRUE(Touch_QueryState(st, &p)); // move
    EXPECT_EQ(p.x, 110);
    ASSERT_TRUE(Touch_QueryState(st, &p)); // still held: another move
    apply(st, {{3, 54, 220}, {1, 330, 0}});
    ASSERT_TRUE(Touch_QueryState(st, &p)); // release seen: last position once more
    EXPECT_EQ(p.y, 220);
    EXPECT_FALSE(Touch_QueryState(st, &p)); // then nothing: the GUI delivers the release
    EXPECT_EQ(st.state, 0);
    // A short tap is completed as a press, then a release.
    st = TouchState{};
    apply(st, {{3, 53, 5}, {3, 54, 6}, {1, 330, 1}, {1, 330, 0}}); // broken before the GUI looked
    ASSERT_TRUE(Touch_QueryState(st, &p));                         // press
    ASSERT_TRUE(Touch_QueryState(st, &p));                         // release seen
    EXPECT_FALSE(Touch_QueryState(st, &p));                        // released
    EXPECT_EQ(p.x, 5);
    // A new contact starts cleanly afterwards.
    apply(st, {{1, 330, 1}});
    EXPECT_EQ(std::tuple(st.state, st.releasedEarly), std::tuple(1, false));
}

// The real reader thread on a recorded stream fed through a FIFO in the sysroot.
TEST(TouchReader, RecordedStreamReachesTheQuery) {
    TestEnv env;
    std::string dev = env.sysroot() + "/dev/input/event0";
    TestEnv::writeFile(env.sysroot() + "/dev/input/.keep", "");
    ASSERT_EQ(mkfifo(dev.c_str(), 0600), 0);
    Touch_Reset();
    Touch_Start();
    int fd = open(dev.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string press =
        InputRecord(3, 53, 640) + InputRecord(3, 54, 400) + InputRecord(1, 330, 1);
    ASSERT_EQ(write(fd, press.data(), press.size()), 48);
    int wake = Touch_WakeFd();
    ASSERT_GE(wake, 0);
    uint64_t v = 0;
    kest_test::WaitUntil([&] { return read(wake, &v, sizeof v) == sizeof v; });
    EXPECT_GT(v, 0u); // the GUI loop is woken after the read
    TouchPoint p{};
    ASSERT_TRUE(Touch_Query(&p));
    EXPECT_EQ(std::tuple(p.x, p.y), std::tuple(640, 400));
    ASSERT_EQ(write(fd, InputRecord(1, 330, 0).data(), 16), 16);
    // Moves while held, then the last look: released once a query finds no contact.
    EXPECT_TRUE(kest_test::WaitUntil([&] { return !Touch_Query(&p); }));
    Touch_Stop();
    close(fd); // a short read ends the thread
}
