// Backup event forwarding against a real TCP server on 127.0.0.1 started by the test; the
// results reach it through the log writer and the result store, as the panel's do.
#include "LoopbackPort.h"
#include "TcpServer.h"
#include "bef.h"
#include "eventlog.h"
#include "resultstore.h"
#include "unit_common.h"

using namespace std::chrono;
using kest_test::WaitUntil;

namespace {
constexpr uint32_t kLoopback = 0x7f000001;

// A 70-byte driver event frame: header, byte count 61, data bytes counting from `seed`.
std::vector<uint8_t> eventFrame(size_t len = 70, uint8_t seed = 0) {
    const unsigned length = unsigned(len - 6);
    std::vector<uint8_t> f = {
        0x12, 0x34, 0, 0, uint8_t(length >> 8), uint8_t(length), 1, 3, uint8_t(len - 9)};
    f.resize(len);
    for (size_t i = 9; i < len; ++i)
        f[i] = uint8_t(seed + i);
    return f;
}

constexpr size_t kMany = 5000; // far more than the (bounded) socket buffers hold

struct BefTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    RecordingSink sink;
    void start(uint32_t enable, uint16_t port) {
        load_setting();
        Debug_GetFlag()[DEBUG_FLAG_BEF].store(1);
        SettingShare* sh = get_setting_share();
        sh->bef_enable = enable;
        sh->bef_server_ip = kLoopback;
        sh->bef_port = port;
        EwDriver_SetDeviceObject(&sink);
        EventLog_SetAckWriter([](int) { return 0; });
        Bef_init();
        Threads_Init();
        ResultStore_Init();
    }
    // A result of tool `tdx` with its event frame (none: a line taken back from the log),
    // logged by the writer; `wait` until the store has it.
    static void push(int tdx, const std::vector<uint8_t>& frame, bool wait = true) {
        struct tm now;
        Common_LocalTime(&now);
        FastenResult r{.Status = 1};
        EventLog_Queue(EventLog_FormatLine(now, "", "", "-", "t", r), -1,
                       ResultExtra{.tdx = tdx, .frame = frame});
        if (wait) flush();
    }
    static void flush() {
        EventLog_Flush();
        ResultStore_Flush();
    }
    // A port that is free again once its probe is gone: nobody listens there.
    kest_test::ClosedPort down; // the server's port while nobody listens
    void TearDown() override {
        Bef_ApplySetting(0, 0, 0);
        ResultStore_Shutdown();
        EventLog_SetAckWriter(nullptr);
    }
};
} // namespace

TEST(BefMessage, Boundaries) {
    uint8_t out[BEF_MSG_MAX];
    // A frame's length, what the message built from it takes.
    const std::pair<size_t, int> cases[] = {{0, -1},  {8, -1},  {9, 11},  {37, 39},
                                            {70, 72}, {71, -1}, {101, -1}};
    for (const auto& [len, expect] : cases) {
        std::vector<uint8_t> f = len >= 9 ? eventFrame(len) : std::vector<uint8_t>(len + 1, 0);
        EXPECT_EQ(Bef_BuildMsg(0, f.data(), len, out), expect) << len;
    }
    auto f = eventFrame(37);
    f[8] = 0xff; // byte count wraps modulo 256
    f[4] = 0xff;
    f[5] = 0xff; // length wraps modulo 65536
    ASSERT_EQ(Bef_BuildMsg(0x1234, f.data(), f.size(), out), 39);
    EXPECT_EQ((std::vector<int>{out[4], out[5], out[8], out[9], out[10]}),
              (std::vector<int>{0x00, 0x01, 0x01, 0x34, 0x12}));
    EXPECT_EQ(Bef_BuildMsg(0, nullptr, 10, out), -1);
}

TEST_F(BefTest, FrameArrivesWithToolIndex) {
    TcpServer server;
    start(0, server.port());
    push(3, {});
    push(3, eventFrame(71)); // too long
    EXPECT_EQ(Bef_QueueLen(), 2u);
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    EXPECT_TRUE(log.contains("Connect success !! "));
    auto f = eventFrame();
    push(3, f);
    ASSERT_TRUE(server.waitBytes(72));
    ASSERT_TRUE(WaitUntil([] { return Bef_QueueLen() == 0; })) << "each row's cursor moved";
    for (const char* l :
         {"result 1 has no frame, not forwarded", "frame of 71 bytes refused (tdx 3)",
          "Push asyncQ, on TDX,3. ", "Pop asyncQ, send ..."})
        EXPECT_TRUE(log.contains(l)) << l;
    std::string d = server.data();
    ASSERT_EQ(d.size(), 72u) << "only the frame that fits";
    EXPECT_EQ((std::vector<int>{uint8_t(d[5]), uint8_t(d[8]), uint8_t(d[9]), uint8_t(d[10])}),
              (std::vector<int>{f[5] + 2, f[8] + 2, 0x03, 0x00}));
}

TEST_F(BefTest, ServerClosingGivesRecvFinAndReconnectAfterFiveSeconds) {
    TcpServer server;
    start(1, server.port());
    EXPECT_TRUE(WaitUntil([] { return Bef_TimerArmed(); }, seconds(30)))
        << "armed by the worker's set-up";
    ASSERT_TRUE(server.waitAccepts(1, seconds(30)));
    ASSERT_TRUE(WaitUntil([] { return Bef_IsConnected() == 1; }, seconds(30)));
    EXPECT_FALSE(Bef_TimerArmed());
    auto closedAt = steady_clock::now();
    server.dropClient();
    ASSERT_TRUE(log.waitFor("Close server stream (Recv FIN).", 1, 30000));
    EXPECT_TRUE(log.contains("Read len 0") && Bef_TimerArmed());
    ASSERT_TRUE(server.waitAccepts(2, seconds(30)));
    auto gap = duration_cast<milliseconds>(steady_clock::now() - closedAt).count();
    EXPECT_GE(gap, 4500);
    EXPECT_LE(gap, 7500);
    auto f = eventFrame();
    ASSERT_TRUE(WaitUntil([] { return Bef_IsConnected() == 1; }, seconds(30)));
    push(1, f);
    EXPECT_TRUE(server.waitBytes(72));
}

TEST_F(BefTest, ChangingOnlyThePortReconnectsThereUnchangedDoesNothingAndOffStaysClosed) {
    TcpServer a, b;
    start(0, a.port());
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    get_setting_share()->bef_enable = 1;
    log.clear();
    EXPECT_EQ(Bef_ApplySetting(1, kLoopback, a.port()), 0);
    EXPECT_FALSE(log.contains("Close server stream"));
    EXPECT_EQ(Bef_IsConnected(), 1);
    EXPECT_EQ(Bef_ApplySetting(1, kLoopback, b.port()), 1);
    EXPECT_TRUE(log.contains("Close server stream (Change setting).") && Bef_IsConnected() == 0);
    ASSERT_TRUE(b.waitAccepts(1, seconds(30)));
    auto f = eventFrame();
    ASSERT_TRUE(WaitUntil([] { return Bef_IsConnected() == 1; }, seconds(30)));
    push(2, f);
    EXPECT_TRUE(b.waitBytes(72));
    EXPECT_EQ(std::tuple(a.data().size(), a.accepts()), std::tuple(0u, 1));
    // Switching off (with another port) closes and stays closed.
    EXPECT_EQ(Bef_ApplySetting(0, kLoopback, a.port()), 1);
    EXPECT_TRUE(Bef_IsConnected() == 0 && !Bef_TimerArmed());
    // Switching off keeps what is queued; the next connection goes to the port set while off.
    push(0, eventFrame());
    EXPECT_EQ(Bef_QueueLen(), 1u);
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    EXPECT_TRUE(a.waitBytes(72));
}

TEST_F(BefTest, TheStoreBoundDropsTheOldestSaysSoAndMovesTheCursor) {
    start(1, down.port()); // on, and the server is down
    EXPECT_EQ(Bef_ConnectTimerCallback(), 0) << "nobody listens yet";
    const size_t bound = 50, made = 60;
    get_setting_plant()->store_size = bound;
    for (size_t i = 0; i < made; ++i) {
        auto f = eventFrame(13);
        f[11] = uint8_t(i);
        push(0, f, false);
    }
    flush();
    EXPECT_EQ(Bef_QueueLen(), bound);
    EXPECT_EQ(ResultStore_Cursor("bef"), int64_t(made - bound));
    int said = 0; // the operator is told of every result dropped, maybe over a few commits
    for (const std::string& m : sink.drain()) {
        int n = 0;
        if (sscanf(m.c_str(),
                   "plant_dropped Plant results dropped: %d results of bef were not "
                   "delivered.",
                   &n) == 1)
            said += n;
    }
    EXPECT_EQ(said, int(made - bound));
    EXPECT_TRUE(log.contains("results not delivered to bef dropped"));
    TcpServer server;
    Bef_ApplySetting(1, kLoopback, server.port());
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    ASSERT_TRUE(server.waitBytes(15 * bound));
    std::string d = server.data();
    for (size_t k = 0; k < bound; ++k)
        EXPECT_EQ(uint8_t(d[15 * k + 13]), made - bound + k) << "the oldest went, in order";
    ASSERT_TRUE(WaitUntil([&] { return ResultStore_Cursor("bef") == int64_t(made); }));
    push(0, eventFrame(13));
    EXPECT_EQ(ResultStore_LastId(), int64_t(made + 1)) << "no ID used again after pruning";
}

// A GUI call (apply, close) returns well within one send limit (3 s) while the sender waits.
template <typename F> bool returnsPromptly(F call) {
    auto done = std::async(std::launch::async, call);
    return done.wait_for(milliseconds(1000)) == std::future_status::ready;
}

TEST_F(BefTest, StalledServerFailsOneMessageTwiceAndNeverHoldsTheGui) {
    TcpServer server(4096);
    server.pauseReading(true);
    start(0, server.port());
    // The backlog is stored before the link is made, so the sender fills the socket at
    // once: the fill has to beat the kernel's own give-up (the user timeout counts from the
    // server's window closing), also under emulation.
    auto f = eventFrame();
    const size_t pushed = kMany;
    for (size_t i = 0; i < pushed; ++i)
        push(0, f, false);
    flush();
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    ASSERT_TRUE(log.waitFor("send waits for the server", 1, 30000));
    EXPECT_TRUE(returnsPromptly([&] { Bef_ApplySetting(0, kLoopback, server.port()); }));
    ASSERT_TRUE(log.waitFor("Close server stream (Send error).", 1, 30000));
    // Tries count per message: other messages may have waited once and gone on, but only
    // one reached its second failure, and that closed the link (nothing else says "Send
    // error").
    EXPECT_EQ(log.count("send fail, try 2 of 2"), 1u);
    EXPECT_EQ(Bef_IsConnected(), 0);
    size_t left = Bef_QueueLen();
    EXPECT_GT(left, 0u) << "the rest waits for the next connection";
    EXPECT_LT(left, pushed);

    // A close from the screen while the sender waits: prompt, and the message cut short
    // stays after the cursor, to be sent first on the next link.
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    log.clear();
    ASSERT_TRUE(log.waitFor("send waits for the server", 1, 30000));
    size_t before = Bef_QueueLen();
    EXPECT_TRUE(returnsPromptly([] { Bef_CloseServerStream("Change setting"); }));
    EXPECT_EQ(Bef_IsConnected(), 0);
    if (log.count("try 2 of 2") == 0) { // the wait had not run out meanwhile
        EXPECT_EQ(Bef_QueueLen(), before);
    }
}

TEST_F(BefTest, ServerThatKeepsSendingIsCutOffAndReconnected) {
    TcpServer server;
    server.streamToClient(true);
    start(0, server.port());
    // Before the link: the server streams at once, and the close that follows (on the
    // loop) arms the reconnect timer only when forwarding is on.
    get_setting_share()->bef_enable = 1;
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    // The close is logged after the reason: wait for it.
    ASSERT_TRUE(log.waitFor("Close server stream (Unexpected data).", 1, 30000));
    EXPECT_TRUE(log.contains("bytes unasked, reconnecting"));
    EXPECT_TRUE(server.waitAccepts(2, seconds(30))) << "made again at the next tick";
}

TEST_F(BefTest, TimerEndingOnAnUpLinkStillLetsTheNextCloseReconnect) {
    TcpServer server;
    start(0, server.port());
    ASSERT_EQ(Bef_ConnectTimerCallback(), 1);
    get_setting_share()->bef_enable = 1;
    log.clear();
    Bef_ConnectTimerAdd(); // armed although the link is up
    EXPECT_TRUE(Bef_TimerArmed());
    ASSERT_TRUE(log.waitFor("Try to connect server ... ", 1, 30000))
        << "the timer fires on the default loop";
    EXPECT_TRUE(WaitUntil([] { return !Bef_TimerArmed(); }, seconds(30)))
        << "a timer that ended is no longer counted as armed";
    EXPECT_EQ(Bef_IsConnected(), 1);
    EXPECT_EQ(server.accepts(), 1) << "no second connection while up";
    server.dropClient();
    ASSERT_TRUE(log.waitFor("Close server stream (Recv FIN).", 1, 30000));
    EXPECT_TRUE(Bef_TimerArmed());
    EXPECT_TRUE(server.waitAccepts(2, seconds(30))) << "the close armed a reconnect";
}
