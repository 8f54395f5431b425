// What no press on the job manager screen reaches (job_manager_screen_test.cpp has the
// rest): a stray file taking a name, a refused creation or move, a dialog answer of
// another context, the barcode button, a selection left past a shorter list.
#include "page/jobs/JobManager.h"

#include <QSet>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// A job list with a file per job (plus stray files), recording every call as one line.
struct RecordingPort : JobManagerPort {
    QStringList jobs{"a", "b", "c"};
    QSet<QString> files{"a", "b", "c"}; // job files present
    int extra = 0;                      // jobs counted beyond the named ones
    int fail = 0;                       // every store call answers this
    bool leaves = false;                // a failed new or copy keeps its entry, no file
    Lines lines;

    void rec(const QString& l) { lines.push_back(l.toStdString()); }
    void add(const QString& name) {
        jobs.append(name);
        files.insert(name);
    }
    int Count() override { return int(jobs.size()) + extra; }
    QString Name(int row) override { return jobs.value(row); }
    bool Exists(const QString& name) override { return files.contains(name); }
    int Create(const QString& name) override {
        rec("create " + name);
        if (!fail) add(name);
        if (fail && leaves) jobs.append(name);
        return fail;
    }
    int Copy(int row, const QString& name) override {
        rec(QString("copy %1 ").arg(row) + name);
        if (!fail) add(name);
        if (fail && leaves) jobs.append(name);
        return fail;
    }
    int Rename(int row, const QString& name) override {
        rec(QString("rename %1 ").arg(row) + name);
        return fail;
    }
    int Delete(int row) override {
        rec(QString("delete %1").arg(row));
        const bool noFile = !files.contains(jobs.value(row)); // only its entry to remove
        if (!fail || noFile) jobs.removeAt(row);
        return noFile ? 0 : fail;
    }
    int MoveUp(int row) override {
        rec(QString("up %1").arg(row));
        return fail;
    }
    int MoveDown(int row) override {
        rec(QString("down %1").arg(row));
        return fail;
    }
    int Load(int row) override {
        rec(QString("load %1").arg(row));
        return fail;
    }
    void OpenEditor(int row) override { rec(QString("editor %1").arg(row)); }
    void OpenBarcode() override { rec("barcode screen"); }
    void Error(const QString& text) override { rec("Error: " + text); }
    void Entry(const QString& title, const QString& prompt, const QString& text,
               const QString& context) override {
        rec("entry " + title + " | " + prompt + " | " + text + " | " + context);
    }
    void Confirm(const QString& q, const QString& ctx) override { rec("confirm " + q + " " + ctx); }
    void ListChanged() override { rec("list"); }
};

struct Case {
    const char* name;
    std::function<void(RecordingPort&)> setUp;
    int selected; // before the presses
    std::function<void(JobManager&)> presses;
    Lines expected;
    int selectedAfter;
};

const char* kSlash = "Error: Can not use \"/\" in the job name.";

// clang-format off
const Case kCases[] = {
    {"with 1000 jobs new only says the limit",
     [](RecordingPort& p) { p.extra = 997; }, 0,
     [](JobManager& m) { m.NewPressed(); EXPECT_FALSE(m.EntryConfirmed("other", "")); },
     {"Error: Job limit exceeded."}, 0},
    {"an empty name, an existing file or a slash keeps the new-job entry open",
     [](RecordingPort& p) { p.files.insert("stray"); }, -1,
     [](JobManager& m) { EXPECT_FALSE(m.EntryConfirmed("new job", ""));
                         EXPECT_FALSE(m.EntryConfirmed("new job", "stray"));
                         EXPECT_FALSE(m.EntryConfirmed("new job", "../x")); },
     {"Error: Job already exists.", kSlash}, -1},
    {"a refused creation keeps the entry open and the selection",
     [](RecordingPort& p) { p.fail = -3; }, 1,
     [](JobManager& m) { EXPECT_FALSE(m.EntryConfirmed("new job", "z")); },
     {"create z", "Error: Failed to create the job."}, 1},
    {"a failed new or copy says so and drops the entry it left",
     [](RecordingPort& p) { p.fail = -1; p.leaves = true; }, 1,
     [](JobManager& m) { EXPECT_FALSE(m.EntryConfirmed("new job", "z"));
                         EXPECT_TRUE(m.EntryConfirmed("copy job", "b1")); },
     {"create z", "delete 3", "list", "Error: Failed to create the job.",
      "copy 1 b1", "delete 3", "list", "Error: Failed to copy the job."}, 1},
    {"a failed rename says so",
     [](RecordingPort& p) { p.fail = -1; }, 0,
     [](JobManager& m) { EXPECT_TRUE(m.EntryConfirmed("rename", "q")); },
     {"rename 0 q", "list", "Error: Failed to rename the job."}, 0},
    {"a leading dot is refused with its own reason",
     [](RecordingPort&) {}, 0,
     [](JobManager& m) { EXPECT_FALSE(m.EntryConfirmed("new job", ".x"));
                         EXPECT_TRUE(m.EntryConfirmed("rename", ".y")); },
     {"Error: Can not use \".\" at the start of the job name.",
      "Error: Can not use \".\" at the start of the job name."}, 0},
    {"delete asks first; confirmed, the job goes and no row is selected",
     [](RecordingPort&) {}, 2,
     [](JobManager& m) { m.DeletePressed(); m.Confirmed("other"); m.Confirmed("delete"); },
     {"confirm Delete? delete", "delete 2", "list"}, -1},
    {"a refused move keeps the selection",
     [](RecordingPort& p) { p.fail = -1; }, 1,
     [](JobManager& m) { m.UpPressed(); m.DownPressed(); },
     {"up 1", "down 1"}, 1},
    {"barcode always opens its screen",
     [](RecordingPort&) {}, 2, [](JobManager& m) { m.BarcodePressed(); }, {"barcode screen"}, 2},
};
// clang-format on

TEST(JobManager, ButtonsAsTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        RecordingPort port;
        c.setUp(port);
        JobManager m(port);
        m.Select(c.selected);
        c.presses(m);
        EXPECT_EQ(port.lines, c.expected);
        EXPECT_EQ(m.Selected(), c.selectedAfter);
    }
}

TEST(JobManager, SelectionPastTheListIsDropped) {
    RecordingPort port;
    JobManager m(port);
    m.Select(7);
    EXPECT_EQ(m.Selected(), -1);
    m.Select(2);
    port.jobs.removeLast();
    m.ListReloaded();
    EXPECT_EQ(m.Selected(), -1);
}

} // namespace
