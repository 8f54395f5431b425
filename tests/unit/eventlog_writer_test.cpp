// The result log: formatting, daily files, failures that must not damage lines already
// written, and the writer: CSV quoting, file order, acknowledgement only after the line is
// in the file, and the spool when the log cannot be written (fault seam, real tmpfs).
#include "eventlog.h"
#include "ew_driver.h"
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

struct tm day(int y, int mo, int d, int h = 10, int mi = 0, int s = 0) {
    return localTm(y, mo, d, h, mi, s);
}

FastenResult result(int screw) {
    return {.ScrewNo = uint16_t(screw), .Status = 1};
}

std::string line(int tool, int screw, const struct tm& t = day(2026, 12, 6)) {
    return EventLog_FormatLine(t, "J", "S", "-", ("tool" + std::to_string(tool)).c_str(),
                               result(screw));
}

// A spool file's mark: where the records not written yet begin.
std::string spoolMark(size_t offset) {
    char mark[32];
    snprintf(mark, sizeof mark, "#%020zu\n", offset);
    return mark;
}

const char* const DAY_FILE = "files/log/2026/12/06/20261206.csv";
using Lines = std::vector<std::string>;

struct WriterTest : EventLogTest {
    RecordingSink sink;
    std::mutex ackLock;
    Lines acks; // "tdx:lines in the day file at that moment"
    std::string sd;

    void SetUp() override {
        EventLogTest::SetUp();
        EwDriver_SetDeviceObject(&sink);
        Threads_Init();
        sd = env.sysroot() + "/media/mmcblk1p1";
        EventLog_SetAckWriter([this](int tdx) {
            std::lock_guard<std::mutex> g(ackLock);
            const std::string text = TestEnv::readFile(dayFile()); // whole lines only
            acks.push_back(std::to_string(tdx) + ":" +
                           std::to_string(std::count(text.begin(), text.end(), '\n')));
            return 0;
        });
    }
    void TearDown() override {
        Common_SetFault(nullptr, 0, 0);
        EventLog_Flush();
        EventLog_SetAckWriter(nullptr);
        EventLog_SetSpoolLimit(10000);
        EventLog_SetSpoolFileLimit(100000);
        EventLog_SetRetryDelays(1000, 60000);
    }
    std::string dayFile() const {
        return get_setting_log()->path == 1 ? sd + "/2026/12/06/20261206.csv" : DAY_FILE;
    }
    // Queues a line and waits until the writer has handled it.
    void put(const std::string& l, int tdx) {
        EventLog_Queue(l, tdx);
        EventLog_Flush();
    }
    bool waitAcks(size_t n) {
        return kest_test::WaitUntil([&] {
            std::lock_guard<std::mutex> g(ackLock);
            return acks.size() >= n;
        });
    }
};
} // namespace

TEST(EventLogFormat, LineHasNineteenFieldsExactFormatsEmptyFieldsAndDefaultSources) {
    const struct tm t = localTm(2026, 12, 4, 7, 5, 9);
    std::string line = EventLog_FormatLine(t, "job A", "fastening-1", "-", "tool1", sample());
    EXPECT_EQ(line,
              "2026-12-04 07:05:09,job A,fastening-1,-,tool1,850,3,12.34,13.01,600,1,2,3,4,0,1,1,"
              "65535,\n");
    // No job and step.
    line = EventLog_FormatLine(localTm(2026, 1, 1), nullptr, nullptr, "", "", FastenResult{});
    EXPECT_EQ(line.substr(0, 24), "2026-01-01 00:00:00,,,,,");
    // Until their sources are installed: a dash barcode and no tool name.
    EXPECT_EQ(EventLog_ScannerCode(), "-");
    EXPECT_EQ(EventLog_ToolName(0), "");
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
    // what, the day file's content (none when there is none), its lines before the two new
    // ones, and whether the debug log says a partial record was cut off
    using Case = std::tuple<const char*, std::optional<std::string>, Lines, bool>;
    const Case cases[] = {
        Case("no folders yet", std::nullopt, {header}, false),
        Case("empty file left by a power cut", "", {header}, false),
        Case("day file with lines", earlier, {earlier}, false),
        Case("torn header", "Time, Job, St", {header}, true),
        Case("torn inside a quoted field", earlier + "2026-12-04 09:00:00,\"job, A", {earlier},
             true),
        Case("torn after a quoted line break", earlier + "2026-12-04 09:00:00,J,S,\"LOT\r\n7",
             {earlier}, true),
        Case("a lone quote in an older line, whole", older + earlier, {older, earlier}, false),
        Case("a lone quote in an older line, then torn", older + earlier + "2026-12-04 09:0",
             {older, earlier}, true),
    };
    const std::string added =
        EventLog_FormatLine(localTm(2026, 12, 4, 10, 0, 0), "J", "S", "-", "T", sample());
    for (const auto& [what, before, kept, cut] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all("files/log");
        log.clear();
        if (before) TestEnv::writeFile("files/log/2026/12/04/20261204.csv", *before);
        Common_SetFixedTime(localInstant(2026, 12, 4, 10, 0, 0));
        ASSERT_EQ(EventLog_Write("J", "S", "-", "T", sample()), 0);
        ASSERT_EQ(EventLog_Write("J", "S", "-", "T", sample()), 0);
        std::vector<std::string> want = kept;
        want.insert(want.end(), {added, added});
        EXPECT_EQ(fileLines("files/log/2026/12/04/20261204.csv"), want);
        EXPECT_EQ(log.contains("incomplete last record cut off"), cut);
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

// A full disk: a tiny tmpfs over the internal log, in a private mount namespace.
struct TinyLogTest : EventLogTest {
    void SetUp() override {
        EventLogTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "needs root for a private tmpfs";
        if (unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no mount namespace";
        ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        fs::create_directories("files/log");
        ASSERT_EQ(mount("tmpfs", "files/log", "tmpfs", 0, "size=8k"), 0) << strerror(errno);
    }
};

TEST_F(TinyLogTest, FullDiskReturnsFailureAndKeepsEarlierLinesWhole) {
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
    EXPECT_EQ(l[1].back(), '\n');
    EXPECT_EQ(Lines(l.begin() + 1, l.end()), Lines(l.size() - 1, l[1])) << "every line whole";
    umount("files/log");
}

TEST(EventLogQuoting, FieldsWithSeparatorsQuotedOthersAsTheyAreAndTheFaultSeamsChoice) {
    // job, step, barcode, tool, and fields 1..5 as written
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"job A", "step-1", "-", "tool1", "2026-12-06 10:00:00,job A,step-1,-,tool1,"},
        {"a,b", "s", "-", "t", "2026-12-06 10:00:00,\"a,b\",s,-,t,"},
        {"j", "say \"hi\"", "-", "t", "2026-12-06 10:00:00,j,\"say \"\"hi\"\"\",-,t,"},
        {"j", "s", "LOT\r\n7", "t", "2026-12-06 10:00:00,j,s,\"LOT\r\n7\",t,"},
        {"j", "s", "-", "left,\"right\"", "2026-12-06 10:00:00,j,s,-,\"left,\"\"right\"\"\","},
        {"", "", "", "", "2026-12-06 10:00:00,,,,,"},
        {"\"", "'", "a b;c", "\xe9t\xe9", "2026-12-06 10:00:00,\"\"\"\",',a b;c,\xe9t\xe9,"},
    };
    for (const auto& [job, step, barcode, tool, expectHead] : cases) {
        SCOPED_TRACE(expectHead);
        std::string l = EventLog_FormatLine(day(2026, 12, 6), job, step, barcode, tool, result(4));
        EXPECT_EQ(l.substr(0, strlen(expectHead)), expectHead);
        // The store reads the line back (its texts as written: the result-line fuzz target).
        StoredResult r;
        ASSERT_EQ(ResultStore_ParseLine(l.data(), l.size(), &r), 0);
        EXPECT_EQ(std::tuple(r.time, r.screw, r.status, r.extra.tdx),
                  std::tuple("2026-12-06 10:00:00", 4, 1, -1));
        EXPECT_NE(ResultStore_ParseLine(l.data(), l.size() - 1, &r), 0) << "a torn line";
    }
    FastenResult big = result(65535);
    big.TargetTorque = 65535;
    big.ConvTorque = 1234;
    const std::string l = EventLog_FormatLine(day(2026, 12, 6), "j", "s", "-", "t", big);
    StoredResult r;
    ASSERT_EQ(ResultStore_ParseLine(l.data(), l.size(), &r), 0);
    EXPECT_EQ(std::tuple(r.targetTorque, r.torque, r.screw), std::tuple(65535, 1234, 65535));
    for (std::string bad :
         {std::string(EVENTLOG_HEADER), l.substr(0, l.size() - 2) + "\n", l.substr(0, 30),
          std::string("2026-12-06 10:00:00,\"a,b,s,-,t,\n"), l.substr(0, l.size() - 1) + ",\n"})
        EXPECT_NE(ResultStore_ParseLine(bad.data(), bad.size(), &r), 0) << bad;
    // The fault seam: the prefix, the error and the operations choose what fails.
    TestEnv env;
    // the fault's prefix and operations, the path and operation tried, the error it gets
    const std::tuple<const char*, int, const char*, int, int> faults[] = {
        {"./files/log", COMMON_FAULT_WRITE, "./files/log/2026/x.csv", COMMON_FAULT_WRITE, ENOSPC},
        {"./files/log", COMMON_FAULT_WRITE, "./files/log/2026/x.csv", COMMON_FAULT_SYNC, 0},
        {"./files/log", COMMON_FAULT_WRITE, "./files/job/x", COMMON_FAULT_WRITE, 0},
        {nullptr, COMMON_FAULT_WRITE, "./files/log/a", COMMON_FAULT_WRITE, 0},
    };
    for (const auto& [prefix, ops, path, op, expect] : faults) {
        Common_SetFault(prefix, ENOSPC, ops);
        EXPECT_EQ(Common_FaultFor(path, op), expect) << path;
    }
    // A relative path is also matched under the data home.
    Common_SetFault((Common_HomeDir() + "/files/log").c_str(), EACCES, COMMON_FAULT_OPEN);
    EXPECT_EQ(Common_IoOpen("./files/log/a.csv", O_RDONLY), -1);
    EXPECT_EQ(errno, EACCES);
    Common_SetFault(nullptr, 0, 0);
}

TEST_F(WriterTest, LinesOfManyToolsReachTheFileInCallOrderAndEachAckFollowsItsLine) {
    Lines sent;
    for (int i = 0; i < 200; ++i) {
        sent.push_back(line(i % 8, i));
        ASSERT_EQ(EventLog_Queue(sent.back(), i % 8), 0);
    }
    // A resend's acknowledgement (no line) and an event-output change keep the queue's order;
    // an item for no tool is acknowledged to none.
    ASSERT_EQ(EventLog_Queue(std::string(), 3), 0);
    ASSERT_EQ(EventLog_Queue(std::string(), -1), 0);
    ASSERT_EQ(EventLog_QueueTask([this] {
                  std::lock_guard<std::mutex> g(ackLock);
                  acks.push_back("output off");
              }),
              0);
    EventLog_Flush();
    Lines want = {EVENTLOG_HEADER};
    want.insert(want.end(), sent.begin(), sent.end());
    EXPECT_EQ(fileLines(DAY_FILE), want);
    ASSERT_EQ(acks.size(), sent.size() + 2);
    EXPECT_EQ(acks[sent.size()], "3:201");
    EXPECT_EQ(acks.back(), "output off");
    for (size_t i = 0; i < sent.size(); ++i) {
        int tdx = 0, linesThen = 0;
        ASSERT_EQ(sscanf(acks[i].c_str(), "%d:%d", &tdx, &linesThen), 2);
        EXPECT_EQ(tdx, int(i % 8)) << "acks in queue order";
        EXPECT_GE(linesThen, int(i) + 2) << "ack " << i << " came before its line was in the file";
    }
    EXPECT_EQ(sink.drain().size(), 0u) << "no log_fail";
}

// The log cannot be written: the line is acknowledged all the same, the GUI hears of it,
// the line waits in the spool (file on the other storage or memory) and reaches the log,
// in order and before newer lines, when it can be written again.
TEST_F(WriterTest, FailedWritesAreSpooledAcknowledgedAndWrittenLaterInOrder) {
    // what, the log's location, a card mounted, the fault's error and operations, whether the
    // spool is a file (else memory), and a card in its slot but not mounted
    using Case = std::tuple<const char*, uint32_t, bool, int, int, bool, bool>;
    const Case cases[] = {
        {"internal full on write, no card", 0, false, ENOSPC, COMMON_FAULT_WRITE, false, false},
        {"internal full at the flush, no card", 0, false, ENOSPC, COMMON_FAULT_SYNC, false, false},
        {"internal folder unwritable, no card", 0, false, EACCES, COMMON_FAULT_OPEN, false, false},
        {"internal full, spool on the card", 0, true, ENOSPC, COMMON_FAULT_WRITE, true, false},
        {"card unwritable, spool internal", 1, true, EACCES, COMMON_FAULT_OPEN, true, false},
        {"card taken out, spool internal", 1, false, 0, 0, true, false},
        {"card in but not mounted, spool internal", 1, false, 0, 0, true, true},
        {"internal full, card in but not mounted", 0, false, ENOSPC, COMMON_FAULT_WRITE, false,
         true},
    };
    for (const auto& [what, location, card, err, ops, spoolFile, unmounted] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all("files/log");
        fs::remove_all(sd);
        env.removeCard();
        get_setting_log()->path = location;
        if (card || unmounted) env.insertCard(!unmounted);
        if (ops) Common_SetFault(location == 1 ? sd.c_str() : "./files/log", err, ops);
        acks.clear();
        sink.clear();
        log.clear();
        EventLog_Queue(line(0, 1), 0);
        put(line(1, 2), 1);
        EXPECT_EQ(acks.size(), 2u) << "acknowledged although not written";
        EXPECT_EQ(EventLog_SpoolLength(), 2u);
        EXPECT_TRUE(fileLines(dayFile()).empty()) << "no line and no lone header in the log";
        EXPECT_FALSE(TestEnv::exists(sd + "/2026")) << "nothing in the empty mount point";
        std::string spool = EventLog_SpoolPath(location);
        EXPECT_EQ(TestEnv::exists(spool), spoolFile) << spool;
        if (spoolFile) {
            EXPECT_EQ(fileLines(spool), (std::vector{line(0, 1), line(1, 2)}));
        }
        EXPECT_TRUE(sink.waitFor("log_fail"));
        // Still failing: the next line joins the spool behind them.
        put(line(2, 3), 2);
        EXPECT_EQ(EventLog_SpoolLength(), 3u);
        // Writable again: spooled lines first, then the new one; the spool is gone.
        Common_SetFault(nullptr, 0, 0);
        if (location == 1) env.insertCard();
        put(line(3, 4), 3);
        EXPECT_EQ(fileLines(dayFile()),
                  (Lines{EVENTLOG_HEADER, line(0, 1), line(1, 2), line(2, 3), line(3, 4)}));
        EXPECT_EQ(EventLog_SpoolLength(), 0u);
        EXPECT_FALSE(TestEnv::exists(spool));
        EXPECT_TRUE(log.contains("4 spooled results written")) << "the last behind the others";
        EXPECT_EQ(acks.size(), 4u);
    }
}

// At exit the memory spool gets a last try; what cannot be written is named.
TEST_F(WriterTest, ExitWritesTheMemorySpoolOrNamesTheLoss) {
    for (bool writable : {true, false}) {
        SCOPED_TRACE(writable);
        fs::remove_all("files/log");
        log.clear();
        Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
        put(line(0, 1), 0);
        ASSERT_EQ(EventLog_SpoolLength(), 1u);
        if (writable) Common_SetFault(nullptr, 0, 0);
        EventLog_Shutdown();
        EXPECT_EQ(fileLines(DAY_FILE).size(), writable ? 2u : 0u);
        EXPECT_EQ(EventLog_SpoolLength(), writable ? 0u : 1u);
        EXPECT_EQ(log.contains("1 acknowledged results lost at exit"), !writable);
        Common_SetFault(nullptr, 0, 0);
        EventLog_Shutdown(); // leaves nothing for the next case
    }
}

// The spool file has a bound: beyond it later results wait in memory (the newest kept),
// which is said once in the debug log, and the screens hear "log_fail" as for any result
// the log did not take.
TEST_F(WriterTest, TheSpoolFileIsBoundedAndAFullBoundIsReported) {
    env.insertCard();
    EventLog_SetSpoolFileLimit(3);
    EventLog_SetSpoolLimit(1);
    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
    for (int i = 1; i <= 6; ++i)
        put(line(0, i), 0);
    const std::string spool = EventLog_SpoolPath(0);
    EXPECT_EQ(fileLines(spool), (std::vector{line(0, 1), line(0, 2), line(0, 3)}));
    EXPECT_EQ(EventLog_SpoolLength(), 4u);
    EXPECT_EQ(log.count("spool.csv is full (3 results)"), 1u);
    EXPECT_TRUE(log.contains("1 oldest results dropped") &&
                log.contains("2 oldest results dropped"));
    EXPECT_EQ(acks.size(), 6u);
    EXPECT_TRUE(sink.waitFor("log_fail"));
    Common_SetFault(nullptr, 0, 0);
    EventLog_Flush();
    put(line(0, 7), 0);
    EXPECT_EQ(fileLines(DAY_FILE),
              (Lines{EVENTLOG_HEADER, line(0, 1), line(0, 2), line(0, 3), line(0, 6), line(0, 7)}));
    EXPECT_EQ(EventLog_SpoolLength(), 0u);
    EXPECT_FALSE(TestEnv::exists(spool));
}

// While the log fails, a new result is spooled behind the others and acknowledged without
// any try of the log: the spool is tried on its own schedule, not at every result.
TEST_F(WriterTest, AResultDuringAnOutageIsAcknowledgedWithoutATryOfTheSpool) {
    env.insertCard();
    EventLog_SetRetryDelays(3600000, 3600000); // no try of its own during the test
    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
    Lines sent;
    for (int i = 1; i <= 5; ++i) {
        sent.push_back(line(i % 8, i));
        EventLog_Queue(sent.back(), i % 8);
        ASSERT_TRUE(waitAcks(sent.size()));
    }
    EXPECT_EQ(log.count("write fail"), 1u) << "only the first result tried the log";
    EXPECT_EQ(fileLines(EventLog_SpoolPath(0)), sent);
}

// Each failed try doubles the wait before the next, up to its bound; once the log can be
// written the spool reaches it without a new result.
TEST_F(WriterTest, TheSpoolIsTriedAgainWithBackOffAndWrittenWithoutANewResult) {
    EventLog_SetRetryDelays(1, 8);
    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
    EventLog_Queue(line(0, 1), 0);
    ASSERT_TRUE(log.waitFor("next try in 8 ms", 2, 20000));
    std::vector<std::ptrdiff_t> at; // where each wait is first named
    const auto lines = log.lines();
    for (const char* ms :
         {"next try in 1 ms", "next try in 2 ms", "next try in 4 ms", "next try in 8 ms"})
        at.push_back(std::find_if(lines.begin(), lines.end(),
                                  [&](const std::string& l) { return l.find(ms) != l.npos; }) -
                     lines.begin());
    EXPECT_LT(at.back(), std::ptrdiff_t(lines.size())) << "each named";
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
    EXPECT_EQ(acks.size(), 1u);
    Common_SetFault(nullptr, 0, 0);
    ASSERT_TRUE(kest_test::WaitUntil([] { return EventLog_SpoolLength() == 0; }));
    EXPECT_EQ(fileLines(DAY_FILE), (Lines{EVENTLOG_HEADER, line(0, 1)}));
    EXPECT_TRUE(log.contains("1 spooled results written"));
}

TEST_F(WriterTest, SpoolFilesLeftByEarlierRunsAreWrittenAtStartTheOlderFirst) {
    env.insertCard();
    get_setting_log()->path = 1;
    const std::string spool = "files/log/spool.csv";
    // The last line was cut by a power cut: it was never acknowledged and is left out.
    TestEnv::writeFile(spool, line(0, 1) + line(0, 2) + "2026-12-06 10:0");
    EventLog_StartWriter(); // the spool's tries write it, no result needed
    ASSERT_TRUE(log.waitFor("2 spooled results written"));
    Lines want = {EVENTLOG_HEADER, line(0, 1), line(0, 2)};
    EXPECT_EQ(fileLines(dayFile()), want);
    EXPECT_FALSE(TestEnv::exists(spool));
    EXPECT_TRUE(log.contains("incomplete last line left out"));
    // A quoted line break keeps a record whole: the spool gives it back as one record, and
    // it goes to the file of its own day.
    const struct tm eve = day(2026, 12, 5, 23, 59, 59);
    const std::string split = EventLog_FormatLine(eve, "Job\nA", "S", "-", "tool0", result(1)),
                      today = line(0, 4);
    TestEnv::writeFile(spool, split + today);
    EventLog_StartWriter();
    ASSERT_TRUE(log.waitFor("2 spooled results written", 2, 20000));
    EXPECT_EQ(TestEnv::readFile(EventLog_FileName(EventLog_DirName(1, eve), eve)),
              EVENTLOG_HEADER + split);
    EXPECT_EQ(TestEnv::readFile(dayFile()), EVENTLOG_HEADER + line(0, 1) + line(0, 2) + today);
    // After a power cut while a spool was written by slices, the next start takes it up
    // after its mark. A mark is trusted only when it points just after a line break, at a
    // record: a power cut can tear it. Otherwise the records from the first one that
    // begins behind it are written (some maybe again, none lost), and a quoted name the
    // mark was written over does not make the rest one field.
    const std::string quoted =
        EventLog_FormatLine(day(2026, 12, 6), "Job, \"A\"", "S", "-", "tool0", result(5));
    ASSERT_EQ(quoted[20], '"');
    const std::string tail = line(0, 6) + line(0, 7);
    auto marked = [&](const std::string& mark) { return mark + (quoted + tail).substr(22); };
    const std::tuple<const char*, std::string, bool> marks[] = {
        {"torn into garbage", marked("#00000000000000000a9x\n"), false},
        {"pointing into a record", marked(spoolMark(quoted.size() + 5)), false},
        {"just after a line break", marked(spoolMark(quoted.size())), true},
    };
    for (const auto& [what, text, trusted] : marks) {
        SCOPED_TRACE(what);
        fs::remove_all(sd + "/2026");
        log.clear();
        TestEnv::writeFile(spool, text);
        EventLog_StartWriter();
        ASSERT_TRUE(log.waitFor("spooled results written"));
        EXPECT_EQ(fileLines(dayFile()), (Lines{EVENTLOG_HEADER, line(0, 6), line(0, 7)}));
        EXPECT_EQ(log.contains("mark unreadable"), !trusted);
        EXPECT_FALSE(TestEnv::exists(spool));
    }
    // Two spool files at start (a card was out at a try): the one holding the older
    // results goes first, whichever was touched last (a mark written after a slice
    // refreshes a file's time).
    get_setting_log()->path = 0;
    log.clear();
    const std::string card = EventLog_SpoolPath(0);
    const std::string older = line(0, 1) + line(0, 2), newer = line(1, 3, day(2026, 12, 6, 11));
    TestEnv::writeFile(card, spoolMark(older.size() - line(0, 2).size()) + older.substr(22));
    TestEnv::writeFile(spool, newer); // the internal one
    fs::last_write_time(card, fs::last_write_time(spool) + std::chrono::seconds(5));
    EventLog_StartWriter();
    ASSERT_TRUE(log.waitFor("2 spooled results written"));
    EXPECT_EQ(fileLines(DAY_FILE),
              (Lines{EVENTLOG_HEADER, line(0, 2), line(1, 3, day(2026, 12, 6, 11))}));
}

// A spool left by an outage does not hold up the start: the writer's set-up only takes
// the files over, and its slices are written by the loop afterwards, still before any
// later result.
struct StartUpTest : WriterTest {
    size_t heldAtSetUp = 0;
    Lines spooled;
    void SetUp() override {
        std::string text;
        for (int i = 0; i < 1003; ++i) {
            spooled.push_back(line(i % 8, i));
            text += spooled.back();
        }
        TestEnv::writeFile("files/log/spool.csv", text);
        EventLog_StartWriter();
        Threads_AddSetup(LOOP_EVENTLOG, [this] { heldAtSetUp = EventLog_SpoolLength(); });
        WriterTest::SetUp();
    }
};

TEST_F(StartUpTest, ALeftSpoolIsTakenOverAtSetUpAndWrittenByTheLoopBeforeLaterResults) {
    EXPECT_EQ(heldAtSetUp, spooled.size()) << "written before the start went on";
    put(line(0, 2000), 0);
    spooled.insert(spooled.begin(), EVENTLOG_HEADER);
    spooled.push_back(line(0, 2000));
    EXPECT_EQ(fileLines(DAY_FILE), spooled);
    EXPECT_FALSE(TestEnv::exists("files/log/spool.csv"));
}

// The spool reaches the log a slice at a time; after each slice its file says where the
// rest begins, so a restart would not write the slice again.
TEST_F(WriterTest, TheSpoolIsWrittenBySlicesEachMarkedInItsFile) {
    env.insertCard();
    EventLog_SetRetryDelays(3600000, 3600000);
    Lines a, b;
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        a.push_back(line(i % 8, i));
        text += a.back();
    }
    for (int i = 0; i < 3; ++i) {
        b.push_back(line(0, i, day(2026, 12, 7)));
        text += b.back();
    }
    const std::string spool = EventLog_SpoolPath(0);
    TestEnv::writeFile(spool, text);
    // The next day's folder cannot be made: the slice holding its lines fails.
    Common_SetFault("./files/log/2026/12/07", EACCES, COMMON_FAULT_OPEN);
    EventLog_StartWriter();
    ASSERT_TRUE(log.waitFor("next try in 3600000 ms"));
    const auto done = fileLines(DAY_FILE);
    ASSERT_GT(done.size(), 1u);
    ASSERT_LT(done.size(), a.size() + 1) << "one slice, not the whole spool";
    const size_t n = done.size() - 1;
    EXPECT_EQ(Lines(done.begin() + 1, done.end()), Lines(a.begin(), a.begin() + std::ptrdiff_t(n)));
    EXPECT_EQ(EventLog_SpoolLength(), a.size() - n + b.size());
    const size_t offset = text.find(a[n]); // where the first record not written begins
    const std::string after = TestEnv::readFile(spool);
    EXPECT_EQ(after.substr(0, 22), spoolMark(offset));
    EXPECT_EQ(after.substr(offset), text.substr(offset));
    // Its bound counts the records not written yet: one more fits in the file.
    EventLog_SetSpoolFileLimit(EventLog_SpoolLength() + 1);
    const std::string later = line(0, 5000);
    put(later, 0);
    EXPECT_FALSE(log.contains("is full")) << "the written records count against the bound";
    EXPECT_EQ(fileLines(spool).back(), later);
    EXPECT_EQ(EventLog_SpoolLength(), a.size() - n + b.size() + 1);
    // Writable again: the rest once, in order.
    Common_SetFault(nullptr, 0, 0);
    EventLog_Flush();
    a.insert(a.begin(), EVENTLOG_HEADER);
    b.insert(b.begin(), EVENTLOG_HEADER);
    a.push_back(later);
    EXPECT_EQ(fileLines(DAY_FILE), a);
    EXPECT_EQ(fileLines("files/log/2026/12/07/20261207.csv"), b);
    EXPECT_FALSE(TestEnv::exists(spool));
    EXPECT_TRUE(log.contains("1004 spooled results written"));
}
