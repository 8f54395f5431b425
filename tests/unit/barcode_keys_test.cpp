// Barcode key decoding and the scanner reader on a simulated input node (a FIFO in the
// sysroot carrying 16-byte input events).
#include "InputRecord.h"
#include "barcode.h"
#include "unit_common.h"

namespace {
constexpr uint16_t KEY_ENTER = 28, KEY_TAB = 15, KEY_LSHIFT = 42, KEY_RSHIFT = 54;

// Key codes of the US layout for a few characters (what a scanner sends).
uint16_t keyOf(char c) {
    const char* rows[] = {"1234567890-=", "qwertyuiop[]", "asdfghjkl;'`", "\\zxcvbnm,./"};
    const uint16_t first[] = {2, 16, 30, 43};
    for (int r = 0; r < 4; ++r)
        if (const char* p = strchr(rows[r], c)) return uint16_t(first[r] + (p - rows[r]));
    return c == ' ' ? 57 : 0;
}

struct Ev {
    uint16_t type, code;
    int32_t value;
};

// Feeds events; returns the codes that were completed.
std::vector<std::string> feed(BarcodeKeyState* s, const std::vector<Ev>& evs) {
    std::vector<std::string> out;
    for (const Ev& e : evs)
        if (BarcodeKey_Feed(s, e.type, e.code, e.value) == 1) out.emplace_back(s->buf);
    return out;
}

std::vector<Ev> typed(const std::string& text) {
    std::vector<Ev> evs;
    for (char c : text) {
        evs.push_back({1, keyOf(c), 1});
        evs.push_back({1, keyOf(c), 0});
    }
    return evs;
}

std::vector<Ev> join(std::initializer_list<std::vector<Ev>> parts) {
    std::vector<Ev> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
} // namespace

TEST(BarcodeKeys, FortyCharactersGiveThirtyTwoOverwriteInPlaceEventLayoutsAndCurrentCodeBounds) {
    BarcodeKeyState s;
    BarcodeKey_Reset(&s);
    EXPECT_STREQ(s.buf, "-");
    const std::string forty = "0123456789abcdefghijklmnopqrstuvwxyz0123";
    EXPECT_EQ(feed(&s, join({typed(forty), {{1, KEY_ENTER, 1}}})),
              std::vector<std::string>{forty.substr(0, 32)});
    EXPECT_EQ(s.count, 0);
    // New characters overwrite the previous code in place.
    feed(&s, join({typed("abcdef"), {{1, KEY_ENTER, 1}}}));
    feed(&s, typed("xy"));
    EXPECT_STREQ(s.buf, "xycdef");
    EXPECT_EQ(feed(&s, {{1, KEY_ENTER, 1}}), std::vector<std::string>{"xy"});
    // The event layouts.
    // 16-byte layout: 8 bytes of time, type 1, code 0x1c, value 2.
    uint8_t ev[24] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x1c, 0, 2, 0, 0, 0};
    uint16_t type, code;
    int32_t value;
    ASSERT_EQ(BarcodeKey_ParseEvent(ev, 16, 16, &type, &code, &value), 0);
    EXPECT_EQ(std::tuple(type, code, value), std::tuple(1, 0x1c, 2));
    memset(ev, 0, sizeof ev);
    uint8_t neg[8] = {4, 0, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff};
    memcpy(ev + 16, neg, 8);
    ASSERT_EQ(BarcodeKey_ParseEvent(ev, 24, 24, &type, &code, &value), 0);
    EXPECT_EQ(std::tuple(type, code, value), std::tuple(4, 0x1234, -1));
    EXPECT_EQ(BarcodeKey_ParseEvent(ev, 15, 16, &type, &code, &value), -1);
    // The current code's bounds.
    TestEnv env;
    Barcode_Init();
    // Set in turn: the code kept after each (one too long, or none, changes nothing).
    const std::string full(32, 'y'), tooLong(33, 'x');
    const std::pair<const char*, std::string> sets[] = {
        {"ABC", "ABC"}, {tooLong.c_str(), "ABC"}, {nullptr, "ABC"}, {full.c_str(), full}, {"", ""}};
    for (const auto& [set, kept] : sets) {
        Barcode_SetCurrCode(set);
        EXPECT_EQ(Barcode_GetCurrCode(), kept) << (set ? set : "null");
    }
    char small[4];
    Barcode_SetCurrCode("HELLO");
    Barcode_GetCurrCode(small, sizeof small);
    EXPECT_STREQ(small, "HEL");
}

TEST(BarcodeKeys, ShiftRepeatReleaseAndOtherEventTypes) {
    const uint16_t SHIFT = KEY_LSHIFT, ENTER = KEY_ENTER;
    using Case = std::tuple<const char*, std::vector<Ev>, std::vector<std::string>>;
    const Case cases[] = {
        Case("shift on digits gives their symbols",
             {{1, SHIFT, 1}, {1, 2, 1}, {1, 11, 1}, {1, SHIFT, 0}, {1, 2, 1}, {1, ENTER, 1}},
             {"!)1"}),
        Case("right shift and letters",
             {{1, KEY_RSHIFT, 1}, {1, 30, 1}, {1, KEY_RSHIFT, 0}, {1, 30, 1}, {1, KEY_TAB, 1}},
             {"Aa"}),
        Case("shift events of any type count",
             {{4, SHIFT, 1}, {1, 12, 1}, {0, SHIFT, 0}, {1, 12, 1}, {1, ENTER, 1}}, {"_-"}),
        Case("a held shift that repeats stays held",
             {{1, SHIFT, 1}, {1, SHIFT, 2}, {1, 3, 1}, {1, ENTER, 1}}, {"@"}),
        Case("auto-repeat adds, release does not",
             {{1, 16, 1}, {1, 16, 2}, {1, 16, 2}, {1, 16, 0}, {1, ENTER, 1}}, {"qqq"}),
        Case("Enter alone posts nothing", {{1, ENTER, 1}, {1, ENTER, 0}}, {}),
        Case("Enter release does not end a code", {{1, 2, 1}, {1, ENTER, 0}}, {}),
        Case("non-key events are ignored", {{2, 2, 1}, {4, 30, 1}, {1, 2, 1}, {1, ENTER, 1}},
             {"1"}),
        Case("space with or without shift", {{1, 57, 1}, {1, SHIFT, 1}, {1, 57, 1}, {1, ENTER, 1}},
             {"  "}),
        Case("punctuation rows",
             join({typed("[];'`\\,./"), {{1, SHIFT, 1}}, typed("[`\\/"), {{1, ENTER, 1}}}),
             {"[];'`\\,./{~|?"}),
        Case("backspace and other keys end the code", {{1, 2, 1}, {1, 14, 1}, {1, 3, 1}, {1, 1, 1}},
             {"1", "2"}),
    };
    for (const auto& [name, evs, codes] : cases) {
        SCOPED_TRACE(name);
        BarcodeKeyState s;
        BarcodeKey_Reset(&s);
        EXPECT_EQ(feed(&s, evs), codes);
    }
}

namespace {
class BarcodeReaderTest : public ::testing::Test {
  protected:
    TestEnv env;
    RecordingSink sink;
    std::string node;
    int writer = -1;

    void SetUp() override {
        node = env.sysroot() + "/dev/input/event1";
        std::filesystem::create_directories(env.sysroot() + "/dev/input");
        ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
        writer = open(node.c_str(), O_RDWR | O_CLOEXEC); // keeps the FIFO open both ways
        ASSERT_GE(writer, 0);
        EwDriver_SetDeviceObject(&sink);
        Threads_Init();
    }
    void TearDown() override {
        // Close the reader on its own loop first, so nothing is posted after the drain.
        unlink(node.c_str());
        Barcode_RefreshDev();
        if (writer >= 0) close(writer);
        sink.drain();
        EwDriver_SetDeviceObject(nullptr);
    }
    void send(const std::vector<Ev>& evs) {
        for (const Ev& e : evs) {
            const std::string b = InputRecord(e.type, e.code, e.value);
            ASSERT_EQ(write(writer, b.data(), b.size()), 16);
        }
    }
};
} // namespace

TEST_F(BarcodeReaderTest, ScannedCodesReachTheQueueRefreshFollowsTheNodeAndAGoneScannerCloses) {
    Debug_GetFlag()[DEBUG_FLAG_BARCODE] = 1;
    LogCapture log;
    Barcode_Init();
    ASSERT_TRUE(Barcode_IsOpen());
    EXPECT_EQ(Barcode_GetCurrCode(), "-");
    send(join({typed("a"), {{1, KEY_LSHIFT, 1}}, typed("b1"), {{1, KEY_LSHIFT, 0}}}));
    send({{1, KEY_ENTER, 1}, {1, KEY_ENTER, 1}}); // a second Enter posts nothing
    send(join({typed("zz"), {{1, KEY_ENTER, 1}}}));
    ASSERT_TRUE(sink.waitFor("barcode zz", 3000));
    EXPECT_EQ(sink.with("barcode"), (std::vector<std::string>{"barcode aB!", "barcode zz"}));
    EXPECT_TRUE(Barcode_GetCurrCode() == "zz" && log.contains("barcode : aB!"));
    // A refresh follows the node; a scanner that goes away is closed.
    EXPECT_TRUE(Barcode_IsOpen());
    unlink(node.c_str());
    Barcode_RefreshDev();
    EXPECT_FALSE(Barcode_IsOpen());
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    close(writer);
    writer = open(node.c_str(), O_RDWR | O_CLOEXEC);
    Barcode_RefreshDev();
    EXPECT_TRUE(Barcode_IsOpen());
    send(join({typed("q"), {{1, KEY_ENTER, 1}}}));
    EXPECT_TRUE(sink.waitFor("barcode q", 3000));
    // A scanner that goes away is closed.
    close(writer); // the only writer leaves: the reader sees a hang-up
    writer = -1;
    EXPECT_TRUE(kest_test::WaitUntil([] { return !Barcode_IsOpen(); }));
}
