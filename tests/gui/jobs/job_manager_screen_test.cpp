// The job manager over the real device object and real job files: each press by
// objectName, then the files in ./files/job, the list rows, the selection and the dialog
// shown; and stored results collected while it is open, from a virtual tool into the log.
#include "CsvRead.h"
#include "UnitMessageBox.h"
#include "UnitStoredResults.h"
#include "Wait.h"
#include "job.h"
#include "page/jobs/PageJobManager.h"
#include "page/operation/ScreenResults.h"
#include "threads.h"
#include "tools/ToolScreenFixture.h"

#include <QLineEdit>
#include <QTableView>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

// Stands in for the step editor: records the row it was handed.
class StandInStepEditor : public Page {
    Q_OBJECT
  public:
    Q_INVOKABLE void Edit(int index) { edited = index; }
    int edited = -1;
};

namespace {

class JobManagerScreenTest : public ToolScreenTest {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        Threads_Init();
        fs::create_directories("files/job");
        load_job();
        job_free();
    }
    void TearDown() override {
        dev->FlushEventLog(); // no line is written into the next test's data home
        ToolScreenTest::TearDown();
        job_free();
    }
    PageJobManager* open() {
        makeRoot();
        login("0");
        press("tileJobManager");
        return qobject_cast<PageJobManager*>(Screens::Find(ScreenId::JobManager));
    }
    QStringList rows() const {
        QStringList out;
        auto* v = find<QTableView>("jobList");
        for (int r = 0; v && r < v->model()->rowCount(); ++r)
            out << v->model()->index(r, PageJobManager::ColNo).data().toString() + " " +
                       v->model()->index(r, PageJobManager::ColName).data().toString();
        return out;
    }
    static QStringList files() {
        QStringList out;
        for (const auto& e : fs::directory_iterator("files/job"))
            if (e.path().extension() == ".job") out << QString::fromStdString(e.path().stem());
        out.sort();
        return out;
    }
    void setField(const QString& text) {
        auto* f = find<QLineEdit>("textKeypadField");
        ASSERT_NE(f, nullptr);
        f->setText(text);
    }
    static int logLines() { return int(LogRecords("files/log").size()); }
};

TEST_F(JobManagerScreenTest, ButtonsChangeTheFilesAndTheList) {
    ASSERT_EQ(dev->JobCreateNew("assembly"), 0);
    ASSERT_EQ(dev->JobCreateNew("new_job"), 0);
    PageJobManager* page = open();
    ASSERT_NE(page, nullptr);
    auto* editor = new StandInStepEditor;
    Screens::SetFactory(ScreenId::StepEditor, [&] { return editor; });

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList rows; // "number name", in order
        int selected;
        QString shown; // the message or entry text shown after it, "" none
        const char* shot = nullptr;
    };
    const QStringList two = {"1 assembly", "2 new_job"};
    const QStringList three = {"1 assembly", "2 new_job", "3 new_job1"};
    const QStringList four = {"1 assembly", "2 new_job", "3 new_job1", "4 assembly1"};
    const QStringList moved = {"1 assembly", "2 new_job", "3 assembly1", "4 new_job1"};
    const QStringList renamed = {"1 assembly", "2 new_job", "3 line 2", "4 new_job1"};
    const QString slash = "Can not use \"/\" in the job name.";
    const Step steps[] = {
        {"opened: the jobs, nothing selected", [] {}, two, -1, ""},
        {"new proposes new_job1", [&] { press("jobNew"); }, two, -1, "new_job1",
         "PageJobManager_New"},
        {"its OK creates it, selected last", [&] { press("textKeypadOk"); }, three, 2, ""},
        {"a slash is refused, the entry stays",
         [&] {
             press("jobNew");
             setField("a/b");
             press("textKeypadOk");
         },
         three, 2, slash, "PageJobManager_Error"},
        {"an existing name is refused",
         [&] {
             press("msgClose");
             setField("assembly");
             press("textKeypadOk");
         },
         three, 2, "Job already exists."},
        {"cancel leaves all as it was",
         [&] {
             press("msgClose");
             press("textKeypadCancel");
         },
         three, 2, ""},
        {"copy of the first proposes assembly1",
         [&] {
             clickCell("jobList", 0, 1);
             press("jobCopy");
         },
         three, 0, "assembly1"},
        {"its OK copies it, selected last", [&] { press("textKeypadOk"); }, four, 3, ""},
        {"up moves it and the selection", [&] { press("jobUp"); }, moved, 2, ""},
        {"down at the last row does nothing",
         [&] {
             press("jobDown");
             press("jobDown");
         },
         four, 3, ""},
        {"up again", [&] { press("jobUp"); }, moved, 2, ""},
        {"rename proposes its name", [&] { press("jobRename"); }, moved, 2, "assembly1",
         "PageJobManager_Rename"},
        {"a slash in the new name is refused",
         [&] {
             setField("x/y");
             press("textKeypadOk");
         },
         moved, 2, slash},
        {"rename onto another job is refused",
         [&] {
             press("msgClose");
             press("jobRename");
             setField("new_job");
             press("textKeypadOk");
         },
         moved, 2, "Job already exists."},
        {"rename stores the new name",
         [&] {
             press("msgClose");
             press("jobRename");
             setField("line 2");
             press("textKeypadOk");
         },
         renamed, 2, ""},
        {"delete asks first", [&] { press("jobDelete"); }, renamed, 2, "Delete?",
         "PageJobManager_Delete"},
        {"confirmed, the job goes and no row is selected", [&] { press("confirmOk"); }, three, -1,
         ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(rows(), s.rows);
        QStringList names;
        for (const QString& r : s.rows)
            names << r.section(' ', 1);
        names.sort();
        EXPECT_EQ(files(), names);
        EXPECT_EQ(page->Manager().Selected(), s.selected);
        const QString shown = msgText().isEmpty() && find<QLineEdit>("textKeypadField")
                                  ? find<QLineEdit>("textKeypadField")->text()
                                  : msgText();
        EXPECT_EQ(shown, s.shown);
        if (s.shot) shot(s.shot);
    }

    // Edit loads the job and hands the editor its row; closing the editor re-reads the list.
    clickCell("jobList", 1, 1);
    press("jobEdit");
    ASSERT_EQ(Screens::Find(ScreenId::StepEditor), editor);
    EXPECT_EQ(editor->edited, 1);
    ASSERT_TRUE(job_is_loaded());
    EXPECT_STREQ(job_loaded_header()->entry.name, "new_job");
    ASSERT_EQ(dev->JobCreateNew("made meanwhile"), 0);
    Screens::Close(ScreenId::StepEditor);
    flush();
    EXPECT_EQ(rows().size(), 4);

    // Without a step editor nothing opens and the job is not left loaded.
    Screens::SetFactory(ScreenId::StepEditor, [] { return nullptr; });
    press("jobEdit");
    EXPECT_EQ(Screens::Find(ScreenId::StepEditor), nullptr);
    EXPECT_FALSE(job_is_loaded());
    shot("PageJobManager");
}

TEST_F(JobManagerScreenTest, NewJobRefusedAtTheLimit) {
    for (int i = 0; i < JOB_MAX_JOBS; ++i)
        ASSERT_EQ(dev->JobCreateNew(QString("j%1").arg(i)), 0);
    ASSERT_NE(open(), nullptr);
    press("jobNew");
    EXPECT_EQ(msgText(), "Job limit exceeded.");
    EXPECT_EQ(find<QLineEdit>("textKeypadField"), nullptr);
    EXPECT_EQ(rows().size(), JOB_MAX_JOBS);
}

// A tool holding results while the job manager is open: the dialog comes up, the chosen
// results go into the day's log with no job and no step, and the tool's store empties.
TEST_F(JobManagerScreenTest, StoredResultsAreCollectedIntoTheLog) {
    tools = FakeTool::onLoopback({2});
    const int t = connect(0);
    ASSERT_EQ(tools->cmd("set 0 4001 0"), "ok");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 1");
    ASSERT_EQ(tools->cmd("fasten 0 ng"), "ok 2");
    dev->OnSetBackupManager(true);
    ASSERT_NE(open(), nullptr);
    ScreenResults* taker = ScreenResults::Instance();
    ASSERT_NE(taker, nullptr);
    ASSERT_TRUE(kest_test::WaitUntil([&] {
        flush();
        return taker->Prompt()->Dialog() != nullptr;
    }));
    EXPECT_EQ(taker->Prompt()->Dialog()->PendingText(t), "2");
    shot("UnitStoredResults_JobManager");
    press("storedConfirm");
    ASSERT_TRUE(kest_test::WaitUntil([&] {
        deliver();
        return taker->Prompt()->Dialog() == nullptr;
    }));
    ASSERT_TRUE(kest_test::WaitUntil([&] {
        dev->FlushEventLog();
        return logLines() == 2 && tools->stat(0, "pending") == 0;
    }));
    for (const auto& record : LogRecords("files/log")) {
        EXPECT_EQ(record.at(1), "");
        EXPECT_EQ(record.at(2), "");
    }
    EXPECT_EQ(tools->reg(0, 4001), 0) << "the lock is left as it was";
    // A screen opened over it shares the taker; closing it leaves the results on.
    auto* nested = new Page;
    ScreenResults::Attach(nested);
    EXPECT_EQ(ScreenResults::Instance(), taker);
    delete nested;
    EXPECT_EQ(ScreenResults::Instance(), taker);
    EXPECT_NE(tools->reg(0, 4015), 0);
    // The last one closing turns the tool's results off.
    press("jobHome");
    EXPECT_EQ(ScreenResults::Instance(), nullptr);
    EXPECT_TRUE(kest_test::WaitUntil([&] {
        deliver();
        return tools->reg(0, 4015) == 0;
    }));
}

} // namespace

#include "job_manager_screen_test.moc"
