// The result store behind the log writer: rows with their IDs and extras, cursors kept
// across restarts, and after a SIGKILL at a chosen point every day-file line once.
#include "eventlog.h"
#include "resultstore.h"
#include "unit_common.h"

#include <sys/wait.h>

namespace {
const char* const DAY_FILE = "files/log/2026/12/06/20261206.csv";

std::string line(int screw) {
    FastenResult r{.ScrewNo = uint16_t(screw), .Status = 1};
    return EventLog_FormatLine(localTm(2026, 12, 6, 10), "J", "S", "-", "tool", r);
}

ResultExtra extra(int screw) {
    return {
        .tdx = screw % 8, .jobIndex = 2, .stepIndex = screw, .frame = {1, 2, 3, uint8_t(screw)}};
}

// A day before the store exists: history, never taken in.
void writeHistory() {
    FastenResult r{.ScrewNo = 99, .Status = 1};
    TestEnv::writeFile("files/log/2026/12/05/20261205.csv",
                       std::string(EVENTLOG_HEADER) +
                           EventLog_FormatLine(localTm(2026, 12, 5), "", "", "-", "t", r));
}
} // namespace

TEST(ResultStore, WrittenLinesGetIncreasingIdsAndExtrasWhileTheAckNeverWaitsForTheStore) {
    TestEnv env;
    RecordingSink sink;
    load_setting();
    get_setting_log()->path = 0;
    EwDriver_SetDeviceObject(&sink);
    writeHistory();
    std::atomic<int> acks{0};
    EventLog_SetAckWriter([&](int) { return ++acks, 0; });
    Threads_Init();
    ResultStore_Init();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ResultStore_SetCommitHook([released](int phase, int64_t) {
        if (phase == 0) released.wait(); // the store is stuck: the writer goes on
    });
    std::vector<int64_t> seen;
    std::mutex seenLock;
    ResultStore_Watch([&](int64_t last) {
        std::lock_guard<std::mutex> g(seenLock);
        seen.push_back(last);
    });
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(EventLog_Queue(line(i), i % 8, extra(i)), 0);
    EventLog_Flush();
    EXPECT_EQ(acks.load(), 5) << "every line acknowledged with the store's commit held";
    EXPECT_EQ(fileLines(DAY_FILE).size(), 6u);
    release.set_value();
    ResultStore_Flush();
    std::vector<StoredResult> rows;
    EXPECT_GE(ResultStore_Read(0, 1000, &rows), 0);
    ASSERT_EQ(rows.size(), 5u) << "the day before the store is not taken in";
    for (int i = 1; i <= 5; ++i) {
        const StoredResult& r = rows[size_t(i - 1)];
        EXPECT_EQ(std::tuple(r.id, r.screw, r.time, r.job, r.extra.tdx, r.extra.stepIndex,
                             r.extra.batchSize, r.extra.frame),
                  std::tuple(i, i, "2026-12-06 10:00:00", "J", i % 8, i, -1, extra(i).frame));
    }
    {
        std::lock_guard<std::mutex> g(seenLock);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), 5);
    }
    // Cursors: forward only, kept across a restart.
    EXPECT_EQ(ResultStore_Backlog("op"), 5u);
    ASSERT_EQ(ResultStore_Ack("op", 3), 0);
    ASSERT_EQ(ResultStore_Ack("op", 2), 0);
    EXPECT_EQ(ResultStore_Cursor("op"), 3);
    EXPECT_EQ(ResultStore_Backlog("op"), 2u);
    ResultStore_Shutdown();
    EXPECT_EQ(ResultStore_Read(0, 10, &rows), 0) << "closed: nothing, as before the start-up";
    ResultStore_Init();
    EXPECT_EQ(ResultStore_Cursor("op"), 3);
    EXPECT_EQ(ResultStore_LastId(), 5);
    StoredResult r;
    ASSERT_EQ(ResultStore_Get(4, &r), 0);
    EXPECT_EQ(r.extra.frame, extra(4).frame);
    EXPECT_EQ(ResultStore_Get(6, &r), -1);
    ResultStore_Shutdown();
    EventLog_SetAckWriter(nullptr);
}

// A child writes results one batch each and is killed with SIGKILL while its store is
// held at a commit (before it, or after it); a second child starts the store again and
// lists it. Every line of the day file is there once, in order, under the IDs it had.
TEST(ResultStore, AfterSigkillAtACommitTheNextStartHoldsEveryLineOnceWithStableIds) {
    if (Threads_GetContext(LOOP_STORE))
        GTEST_SKIP() << "forks its own worker threads: run it in a process of its own (ctest)";
    // Held at (phase, commit): phase 0 before the commit, 1 after it.
    const std::pair<int, int> points[] = {{0, 1}, {0, 3}, {1, 3}};
    const int made = 6;
    for (const auto& [heldPhase, heldCommit] : points) {
        const int phaseAt = heldPhase, commitAt = heldCommit; // clang 14 cannot capture bindings
        SCOPED_TRACE(testing::Message() << "phase " << heldPhase << " commit " << heldCommit);
        TestEnv env;
        writeHistory();
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            load_setting();
            get_setting_log()->path = 0;
            EventLog_SetAckWriter([](int) { return 0; });
            Threads_Init();
            int commits = 0;
            ResultStore_SetCommitHook([&](int phase, int64_t last) {
                if (phase == 1) TestEnv::writeFile("committed", std::to_string(last));
                if (phase == phaseAt && ++commits == commitAt) {
                    TestEnv::writeFile("held", "");
                    pause();
                }
            });
            ResultStore_Init();
            for (int i = 1; i <= made; ++i) {
                EventLog_Queue(line(i), -1, extra(i));
                EventLog_Flush(); // a batch each
            }
            pause();
        }
        ASSERT_TRUE(kest_test::WaitUntil([] { return TestEnv::exists("held"); }));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        const int64_t committed =
            TestEnv::exists("committed") ? atoll(TestEnv::readFile("committed").c_str()) : 0;
        EXPECT_EQ(committed, heldCommit - 1 + heldPhase);

        const pid_t again = fork();
        ASSERT_GE(again, 0);
        if (again == 0) {
            load_setting();
            EventLog_SetAckWriter([](int) { return 0; });
            Threads_Init();
            ResultStore_Init();
            EventLog_Queue(line(made + 1), -1, extra(made + 1));
            EventLog_Flush();
            ResultStore_Flush();
            std::string out;
            std::vector<StoredResult> rows;
            ResultStore_Read(0, 1000, &rows);
            for (const StoredResult& r : rows)
                out += std::to_string(r.id) + " " + std::to_string(r.screw) + " " +
                       std::to_string(r.extra.tdx) + "\n";
            TestEnv::writeFile("rows", out);
            _exit(0);
        }
        ASSERT_EQ(waitpid(again, &status, 0), again);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::vector<std::string> csv = fileLines(DAY_FILE);
        const std::vector<std::string> rows = fileLines("rows");
        ASSERT_EQ(rows.size() + 1, csv.size()) << "every line of the day file, once";
        ASSERT_GE(int(rows.size()), heldCommit + 1);
        for (size_t k = 0; k < rows.size(); ++k) {
            // The lines in their order under IDs counted from 1 (none used twice); the
            // extras of what was committed before the kill, none for lines taken back;
            // the line written after the start last.
            const int id = int(k + 1), last = k + 1 == rows.size();
            const int screw = last ? made + 1 : id;
            EXPECT_EQ(csv[k + 1], line(screw));
            const int tdx = id <= committed || last ? screw % 8 : -1;
            EXPECT_EQ(rows[k], std::to_string(id) + " " + std::to_string(screw) + " " +
                                   std::to_string(tdx) + "\n");
        }
    }
}
