// A job made entirely on the panel's own screens, then run: the job manager creates it,
// the step editor adds a step of every kind, the screw position editor places two screws
// on a picture; the operation screen runs it over a virtual tool and the GPIO tree, and
// the day's log holds the job's two results under its names.
#include "UnitBrowser.h"
#include "eventlog.h"
#include "operation/JobScreenFixture.h"
#include "page/jobs/PageScrewPosition.h"
#include "page/jobs/PageStepEditor.h"
#include "page/jobs/UnitPosTunner.h"
#include "tools/Presses.h"

namespace {
using namespace job_screen_test;

class JobMadeOnScreensTest : public WithPresses<JobScreenTest> {
  protected:
    void SetUp() override {
        JobScreenTest::SetUp();
        EwDriver_WireLogSources(); // the Tool column as the panel writes it
    }
    void TearDown() override {
        JobScreenTest::TearDown();
        EventLog_SetToolNameSource(nullptr);
        EventLog_SetScannerCodeSource(nullptr);
    }
};

TEST_F(JobMadeOnScreensTest, EveryStepKindWithScrewPositionsRunsAndIsLogged) {
    connectTools({2});
    const QString tool = dev->GetTdxToolName(0);
    QDir().mkpath("files/image");
    QImage part(640, 400, QImage::Format_RGB32);
    part.fill(QColor(90, 110, 130));
    ASSERT_TRUE(part.save("files/image/part.png"));
    makeRoot();
    login("0");

    // The job manager proposes "new_job"; the new job is edited.
    touchList = "jobList";
    run("tileJobManager jobNew textKeypadOk #0 jobEdit");
    auto* editor = qobject_cast<PageStepEditor*>(Screens::Find(ScreenId::StepEditor));
    ASSERT_NE(editor, nullptr);

    // Fastening: the tool, preset 2, two screws placed on the picture.
    run("stepAddFasten fastenTool selectTool0 fastenPresetUp fastenPositions");
    auto* positions = qobject_cast<PageScrewPosition*>(Screens::Find(ScreenId::ScrewPosition));
    ASSERT_NE(positions, nullptr);
    press("posPicture");
    ASSERT_NE(qobject_cast<UnitBrowser*>(positions->Dialog()), nullptr);
    run("@part.png browserOk");
    UnitPosTunner* tunner = positions->Tunner();
    for (QPoint p : {QPoint(200, 200), QPoint(440, 200)}) {
        QTest::mouseClick(tunner, Qt::LeftButton, {},
                          tunner->Layout().ToView(QPointF(p) + QPointF(0.5, 0.5)).toPoint());
        flush();
    }
    run("%JobMadeOnScreens_Positions posSave");
    ASSERT_EQ(Screens::Find(ScreenId::ScrewPosition), nullptr);
    EXPECT_EQ(find<QPushButton>("fastenScrews")->text(), "2") << "the count follows the circles";

    // Input 1 active, output 1 pulsed, a 300 ms delay, a message.
    run("stepAddInput inUse1 stepAddOutput outUse1 stepAddDelay delayTime =300 numpadOk "
        "delayUnitMs stepAddMessage msgLine1 =Turn+the+part textKeypadOk "
        "%JobMadeOnScreens_Editor stepSave confirmOk");
    ASSERT_EQ(Screens::Find(ScreenId::StepEditor), nullptr);
    EXPECT_EQ(dev->GetJobStepCountJdx(0), 5);
    EXPECT_EQ(dev->GetJobTotalScrewJdx(0), 2);
    press("jobHome");

    // The operation screen runs it.
    PageOperationWithJob* page = openScreen();
    ASSERT_NE(page, nullptr);
    press("opOpenJob");
    chooseRow(0);
    EXPECT_EQ(find<QLabel>("opJobName")->text(), "new_job");
    UnitStepFastenView* f = page->FastenView();
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == f && reg(0, 4001) == 0; }));
    EXPECT_EQ(reg(0, 4004), 2) << "preset 2";
    EXPECT_EQ(reg(0, 262), 2) << "two screws";
    shot("JobMadeOnScreens_Run");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 1");
    ASSERT_TRUE(until([&] { return f->Counter() == "1"; }));
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 2");
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == page->InputView(); }));
    dev->TriggerInput(0, 1);
    ASSERT_TRUE(until([&] { return page->Banner() == "Job OK !!!"; }));
    EXPECT_TRUE(tools->wait(0, "acked>=2"));

    const auto records = LogRecords("files/log");
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        EXPECT_EQ(std::tuple(r.at(1), r.at(2), r.at(4)),
                  std::tuple("new_job", "fastening-1", tool.toStdString()));
    }
}

} // namespace
