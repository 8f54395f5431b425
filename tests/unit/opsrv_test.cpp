// The Open Protocol server on a loopback port, against a small client that writes and reads
// telegrams as the public description lays them out (length, MID, revision, blanks, NUL).
#include "FakeResultStore.h"
#include "OpClient.h"
#include "opframe.h"
#include "opsrv.h"
#include "resultstore.h"
#include "unit_common.h"

#include "barcode.h"

using kest_test::WaitUntil;

namespace {
struct OpSrvTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    RecordingSink sink;
    FakeResultStore store;
    void SetUp() override {
        load_setting();
        store.base.time = "2026-03-04 05:06:07";
        store.base.status = 1;
        OpSrvStore ops = store.ops<OpSrvStore>();
        // Old results (MID 0064) are fetched in the plant screen's test.
        ops.get = [](int64_t, StoredResult*) { return -1; };
        Debug_GetFlag()[DEBUG_FLAG_BEF].store(1);
        EwDriver_SetDeviceObject(&sink);
        get_setting_plant()->op_enable = 1;
        get_setting_plant()->op_port = 0; // any free port
        OpSrv_Start(ops);
        Threads_Init();
        ASSERT_TRUE(WaitUntil([] { return OpSrv_BoundPort() > 0; }));
    }
    void TearDown() override { OpSrv_Stop(); }
    // Telegrams sent in turn (MID, revision, data), each with the reply it gets (MID, data).
    using Exchange = std::tuple<int, int, std::string, int, std::string>;
    static void talk(OpClient& c, std::initializer_list<Exchange> script) {
        for (const auto& [mid, rev, data, reply, want] : script) {
            c.send(mid, rev, data);
            EXPECT_EQ(c.expect(reply), want) << "after " << mid;
        }
    }
    // The request id of the next plant command posted to the GUI, checking what it carries.
    int32_t command(const std::string& what) {
        EXPECT_TRUE(sink.next("plant_command"));
        std::string line = sink.events.back();
        int32_t id = 0;
        char rest[64] = {};
        sscanf(line.c_str(), "plant_command %d %63[^\n]", &id, rest);
        EXPECT_EQ(std::string(rest), what);
        return id;
    }
};
} // namespace

TEST_F(OpSrvTest, SessionRevisionsSecondClientKeepAliveMalformedAndStop) {
    OpClient c(OpSrv_BoundPort());
    talk(c, {{60, 1, "", 4, "006079"}, // not in a session yet
             {1, 4, "", 4, "000197"}});
    c.send(1, 3);
    EXPECT_EQ(c.expect(2).size(), 105u);
    EXPECT_TRUE(sink.waitFor("op_connected 1"));
    EXPECT_EQ(OpSrv_Connected(), 1);
    talk(c, {{1, 1, "", 4, "000196"}});
    {
        OpClient second(OpSrv_BoundPort());
        EXPECT_EQ(second.expect(4), "000196");
        EXPECT_EQ(second.next().mid, -1);
    }
    talk(c, {{9999, 1, "", 9999, ""}, {123, 1, "", 4, "012399"}, {60, 4, "", 4, "006097"}});
    c.raw("junk" + std::string("00250064001         0000000001", 30) + std::string(1, '\0'));
    EXPECT_EQ(c.expect(4), "006401"); // the length said 25, the NUL came at 30
    talk(c, {{64, 1, "12", 4, "006401"}, {3, 1, "", 5, "0003"}});
    EXPECT_EQ(c.next().mid, -1);
    EXPECT_TRUE(sink.waitFor("op_connected 0"));
}

TEST_F(OpSrvTest, IdleSessionIsClosed) {
    OpSrv_SetTimeouts({50, 10000, 5000});
    OpClient c(OpSrv_BoundPort());
    c.start();
    EXPECT_EQ(c.next().mid, -1);
    EXPECT_TRUE(sink.waitFor("op_connected 0"));
    EXPECT_EQ(OpSrv_Connected(), 0);
}

TEST_F(OpSrvTest, ResultsInOrderResentThenClosedAndCaughtUpAfterReconnect) {
    for (int64_t id = 1; id <= 3; ++id)
        store.add(id);
    {
        OpClient c(OpSrv_BoundPort());
        c.start();
        talk(c, {{60, 1, "", 5, "0060"}});
        for (int64_t id = 1; id <= 3; ++id) {
            std::string d = c.expect(61);
            EXPECT_EQ(d.substr(d.size() - 12), "23" + std::string(9, '0') + std::to_string(id));
            c.send(62);
        }
        EXPECT_TRUE(WaitUntil([&] { return store.acked() == 3; }));
        OpSrv_SetTimeouts({15000, 50, 5000});
        store.add(4);                                  // the watch wakes the sender
        for (int i = 0; i < 1 + OP_ACK_RESENDS; ++i) { // sent, then resent three times
            std::string d = c.expect(61);
            EXPECT_EQ(d.substr(d.size() - 12), "230000000004");
        }
        EXPECT_EQ(c.next().mid, -1);
        EXPECT_EQ(store.acked(), 3);
    }
    OpSrv_SetTimeouts({15000, 10000, 5000});
    OpClient c(OpSrv_BoundPort());
    c.start();
    talk(c, {{60, 2, "", 5, "0060"}});
    std::string d = c.expect(61); // the missed one, in revision 2
    EXPECT_EQ(d.size(), 365u);
    EXPECT_NE(d.find("410000000004"), std::string::npos);
    c.send(62);
    EXPECT_TRUE(WaitUntil([&] { return store.acked() == 4; }));
    talk(c, {{60, 1, "", 4, "006009"}, {63, 1, "", 5, "0063"}, {63, 1, "", 4, "006310"}});
}

TEST_F(OpSrvTest, CommandsAnsweredByTheGui) {
    OpSrv_SetTimeouts({15000, 10000, 50});
    OpClient c(OpSrv_BoundPort());
    c.start();
    c.send(38, 1, "03");
    OpSrv_CommandDone(command("38 2"), OP_ERR_JOB_CANNOT_SET); // job 3 is the third
    EXPECT_EQ(c.expect(4), "003820");
    c.send(50, 1, "VIN-1");
    int32_t late = command("50 0 VIN-1");
    EXPECT_EQ(c.expect(4), "005098"); // no answer in time
    OpSrv_CommandDone(late, 0);       // too late: nothing more is sent
    talk(c, {{18, 1, "1x3", 4, "001801"}});
}

TEST_F(OpSrvTest, IdentifiersAndAlarmsOneAtATime) {
    OpClient c(OpSrv_BoundPort());
    c.start();
    talk(c, {{51, 1, "", 5, "0051"}});
    Barcode_SetCurrCode("ABC"); // as a tool's barcode read sets it
    EXPECT_EQ(c.expect(52), "ABC" + std::string(22, ' '));
    OpSrv_IdentifierRead("DEF");
    Threads_RunSync(LOOP_OPSRV, [] {}); // taken in, waiting for the 0053
    talk(c, {{9999, 1, "", 9999, ""}});
    c.send(53);
    EXPECT_EQ(c.expect(52).substr(0, 3), "DEF");
    talk(c, {{70, 1, "", 5, "0070"}});
    OpSrv_ToolError(0, 331);
    EXPECT_EQ(c.expect(71).substr(0, 12), "010331021031");
    c.send(72);
    OpSrv_ToolLinkLost(1);
    EXPECT_EQ(c.expect(71).substr(0, 12), "019002021030");
    talk(c, {{73, 1, "", 5, "0073"}, {73, 1, "", 4, "007312"}});
}
