// The stored-results collector: which tools are asked in which order, progress, the end;
// and the judge-once guard over tools' event numbers.
#include "page/operation/StoredResults.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> seen;
    StoredResults make() {
        auto rec = [this](const char* what) {
            return [this, what](int32_t t) { seen.push_back(what + std::to_string(t)); };
        };
        return StoredResults(
            {rec("start "), rec("complete "), rec("decline "), [this] { seen.push_back("end"); }});
    }
};

using Lines = std::vector<std::string>;

TEST(StoredResults, CollectsChosenConnectedToolsOneAfterTheOther) {
    const struct {
        const char* name;
        std::vector<int> pending; // per tool 0..3
        uint32_t chosen, connected;
        std::vector<int> results; // tools whose stored results arrive, in order
        Lines want;
    } cases[] = {
        {"one tool", {3, 0, 0, 0}, 0x1, 0xF, {0, 0, 0}, {"start 0", "complete 0", "end"}},
        {"two in index order",
         {2, 0, 0, 1},
         0x9,
         0xF,
         {0, 0, 3},
         {"start 0", "complete 0", "start 3", "complete 3", "end"}},
        {"not chosen and not connected are declined",
         {1, 2, 1, 0},
         0x3,
         0x5,
         {0},
         {"decline 1", "decline 2", "start 0", "complete 0", "end"}},
        {"nothing chosen", {1, 1, 0, 0}, 0x0, 0xF, {}, {"decline 0", "decline 1", "end"}},
        {"a tool without pending is not counted",
         {1, 0, 0, 0},
         0x1,
         0xF,
         {2, 0},
         {"start 0", "complete 0", "end"}},
    };
    for (const auto& c : cases) {
        Recorder r;
        StoredResults s = r.make();
        for (int t = 0; t < 4; t++)
            s.SetPending(t, c.pending[static_cast<size_t>(t)]);
        s.Confirm(c.chosen, c.connected);
        for (int t : c.results)
            s.OnResult(t);
        EXPECT_EQ(r.seen, c.want) << c.name;
        EXPECT_EQ(s.Total(), 0) << c.name;
        EXPECT_FALSE(s.AnyPending()) << c.name;
    }
}

TEST(StoredResults, ProgressAndTotal) {
    Recorder r;
    StoredResults s = r.make();
    s.SetPending(1, 3);
    s.SetPending(2, 2);
    s.Confirm(0x6, 0xFF);
    EXPECT_EQ(s.Total(), 5);
    EXPECT_EQ(s.Current(), 1);
    EXPECT_EQ(s.Maximum(1), 3);
    s.OnResult(1);
    EXPECT_EQ(s.Progress(1), 1);
    EXPECT_EQ(s.Pending(1), 2);
    EXPECT_EQ(s.Total(), 4);
    EXPECT_FALSE(s.OnResult(5));
    EXPECT_EQ(s.Total(), 4);
}

TEST(StoredResults, ALinkLostDuringCollectionDropsThatToolAndStartsTheNext) {
    Recorder r;
    StoredResults s = r.make();
    s.SetPending(0, 2);
    s.SetPending(3, 1);
    s.Confirm(0x9, 0xFF);
    s.OnResult(0);
    s.OnLinkLost(0);
    EXPECT_EQ(s.Total(), 1);
    EXPECT_EQ(s.Current(), 3);
    s.OnLinkLost(3);
    EXPECT_EQ(r.seen, (Lines{"start 0", "start 3", "end"}));
}

TEST(StoredResults, AToolBackDuringCollectionIsChosenAgain) {
    Recorder r;
    StoredResults s = r.make();
    s.SetPending(0, 2);
    s.SetPending(1, 2);
    s.Confirm(0x3, 0xFF);
    s.OnResult(0);
    s.OnLinkLost(0);    // tool 1 starts
    s.SetPending(0, 4); // back with 4 (the one left and three new)
    EXPECT_FALSE(s.Confirmed()) << "the operator may choose it";
    EXPECT_EQ(s.Total(), 2);
    s.Confirm(0x1, 0xFF);
    EXPECT_EQ(s.Total(), 6);
    for (int i = 0; i < 2; i++)
        s.OnResult(1);
    for (int i = 0; i < 4; i++)
        s.OnResult(0);
    EXPECT_EQ(r.seen, (Lines{"start 0", "start 1", "complete 1", "start 0", "complete 0", "end"}));
    // Later the tool comes back with more: a new round, nothing left over from this one.
    s.SetPending(0, 1);
    EXPECT_FALSE(s.Confirmed());
    EXPECT_EQ(s.Progress(0), 0);
    s.Confirm(0x1, 0xFF);
    EXPECT_EQ(s.Maximum(0), 1);
    s.OnResult(0);
    EXPECT_EQ(Lines(r.seen.end() - 3, r.seen.end()), (Lines{"start 0", "complete 0", "end"}));
}

TEST(ResultOnce, RepeatsAreTheSameRecordsAmongTheLastFourOfTheSameTool) {
    auto rec = [](int no, int screw = 1, const char* code = "") {
        FastenResult r;
        r.Status = 1;
        r.EventNo = uint16_t(no);
        r.ScrewNo = uint16_t(screw);
        snprintf(r.Barcode, sizeof r.Barcode, "%s", code);
        return r;
    };
    ResultOnce once;
    for (int n = 1; n <= 5; n++)
        once.Take(0, rec(n));
    once.Take(1, rec(9, 1, "AB"));
    const struct {
        int tdx;
        FastenResult r;
        bool repeat;
    } cases[] = {
        {0, rec(5), true},
        {0, rec(2), true},
        {0, rec(1), false}, // older than four
        {0, rec(5, 2), false},
        {0, rec(6), false},
        {1, rec(9, 1, "AB"), true},
        {1, rec(9), false},
        {1, rec(9, 1, "ABC"), false},
        {2, rec(9, 1, "AB"), false},
        {8, rec(9, 1, "AB"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(once.Repeat(c.tdx, c.r), c.repeat) << c.tdx << " " << c.r.EventNo;
    once.Forget(0);
    EXPECT_FALSE(once.Repeat(0, rec(5)));
    EXPECT_TRUE(once.Repeat(1, rec(9, 1, "AB")));
}

} // namespace
