// Fastening result log: formatting, daily files, and failures that must not damage
// lines already written.
#include "eventlog.h"
#include "unit_common.h"

#include <optional>
#include <sched.h>
#include <sys/mount.h>

namespace {

FastenResult sample() {
    // FastenTime, Preset, TargetTorque, ConvTorque, Speed, A1..A3, ScrewNo, Error, Direction,
    // Status, Snug: the fields in their declared order.
    return {850, 3, 1234, 1301, 600, 1, 2, 3, 4, 0, 1, 1, 65535};
}

struct EventLogTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    void SetUp() override {
        load_setting();
        get_setting_log()->path = 0;
    }
};
} // namespace

TEST(EventLogFormat, LineHasNineteenFieldsExactFormatsEmptyFieldsAndDefaultSources) {
    const struct tm t = localTm(2026, 12, 4, 7, 5, 9);
    std::string line = EventLog_FormatLine(t, "job A", "fastening-1", "-", "tool1", sample());
    EXPECT_EQ(line,
              "2026-12-04 07:05:09,job A,fastening-1,-,tool1,850,3,12.34,13.01,600,1,2,3,4,0,1,1,"
              "65535,\n");
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 18);
    // No job and step, and the torque rounding.
    const FastenResult r{.TargetTorque = 5, .ConvTorque = 65535};
    line = EventLog_FormatLine(localTm(2026, 1, 1), nullptr, nullptr, "", "", r);
    EXPECT_EQ(line.substr(0, 24), "2026-01-01 00:00:00,,,,,");
    EXPECT_NE(line.find(",0.05,655.35,"), std::string::npos) << line;
    // The default sources give a dash barcode and no tool name until installed.
    EXPECT_EQ(EventLog_ScannerCode(), "-");
    EXPECT_EQ(EventLog_ToolName(0), "");
    EventLog_SetScannerCodeSource([] { return std::string("ABC"); });
    EventLog_SetToolNameSource([](int tdx) { return "tool" + std::to_string(tdx); });
    EXPECT_EQ(EventLog_ScannerCode(), "ABC");
    EXPECT_EQ(EventLog_ToolName(3), "tool3");
    EventLog_SetScannerCodeSource(nullptr);
    EventLog_SetToolNameSource(nullptr);
}

// The first result of the day writes the header once; a day file with lines gets none. A
// day file a power cut left ending inside a record loses that partial record only (it was
// never acknowledged), so the next line starts clean and no field swallows the rest.
TEST_F(EventLogTest, FirstResultOfTheDayWritesTheHeaderOnceAndMidnightSplitsTheFiles) {
    const std::string earlier = "2026-12-04 08:00:00,J,S,-,T,1,1,1.00,1.00,1,1,1,1,1,0,1,1,1,\n";
    // A line an older version wrote without quoting: its lone quote must not make the
    // rest of the file look like one field.
    const std::string older =
        "2026-12-04 07:00:00,5\" screw,S,-,T,1,1,1.00,1.00,1,1,1,1,1,0,1,1,1,\n";
    const std::string header = EVENTLOG_HEADER;
    struct {
        const char* what;
        std::optional<std::string> before; // the day file's content, none when there is none
        std::vector<std::string> kept;     // its lines before the two new ones
        bool cut;                          // the debug log says a partial record was cut off
    } cases[] = {
        {"no folders yet", std::nullopt, {header}, false},
        {"empty file left by a power cut", "", {header}, false},
        {"day file with lines", earlier, {earlier}, false},
        {"torn header", "Time, Job, St", {header}, true},
        {"torn inside a quoted field", earlier + "2026-12-04 09:00:00,\"job, A", {earlier}, true},
        {"torn after a quoted line break",
         earlier + "2026-12-04 09:00:00,J,S,\"LOT\r\n7",
         {earlier},
         true},
        {"a lone quote in an older line, whole", older + earlier, {older, earlier}, false},
        {"a lone quote in an older line, then torn",
         older + earlier + "2026-12-04 09:0",
         {older, earlier},
         true},
    };
    const std::string added =
        EventLog_FormatLine(localTm(2026, 12, 4, 10, 0, 0), "J", "S", "-", "T", sample());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all("files/log");
        log.clear();
        if (c.before) TestEnv::writeFile("files/log/2026/12/04/20261204.csv", *c.before);
        Common_SetFixedTime(localInstant(2026, 12, 4, 10, 0, 0));
        ASSERT_EQ(EventLog_Write("J", "S", "-", "T", sample()), 0);
        ASSERT_EQ(EventLog_Write("J", "S", "-", "T", sample()), 0);
        std::vector<std::string> want = c.kept;
        want.insert(want.end(), {added, added});
        EXPECT_EQ(fileLines("files/log/2026/12/04/20261204.csv"), want);
        EXPECT_EQ(log.contains("incomplete last record cut off"), c.cut);
    }
    // Results around midnight go to two files.
    Common_SetFixedTime(localInstant(2026, 12, 31, 23, 59, 59));
    ASSERT_EQ(EventLog_Write("", "", "-", "T", sample()), 0);
    Common_SetFixedTime(localInstant(2027, 1, 1, 0, 0, 0));
    ASSERT_EQ(EventLog_Write("", "", "-", "T", sample()), 0);
    auto a = fileLines("files/log/2026/12/31/20261231.csv");
    auto b = fileLines("files/log/2027/01/01/20270101.csv");
    ASSERT_EQ(std::tuple(a.size(), b.size()), std::tuple(2u, 2u));
    EXPECT_EQ(std::tuple(a[1].substr(0, 19), b[1].substr(0, 19)),
              std::tuple("2026-12-31 23:59:59", "2027-01-01 00:00:00"));
}

TEST_F(EventLogTest, MicroSdOnlyWithTheCardAndAnUnmakeableFolderOrFileFails) {
    get_setting_log()->path = 1;
    Common_SetFixedTime(localInstant(2026, 3, 5, 12, 0, 0));
    // No card, or a card not mounted (yet): nothing is made inside the empty mount point,
    // which is on the internal flash.
    for (bool inSlot : {false, true}) {
        SCOPED_TRACE(inSlot);
        if (inSlot) env.insertCard(false);
        log.clear();
        EXPECT_EQ(EventLog_Write("", "", "-", "T", sample()), -1);
        EXPECT_TRUE(log.contains("micro sd not present"));
        EXPECT_FALSE(TestEnv::exists(env.sysroot() + "/media/mmcblk1p1/2026"));
    }
    env.mountCard();
    ASSERT_EQ(EventLog_Write("", "", "-", "T", sample()), 0);
    EXPECT_TRUE(TestEnv::exists(env.sysroot() + "/media/mmcblk1p1/2026/03/05/20260305.csv"));
    // The internal log: a folder that cannot be made or a file that cannot be opened fails.
    get_setting_log()->path = 0;
    log.clear();
    Common_SetFixedTime(localInstant(2026, 6, 1, 8, 0, 0));
    fs::remove_all("files/log");
    TestEnv::writeFile("files/log/2026", "a file where the year folder belongs");
    EXPECT_EQ(EventLog_Write("", "", "-", "T", sample()), -1);
    fs::remove_all("files/log");
    fs::create_directories("files/log/2026/06/01/20260601.csv"); // a folder in the file's place
    EXPECT_EQ(EventLog_Write("", "", "-", "T", sample()), -1);
    EXPECT_TRUE(log.contains("EventLog_Write."));
}

// A full disk: a tiny tmpfs in a private mount namespace (needs root).
TEST_F(EventLogTest, FullDiskReturnsFailureAndKeepsEarlierLinesWhole) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a private tmpfs";
    if (unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no mount namespace";
    ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    fs::create_directories("files/log");
    ASSERT_EQ(mount("tmpfs", "files/log", "tmpfs", 0, "size=8k"), 0) << strerror(errno);
    Common_SetFixedTime(localInstant(2026, 7, 7, 7, 7, 7));
    int ok = 0, failed = 0;
    for (int i = 0; i < 400 && failed < 3; ++i) {
        if (EventLog_Write("a job with a longish name", "fastening-12", "BARCODE-0123456789",
                           "tool", sample()) == 0)
            ++ok;
        else
            ++failed;
    }
    EXPECT_GT(ok, 10);
    EXPECT_EQ(failed, 3);
    auto l = fileLines("files/log/2026/07/07/20260707.csv");
    ASSERT_EQ(int(l.size()), ok + 1);
    EXPECT_EQ(l[0], EVENTLOG_HEADER);
    for (size_t i = 1; i < l.size(); ++i) {
        EXPECT_EQ(l[i].back(), '\n');
        EXPECT_EQ(l[i], l[1]);
    }
    umount("files/log");
}
