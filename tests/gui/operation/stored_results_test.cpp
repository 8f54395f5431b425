// The stored-results collector: which tools are asked in which order, progress, the end;
// and the judge-once guard over tools' event numbers.
#include "RecordingResultsPort.h"
#include "page/operation/StoredResults.h"

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

using results_test::Lines;

TEST(StoredResults, CollectsChosenConnectedToolsOneAfterTheOther) {
    const struct {
        const char* name;
        std::vector<int> pending; // per tool 0..3
        uint32_t chosen, connected;
        std::vector<int> results; // tools whose stored results arrive, in order; -1 - t: t
                                  // counted again with nothing left
        Lines want;
    } cases[] = {
        // clang-format off
        {"one tool", {3, 0, 0, 0}, 0x1, 0xF, {0, 0, 0}, {"start 0", "complete 0", "end"}},
        {"not chosen and not connected are declined", {1, 2, 1, 0}, 0x3, 0x5, {0},
         {"decline 1", "decline 2", "start 0", "complete 0", "end"}},
        {"a tool without pending is not counted", {1, 0, 0, 0}, 0x1, 0xF, {2, 0},
         {"start 0", "complete 0", "end"}},
        {"the tool being collected comes back with nothing left: the next one starts",
         {1, 0, 0, 1}, 0x9, 0xF, {-1, 3}, {"start 0", "start 3", "complete 3", "end"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        Recorder r;
        StoredResults s = r.make();
        for (int t = 0; t < 4; t++)
            s.SetPending(t, c.pending[static_cast<size_t>(t)]);
        s.Confirm(c.chosen, c.connected);
        for (int t : c.results)
            t < 0 ? s.SetPending(-1 - t, 0) : void(s.OnResult(t));
        EXPECT_EQ(std::tuple(r.seen, s.Total(), s.AnyPending()), std::tuple(c.want, 0, false))
            << c.name;
    }
}

TEST(ResultOnce, OnlyTheFirstResultAfterALossCanBeTheResendOfTheLastTaken) {
    // Event number 0 throughout: a tool that leaves register 0 alone.
    const FastenResult a = results_test::result(5), b = results_test::result(7, "AB"),
                       b2 = results_test::result(7, "ABC");
    // The resend and results alike it on a live link, first back or not: the run tables of
    // both operation screens. T take, L link lost, R ask whether it is the resend.
    struct Op {
        char op;
        int tdx;
        FastenResult r;
        bool resent = false;
    };
    const struct {
        const char* what;
        std::vector<Op> ops;
    } rows[] = {
        {"another text is another result", {{'T', 0, b}, {'L', 0, {}}, {'R', 0, b2, false}}},
        {"a result taken after the loss ends it",
         {{'T', 0, a}, {'L', 0, {}}, {'T', 0, b}, {'R', 0, b, false}}},
        {"two losses before it comes",
         {{'T', 0, a}, {'L', 0, {}}, {'L', 0, {}}, {'R', 0, a, true}}},
        {"its acknowledgement lost again",
         {{'T', 0, a}, {'L', 0, {}}, {'R', 0, a, true}, {'L', 0, {}}, {'R', 0, a, true}}},
        {"per tool", {{'T', 0, a}, {'L', 1, {}}, {'R', 1, a, false}, {'R', 0, a, false}}},
        {"nothing taken yet", {{'L', 0, {}}, {'R', 0, FastenResult{}, false}}},
        {"bad index", {{'T', 8, a}, {'L', 8, {}}, {'R', 8, a, false}, {'R', -1, a, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ResultOnce once;
        for (size_t i = 0; i < row.ops.size(); i++) {
            const Op& o = row.ops[i];
            if (o.op == 'T') once.Take(o.tdx, o.r);
            if (o.op == 'L') once.LinkLost(o.tdx);
            if (o.op == 'R') {
                EXPECT_EQ(once.Resent(o.tdx, o.r), o.resent) << "step " << i;
            }
        }
    }
}

} // namespace
