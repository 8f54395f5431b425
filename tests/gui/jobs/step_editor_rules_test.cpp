// The step editor's rules over a recording port: what each press asks of the screen and
// the job, in order, and where the selection ends.
#include "page/jobs/StepEditor.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
struct RecordingPort : StepEditorPort {
    int count = 0;
    int saveResult = 0;
    std::vector<std::string> calls;
    void log(std::string s) { calls.push_back(std::move(s)); }
    int StepCount() override { return count; }
    int AddStep(int type) override {
        log("add " + std::to_string(type));
        ++count;
        return 0;
    }
    int CopyStep(int sdx) override {
        log("copy " + std::to_string(sdx));
        ++count;
        return 0;
    }
    int DeleteStep(int sdx) override {
        log("delete " + std::to_string(sdx));
        --count;
        return 0;
    }
    int MoveStepUp(int sdx) override {
        log("up " + std::to_string(sdx));
        return 0;
    }
    int MoveStepDown(int sdx) override {
        log("down " + std::to_string(sdx));
        return 0;
    }
    QString StepName(int sdx) override { return QString("step%1").arg(sdx); }
    int RenameStep(int sdx, const QString& name) override {
        log("rename " + std::to_string(sdx) + " " + name.toStdString());
        return 0;
    }
    int SaveJob() override {
        log("save job");
        return saveResult;
    }
    void FreeJob() override { log("free"); }
    void SavePanel() override { log("panel"); }
    void ShowStep(int sdx) override { log("show " + std::to_string(sdx)); }
    void Error(const QString& text) override { log("error " + text.toStdString()); }
    void Confirm(const QString& q, const QString& c) override {
        log("confirm " + q.toStdString() + " " + c.toStdString());
    }
    void AskName(const QString& current) override { log("ask " + current.toStdString()); }
    void Close() override { log("close"); }
};

using Calls = std::vector<std::string>;
struct RuleCase {
    const char* what;
    int count, selected;
    std::function<void(StepEditor&, RecordingPort&)> act;
    Calls calls;
    int selectedAfter;
};

const RuleCase kRules[] = {
    {"add saves the panel first, shows the new step",
     3,
     1,
     [](StepEditor& e, RecordingPort&) { e.AddPressed(2); },
     {"panel", "add 2", "show 3"},
     3},
    {"add at the limit",
     255,
     0,
     [](StepEditor& e, RecordingPort&) { e.AddPressed(0); },
     {"error Step limit exceeded."},
     0},
    {"copy at the limit",
     255,
     4,
     [](StepEditor& e, RecordingPort&) { e.CopyPressed(); },
     {"error Step limit exceeded."},
     4},
    {"copy below the limit",
     254,
     4,
     [](StepEditor& e, RecordingPort&) { e.CopyPressed(); },
     {"panel", "copy 4", "show 254"},
     254},
    {"copy without a selection",
     0,
     -1,
     [](StepEditor& e, RecordingPort&) { e.CopyPressed(); },
     {},
     -1},
    {"select another step saves the visible one",
     3,
     0,
     [](StepEditor& e, RecordingPort&) { e.Select(2); },
     {"panel", "show 2"},
     2},
    {"select the same or a missing row",
     3,
     1,
     [](StepEditor& e, RecordingPort&) {
         e.Select(1);
         e.Select(3);
         e.Select(-1);
     },
     {},
     1},
    {"up",
     3,
     2,
     [](StepEditor& e, RecordingPort&) { e.UpPressed(); },
     {"panel", "up 2", "show 1"},
     1},
    {"up at the top", 3, 0, [](StepEditor& e, RecordingPort&) { e.UpPressed(); }, {}, 0},
    {"down",
     3,
     0,
     [](StepEditor& e, RecordingPort&) { e.DownPressed(); },
     {"panel", "down 0", "show 1"},
     1},
    {"down at the bottom", 3, 2, [](StepEditor& e, RecordingPort&) { e.DownPressed(); }, {}, 2},
    {"delete asks, the confirmation deletes without saving the panel",
     3,
     1,
     [](StepEditor& e, RecordingPort&) {
         e.DeletePressed();
         e.Confirmed("delete");
     },
     {"confirm Delete? delete", "delete 1", "show 1"},
     1},
    {"delete of the only step leaves none",
     1,
     0,
     [](StepEditor& e, RecordingPort&) { e.Confirmed("delete"); },
     {"delete 0", "show -1"},
     -1},
    {"rename proposes the current name",
     2,
     1,
     [](StepEditor& e, RecordingPort&) {
         e.RenamePressed();
         EXPECT_FALSE(e.NameEntered(""));
         EXPECT_TRUE(e.NameEntered("gate"));
     },
     {"ask step1", "rename 1 gate", "show 1"},
     1},
    {"save saves the panel, the job, then closes",
     2,
     0,
     [](StepEditor& e, RecordingPort&) {
         e.SavePressed();
         e.Confirmed("save");
     },
     {"confirm Save? save", "panel", "save job", "close"},
     0},
    {"failed save stays",
     2,
     0,
     [](StepEditor& e, RecordingPort& p) {
         p.saveResult = -1;
         e.Confirmed("save");
     },
     {"panel", "save job", "error Failed to save the job."},
     0},
    {"cancel frees the job without saving",
     2,
     0,
     [](StepEditor& e, RecordingPort&) {
         e.CancelPressed();
         e.Confirmed("cancel");
     },
     {"confirm Cancel? cancel", "free", "close"},
     0},
};
} // namespace

TEST(StepEditorRules, Table) {
    for (const RuleCase& c : kRules) {
        SCOPED_TRACE(c.what);
        RecordingPort port;
        port.count = c.count;
        StepEditor editor(port);
        editor.Open();
        if (c.selected > 0) editor.Select(c.selected);
        EXPECT_EQ(editor.Selected(), c.selected);
        port.calls.clear();
        c.act(editor, port);
        EXPECT_EQ(port.calls, c.calls);
        EXPECT_EQ(editor.Selected(), c.selectedAfter);
    }
}
