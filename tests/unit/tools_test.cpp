// Tool registry: "./regtools" records and files, discovery answers, keep-alive,
// dismissal, registration, release and rename.
#include "toollink_support.h"

#include "common.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>

using namespace toollink_test;
namespace fs = std::filesystem;

namespace {

// ---- pure helpers ----

TEST(ToolsNames, DefaultNameByFamily) {
    struct Case {
        uint8_t type;
        const char* want; // exactly 16 bytes compared
    } cases[] = {
        {TOOL_TYPE_XWC, "XWC02005e1020ab"},
        {TOOL_TYPE_ZQ, "ZQ02005e1020ab"},
        {TOOL_TYPE_ZQT, "ZQT02005e1020ab"},
        {TOOL_TYPE_XWTC, "XWTC02005e1020ab"},
        {9, "02005e1020ab"},
    };
    for (const auto& c : cases) {
        ToolInfo i = makeInfo(0xab, c.type);
        char out[TOOL_DEFNAME_SIZE];
        memset(out, 'x', sizeof out);
        ToolManager_MakeDefaultName(&i, out);
        std::string want(c.want);
        EXPECT_EQ(std::string(out, strnlen(out, sizeof out)), want) << int(c.type);
        if (want.size() < TOOL_DEFNAME_SIZE) {
            EXPECT_EQ(out[want.size()], 0);
        }
    }
}

TEST(ToolsNames, RegisteredNameFromSerialCutTo32) {
    char out[TOOL_NAME_SIZE];
    char serial[TOOL_SERIAL_SIZE];
    memset(serial, 'S', sizeof serial); // a full, unterminated serial
    ToolManager_MakeRegName(TOOL_TYPE_XWTC, serial, out);
    EXPECT_STREQ(out, "XWTCSSSSSSSSSSSSSSSS");
    ToolManager_MakeRegName(7, "A1", out);
    EXPECT_STREQ(out, "A1");
}

TEST(ToolsNames, RegisteredNameFromAHostileSerialIsAPlainFolderName) {
    struct {
        uint8_t type;
        const char* serial;
        const char* want;
    } cases[] = {
        {TOOL_TYPE_ZQ, "/../../etc", "ZQ_.._.._etc"},
        {TOOL_TYPE_ZQ, "a\nb\tc", "ZQa_b_c"},
        {7, "", "tool"},
        {7, "..", "__"},
        {7, ".", "_"},
        {7, "../x", ".._x"},
    };
    for (const auto& c : cases) {
        char out[TOOL_NAME_SIZE];
        ToolManager_MakeRegName(c.type, c.serial, out);
        EXPECT_STREQ(out, c.want) << c.serial;
        EXPECT_TRUE(ToolManager_NameIsSafe(out)) << c.serial;
    }
}

TEST(ToolsNames, SafeNames) {
    EXPECT_TRUE(ToolManager_NameIsSafe("ZQ123"));
    EXPECT_TRUE(ToolManager_NameIsSafe("my tool.1"));
    for (const char* bad : {"", ".", "..", "a/b", "/abs", "../up"})
        EXPECT_FALSE(ToolManager_NameIsSafe(bad)) << bad;
    EXPECT_FALSE(ToolManager_NameIsSafe(nullptr));
}

TEST(ToolsMac, AtoiParsesSixFieldsAndLeavesOutputOnFailure) {
    uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_NE(MacAddr_Atoi("aa:bb:cc:dd:ee", mac), 0);
    EXPECT_EQ(mac[0], 1);
    EXPECT_EQ(mac[5], 6);
    EXPECT_EQ(MacAddr_Atoi("aa:bb:cc:dd:ee:f", mac), 0);
    const uint8_t want[6] = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x0f};
    EXPECT_EQ(memcmp(mac, want, 6), 0);
    EXPECT_NE(MacAddr_Atoi(nullptr, mac), 0);
}

TEST(ToolsRegtools, RecordLayoutByteByByte) {
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
    EXPECT_EQ(std::string((char*)out, 6), "ZQtool");
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(std::string((char*)out + 33, 16), "0123456789abcdef");
    EXPECT_EQ(out[49] | out[50] | out[51], 0);
    EXPECT_EQ(out[52], 0x44); // little-endian model
    EXPECT_EQ(out[55], 0x11);
    EXPECT_EQ(memcmp(out + 56, mac, 6), 0);
    EXPECT_EQ(std::string((char*)out + 62, 16), "ZQ01020304050607");
    EXPECT_EQ(out[78], 3);
    EXPECT_EQ(out[79], 0);

    RegToolRecord back;
    memset(&back, 0xee, sizeof back);
    ASSERT_EQ(RegTools_DecodeRecord(out, &back), 0);
    EXPECT_STREQ(back.name, "ZQtool");
    EXPECT_EQ(back.model, 0x11223344u);
    EXPECT_EQ(memcmp(back.defname, rec.defname, 16), 0);
    EXPECT_EQ(back.type, 3);
}

TEST(ToolsRegtools, DecodeRejectsUnusableNamesAndTerminatesLongOnes) {
    uint8_t in[REGTOOLS_RECORD_SIZE] = {};
    RegToolRecord rec;
    memcpy(in, "../etc", 6);
    EXPECT_EQ(RegTools_DecodeRecord(in, &rec), -1);
    memset(in, 0, sizeof in);
    EXPECT_EQ(RegTools_DecodeRecord(in, &rec), -1); // empty name
    memset(in, 'N', 33);                            // no terminator in the name field
    EXPECT_EQ(RegTools_DecodeRecord(in, &rec), 0);
    EXPECT_EQ(strlen(rec.name), 32u);
}

TEST(ToolsBarcodeLine, SplitsAtTilde) {
    struct Case {
        const char* line;
        const char* code;
        uint32_t partial, start, end, preset;
    } cases[] = {
        {"ABC123~1~2~5~7~\n", "ABC123", 1, 2, 5, 7},
        {"X~0~0~0~16~extra~\n", "X", 0, 0, 0, 16},
        {"only\n", "only", 0, 0, 0, 0},
        {"C~1~~9~9~\n", "C", 1, 0, 0, 0}, // parsing stops at the empty field
        {"~1~2~3~4~\n", "", 0, 0, 0, 0},
        {"0123456789012345678901234567890123456789~0~1~1~3~", "01234567890123456789012345678901", 0,
         1, 1, 3},
    };
    for (const auto& c : cases) {
        ToolBarcodeLine l;
        ToolManager_ParseBarcodeLine(c.line, &l);
        EXPECT_STREQ(l.code, c.code) << c.line;
        EXPECT_EQ(l.partial, c.partial) << c.line;
        EXPECT_EQ(l.start, c.start) << c.line;
        EXPECT_EQ(l.end, c.end) << c.line;
        EXPECT_EQ(l.preset, c.preset) << c.line;
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
    void setState(int tdx, uint32_t state) {
        ToolManager_LockRegTools();
        ToolManager_RegTool(tdx)->state = state;
        ToolManager_UnlockRegTools();
    }
    uint32_t state(int tdx) {
        ToolManager_LockRegTools();
        uint32_t s = ToolManager_RegTool(tdx)->state;
        ToolManager_UnlockRegTools();
        return s;
    }
    std::string name(int tdx) {
        ToolManager_LockRegTools();
        std::string n = ToolManager_GetToolName_ByTdx(tdx);
        ToolManager_UnlockRegTools();
        return n;
    }
};

TEST_F(Registry, LoadOf160BytesGivesTwoIdleToolsWithFolders) {
    TestEnv::writeFile("regtools", regRecord("ZQalpha", 1) + regRecord("XWCbeta", 2, 1, 99));
    startDriver();
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 2);
    EXPECT_EQ(name(0), "ZQalpha");
    EXPECT_EQ(name(1), "XWCbeta");
    EXPECT_EQ(state(0), 0u);
    EXPECT_TRUE(fs::is_directory("files/tools/ZQalpha"));
    EXPECT_TRUE(fs::is_directory("files/tools/XWCbeta"));
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(1)->model, 99u);
    EXPECT_EQ(memcmp(ToolManager_RegTool(1)->maccopy, ToolManager_RegTool(1)->mac, 6), 0);
    EXPECT_NE(ToolManager_RegTool(1)->barcode, nullptr); // made by the barcode loader
    ToolManager_UnlockRegTools();
}

TEST_F(Registry, LoadOf100BytesSetsTheFileAsideAndStartsEmpty) {
    const std::string bad = regRecord("ZQalpha", 1) + std::string(20, 'x');
    TestEnv::writeFile("regtools", bad);
    startDriver();
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 0);
    ASSERT_TRUE(TestEnv::exists("regtools"));
    EXPECT_EQ(fs::file_size("regtools"), 0u);
    EXPECT_EQ(TestEnv::readFile("regtools.bad"), bad) << "kept for diagnosis";
}

TEST_F(Registry, LoadSkipsUnsafeNamesAndKeepsAtMostEight) {
    std::string file = regRecord("../../escape", 1);
    for (int i = 0; i < 9; ++i)
        file += regRecord(("T" + std::to_string(i)).c_str(), uint8_t(i + 2));
    TestEnv::writeFile("regtools", file);
    LogCapture log;
    startDriver();
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 8);
    EXPECT_EQ(name(0), "T0");
    EXPECT_FALSE(fs::exists("../escape"));
    EXPECT_TRUE(log.contains("record skipped"));
}

TEST_F(Registry, SaveRoundTripsTheRecords) {
    std::string file = regRecord("ZQalpha", 1) + regRecord("ZQTgamma", 3, 3, 42);
    TestEnv::writeFile("regtools", file);
    startDriver();
    fs::remove("regtools");
    ASSERT_EQ(ToolManager_SaveRegTools(), 0);
    EXPECT_EQ(TestEnv::readFile("regtools"), file);
}

TEST_F(Registry, SaveFailureKeepsTheOldFile) {
    TestEnv::writeFile("regtools", regRecord("ZQalpha", 9));
    startDriver();
    registerTools(1);
    Common_SetWriteFailAfter(10);
    LogCapture log;
    EXPECT_EQ(ToolManager_SaveRegTools(), -1);
    EXPECT_TRUE(log.contains("./regtools open fail"));
    EXPECT_EQ(TestEnv::readFile("regtools"), regRecord("ZQalpha", 9));
}

TEST_F(Registry, BusyUnknownToolIsNotListedUntilItIsFree) {
    startDriver();
    ToolInfo t = makeInfo(7);
    feedAck(t, TOOL_NETIF_ETH, 1);
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_TRUE(sink.drain().empty());
    feedAck(t, TOOL_NETIF_WLAN, 0);
    ASSERT_EQ(ToolManager_GetDiscoToolsLen(), 1);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    ToolManager_LockDiscoTools();
    EXPECT_EQ(ToolManager_DiscoTool(0)->netif, 2u);
    ToolManager_UnlockDiscoTools();
    feedAck(t); // a repeat changes nothing visible
    EXPECT_TRUE(sink.drain().empty());
    feedAck(t, TOOL_NETIF_ETH, 1); // taken by another controller: leaves the list
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
}

TEST_F(Registry, DiscoveredToolIsDroppedAtTheFourthSilentTick) {
    startDriver();
    feedAck(makeInfo(1));
    feedAck(makeInfo(2));
    sink.drain();
    for (int tick = 1; tick <= 3; ++tick) {
        ToolManager_KeepAlive_DiscoTools();
        feedAck(makeInfo(2)); // tool 2 keeps answering
        EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 2) << tick;
    }
    EXPECT_TRUE(sink.drain().empty());
    ToolManager_KeepAlive_DiscoTools();
    ASSERT_EQ(ToolManager_GetDiscoToolsLen(), 1);
    uint8_t mac2[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 2};
    EXPECT_EQ(ToolManager_FindDiscoTdx_ByMac(mac2), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
}

TEST_F(Registry, ConnectedToolIsDismissedAtTheFourthSilentTickAndComesBack) {
    startDriver();
    registerTools(2);
    setState(0, TOOL_STATE_CONNECTED);
    setState(1, TOOL_STATE_HALF); // only connected tools are counted
    for (int tick = 1; tick <= 3; ++tick)
        ToolManager_KeepAlive_RegTools();
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTED);
    ToolManager_KeepAlive_RegTools();
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(state(1), TOOL_STATE_HALF);
    // No contexts existed, so the dismissal itself stays quiet.
    EXPECT_TRUE(sink.drain().empty());
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, 5020, "SN0"));
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTING);
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
}

TEST_F(Registry, IdleToolReportingBusyBecomesBusyThenConnectsWhenFree) {
    startDriver();
    registerTools(1);
    setState(0, TOOL_STATE_IDLE);
    ToolInfo t = makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, 5020, "SN0");
    feedAck(t, TOOL_NETIF_ETH, 1);
    EXPECT_EQ(state(0), TOOL_STATE_BUSY);
    EXPECT_EQ(sink.drain(), (Lines{"update_regtools 0 1"}));
    EXPECT_TRUE(takeConnects().empty());
    feedAck(t, TOOL_NETIF_ETH, 0);
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTING);
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
}

TEST_F(Registry, ReaddressedConnectedToolIsReconnectedAtItsNewAddress) {
    startDriver();
    registerTools(1);
    setState(0, TOOL_STATE_CONNECTED);
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000001, 5020, "SN0")); // same address: nothing
    EXPECT_TRUE(takeConnects().empty());
    feedAck(makeInfo(1, TOOL_TYPE_ZQ, 0x7f000002, 5020, "SN0"));
    EXPECT_EQ(state(0), TOOL_STATE_CONNECTING);
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_RegTool(0)->ip, 0x7f000002u);
    ToolManager_UnlockRegTools();
}

TEST_F(Registry, HalfConnectedToolIsRetriedOnEveryAnswer) {
    startDriver();
    registerTools(1);
    setState(0, TOOL_STATE_FAILED);
    feedAck(makeInfo(1));
    feedAck(makeInfo(1));
    EXPECT_EQ(takeConnects(), (std::vector<int>{0, 0}));
    EXPECT_EQ(state(0), TOOL_STATE_FAILED);
}

TEST_F(Registry, DismissingTheCurrentToolPostsCurrTdxBeforeRegtools) {
    startDriver();
    registerTools(2);
    ToolManager_SetCurrTdx(1);
    EXPECT_EQ(ToolManager_DismissTool_ByTdx(1, 1), 0);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
    EXPECT_EQ(sink.drain(), (Lines{"update_curr_tdx -1", "update_regtools 1 0"}));
    LogCapture log;
    EXPECT_EQ(ToolManager_DismissTool_ByTdx(2, 1), -1);
    EXPECT_TRUE(log.contains("invalid regtdx 2/2"));
    EXPECT_EQ(ToolManager_DismissTool_ByTdx(-1, 1), -1);
    EXPECT_EQ(log.count("invalid regtdx"), 1u); // -1 is refused silently
}

TEST_F(Registry, ReleasingToolZeroOfThreeRenumbers) {
    startDriver();
    registerTools(3);
    EXPECT_EQ(name(1), "ZQSN1");
    ToolManager_SetCurrTdx(2);
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 2);
    EXPECT_EQ(name(0), "ZQSN1");
    EXPECT_EQ(name(1), "ZQSN2");
    EXPECT_EQ(ToolManager_GetCurrTdx(), 1); // still the same tool
    EXPECT_FALSE(fs::exists("files/tools/ZQSN0"));
    EXPECT_TRUE(fs::exists("files/tools/ZQSN1"));
    auto ev = sink.drain();
    EXPECT_NE(std::find(ev.begin(), ev.end(), std::string("update_regtools -1 -1")), ev.end());
    LogCapture log;
    EXPECT_EQ(ToolManager_MoveTool_RegToDisco(5), -1);
    EXPECT_TRUE(log.contains("invalid reg_index : 2 / 5"));
}

TEST_F(Registry, RegistrationBuildsTheRecordAndRefusesANinthTool) {
    startDriver();
    feedAck(makeInfo(9, TOOL_TYPE_ZQT, 0x7f000001, 5020, "ABC"), TOOL_NETIF_WLAN);
    sink.drain();
    ASSERT_EQ(ToolManager_MoveTool_DiscoToReg(0), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_regtools 0 2", "update_discotools"}));
    EXPECT_EQ(takeConnects(), std::vector<int>{0});
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_TRUE(fs::is_directory("files/tools/ZQTABC"));
    ToolManager_LockRegTools();
    RegToolRecord* r = ToolManager_RegTool(0);
    EXPECT_STREQ(r->name, "ZQTABC");
    EXPECT_EQ(std::string(r->defname, 15), "ZQT02005e102009");
    EXPECT_EQ(r->netif, 2u);
    EXPECT_EQ(r->state, uint32_t(TOOL_STATE_CONNECTING));
    ToolManager_UnlockRegTools();
    registerTools(7);
    feedAck(makeInfo(50));
    LogCapture log;
    EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(0), -1);
    EXPECT_EQ(ToolManager_GetRegToolsLen(), 8);
    EXPECT_EQ(ToolManager_MoveTool_DiscoToReg(3), -1);
    EXPECT_TRUE(log.contains("invalid disco_index : 1 / 3"));
}

TEST_F(Registry, AdvertiseLeaveAndHostapdDisconnectDismissAndUnlist) {
    startDriver();
    registerTools(1);
    feedAck(makeInfo(5));
    sink.drain();
    ToolInfo t = makeInfo(5);
    EXPECT_EQ(ToolManager_UpdateToolState_ByDisco(&t, 3, TOOL_NETIF_ETH), 0);
    EXPECT_EQ(ToolManager_GetDiscoToolsLen(), 0);
    EXPECT_EQ(sink.drain(), (Lines{"update_discotools"}));
    EXPECT_EQ(ToolManager_UpdateToolState_ByHostapd(nullptr), -1);
    ToolManager_SetCurrTdx(0);
    uint8_t mac1[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 1};
    EXPECT_EQ(ToolManager_UpdateToolState_ByHostapd(mac1), 0);
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
}

TEST_F(Registry, DismissByNetIfTouchesOnlyThatNetwork) {
    startDriver();
    registerTools(2);
    ToolManager_LockRegTools();
    ToolManager_RegTool(0)->netif = 2;
    ToolManager_UnlockRegTools();
    setState(0, TOOL_STATE_CONNECTED);
    setState(1, TOOL_STATE_CONNECTED);
    ToolManager_DismissTool_ByNetIf(2);
    EXPECT_EQ(state(0), TOOL_STATE_IDLE);
    EXPECT_EQ(state(1), TOOL_STATE_CONNECTED);
    ToolManager_DismissTool_All();
    EXPECT_EQ(state(1), TOOL_STATE_IDLE);
}

// Barcode tables as the barcode module would provide them, for the rename merge.
struct FakeTable {
    std::vector<ToolBarcodeLine> rows;
};
BarcodeTable* fakeCreate() {
    return reinterpret_cast<BarcodeTable*>(new FakeTable);
}
void fakeDestroy(BarcodeTable* t) {
    delete reinterpret_cast<FakeTable*>(t);
}
int fakeAppend(BarcodeTable* t, const char* code, uint32_t partial, uint32_t start, uint32_t end,
               uint32_t preset) {
    ToolBarcodeLine l{};
    strncpy(l.code, code, 32);
    l.partial = partial;
    l.start = start;
    l.end = end;
    l.preset = preset;
    reinterpret_cast<FakeTable*>(t)->rows.push_back(l);
    return 0;
}
const ToolBarcodeOps fakeOps = {fakeCreate, fakeDestroy, fakeAppend};

TEST_F(Registry, RenameMovesTheFolderOrMergesBarcodeLines) {
    startDriver();
    ToolManager_SetBarcodeOps(&fakeOps); // in place of the barcode module's tables
    registerTools(2);
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
    ToolManager_LockRegTools();
    auto* t = reinterpret_cast<FakeTable*>(ToolManager_RegTool(1)->barcode);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->rows.size(), 3u);
    EXPECT_STREQ(t->rows[0].code, "AB12");
    EXPECT_EQ(t->rows[0].preset, 3u);
    EXPECT_STREQ(t->rows[1].code, "LONG");
    EXPECT_STREQ(t->rows[2].code, "CD");
    EXPECT_EQ(t->rows[2].end, 4u);
    EXPECT_EQ(t->rows[2].preset, 16u);
    ToolManager_UnlockRegTools();
    // Renaming to its own name neither removes its folder nor merges its lines twice.
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(1, "Old"), 0);
    EXPECT_TRUE(fs::exists("files/tools/Old/barcode.zq"));
    ToolManager_LockRegTools();
    EXPECT_EQ(reinterpret_cast<FakeTable*>(ToolManager_RegTool(1)->barcode)->rows.size(), 3u);
    ToolManager_UnlockRegTools();
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(1), 0); // frees the table (ASan checks)
    ToolManager_SetBarcodeOps(nullptr);
}

TEST_F(Registry, RenameRefusesBadArguments) {
    startDriver();
    registerTools(1);
    LogCapture log;
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(1, "x"), -1);
    EXPECT_TRUE(log.contains("invalid parameters (1,1,x)"));
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(0, "../../x"), -1);
    EXPECT_EQ(ToolManager_SetToolName_ByTdx(0, nullptr), -1);
    EXPECT_EQ(name(0), "ZQSN0");
}

TEST_F(Registry, FindByMacAndNameAndCheckTdx) {
    startDriver();
    registerTools(2);
    uint8_t mac2[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, 2};
    EXPECT_EQ(ToolManager_FindRegTdx_ByMac(mac2), 1);
    EXPECT_EQ(ToolManager_FindRegTdx_ByMac(nullptr), -1);
    ToolManager_LockRegTools();
    EXPECT_EQ(ToolManager_FindTdx_ByName("ZQSN1"), 1);
    EXPECT_EQ(ToolManager_FindTdx_ByName("ZQSN"), -1);
    EXPECT_EQ(CheckTdx(1, "t", 1), 0);
    EXPECT_EQ(CheckTdx(2, "t", 1), 1);
    EXPECT_EQ(ToolManager_GetToolName_ByTdx(8), nullptr);
    ToolManager_UnlockRegTools();
    LogCapture log;
    EXPECT_EQ(ToolManager_FindTdx_ByName(nullptr), -1);
    EXPECT_TRUE(log.contains("invalid parameters : tname is null"));
}

} // namespace
