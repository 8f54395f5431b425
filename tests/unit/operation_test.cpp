// Fastening event channel: frame normalisation and decoding, pending-event arithmetic,
// the fastening event table, and event frames from a tool over a real socket.
#include "toollink_support.h"

#include "common.h"
#include "debug.h"
#include "operation.h"
#include "setting.h"

#include <algorithm>
#include <modbus.h>

using namespace toollink_test;

namespace {

// A frame as a tool sends it: registers 1..13 = base + i, the given status, and the
// barcode in the layout of the tool type (none when `withBarcode` is false).
std::vector<uint8_t> makeFrame(uint8_t type, uint16_t status, const std::string& code,
                               bool withBarcode = true, uint16_t base = 100) {
    std::vector<uint8_t> f(37, 0);
    if (withBarcode) {
        if (type == TOOL_TYPE_XWC || type == TOOL_TYPE_XWTC) {
            f.resize(101, 0);
            for (size_t i = 0; i < code.size() && i < 32; ++i)
                f[37 + 2 * i + 1] = uint8_t(code[i]);
        } else {
            f.resize(70, 0);
            memcpy(&f[37], code.data(), std::min<size_t>(code.size(), 32));
        }
    }
    for (int i = 1; i <= 13; ++i) {
        uint16_t v = i == 12 ? status : uint16_t(base + i);
        f[9 + 2 * i] = uint8_t(v >> 8);
        f[10 + 2 * i] = uint8_t(v);
    }
    f[0] = 0x12; // transaction id
    f[1] = 0x34;
    uint16_t length = uint16_t(f.size() - 6);
    f[4] = uint8_t(length >> 8);
    f[5] = uint8_t(length);
    f[6] = 255;
    f[7] = 3;
    f[8] = uint8_t(f.size() - 9);
    return f;
}

TEST(EventFrame, NormaliseByTypeAndLength) {
    struct Case {
        const char* what;
        uint8_t type;
        std::vector<uint8_t> frame;
        int want;
        std::string code;
    } cases[] = {
        {"36 bytes", TOOL_TYPE_ZQ, std::vector<uint8_t>(36, 0), -1, ""},
        {"driver without barcode", TOOL_TYPE_ZQ, makeFrame(2, 1, "", false), 37, ""},
        {"controller without barcode", TOOL_TYPE_XWC, makeFrame(1, 1, "", false), 37, ""},
        {"driver full frame", TOOL_TYPE_ZQT, makeFrame(3, 1, "QR-77"), 70, "QR-77"},
        {"controller ABC", TOOL_TYPE_XWC, makeFrame(1, 1, "ABC"), 40, "ABC"},
        {"controller 32 characters", TOOL_TYPE_XWTC,
         makeFrame(4, 1, "0123456789abcdef0123456789ABCDEF"), 69,
         "0123456789abcdef0123456789ABCDEF"},
        {"controller cut inside the barcode", TOOL_TYPE_XWC,
         [] {
             auto f = makeFrame(1, 1, "ABCDEFGH");
             f.resize(44);
             return f;
         }(),
         40, "ABC"},
    };
    for (auto& c : cases) {
        std::vector<uint8_t> f = c.frame;
        int bc = f.size() > 8 ? f[8] : 0;
        int lenField = f.size() > 5 ? (f[4] << 8 | f[5]) : 0;
        int got = Operation_NormaliseFrame(f.data(), int(f.size()), f.size(), c.type);
        ASSERT_EQ(got, c.want) << c.what;
        if (got < 0) continue;
        int delta = got - int(c.frame.size());
        EXPECT_EQ(f[8], uint8_t(bc + delta)) << c.what;
        EXPECT_EQ(f[4] << 8 | f[5], (lenField + delta) & 0xffff) << c.what;
        FastenResult r;
        ASSERT_EQ(Operation_DecodeFrame(f.data(), got, &r), 0);
        EXPECT_EQ(std::string(r.Barcode), c.code) << c.what;
    }
    // The controller example: 101 bytes with A, B, C become 40, byte count minus 61.
    auto f = makeFrame(TOOL_TYPE_XWC, 1, "ABC");
    ASSERT_EQ(f[8], 92);
    Operation_NormaliseFrame(f.data(), 101, f.size(), TOOL_TYPE_XWC);
    EXPECT_EQ(f[8], 92 - 61);
    EXPECT_EQ(f[4] << 8 | f[5], 95 - 61);
}

TEST(EventFrame, DecodeReadsRegistersAndBoundsTheBarcode) {
    auto f = makeFrame(TOOL_TYPE_ZQ, 2, "", true, 1000);
    memset(&f[37], 'Z', 33); // no terminator anywhere in the text area
    FastenResult r;
    ASSERT_EQ(Operation_DecodeFrame(f.data(), int(f.size()), &r), 0);
    EXPECT_EQ(r.FastenTime, 1001);
    EXPECT_EQ(r.Preset, 1002);
    EXPECT_EQ(r.TargetTorque, 1003);
    EXPECT_EQ(r.ConvTorque, 1004);
    EXPECT_EQ(r.Speed, 1005);
    EXPECT_EQ(r.A1, 1006);
    EXPECT_EQ(r.A3, 1008);
    EXPECT_EQ(r.ScrewNo, 1009);
    EXPECT_EQ(r.Error, 1010);
    EXPECT_EQ(r.Direction, 1011);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Snug, 1013);
    EXPECT_EQ(strlen(r.Barcode), 32u);
    EXPECT_EQ(Operation_DecodeFrame(f.data(), 40, &r), 0); // only 3 text bytes received
    EXPECT_STREQ(r.Barcode, "ZZZ");
    EXPECT_EQ(Operation_DecodeFrame(f.data(), 36, &r), -1);
}

TEST(EventFrame, PendingStoredEvents) {
    struct Case {
        uint16_t newest, delivered;
        uint8_t type;
        uint16_t want;
    } cases[] = {{5, 65030, TOOL_TYPE_ZQ, 7},
                 {3, 98, TOOL_TYPE_XWC, 5},
                 {3, 98, TOOL_TYPE_XWTC, 5},
                 {10, 4, TOOL_TYPE_ZQT, 6},
                 {7, 7, TOOL_TYPE_ZQ, 0},
                 {0, 1, TOOL_TYPE_ZQ, 65031},
                 {0, 99, TOOL_TYPE_XWC, 1},
                 // A delivered count beyond the counter's range is nonsense, not 65000 results.
                 {5, 150, TOOL_TYPE_XWC, 0},
                 {0, 65535, TOOL_TYPE_ZQ, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Operation_PendingEvents(c.newest, c.delivered, c.type), c.want)
            << c.newest << "/" << c.delivered << " type " << int(c.type);
}

TEST(Fet, WrapsAtCapacityAndRestartsNumberingAfterClear) {
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
    ASSERT_EQ(get_fet_item(0, &it), 0);
    EXPECT_EQ(it.seq, 1025u);
    ASSERT_EQ(get_fet_item(1, &it), 0);
    EXPECT_EQ(it.seq, 1026u);
    ASSERT_EQ(get_fet_item(2, &it), 0);
    EXPECT_EQ(it.seq, 3u);
    EXPECT_EQ(get_fet_item(1024, &it), -1);
    struct tm tm;
    Common_LocalTime(&tm);
    char want[80];
    snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    EXPECT_STREQ(it.time, want);
    clear_fet();
    EXPECT_EQ(get_fet_len(), 0);
    add_fet_item(-1, f.data(), int(f.size()));
    ASSERT_EQ(get_fet_item(0, &it), 0);
    EXPECT_EQ(it.seq, 1u);
    EXPECT_EQ(add_fet_item(-1, f.data(), 36), -1);
}

void localBarcode(char* out, size_t size) {
    snprintf(out, size, "%s", "LOCAL-1");
}

TEST(Fet, BarcodeComesFromTheToolOrTheReader) {
    TestEnv env;
    Operation_Init();
    Operation_SetBarcodeHooks(nullptr, localBarcode);
    auto f = makeFrame(TOOL_TYPE_ZQ, 1, "AT-TOOL");
    get_setting_operation()->barcode_if = 1; // remote
    add_fet_item(-1, f.data(), int(f.size()));
    get_setting_operation()->barcode_if = 0; // local
    add_fet_item(-1, f.data(), int(f.size()));
    FetItem a, b;
    get_fet_item(0, &a);
    get_fet_item(1, &b);
    EXPECT_STREQ(a.Barcode, "AT-TOOL");
    EXPECT_STREQ(b.Barcode, "LOCAL-1");
    EXPECT_EQ(a.ConvTorque, 104);
    EXPECT_EQ(a.Status, 1);
    Operation_SetBarcodeHooks(nullptr, nullptr);
}

// ---- over a real event connection ----

std::string lastBarcodeSet;
void recordBarcode(const char* text) {
    lastBarcodeSet = text;
}

class EventChannel : public DriverFixture {
  protected:
    void SetUp() override { startDriver(); }
    int addTool(TestToolServer& srv, uint8_t type, uint8_t mac) {
        feedAck(makeInfo(mac, type, 0x7f000001, uint16_t(srv.port()), "T"));
        int tdx = ToolManager_GetRegToolsLen();
        EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
        takeConnects();
        Modbus_MsgQProc_Connect(tdx);
        EXPECT_TRUE(waitFor([&] { return srv.eventConnected(); }));
        sink.drain();
        return tdx;
    }
    // Events of one kind seen within the wait, collected until `n` arrived.
    std::vector<Event> waitEvents(const std::string& kind, size_t n) {
        std::vector<Event> got;
        waitFor([&] {
            for (auto& e : sink.drain())
                if (e.kind == kind) got.push_back(e);
            return got.size() >= n;
        });
        return got;
    }
    int port = freeTcpPortPair();
};

TEST_F(EventChannel, TwoQuickResultsBothReachTheScreensAndTheTable) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    get_setting_operation()->operation_mode = 1; // without job
    fet_set_enable(0x01);
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    EXPECT_EQ(tool.holding(4015), 1);
    auto a = makeFrame(TOOL_TYPE_ZQ, 1, "FIRST", true, 100);
    auto b = makeFrame(TOOL_TYPE_ZQ, 2, "SECOND", true, 200);
    std::vector<uint8_t> both(a);
    both.insert(both.end(), b.begin(), b.end());
    ASSERT_TRUE(tool.sendEvent(both)); // back to back in one segment
    EXPECT_EQ(waitEvents("fastening", 2), (std::vector<Event>{{"fastening", 0}, {"fastening", 0}}));
    FastenResult r;
    ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
    EXPECT_STREQ(r.Barcode, "FIRST");
    EXPECT_EQ(r.Status, 1);
    ASSERT_EQ(Operation_TakeEvent(0, &r), 0);
    EXPECT_STREQ(r.Barcode, "SECOND");
    EXPECT_EQ(r.FastenTime, 201);
    ASSERT_EQ(Operation_TakeEvent(0, &r), 1); // nothing new: the last one again
    EXPECT_STREQ(r.Barcode, "SECOND");
    EXPECT_EQ(get_fet_len(), 2);
    FetItem it;
    get_fet_item(1, &it);
    EXPECT_EQ(it.seq, 2u);
    EXPECT_STREQ(it.toolName, "ZQT");
    ASSERT_EQ(fastening_event_enable(0, 1), 0);
    EXPECT_EQ(tool.holding(4015), 2);
    ASSERT_EQ(fastening_event_disable(0), 0);
    EXPECT_EQ(tool.holding(4015), 0);
}

TEST_F(EventChannel, FullRingDropsTheOldestAndTheSurplusEventIsNoNewResult) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    ASSERT_EQ(fastening_event_enable(0, 0), 0);
    std::vector<uint8_t> burst;
    for (int i = 0; i <= TOOL_EVENT_QUEUE_DEPTH; ++i) { // one more than the ring holds
        auto f = makeFrame(TOOL_TYPE_ZQ, 1, "R" + std::to_string(i), true, uint16_t(i));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    LogCapture log;
    ASSERT_TRUE(tool.sendEvent(burst));
    EXPECT_EQ(waitEvents("fastening", TOOL_EVENT_QUEUE_DEPTH + 1).size(),
              size_t(TOOL_EVENT_QUEUE_DEPTH + 1));
    EXPECT_TRUE(log.contains("event queue of tdx.0 full, oldest result dropped"));
    FastenResult r;
    for (int i = 1; i <= TOOL_EVENT_QUEUE_DEPTH; ++i) {
        ASSERT_EQ(Operation_TakeEvent(0, &r), 0) << i;
        EXPECT_EQ(std::string(r.Barcode), "R" + std::to_string(i));
    }
    EXPECT_EQ(Operation_TakeEvent(0, &r), 1) << "the surplus event finds nothing new";
}

TEST_F(EventChannel, ControllerFrameIsNormalisedAndOnlyEnabledToolsFillTheTable) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_XWC, 1);
    get_setting_operation()->operation_mode = 1;
    get_setting_operation()->barcode_if = 1;
    fet_set_enable(0x02); // tool 1 only
    fastening_event_enable(0, 0);
    ASSERT_TRUE(tool.sendEvent(makeFrame(TOOL_TYPE_XWC, 1, "ABC")));
    ASSERT_EQ(waitEvents("fastening", 1).size(), 1u);
    FastenResult r;
    Operation_TakeEvent(0, &r);
    EXPECT_STREQ(r.Barcode, "ABC");
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->frameLen, 40);
    EXPECT_EQ(ToolManager_RegTool(0)->frame[8], 92 - 61);
    ToolManager_UnlockRegTools();
    EXPECT_EQ(get_fet_len(), 0);
}

TEST_F(EventChannel, WithJobABarcodeEventSetsTheCurrentBarcode) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    Operation_SetBarcodeHooks(recordBarcode, nullptr);
    get_setting_operation()->operation_mode = 0; // with job
    fet_set_enable(0xff);
    fastening_event_enable(0, 0);
    ASSERT_TRUE(tool.sendEvent(makeFrame(TOOL_TYPE_ZQ, FASTEN_STATUS_BARCODE, "JOB-42")));
    ASSERT_EQ(waitEvents("fastening", 1).size(), 1u);
    EXPECT_EQ(lastBarcodeSet, "JOB-42");
    EXPECT_EQ(get_fet_len(), 0);
    Operation_SetBarcodeHooks(nullptr, nullptr);
}

TEST_F(EventChannel, ShortFrameIsDroppedAndTheWatchStays) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    fastening_event_enable(0, 0);
    LogCapture log;
    auto shortFrame = makeFrame(TOOL_TYPE_ZQ, 1, "", false);
    shortFrame.pop_back();
    shortFrame[8] = uint8_t(shortFrame.size() - 9);
    ASSERT_TRUE(tool.sendEvent(shortFrame));
    ASSERT_TRUE(
        waitFor([&] { return log.contains("invalid data len from tdx.0, expect 70 but 36"); }));
    ASSERT_TRUE(tool.sendEvent(makeFrame(TOOL_TYPE_ZQ, 1, "", false)));
    ASSERT_EQ(waitEvents("fastening", 1).size(), 1u);
    FastenResult r;
    EXPECT_EQ(Operation_TakeEvent(0, &r), 0);
    EXPECT_STREQ(r.Barcode, "");
}

TEST_F(EventChannel, FrameIsReadAndDroppedWhileTheDataConnectionIsDown) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    fastening_event_enable(0, 0);
    ToolManager_LockRegTools();
    ToolManager_RegTool(0)->mbConn->connected = 0;
    ToolManager_UnlockRegTools();
    LogCapture log;
    ASSERT_TRUE(tool.sendEvent(makeFrame(TOOL_TYPE_ZQ, 1, "LOST")));
    ASSERT_TRUE(waitFor([&] { return log.contains("data connection down"); }));
    EXPECT_TRUE(log.contains("invalid status ("));
    EXPECT_EQ(log.count("invalid status ("), 1u); // read once, not fired without end
    ToolManager_LockRegTools();
    ToolManager_RegTool(0)->mbConn->connected = 1;
    ToolManager_UnlockRegTools();
    ASSERT_TRUE(tool.sendEvent(makeFrame(TOOL_TYPE_ZQ, 1, "KEPT")));
    ASSERT_EQ(waitEvents("fastening", 1).size(), 1u);
    FastenResult r;
    Operation_TakeEvent(0, &r);
    EXPECT_STREQ(r.Barcode, "KEPT");
    EXPECT_EQ(Operation_QueuedEvents(0), 0);
}

TEST_F(EventChannel, ClosedEventConnectionMakesTheToolHalfConnected) {
    auto* tool = new TestToolServer(port);
    addTool(*tool, TOOL_TYPE_ZQ, 1);
    fastening_event_enable(0, 0);
    delete tool; // closes both connections
    EXPECT_EQ(waitEvents("regtools", 1), (std::vector<Event>{{"regtools", 0, 4}}));
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->rxWatch, nullptr);
    EXPECT_EQ(ToolManager_RegTool(0)->evConn, nullptr);
    ToolManager_UnlockRegTools();
}

TEST_F(EventChannel, WatchFollowsItsToolWhenEarlierToolsAreReleased) {
    TestToolServer first(port);
    int port2 = port + 2;
    TestToolServer second(port2);
    addTool(first, TOOL_TYPE_ZQ, 1);
    addTool(second, TOOL_TYPE_ZQ, 2);
    fastening_event_enable(0, 0);
    fastening_event_enable(1, 0);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    sink.drain();
    ASSERT_TRUE(second.sendEvent(makeFrame(TOOL_TYPE_ZQ, 1, "MOVED")));
    EXPECT_EQ(waitEvents("fastening", 1), (std::vector<Event>{{"fastening", 0}}));
    FastenResult r;
    Operation_TakeEvent(0, &r);
    EXPECT_STREQ(r.Barcode, "MOVED");
}

TEST_F(EventChannel, HalfConnectedToolGetsNoEventOutput) {
    TestToolServer tool(port, false); // no event port
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, uint16_t(port), "T"));
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    takeConnects();
    Modbus_MsgQProc_Connect(0);
    tool.clearLog();
    LogCapture log;
    EXPECT_EQ(fastening_event_enable(0, 0), -1);
    EXPECT_TRUE(log.contains("tdx.0 has no event connection"));
    EXPECT_TRUE(tool.writes().empty());
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->rxWatch, nullptr);
    ToolManager_UnlockRegTools();
    // Only a fully connected tool is asked for its stored results.
    tool.setHolding(2900, 5);
    tool.setHolding(2901, 2);
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 0);
    EXPECT_TRUE(tool.requests().empty());
}

TEST_F(EventChannel, PendingEventsAreReadFromTheCounters) {
    TestToolServer tool(port);
    addTool(tool, TOOL_TYPE_ZQ, 1);
    tool.setHolding(2900, 5);
    tool.setHolding(2901, 65030);
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 7);
    EXPECT_EQ(Operation_GetNoPendingEvent(1), 0);
    EXPECT_EQ(Operation_GetNoPendingEvent(-1), 0);
    ToolManager_DismissTool_ByTdx(0, 1);
    EXPECT_EQ(Operation_GetNoPendingEvent(0), 0);
    EXPECT_EQ(fastening_event_enable(0, 0), -1); // no contexts after dismissal
}

} // namespace
