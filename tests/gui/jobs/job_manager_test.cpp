// The job manager's rules as tables: default names over a set of job files, and each
// button's dialog, message, store call and selection against a recording port.
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
        return fail;
    }
    int Copy(int row, const QString& name) override {
        rec(QString("copy %1 ").arg(row) + name);
        if (!fail) add(name);
        return fail;
    }
    int Rename(int row, const QString& name) override {
        rec(QString("rename %1 ").arg(row) + name);
        return fail;
    }
    int Delete(int row) override {
        rec(QString("delete %1").arg(row));
        if (!fail) jobs.removeAt(row);
        return fail;
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
    {"new proposes nothing when new_job and new_job1..255 all exist",
     [](RecordingPort& p) { p.files.insert("new_job");
                            for (int i = 1; i <= 255; ++i) p.files.insert(QString("new_job%1").arg(i)); },
     -1, [](JobManager& m) { m.NewPressed(); },
     {"entry Add new job | Enter job name |  | new job"}, -1},
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
     {"create z"}, 1},
    {"copy proposes source1, then the first free number up to 255, else nothing",
     [](RecordingPort& p) { p.files.unite({"b1", "b2"});
                            for (int i = 1; i <= 255; ++i) p.files.insert(QString("c%1").arg(i)); },
     1, [](JobManager& m) { m.CopyPressed(); m.Select(0); m.CopyPressed(); m.Select(2); m.CopyPressed(); },
     {"entry Copy job | Enter job name | b3 | copy job",
      "entry Copy job | Enter job name | a1 | copy job",
      "entry Copy job | Enter job name |  | copy job"}, 2},
    {"a copy is stored and selected as the last row; onto an existing job it is refused",
     [](RecordingPort&) {}, 0,
     [](JobManager& m) { EXPECT_TRUE(m.EntryConfirmed("copy job", "c"));
                         EXPECT_TRUE(m.EntryConfirmed("copy job", "a copy")); },
     {"Error: Job already exists.", "copy 0 a copy", "list"}, 3},
    {"rename proposes the current name; a slash or another job's name is refused",
     [](RecordingPort&) {}, 1,
     [](JobManager& m) { m.RenamePressed();
                         EXPECT_TRUE(m.EntryConfirmed("rename", "x/y"));
                         EXPECT_TRUE(m.EntryConfirmed("rename", "a"));
                         EXPECT_TRUE(m.EntryConfirmed("rename", "b"));
                         EXPECT_TRUE(m.EntryConfirmed("rename", "bee")); },
     {"entry Rename | Enter new name | b | rename", kSlash, "Error: Job already exists.",
      "rename 1 bee", "list"}, 1},
    {"delete asks first; confirmed, the job goes and no row is selected",
     [](RecordingPort&) {}, 2,
     [](JobManager& m) { m.DeletePressed(); m.Confirmed("other"); m.Confirmed("delete"); },
     {"confirm Delete? delete", "delete 2", "list"}, -1},
    {"up and down move the job and the selection follows it, within the list",
     [](RecordingPort&) {}, 1,
     [](JobManager& m) { m.UpPressed(); m.UpPressed(); m.DownPressed(); m.DownPressed();
                         m.DownPressed(); },
     {"up 1", "list", "down 0", "list", "down 1", "list"}, 2},
    {"a refused move keeps the selection",
     [](RecordingPort& p) { p.fail = -1; }, 1,
     [](JobManager& m) { m.UpPressed(); m.DownPressed(); },
     {"up 1", "down 1"}, 1},
    {"edit loads the job and opens the editor only when it loaded; barcode always opens",
     [](RecordingPort&) {}, 2,
     [](JobManager& m) { m.EditPressed(); m.BarcodePressed(); },
     {"load 2", "editor 2", "barcode screen"}, 2},
    {"a job that does not load opens nothing",
     [](RecordingPort& p) { p.fail = -5; }, 0,
     [](JobManager& m) { m.EditPressed(); },
     {"load 0"}, 0},
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
