// Tool registry: "./regtools" records and files, discovery answers, keep-alive,
// dismissal, registration, release and rename.
#include "toollink_support.h"

#include "barcode.h"

using namespace toollink_test;

namespace {

// ---- pure helpers ----

TEST(ToolsNames, DefaultRegisteredAndSafeNames) {
    // the type, and the name: exactly 16 bytes compared
    const std::tuple<uint8_t, const char*> cases[] = {
        {TOOL_TYPE_XWC, "XWC02005e1020ab"},
        {TOOL_TYPE_ZQ, "ZQ02005e1020ab"},
        {TOOL_TYPE_ZQT, "ZQT02005e1020ab"},
        {TOOL_TYPE_XWTC, "XWTC02005e1020ab"},
        {9, "02005e1020ab"},
    };
    for (const auto& [type, name] : cases) {
        ToolInfo i = makeInfo(0xab, type);
        char out[TOOL_DEFNAME_SIZE];
        memset(out, 'x', sizeof out);
        ToolManager_MakeDefaultName(&i, out);
        // strnlen: a shorter name must end in its terminator, a full one fills the 16 bytes
        EXPECT_EQ(std::string(out, strnlen(out, sizeof out)), name) << int(type);
    }
    // A registered name is the prefix and the serial as a plain folder name.
    const std::tuple<uint8_t, const char*, const char*> regCases[] = {
        {TOOL_TYPE_XWTC, "SSSSSSSSSSSSSSSSSSSS", "XWTCSSSSSSSSSSSSSSSS"}, // 16 bytes taken
        {7, "A1", "A1"},
        {TOOL_TYPE_ZQ, "/../../etc", "ZQ_.._.._etc"},
        {TOOL_TYPE_ZQ, "a\nb\tc", "ZQa_b_c"},
        {7, "", "tool"},
        {7, "..", "__"},
        {7, ".", "_"},
        {7, "../x", ".._x"},
    };
    for (const auto& [type, serial, want] : regCases) {
        char out[TOOL_NAME_SIZE];
        ToolManager_MakeRegName(type, serial, out);
        EXPECT_STREQ(out, want) << serial;
        EXPECT_TRUE(ToolManager_NameIsSafe(out)) << serial;
    }
    for (const char* good : {"ZQ123", "my tool.1"})
        EXPECT_TRUE(ToolManager_NameIsSafe(good)) << good;
    for (const char* bad : {"", ".", "..", "a/b", "/abs", "../up"})
        EXPECT_FALSE(ToolManager_NameIsSafe(bad)) << bad;
    EXPECT_FALSE(ToolManager_NameIsSafe(nullptr));
}

TEST(ToolsRegtools, MacTextRecordLayoutDecodeRefusalsAndBarcodeLinesSplitAtTilde) {
    uint8_t parsed[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_NE(MacAddr_Atoi("aa:bb:cc:dd:ee", parsed), 0);
    EXPECT_EQ(std::string((char*)parsed, 6), "\x01\x02\x03\x04\x05\x06") << "left as it was";
    EXPECT_EQ(MacAddr_Atoi("aa:bb:cc:dd:ee:f", parsed), 0);
    EXPECT_EQ(std::string((char*)parsed, 6), "\xaa\xbb\xcc\xdd\xee\x0f");
    EXPECT_NE(MacAddr_Atoi(nullptr, parsed), 0);
    // The record file.
    RegToolRecord rec;
    memset(&rec, 0, sizeof rec);
    strcpy(rec.name, "ZQtool");
    memcpy(rec.serial, "0123456789abcdef", 16);
    rec.model = 0x11223344;
    const uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    memcpy(rec.mac, mac, 6);
    memcpy(rec.defname, "ZQ01020304050607", 16);
    rec.type = 3;
    uint8_t out[REGTOOLS_RECORD_SIZE];
    RegTools_EncodeRecord(&rec, out);
    // name (33), serial (16, 3 padding), little-endian model, MAC, default name, type, 0
    EXPECT_EQ(std::string((char*)out, sizeof out), "ZQtool" + std::string(27, 0) +
                                                       "0123456789abcdef" + std::string(3, 0) +
                                                       "\x44\x33\x22\x11\x01\x02\x03\x04\x05\x06" +
                                                       "ZQ01020304050607" + std::string("\x03", 2));

    RegToolRecord back;
    memset(&back, 0xee, sizeof back);
    ASSERT_EQ(RegTools_DecodeRecord(out, &back), 0);
    EXPECT_EQ(
        std::tuple(std::string(back.name), back.model, std::string(back.defname, 16), back.type),
        std::tuple("ZQtool", 0x11223344u, "ZQ01020304050607", 3));
    // A name without its terminator is cut.
    uint8_t in[REGTOOLS_RECORD_SIZE] = {};
    memset(in, 'N', 33);
    EXPECT_EQ(RegTools_DecodeRecord(in, &rec), 0);
    EXPECT_EQ(strlen(rec.name), 32u);
    // A tool's barcode line splits at "~".
    const std::tuple<const char*, const char*, uint32_t, uint32_t, uint32_t, uint32_t> cases[] = {
        {"ABC123~1~2~5~7~\n", "ABC123", 1, 2, 5, 7},
        {"X~0~0~0~16~extra~\n", "X", 0, 0, 0, 16},
        {"only\n", "only", 0, 0, 0, 0},
        {"C~1~~9~9~\n", "C", 1, 0, 0, 0}, // parsing stops at the empty field
        {"~1~2~3~4~\n", "", 0, 0, 0, 0},
        {"0123456789012345678901234567890123456789~0~1~1~3~", "01234567890123456789012345678901", 0,
         1, 1, 3},
    };
    for (const auto& [line, code, partial, start, end, preset] : cases) {
        ToolBarcodeLine l;
        ToolManager_ParseBarcodeLine(line, &l);
        EXPECT_EQ(std::tuple(std::string(l.code), l.partial, l.start, l.end, l.preset),
                  std::tuple(code, partial, start, end, preset))
            << line;
    }
}

// ---- the registry with the driver running ----

class Registry : public DriverFixture {
  protected:
    void registerTools(int n) {
        for (int i = 0; i < n; ++i) {
            feedAck(makeInfo(uint8_t(i + 1), TOOL_TYPE_ZQ, 0x7f000001, 5020,
                             ("SN" + std::to_string(i)).c_str()));
            ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
        }
        takeConnects();
        sink.drain();
    }
    ToolView view(int tdx) {
        ToolView v;
        EXPECT_EQ(ToolManager_GetToolView(tdx, &v), 0) << tdx;
        return v;
    }
    uint32_t state(int tdx) { return view(tdx).state; }
    std::string name(int tdx) { return view(tdx).name; }
    // Puts tool `tdx` into a state as its connect attempts would leave it.
    void prime(int tdx, uint32_t state, int miss) {
        RegToolsLock g;
        RegToolRecord* r = ToolManager_RegTool(tdx);
        r->state = state;
        r->miss = miss;
        r->netif = TOOL_NETIF_ETH;
        r->ip = 0x7f000001;
        r->port = 5020;
        r->busy = state == TOOL_STATE_BUSY;
    }
    int miss(int tdx) {
        RegToolsLock g;
        return ToolManager_RegTool(tdx)->miss;
    }
};

TEST_F(Registry, LoadKeepsEightIdleToolsWithFoldersAndSaveWritesThemBackOrKeepsTheOldFile) {
    const std::string head = regRecord("ZQalpha", 1) + regRecord("XWCbeta", 2, 1, 99);
    std::string tools;
    for (int i = 0; i < 7; ++i)
        tools += regRecord(("T" + std::to_string(i)).c_str(), uint8_t(i + 4));
    TestEnv::writeFile("regtools", head + regRecord("../../escape", 3) + tools);
    LogCapture log;
    startDriver();
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 8);
    EXPECT_EQ(std::tuple(name(0), name(7), state(1)), std::tuple("ZQalpha", "T5", 0u));
    EXPECT_TRUE(fs::is_directory("files/tools/ZQalpha") && fs::is_directory("files/tools/XWCbeta"));
    EXPECT_FALSE(fs::exists("../escape"));
    EXPECT_TRUE(log.contains("record skipped") && log.contains("more than 8 tools"));
    ToolView v = view(1);
    EXPECT_EQ(std::tuple(v.model, v.mac[5]), std::tuple(99u, uint8_t(2))) << "the MAC copy";
    // Saved, the kept records come back byte for byte.
    const std::string kept = head + tools.substr(0, 6 * tools.size() / 7);
    fs::remove("regtools");
    ASSERT_EQ(ToolManager_SaveRegTools(), 0);
    EXPECT_EQ(TestEnv::readFile("regtools"), kept);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(7), 0);
    Common_SetWriteFailAfter(10);
    EXPECT_EQ(ToolManager_SaveRegTools(), -1);
    EXPECT_TRUE(log.contains("./regtools open fail"));
    EXPECT_EQ(TestEnv::readFile("regtools"), kept);
}

TEST_F(Registry, DamagedOrSpecialFileIsMovedAsideUnderANameOfItsOwn) {
    Common_SetFixedTime(1780000000); // the names carry the local time
    struct tm t;
    Common_LocalTime(&t);
    char stamp[32];
    strftime(stamp, sizeof stamp, "regtools.bad.%Y%m%d-%H%M%S", &t);
    const std::string bad = regRecord("ZQalpha", 1) + std::string(20, 'x');
    TestEnv::writeFile("regtools", bad);
    startDriver();
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 0);
    EXPECT_EQ(fs::file_size("regtools"), 0u) << "started empty";
    // A second damaged file in the same second does not replace the first one's evidence.
    TestEnv::writeFile("regtools", "short");
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    EXPECT_EQ(TestEnv::readFile(stamp), bad);
    EXPECT_EQ(TestEnv::readFile(std::string(stamp) + ".1"), "short");
    // A FIFO in its place (a restored archive can bring one) neither blocks nor stays.
    fs::remove("regtools");
    ASSERT_EQ(mkfifo("regtools", 0644), 0);
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    EXPECT_TRUE(fs::is_fifo(std::string(stamp) + ".2"));
    EXPECT_TRUE(fs::is_regular_file("regtools"));
    Common_SetFixedTime(0);
}

TEST_F(Registry, UnknownToolIsListedWhileFreeAndAnsweringAndDroppedAtTheFourthSilentTick) {
    startDriver();
    ToolInfo t = makeInfo(7);
    feedAck(t, TOOL_NETIF_ETH, 1);
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_TRUE(sink.drain().empty());
    feedAck(t, TOOL_NETIF_WLAN, 0);
    ASSERT_EQ(ToolManager_GetDiscoToolsLen(), 1);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    DiscoToolView d;
    feedAck(t); // a repeat changes nothing visible
    EXPECT_TRUE(sink.drain().empty());
    feedAck(t, TOOL_NETIF_ETH, 1); // taken by another controller: leaves the list
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    EXPECT_EQ(ToolManager_GetDiscoToolView(0, &d), -1);
    feedAck(t);
    sink.drain();
    EXPECT_EQ(ToolManager_UpdateToolState_ByDisco(&t, 3, TOOL_NETIF_ETH), 0); // it leaves
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    EXPECT_EQ(ToolManager_UpdateToolState_ByHostapd(nullptr), -1);
    // An answer restarts a tool's count of silent ticks: only the silent one goes.
    feedAck(makeInfo(1));
    feedAck(makeInfo(2));
    for (int tick = 1; tick <= 4; ++tick) {
        ToolManager_KeepAlive_DiscoTools();
        if (tick < 4) feedAck(makeInfo(2));
    }
    uint8_t mac2[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 2};
    EXPECT_EQ(std::tuple(ToolManager_GetDiscoToolsLen(), ToolManager_FindDiscoTdx_ByMac(mac2)),
              std::tuple(1, 0));
}

// What happens to registered tool 0 in each state at each input: its new state, its
// keep-alive count and address, the events posted to the screens, the connect requests.
TEST_F(Registry, TransitionsOfARegisteredToolAndADismissalThatNeverWaitsForItsConnection) {
    const uint32_t I = TOOL_STATE_IDLE, B = TOOL_STATE_BUSY, C = TOOL_STATE_CONNECTING,
                   K = TOOL_STATE_CONNECTED, H = TOOL_STATE_HALF, F = TOOL_STATE_FAILED;
    const Lines none, lostCurrent = {"update_curr_tdx -1", "update_regtools 0 0"};
    const std::vector<int> asked = {0};
    const uint32_t A1 = 0x7f000001, A2 = 0x7f000002;
    static const ToolInfo t = makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, 5020, "SN0");
    static const ToolInfo moved = makeInfo(1, TOOL_TYPE_ZQ, 0x7f000002, 5020, "SN0");
    using In = void (*)();
    const In ack = [] { feedAck(t); }, ackBusy = [] { feedAck(t, TOOL_NETIF_ETH, 1); },
             ackMoved = [] { feedAck(moved); }, tick = [] { ToolManager_KeepAlive_RegTools(); },
             leave = [] { ToolManager_UpdateToolState_ByDisco(&t, 3, TOOL_NETIF_ETH); },
             renew = [] { ToolManager_UpdateToolState_ByDisco(&t, 5, TOOL_NETIF_ETH); },
             readdress = [] { ToolManager_Readdress(&moved, 2, TOOL_NETIF_ETH); },
             hostapd = [] { ToolManager_UpdateToolState_ByHostapd(t.mac); },
             lost = [] { ToolManager_DismissTool_ByTdx(0, 1); };
    // from a state and keep-alive count, the screens' current tool, the connect queue there,
    // an input: the state, count and address after, the events posted, the connects asked
    using Row =
        std::tuple<uint32_t, int, bool, bool, In, uint32_t, int, Lines, std::vector<int>, uint32_t>;
    const Row rows[] = {
        {I, 2, false, true, ack, C, 0, none, asked, A1},
        {I, 0, false, true, ackBusy, B, 0, {"update_regtools 0 1"}, {}, A1},
        {I, 0, false, false, ack, I, 0, none, {}, A1}, // unqueued: asks again next time
        {B, 0, false, true, ackBusy, B, 0, none, {}, A1},
        {B, 0, false, true, ack, C, 0, none, asked, A1},
        {B, 0, false, false, ack, B, 0, none, {}, A1},
        {C, 0, false, true, ack, C, 0, none, {}, A1},
        {K, 2, false, true, ack, K, 0, none, {}, A1},
        {K, 0, false, true, ackMoved, C, 0, none, asked, A2},
        {K, 0, true, true, ackMoved, C, 0, lostCurrent, asked, A2},
        {H, 0, false, true, ack, H, 0, none, asked, A1},
        {F, 0, false, true, ack, F, 0, none, asked, A1},
        {K, 2, false, true, tick, K, 3, none, {}, A1},
        {K, 3, false, true, tick, I, 0, none, {}, A1}, // the fourth silent tick
        {K, 3, true, true, tick, I, 0, lostCurrent, {}, A1},
        {H, 3, false, true, tick, H, 3, none, {}, A1}, // only connected tools are counted
        {K, 0, false, true, leave, I, 0, none, {}, A1},
        {K, 0, true, true, hostapd, I, 0, lostCurrent, {}, A1},
        {K, 0, false, true, renew, K, 0, none, asked, A1},
        {K, 1, false, true, readdress, C, 0, {"disconn flag 0 1"}, asked, A2},
        {B, 0, false, true, lost, I, 0, none, {}, A1},
    };
    startDriver();
    registerTools(1);
    Debug_GetFlag()[DEBUG_FLAG_MODBUS] = 1;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& [from, missBefore, current, queue, in, to, missAfter, events, connects,
                     ipAfter] = rows[i];
        prime(0, from, missBefore);
        ToolManager_SetCurrTdx(current ? 0 : 1);
        if (!queue) Modbus_SetMsgQ(nullptr);
        LogCapture log;
        in();
        Modbus_SetMsgQ(recordQ);
        const ToolView v = view(0);
        EXPECT_EQ(std::tuple(v.state, miss(0), v.ip, sink.drain(), takeConnects()),
                  std::tuple(to, missAfter, ipAfter, events, connects))
            << "row " << i;
        // Each change is logged (a readdressing passes through idle).
        EXPECT_EQ(log.contains("tdx.0 state "), from != to) << "row " << i;
        EXPECT_TRUE(from == to || log.contains("-> " + std::to_string(to))) << "row " << i;
    }
    // A dismissal never waits for the tool's connection.
    // A connect attempt to a closed port leaves the data connection made but down.
    Modbus_MsgQProc_Connect(0);
    ASSERT_EQ(state(0), TOOL_STATE_FAILED);
    ToolManager_LockRegTools();
    ToolConn* conn = ToolConn_Ref(ToolManager_RegTool(0)->mbConn);
    ToolManager_UnlockRegTools();
    ASSERT_NE(conn, nullptr);
    sink.drain();
    {
        // As a transaction in progress holds it: the screens' queries, the keep-alive and
        // the dismissal all go ahead.
        std::lock_guard<std::mutex> busy(conn->lock);
        ToolManager_KeepAlive_RegTools();
        EXPECT_EQ(ToolManager_GetRegToolsLen(), 1);
        EXPECT_EQ(ToolManager_DismissTool_ByTdx(0, 1), 0);
        EXPECT_EQ(state(0), TOOL_STATE_IDLE);
        EXPECT_TRUE(conn->dropped);
    }
    EXPECT_EQ(Modbus_Read(0, 100, 1, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(sink.drain(), (Lines{"update_regtools 0 0"}));
    ToolConn_Unref(conn); // the last reference frees it (ASan checks)
}

TEST_F(Registry, RegistrationBuildsTheRecordAndRefusesANinthTool) {
    startDriver();
    feedAck(makeInfo(9, TOOL_TYPE_ZQT, 0x7f000001, 5020, "ABC"), TOOL_NETIF_WLAN);
    sink.drain();
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_regtools 0 2", "update_discotools"}));
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
    EXPECT_STREQ(view(0).defname, "ZQT02005e102009");
    registerTools(7);
    feedAck(makeInfo(50));
    LogCapture log;
    EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(0), -1);
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 8);
    EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(3), -1);
    EXPECT_TRUE(log.contains("invalid disco_index : 1 / 3"));
}

TEST_F(Registry, RenameMovesTheFolderOrMergesBarcodeLines) {
    startDriver(); // with the barcode module's tables
    registerTools(3);
    TestEnv::writeFile("files/tools/ZQSN0/note.txt", "kept");
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(0, "Station A"), 0);
    EXPECT_EQ(name(0), "Station A");
    EXPECT_EQ(TestEnv::readFile("files/tools/Station A/note.txt"), "kept");
    EXPECT_FALSE(fs::exists("files/tools/ZQSN0"));

    // The middle line is over-long: it is cut to one entry, its tail is not a line of its own.
    TestEnv::writeFile("files/tools/Old/barcode.zq", "AB12~0~0~0~3~\nLONG~0~0~0~1~" +
                                                         std::string(1500, 'x') +
                                                         "~7~\nCD~1~2~4~16~\n");
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(1, "Old"), 0);
    EXPECT_FALSE(fs::exists("files/tools/ZQSN1")); // the empty old folder went
    ASSERT_EQ(Barcode_Len(1), 3);
    BarcodeEntry e[3];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Barcode_GetEntry(1, i, &e[i]), 0);
    EXPECT_EQ(std::tuple(std::string(e[0].code), std::string(e[1].code), std::string(e[2].code),
                         BarcodeEntry_Preset(&e[0]), e[2].end, BarcodeEntry_Preset(&e[2])),
              std::tuple("AB12", "LONG", "CD", 3, 4u, 16));
    // Renaming to its own name neither removes its folder nor merges its lines twice.
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(1, "Old"), 0);
    EXPECT_TRUE(fs::exists("files/tools/Old/barcode.zq"));
    EXPECT_EQ(Barcode_Len(1), 3);
    // A FIFO in place of the table file is not read (it would block the rename).
    fs::create_directories("files/tools/Piped");
    ASSERT_EQ(mkfifo("files/tools/Piped/barcode.zq", 0644), 0);
    const int before = Barcode_Len(2);
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(2, "Piped"), 0);
    EXPECT_EQ(Barcode_Len(2), before);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(1), 0); // frees the table (ASan checks)
}

// Barcode tool tables in the real records: loaded with the registered tools, saved under the
// tool's folder, fed by the registry when a rename merges a folder, and freed with the record.
TEST_F(Registry, BarcodeToolTablesLiveInTheRecords) {
    TestEnv::writeFile("regtools", regRecord("ZQalpha", 1) + regRecord("ZQbeta", 2));
    TestEnv::writeFile("files/tools/ZQalpha/barcode.zq", "A1~0~0~0~2~\nB~1~1~1~17~\n");
    startDriver();
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 2);
    // Tool 1 has no file: an empty table.
    EXPECT_EQ(std::tuple(Barcode_Len(0), Barcode_Len(1), Barcode_FindPreset(0, "A1"),
                         Barcode_FindPreset(0, "Bxyz")),
              std::tuple(2, 0, 2, 17));
    ToolManager_LockRegTools();
    EXPECT_TRUE(ToolManager_RegTool(0)->barcode && ToolManager_RegTool(1)->barcode);
    ToolManager_UnlockRegTools();

    int32_t preset = 5;
    ASSERT_EQ(Barcode_Append(1, "NEW", 0, 0, 0, &preset), 0);
    ASSERT_EQ(Barcode_Save(1), 0);
    EXPECT_EQ(TestEnv::readFile("files/tools/ZQbeta/barcode.zq"), "NEW~0~0~0~5~\n");

    // A rename into a folder that has a table merges its rows through the module's append.
    TestEnv::writeFile("files/tools/Line 2/barcode.zq", "M1~0~0~0~9~\n");
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(1, "Line 2"), 0);
    EXPECT_EQ(std::tuple(Barcode_Len(1), Barcode_FindPreset(1, "M1")), std::tuple(2, 9));
    ASSERT_EQ(Barcode_Save(1), 0);
    EXPECT_EQ(TestEnv::readFile("files/tools/Line 2/barcode.zq"), "NEW~0~0~0~5~\nM1~0~0~0~9~\n");

    // Releasing a tool frees its table; the next tool moves down with its own.
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    EXPECT_EQ(std::tuple(Barcode_Len(0), Barcode_FindPreset(0, "M1"), Barcode_Len(1)),
              std::tuple(2, 9, 0));
}

TEST_F(Registry, FindByMacAndNameAndInvalidIndexesOrNames) {
    startDriver();
    registerTools(2);
    LogCapture log;
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(2, "x"), -1);
    EXPECT_TRUE(log.contains("invalid parameters (2,2,x)"));
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(0, "../../x"), -1);
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(0, nullptr), -1);
    EXPECT_EQ(name(0), "ZQSN0");
    uint8_t mac2[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 2};
    EXPECT_EQ(std::tuple(ToolManager_FindRegTdx_ByMac(mac2), ToolManager_FindRegTdx_ByMac(nullptr)),
              std::tuple(1, -1));
    EXPECT_EQ(std::tuple(ToolManager_FindTdx_ByName("ZQSN1"), ToolManager_FindTdx_ByName("ZQSN")),
              std::tuple(1, -1));
    ToolManager_LockRegTools();
    EXPECT_EQ(std::tuple(CheckTdx(1, "t", 1), CheckTdx(2, "t", 1)), std::tuple(0, 1));
    EXPECT_EQ(ToolManager_GetToolName_ByTdx(8), nullptr);
    ToolManager_UnlockRegTools();
    log.clear();
    EXPECT_EQ(ToolManager_FindTdx_ByName(nullptr), -1);
    EXPECT_TRUE(log.contains("invalid parameters : tname is null"));
    EXPECT_EQ(ToolManager_DismissTool_ByTdx(2, 1), -1);
    EXPECT_TRUE(log.contains("invalid regtdx 2/2"));
    EXPECT_EQ(ToolManager_DismissTool_ByTdx(-1, 1), -1);
    EXPECT_EQ(log.count("invalid regtdx"), 1u); // -1 is refused silently
    EXPECT_EQ(ToolManager_MoveTool_RegToDisco(5), -1);
    EXPECT_TRUE(log.contains("invalid reg_index : 2 / 5"));
    ToolView v;
    EXPECT_EQ(ToolManager_GetToolView(2, &v), -1);
    EXPECT_EQ(v.name[0], 0);
    EXPECT_TRUE(sink.drain().empty());
}

} // namespace
