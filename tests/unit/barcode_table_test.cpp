// Barcode tables: file formats, edits and their checks, moves, matching, and the tool
// tables reached through the registry access hooks (a fake registry here).
#include "barcode.h"
#include "unit_common.h"

namespace {
// A stand-in registry: names, table pointers and a lock that counts its use.
struct FakeRegistry {
    std::mutex lock;
    int held = 0;
    std::vector<std::string> names;
    BarcodeTable* tables[8] = {};
};
FakeRegistry reg;

const BarcodeToolAccess fakeAccess = {
    [] {
        reg.lock.lock();
        ++reg.held;
    },
    [] {
        --reg.held;
        reg.lock.unlock();
    },
    [] {
        EXPECT_EQ(reg.held, 1);
        return int(reg.names.size());
    },
    [](int tdx) -> BarcodeTable** {
        EXPECT_EQ(reg.held, 1);
        return tdx >= 0 && tdx < int(reg.names.size()) ? &reg.tables[tdx] : nullptr;
    },
    [](int tdx) -> const char* {
        EXPECT_EQ(reg.held, 1);
        return tdx >= 0 && tdx < int(reg.names.size()) ? reg.names[size_t(tdx)].c_str() : nullptr;
    },
};

std::vector<std::string> codes(int table) {
    std::vector<std::string> out;
    BarcodeEntry e;
    for (int i = 0; i < Barcode_Len(table); ++i)
        if (Barcode_GetEntry(table, i, &e) == 0) out.emplace_back(e.code);
    return out;
}

// Every row of `table` as "code~partial~start~end~target~selected", a tool table's target
// as its preset.
std::vector<std::string> tableRows(int table) {
    std::vector<std::string> out;
    BarcodeEntry e;
    for (int i = 0; i < Barcode_Len(table); ++i) {
        if (Barcode_GetEntry(table, i, &e) != 0) continue;
        const std::string target =
            table == BARCODE_JOB_TABLE ? e.target : std::to_string(BarcodeEntry_Preset(&e));
        out.push_back(std::string(e.code) + "~" + std::to_string(e.partial) + "~" +
                      std::to_string(e.start) + "~" + std::to_string(e.end) + "~" + target + "~" +
                      std::to_string(e.selected));
    }
    return out;
}

class BarcodeTableTest : public ::testing::Test {
  protected:
    TestEnv env;
    void SetUp() override {
        reg.names = {"ZQ-A", "ZQ-B"};
        for (auto& t : reg.tables)
            t = nullptr;
        TestEnv::writeFile("files/tools/ZQ-A/.keep", "");
        TestEnv::writeFile("files/tools/ZQ-B/.keep", "");
        Barcode_SetToolAccess(&fakeAccess);
    }
    void TearDown() override {
        for (auto& t : reg.tables)
            BarcodeTable_Destroy(t);
        Barcode_SetToolAccess(nullptr);
    }
    void jobRows(std::initializer_list<const char*> cs) {
        for (const char* c : cs)
            ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, c, 0, 0, 0, "job"), 0);
    }
};
} // namespace

TEST_F(BarcodeTableTest, JobLineLoadsAsWritten) {
    TestEnv::writeFile("files/barcode.kest", "code~1~2~3~job~\nX~0~0~0~second job~extra~\n\n");
    Barcode_Init();
    // An empty line is an entry with an empty code and zero numbers.
    EXPECT_EQ(tableRows(BARCODE_JOB_TABLE),
              (std::vector<std::string>{"code~1~2~3~job~0", "X~0~0~0~second job~0", "~0~0~0~~0"}));
    // Saved back, the known fields come out as they went in.
    ASSERT_EQ(Barcode_Save(BARCODE_JOB_TABLE), 0);
    EXPECT_EQ(TestEnv::readFile("files/barcode.kest"),
              "code~1~2~3~job~\nX~0~0~0~second job~\n~0~0~0~~\n");
}

TEST_F(BarcodeTableTest, OldFileInTheHomeIsMovedInPlace) {
    TestEnv::writeFile("barcode", "OLD~0~0~0~legacy~\n");
    Barcode_Init();
    EXPECT_FALSE(TestEnv::exists("barcode"));
    EXPECT_EQ(TestEnv::readFile("files/barcode.kest"), "OLD~0~0~0~legacy~\n");
    EXPECT_EQ(codes(BARCODE_JOB_TABLE), std::vector<std::string>{"OLD"});
}

TEST_F(BarcodeTableTest, LongFieldsAreCut) {
    std::string code(40, 'c'), job(200, 'j');
    TestEnv::writeFile("files/barcode.kest",
                       code + "~0~0~0~" + job + "~\n" + std::string(1500, 'z'));
    Barcode_Init();
    ASSERT_EQ(Barcode_Len(BARCODE_JOB_TABLE), 2); // the long line's remainder is no row
    EXPECT_EQ(tableRows(BARCODE_JOB_TABLE)[0],
              code.substr(0, 32) + "~0~0~0~" + job.substr(0, 127) + "~0");
}

TEST_F(BarcodeTableTest, AppendEditMoveDeleteMatchAndSaveWithoutFolder) {
    Barcode_Init();
    const std::tuple<const char*, const char*, int, int, int, int> refused[] = {
        {nullptr, "j", 0, 0, 0, BARCODE_JOB_TABLE},
        {"A", "j", 2, 0, 0, BARCODE_JOB_TABLE},
        {"A", "j", 0, -1, 0, BARCODE_JOB_TABLE},
        {"A", "j", 0, 0, -1, BARCODE_JOB_TABLE},
        {"A~B", "j", 0, 0, 0, BARCODE_JOB_TABLE},
        {"A", "j\nk", 0, 0, 0, BARCODE_JOB_TABLE},
        {"A", "j", 0, 0, 0, 9}};
    for (const auto& [code, job, partial, start, end, table] : refused)
        EXPECT_EQ(Barcode_Append(table, code, partial, start, end, job), -1)
            << (code ? code : "null") << " " << job;
    EXPECT_EQ(Barcode_Len(BARCODE_JOB_TABLE), 0);
    EXPECT_EQ(Barcode_Append(BARCODE_JOB_TABLE, std::string(35, 'k').c_str(), 1, 0, 0, nullptr), 0);
    EXPECT_EQ(tableRows(BARCODE_JOB_TABLE)[0], std::string(32, 'k') + "~1~0~0~~0");
    EXPECT_EQ(Barcode_Edit(BARCODE_JOB_TABLE, 0, "B", 1, 3, 5, "job B"), 0);
    EXPECT_EQ(Barcode_Edit(BARCODE_JOB_TABLE, 0, "C", 3, 3, 5, "job C"), -1);
    EXPECT_EQ(Barcode_Edit(BARCODE_JOB_TABLE, 1, "C", 0, 0, 0, "job C"), -1);
    EXPECT_EQ(tableRows(BARCODE_JOB_TABLE)[0], "B~1~3~5~job B~0");
    EXPECT_EQ(Barcode_Edit(BARCODE_JOB_TABLE, 0, "B", 0, 0, 0, nullptr), 0);
    EXPECT_EQ(tableRows(BARCODE_JOB_TABLE)[0], "B~0~0~0~~0") << "a missing job name clears it";
    // Tool tables: a missing preset stores -1.
    int32_t p = 4;
    ASSERT_EQ(Barcode_Append(1, "T", 0, 0, 0, &p), 0);
    ASSERT_EQ(Barcode_Edit(1, 0, "T", 0, 0, 0, nullptr), 0);
    EXPECT_EQ(tableRows(1)[0], "T~0~0~0~-1~0");
    EXPECT_EQ(Barcode_Append(2, "T", 0, 0, 0, &p), -1); // no third tool
    EXPECT_EQ(Barcode_Len(2), 0);
    // Moves and deletes past the ends are refused and change nothing.
    ASSERT_EQ(Barcode_Delete(BARCODE_JOB_TABLE, 0), 0);
    jobRows({"A", "B", "C", "D"});
    const std::vector<std::string> abcd = {"A", "B", "C", "D"};
    const std::pair<int (*)(int, int), int> refusedOps[] = {
        {Barcode_MoveUp, 0},  {Barcode_MoveDown, 3},   {Barcode_MoveDown, 4},
        {Barcode_MoveTop, 0}, {Barcode_MoveBottom, 3}, {Barcode_MoveBottom, -1},
        {Barcode_Delete, 4}};
    for (const auto& [op, row] : refusedOps) {
        EXPECT_EQ(op(BARCODE_JOB_TABLE, row), -1) << row;
        EXPECT_EQ(codes(BARCODE_JOB_TABLE), abcd) << row;
    }
    Barcode_SetSelected(BARCODE_JOB_TABLE, -1, 1);
    EXPECT_EQ(Barcode_Delete_Selected(BARCODE_JOB_TABLE), 0);
    // The matching rule.
    ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, "XXCDEXX", 1, 3, 5, "partial"), 0);
    ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, "ABCD", 0, 0, 0, "whole"), 0);
    ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, "ZZCDE", 1, 3, 5, "second partial"), 0);
    ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, "AB", 1, 2, 1, "reversed range"), 0);
    ASSERT_EQ(Barcode_Append(BARCODE_JOB_TABLE, "Q", 1, 0, 1, "range from 0"), 0);
    const std::tuple<const char*, const char*> scans[] = {
        {"11CDE", "partial"}, // characters 3..5 equal: the first of two matches wins
        {"11CDE999", "partial"},
        {"ABCD", "whole"}, // 4 characters: the partial rows (end 5) are skipped
        {"ABCDX", ""},     // whole rows compare entirely
        {"11CDF", ""},
        {"AB", ""}, // start after end never matches
        {"Q", ""},  // nor does a range from 0
        {"", ""},
    };
    for (const auto& [code, job] : scans)
        EXPECT_EQ(Barcode_FindJob(code), job) << code;
    int32_t p5 = 5, p16 = 16;
    Barcode_Append(0, "P", 0, 0, 0, &p5);
    Barcode_Append(0, "xxM", 1, 3, 3, &p16);
    EXPECT_EQ((std::vector{Barcode_FindPreset(0, "P"), Barcode_FindPreset(0, "abM"),
                           Barcode_FindPreset(0, "Q"), Barcode_FindPreset(1, "P"),
                           Barcode_FindPreset(8, "P")}),
              (std::vector{5, 16, -1, -1, -1}));
    // Without the folder a save fails.
    std::filesystem::remove_all(env.home() + "/files");
    EXPECT_EQ(Barcode_Save(BARCODE_JOB_TABLE), -1);
}

// Loads, saves, appends and matches of tool tables are the registry's tests (tools_test).
TEST_F(BarcodeTableTest, ToolTablesSaveOnlyUnderARegisteredToolsFolder) {
    Barcode_Init();
    EXPECT_EQ(std::tuple(Barcode_Save(2), Barcode_Save(9)), std::tuple(-1, -1));
    // A tool whose folder is gone cannot be saved.
    reg.names[1] = "gone";
    EXPECT_EQ(Barcode_Save(1), -1);
    EXPECT_EQ(reg.held, 0);
    BarcodeTable lines;
    EXPECT_EQ(BarcodeTable_Parse(&lines, "A~1~2~3~17~\nB\n", 14, BARCODE_KIND_TOOL), 2);
}

TEST_F(BarcodeTableTest, UnreadableTablesAreMovedAsideNotOverwritten) {
    // Folders under the files' names stand for files the panel cannot read.
    std::filesystem::create_directories(env.home() + "/files/barcode.kest/x");
    std::filesystem::create_directories(env.home() + "/files/tools/ZQ-A/barcode.zq/x");
    LogCapture log;
    Barcode_Init();
    EXPECT_EQ(std::tuple(Barcode_Len(BARCODE_JOB_TABLE), Barcode_Len(0)), std::tuple(0, 0));
    EXPECT_EQ(log.count("cannot be read"), 2u);
    EXPECT_TRUE(TestEnv::exists("files/barcode.kest.unreadable/x") &&
                TestEnv::exists("files/tools/ZQ-A/barcode.zq.unreadable/x"));
    jobRows({"A"});
    EXPECT_EQ(Barcode_Save(BARCODE_JOB_TABLE), 0) << "a new table takes the free name";
    EXPECT_EQ(TestEnv::readFile("files/barcode.kest"), "A~0~0~0~job~\n");
}
