// The job manager over the real device object and real job files: each press by
// objectName, then the files in ./files/job, the list rows, the selection and the dialog
// shown; and stored results collected while it is open, from a virtual tool into the log.
#include "CsvRead.h"
#include "UnitMessageBox.h"
#include "UnitStoredResults.h"
#include "Wait.h"
#include "common.h"
#include "job.h"
#include "page/jobs/PageJobManager.h"
#include "page/operation/ScreenResults.h"
#include "threads.h"
#include "tools/Presses.h"

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

// The job manager over a store that refuses every move.
class RefusingMoves : public PageJobManager {
    int MoveUp(int) override { return -1; }
    int MoveDown(int) override { return -1; }
};

namespace {

class JobManagerScreenTest : public WithPresses<ToolScreenTest> {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        touchList = "jobList";
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
        return openTile<PageJobManager>("tileJobManager", ScreenId::JobManager, "0");
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
            if (e.path().extension() == ".job" && e.path().stem() != "stray")
                out << QString::fromStdString(e.path().stem());
        out.sort();
        return out;
    }
};

TEST_F(JobManagerScreenTest, ButtonsChangeTheFilesAndTheList) {
    ASSERT_EQ(dev->JobCreateNew("assembly"), 0);
    ASSERT_EQ(dev->JobCreateNew("new_job"), 0);
    PageJobManager* page = open();
    ASSERT_NE(page, nullptr);
    auto* editor = new StandInStepEditor;
    Screens::SetFactory(ScreenId::StepEditor, [&] { return editor; });

    // A file the store cannot read takes its name all the same.
    TestEnv::writeFile("files/job/stray.job", "x");
    struct Step {
        const char* what;
        const char* presses; // "@ctx" answers the open question as a dialog of ctx would
        QStringList rows;    // "number name", in order
        int selected;
        QString shown;           // the message or entry text shown after it, "" none
        bool writesFail = false; // no file can be written during the presses
    };
    const QStringList two = {"1 assembly", "2 new_job"};
    const QStringList three = {"1 assembly", "2 new_job", "3 new_job1"};
    const QStringList four = {"1 assembly", "2 new_job", "3 new_job1", "4 assembly1"};
    const QStringList moved = {"1 assembly", "2 new_job", "3 assembly1", "4 new_job1"};
    const QStringList renamed = {"1 assembly", "2 new_job", "3 line 2", "4 new_job1"};
    const QString slash = JobManager::kSlashText, exists = JobManager::kExistText,
                  dot = JobManager::kDotText;
    const Step steps[] = {
        {"opened: the jobs, nothing selected", "", two, -1, ""},
        {"the row buttons need a row", "jobCopy jobRename jobDelete jobEdit jobUp jobDown", two, -1,
         ""},
        {"new proposes new_job1", "jobNew %PageJobManager_New", two, -1, "new_job1"},
        {"its OK creates it, selected last", "textKeypadOk", three, 2, ""},
        {"then new proposes new_job2", "jobNew", three, 2, "new_job2"},
        {"a slash is refused, the entry stays", "=a/b textKeypadOk %PageJobManager_Error", three, 2,
         slash},
        {"an existing name is refused", "msgClose =assembly textKeypadOk", three, 2, exists},
        {"an empty name keeps the entry", "msgClose = textKeypadOk", three, 2, ""},
        {"a leading dot is refused, the entry stays", "=.x textKeypadOk", three, 2, dot},
        {"a stray file's name is refused", "msgClose =stray textKeypadOk", three, 2, exists},
        {"a failed creation keeps the entry, not the job", "msgClose =z textKeypadOk", three, 2,
         JobManager::kCreateFailText, true},
        {"cancel leaves all as it was", "msgClose textKeypadCancel", three, 2, ""},
        {"copy of the first proposes assembly1", "#0 jobCopy", three, 0, "assembly1"},
        {"its OK copies it, selected last", "textKeypadOk", four, 3, ""},
        {"copy proposes the first number free", "#1 jobCopy", four, 1, "new_job2"},
        {"a copy onto a job is refused, the entry closed", "=assembly textKeypadOk", four, 1,
         exists},
        {"a failed copy says so and leaves no job", "msgClose jobCopy textKeypadOk", four, 1,
         JobManager::kCopyFailText, true},
        {"up moves it and the selection", "msgClose #3 jobUp", moved, 2, ""},
        {"down at the last row does nothing", "jobDown jobDown", four, 3, ""},
        {"up at the first row does nothing", "#0 jobUp", four, 0, ""},
        {"up again", "#3 jobUp", moved, 2, ""},
        {"rename proposes its name", "jobRename %PageJobManager_Rename", moved, 2, "assembly1"},
        {"its own name changes nothing", "textKeypadOk", moved, 2, ""},
        {"a slash in the new name is refused", "jobRename =x/y textKeypadOk", moved, 2, slash},
        {"rename onto another job is refused", "msgClose jobRename =new_job textKeypadOk", moved, 2,
         exists},
        {"a failed rename says so, the name stays", "msgClose jobRename =q textKeypadOk", moved, 2,
         JobManager::kRenameFailText, true},
        {"a leading dot in a new name is refused", "msgClose jobRename =.y textKeypadOk", moved, 2,
         dot},
        {"rename stores the new name", "msgClose jobRename =line+2 textKeypadOk", renamed, 2, ""},
        {"delete asks first", "jobDelete %PageJobManager_Delete", renamed, 2, "Delete?"},
        {"another question's answer deletes nothing", "@other", renamed, 2, "Delete?"},
        {"confirmed, the job goes and no row is selected", "confirmOk", three, -1, ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.writesFail) Common_SetWriteFailAfter(0);
        if (s.presses[0] == '@')
            page->Manager().Confirmed(s.presses + 1);
        else
            run(s.presses);
        Common_SetWriteFailAfter(-1);
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
    }

    // Edit loads the job and hands the editor its row; closing the editor re-reads the list.
    run("#1 jobEdit");
    ASSERT_EQ(Screens::Find(ScreenId::StepEditor), editor);
    EXPECT_EQ(editor->edited, 1);
    ASSERT_TRUE(job_is_loaded());
    EXPECT_STREQ(job_loaded_header()->entry.name, "new_job");
    ASSERT_EQ(dev->JobCreateNew("made meanwhile"), 0);
    Screens::Close(ScreenId::StepEditor);
    flush();
    EXPECT_EQ(rows().size(), 4);
    // A selection past a list that shrank meanwhile is dropped, as is one past its end.
    Screens::SetFactory(ScreenId::StepEditor, [] { return new StandInStepEditor; });
    run("#3 jobEdit");
    ASSERT_EQ(dev->JobDelete(3), 0);
    Screens::Close(ScreenId::StepEditor);
    flush();
    EXPECT_EQ(std::tuple(rows().size(), page->Manager().Selected()), std::tuple(3, -1));
    page->Manager().Select(3);
    EXPECT_EQ(page->Manager().Selected(), -1);
    touchRow(1);

    // Without a step editor nothing opens and the job is not left loaded.
    Screens::SetFactory(ScreenId::StepEditor, [] { return nullptr; });
    press("jobEdit");
    EXPECT_EQ(Screens::Find(ScreenId::StepEditor), nullptr);
    EXPECT_FALSE(job_is_loaded());
    shot("PageJobManager");

    // A job file that does not load opens nothing either.
    Screens::SetFactory(ScreenId::StepEditor, [] { return new StandInStepEditor; });
    ASSERT_EQ(page->Manager().Selected(), 1);
    TestEnv::writeFile("files/job/new_job.job", "broken");
    press("jobEdit");
    EXPECT_EQ(msgText(), "");
    EXPECT_EQ(Screens::Find(ScreenId::StepEditor), nullptr);
    standIn({ScreenId::Barcode});
    press("jobBarcode");
    EXPECT_EQ(created[ScreenId::Barcode], 1);
}

// A full list: new says the limit. One below it, with new_job and new_job1..255 all
// taken, new and a copy of new_job propose no name. A refused move keeps the selection.
TEST_F(JobManagerScreenTest, TheLimitThenNoNameLeft) {
    for (int i = 0; i < JOB_MAX_JOBS; ++i) {
        const QString name = i > 255 ? QString("j%1").arg(i) : QString("new_job%1").arg(i);
        ASSERT_EQ(dev->JobCreateNew(i ? name : "new_job"), 0);
    }
    Screens::SetFactory(ScreenId::JobManager, [] { return new RefusingMoves; });
    PageJobManager* page = open();
    ASSERT_NE(page, nullptr);
    press("jobNew");
    EXPECT_EQ(std::tuple(msgText(), find<QLineEdit>("textKeypadField"), rows().size()),
              std::tuple(QString("Job limit exceeded."), nullptr, JOB_MAX_JOBS));
    press("msgClose");
    ASSERT_EQ(dev->JobDelete(JOB_MAX_JOBS - 1), 0);
    for (int copyOf : {-1, 0}) {
        if (copyOf >= 0) touchRow(copyOf);
        press(copyOf < 0 ? "jobNew" : "jobCopy");
        auto* field = find<QLineEdit>("textKeypadField");
        ASSERT_NE(field, nullptr) << copyOf;
        EXPECT_EQ(field->text(), "") << copyOf;
        press("textKeypadCancel");
    }
    run("#1 jobUp jobDown");
    EXPECT_EQ(page->Manager().Selected(), 1);
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
        return LogRecords("files/log").size() == 2 && tools->stat(0, "pending") == 0;
    }));
    for (const auto& record : LogRecords("files/log"))
        EXPECT_EQ(std::tuple(record.at(1), record.at(2)), std::tuple("", ""));
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
