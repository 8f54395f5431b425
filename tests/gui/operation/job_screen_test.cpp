// The job screen pressed on the offscreen platform over the real device object, the real
// job store and toolsim's virtual tools on loopback: a job runs, the buttons ask and act,
// one dialog of each kind, the picture follows the screws; every view is rendered to
// $KEST_SCREENS_DIR.
#include "JobScreenFixture.h"
#include "eventlog.h"
#include "ew_driver.h"

namespace {
using namespace job_screen_test;

TEST_F(JobScreenTest, AJobRunsOnTwoToolsAndStartsOver) {
    EwDriver_WireLogSources(); // the Tool column as the panel writes it
    connectTools({2, 1});
    const QString a = dev->GetTdxToolName(0), b = dev->GetTdxToolName(1);
    makeJob("body", {{kStepFasten, a, 2, 2}, {kStepMsg, "Turn the part"}, {kStepFasten, b, 1, 0}});
    PageOperationWithJob* page = openScreen();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->VisibleStepView()->objectName(), "opNoJob");
    press("opOpenJob"); // "job sel without pwd" is on by default
    ASSERT_NE(page->SelectJobDialog(), nullptr);
    EXPECT_EQ(page->SelectJobDialog()->Count(), 1);
    chooseRow(0);
    EXPECT_EQ(page->SelectJobDialog(), nullptr);
    EXPECT_EQ(std::tuple(find<QLabel>("opJobName")->text(), dev->OnGetCurrentJob()),
              std::tuple(QString("body"), 0));

    UnitStepFastenView* f = page->FastenView();
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == f; }));
    EXPECT_EQ(
        std::tuple(f->Tool(), f->Counter(), page->SelectedStepRow(), page->StepListRows().size()),
        std::tuple(a + "  /  P3", QString("0"), 0, 3));
    // Only the step's tool is unlocked, with the step's preset and screw count.
    EXPECT_EQ((std::vector{reg(0, 4001), reg(1, 4001), reg(0, 4004), reg(0, 262)}),
              (std::vector<long>{0, 1, 3, 2}));
    shot("PageOperationWithJob");

    ASSERT_EQ(tools->cmd("fasten 0 ok torque=1234"), "ok 1");
    ASSERT_TRUE(until([&] { return f->Counter() == "1"; }));
    EXPECT_EQ(std::tuple(f->Sign(), f->ResultTone(), sounds(UiSoundKind::Ok)),
              std::tuple(UnitStepFastenView::Ok, UnitStepFastenView::Ok, 1));
    EXPECT_TRUE(f->Result().startsWith("12.34 / ")) << f->Result().toStdString();
    // A result within the step redraws the fastening view, not the step list.
    Paints listPaints(find<QListView>("opStepList")->viewport());
    ASSERT_EQ(tools->cmd("fasten 0 ng error=335"), "ok 2");
    ASSERT_TRUE(until([&] { return f->Sign() == UnitStepFastenView::Ng; }));
    EXPECT_EQ(f->Error(), "E335 : Converted torque is out of torque limit (%)")
        << "printf form shown";
    EXPECT_EQ(f->Counter(), "1") << "an NG screw does not count";
    flush();
    EXPECT_EQ(listPaints.n, 0);
    shot("UnitStepFastenView");
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 3");
    // The message step passes; the second tool's step waits.
    ASSERT_TRUE(until([&] { return page->SelectedStepRow() == 2; }));
    EXPECT_EQ((std::vector{reg(1, 4001), reg(0, 4001), reg(1, 247)}), (std::vector<long>{0, 1, 1}))
        << "a controller keeps the screw count in 247";
    ASSERT_EQ(tools->cmd("fasten 1 ok"), "ok 1");
    ASSERT_TRUE(until([&] { return page->Banner() == "Job OK !!!"; }));
    shot("PageOperationWithJob_Banner");
    // Every result of both tools was acknowledged and logged.
    EXPECT_TRUE(tools->wait(0, "acked>=3") && tools->wait(1, "acked>=1"));
    std::vector<std::string> logged; // job, step and tool of each line
    for (const auto& r : LogRecords("files/log"))
        logged.push_back(r.at(1) + " " + r.at(2) + " " + r.at(4));
    const std::string ta = "body fastening-1 " + a.toStdString();
    EXPECT_EQ(logged, (std::vector{ta, ta, ta, "body fastening-2 " + b.toStdString()}));
    // "auto job restart": the banner goes and the job runs again from step 1.
    ASSERT_TRUE(until([&] { return page->Banner().isEmpty() && page->SelectedStepRow() == 0; }));
    ASSERT_TRUE(until([&] { return reg(0, 4001) == 0; }));
    EXPECT_EQ(f->Counter(), "0");
    EventLog_SetToolNameSource(nullptr);
    EventLog_SetScannerCodeSource(nullptr);
}

TEST_F(JobScreenTest, ConfirmationsAndPasswordsOneDialogAtATime) {
    connectTools({2, 1});
    const QString a = dev->GetTdxToolName(0);
    makeJob("one", {{kStepFasten, a, 3, 0}});
    makeJob("two", {{kStepFasten, a, 1, 0}});
    dev->OnSetSkipWithoutPwd(false);
    dev->OnSetJobSelWithoutPwd(false);
    dev->SetSysPwd("4321");
    PageOperationWithJob* page = openScreen();
    ASSERT_NE(page, nullptr);
    page->Run().JobLoad(0);
    ASSERT_TRUE(until([&] { return page->Run().Waiting(); }));

    // Cancel only closes; a second request while one is open is ignored.
    press("opSkip");
    ASSERT_NE(page->ConfirmDialog(), nullptr);
    EXPECT_EQ(page->ConfirmDialog()->Text(), "Skip ?");
    UnitConfirmation* first = page->ConfirmDialog();
    page->Confirm("Back ?", "back");
    EXPECT_EQ(std::tuple(page->ConfirmDialog(), root->findChildren<UnitConfirmation*>().size()),
              std::tuple(first, 1));
    shot("UnitConfirmation");
    press("confirmCancel");
    EXPECT_EQ(std::tuple(page->ConfirmDialog(), page->Run().ScrewsDone()), std::tuple(nullptr, 0));

    // OK asks the password; a wrong one keeps the dialog open in its error state.
    press("opSkip");
    press("confirmOk");
    ASSERT_NE(page->PasswordDialog(), nullptr);
    const int ngBefore = sounds(UiSoundKind::Ng);
    type("99");
    press("passwordOk");
    ASSERT_NE(page->PasswordDialog(), nullptr);
    EXPECT_TRUE(page->PasswordDialog()->Text().isEmpty() && page->PasswordDialog()->Blinking());
    EXPECT_GT(sounds(UiSoundKind::Ng), ngBefore);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->PasswordDialog()->IncorrectVisible(); }, 20000));
    shot("UnitPassword_Job");
    page->AskPassword("back"); // one password dialog at a time
    EXPECT_EQ(root->findChildren<UnitPassword*>().size(), 1);
    type("4321");
    press("passwordOk");
    EXPECT_EQ(page->PasswordDialog(), nullptr);
    EXPECT_EQ(std::tuple(page->Run().ScrewsDone(), page->FastenView()->Counter(), reg(0, 262)),
              std::tuple(1, QString("1"), 2L))
        << "the screw was skipped";

    // A message and a confirmation may be open together, one of each.
    dev->LogFailEvent.Trigger(); // a result line went to the spool
    flush();
    ASSERT_NE(page->MessageDialog(), nullptr);
    EXPECT_EQ(page->MessageDialog()->Title(), "Error");
    page->ShowMessage("Message", "second");
    EXPECT_EQ(page->MessageDialog()->Text(), "Logging failed");
    shot("UnitMessageBox_Job");
    press("opNextJob");
    ASSERT_NE(page->ConfirmDialog(), nullptr);
    EXPECT_EQ(page->ConfirmDialog()->Text(), "Move next job ?");
    press("msgClose");
    press("confirmOk"); // "reset without pwd" is on
    ASSERT_TRUE(until([&] { return find<QLabel>("opJobName")->text() == "two"; }));

    // Open job asks the password, then the selection; choosing with a job loaded asks.
    press("opOpenJob");
    type("4321");
    press("passwordOk");
    ASSERT_NE(page->SelectJobDialog(), nullptr);
    shot("UnitSelectJob");
    chooseRow(0);
    ASSERT_NE(page->ConfirmDialog(), nullptr);
    EXPECT_EQ(page->ConfirmDialog()->Text(), "The running job is stopped.\nDo you want to run it?");
    EXPECT_EQ(find<QLabel>("opJobName")->text(), "two") << "not before the answer";
    press("confirmOk");
    EXPECT_EQ(std::tuple(page->SelectJobDialog(), find<QLabel>("opJobName")->text()),
              std::tuple(nullptr, QString("one")));

    // Home with a job loaded asks; OK locks every tool and leaves.
    press("opHome");
    EXPECT_EQ(page->ConfirmDialog()->Text(), "job is running.\nAre you sure you want to quit?");
    press("confirmCancel");
    EXPECT_NE(Screens::Find(ScreenId::OperationWithJob), nullptr);
    EXPECT_NE(reg(1, 4015), 0) << "the other tool's results are on until then";
    press("opHome");
    press("confirmOk");
    EXPECT_EQ(Screens::Find(ScreenId::OperationWithJob), nullptr);
    EXPECT_EQ((std::vector{reg(0, 4001), reg(0, 4015), reg(1, 4001), reg(1, 4015)}),
              (std::vector<long>{1, 0, 1, 0}));
    EXPECT_EQ(dev->OnGetCurrentJob(), -1);
}

// The circles follow the screws; then dialogs opened over the picture stay on top and take
// the operator's touches, after the screen has been refreshed beneath them, beside the
// step and in full screen.
TEST_F(JobScreenTest, PictureCirclesFollowTheScrewsAndDialogsStayOverThem) {
    connectTools({2});
    makePictureJob(dev->GetTdxToolName(0));
    dev->OnSetSkipWithoutPwd(false);
    dev->SetSysPwd("4321");
    PageOperationWithJob* page = openScreen();
    page->Run().JobLoad(0);
    PageOperationImageView* img = page->ImageView();
    ASSERT_TRUE(until([&] { return img->Current() == 0; }));
    EXPECT_TRUE(img->isVisible() && img->HasPicture());
    using M = PageOperationImageView::Mark;
    EXPECT_EQ(std::tuple(img->MarkOf(0), img->MarkOf(2), img->MarkOf(3)),
              std::tuple(M::Pending, M::Pending, M::Hidden))
        << "positions not defined are not drawn";
    // The current circle blinks: first toggle after 100 ms, then every 500 ms.
    EXPECT_EQ(std::tuple(img->Blinking(), img->BlinkTimer()->Begin(), img->BlinkTimer()->Period()),
              std::tuple(true, 100, 500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !img->OutlineOn(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return img->OutlineOn(); }, 20000));

    ASSERT_EQ(tools->cmd("fasten 0 ng"), "ok 1");
    ASSERT_TRUE(until([&] { return img->MarkOf(0) == M::Ng; }));
    EXPECT_EQ(img->Current(), 0);
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 2");
    ASSERT_TRUE(until([&] { return img->Current() == 1; }));
    EXPECT_EQ(img->MarkOf(0), M::Ok);
    shot("PageOperationImageView", img);
    // The tool gives the screw back: the current circle hides, the previous is current.
    ASSERT_EQ(tools->cmd("count 0"), "ok 3");
    ASSERT_TRUE(until([&] { return img->Current() == 0; }));
    EXPECT_EQ(std::tuple(img->MarkOf(0), img->MarkOf(1)), std::tuple(M::Pending, M::Hidden));

    press("opFullScreen");
    EXPECT_EQ(img->geometry(), page->rect());
    shot("PageOperationImageView_FullScreen");
    QTest::mouseClick(img, Qt::LeftButton);
    flush();
    EXPECT_NE(img->geometry(), page->rect());

    press("opSkip");
    press("confirmOk");
    ASSERT_NE(page->PasswordDialog(), nullptr);
    ASSERT_EQ(tools->cmd("fasten 0 ng"), "ok 4"); // a result refreshes the screen
    ASSERT_TRUE(until([&] { return img->MarkOf(0) == M::Ng; }));
    expectOnTop(page->PasswordDialog());
    for (const char* key : {"key_4", "key_3", "key_2", "key_1", "passwordOk"})
        touch(key);
    EXPECT_EQ(std::tuple(page->PasswordDialog(), page->Run().ScrewsDone()), std::tuple(nullptr, 1));

    press("opFullScreen");
    ASSERT_EQ(img->geometry(), page->rect());
    dev->UpdateRegtools(0, 2);
    flush();
    ASSERT_NE(page->MessageDialog(), nullptr);
    expectOnTop(page->MessageDialog());
    touch("msgClose");
    EXPECT_EQ(page->MessageDialog(), nullptr);
    page->StoredOpen(); // as for a tool back with stored results
    dev->UpdateRegtools(0, 3);
    flush();
    expectOnTop(page->StoredDialog());
    touch("storedConfirm"); // nothing stored: the dialog closes
    EXPECT_EQ(std::tuple(page->StoredDialog(), img->geometry()), std::tuple(nullptr, page->rect()));
}

// A message, a time delay, an input step, an output step, a confirmation and a barcode
// delay: each view shown in turn and left by what it waits for.
TEST_F(JobScreenTest, StepViewsShowAndAdvance) {
    // The countdown is long enough that a loaded machine still sees it counting.
    makeJob("views", {{kStepMsg, "Insert the bracket"},
                      {kStepDelay, "", 0, 0, 5000},
                      {kStepInput, ""},
                      {kStepOutput, ""},
                      {kStepDelay, ""},
                      {kStepDelay, ""}});
    ASSERT_EQ(dev->JobLoad(0), 0);
    UnitStepInputData in;
    in.Used[0] = in.Used[3] = 1; // the default condition: active high
    ASSERT_EQ(dev->SetInputStepData(2, &in), 0);
    UnitStepOutputData out;
    out.Used[0] = out.Used[1] = 1;
    out.Mode[1] = 1; // high; the first keeps the default, an impulse
    out.ImpulseWidth = 300;
    ASSERT_EQ(dev->SetOutputStepData(3, &out), 0);
    UnitStepDelayData confirm;
    confirm.Mode = 1;
    confirm.Line1 = "Check the seal";
    ASSERT_EQ(dev->SetDelayData(4, &confirm), 0);
    UnitStepDelayData code;
    code.Mode = 2;
    code.Barcode = "AB123XY";
    code.Partial = 1;
    code.RangeStart = 3;
    code.RangeEnd = 5;
    ASSERT_EQ(dev->SetDelayData(5, &code), 0);
    ASSERT_EQ(dev->JobSave(0), 0);
    dev->JobFree();

    PageOperationWithJob* page = openScreen();
    page->Run().JobLoad(0);
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == page->MessageView(); }));
    shot("UnitStepMessageView");
    // A time delay right after a message keeps the message on screen while it counts.
    ASSERT_TRUE(until([&] { return page->DelayView()->CountingDown(); }));
    EXPECT_EQ(std::tuple(page->VisibleStepView(), page->DelayView()->Title()),
              std::tuple(page->MessageView(), QString("Time ( 5000 ms )")));
    // The countdown ends the step.
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == page->InputView(); }));
    EXPECT_EQ(page->InputView()->Lines(), QStringList({"IN1", "IN4"}));
    shot("UnitStepInputView");
    // Both inputs must be seen active.
    dev->TriggerInput(0, 1);
    dev->TriggerInput(3, 1);
    ASSERT_TRUE(until([&] { return page->VisibleStepView() == page->OutputView(); }));
    EXPECT_EQ(std::tuple(page->OutputView()->Caption(), page->OutputView()->Lines().size(),
                         dev->GetOutputStatus(1)),
              std::tuple(QString("300 ms"), 2, 1))
        << "a high output stays high";
    shot("UnitStepOutputView");
    ASSERT_TRUE(until([&] { return find<QPushButton>("delayConfirm")->isVisible(); }));
    EXPECT_EQ(std::tuple(page->DelayView()->Title(), dev->GetOutputStatus(0)),
              std::tuple(QString("Message"), 0))
        << "the impulse has ended";
    shot("UnitStepDelayView_Confirm");
    press("delayConfirm");
    ASSERT_TRUE(until([&] { return page->DelayView()->Title() == "Barcode"; }));
    EXPECT_TRUE(page->DelayView()->Lines().contains("123</span>"));
    shot("UnitStepDelayView_Barcode");
    dev->TriggerBcode("zz123"); // characters 3..5 match
    ASSERT_TRUE(until([&] { return page->Banner() == "Job OK !!!"; }));

    const auto left = &UnitStepDelayView::FormatRemaining; // remaining, duration
    EXPECT_EQ((QStringList{left(999, 999), left(1000, 1000), left(450, 5000), left(0, 800)}),
              (QStringList{"0.999", "1.0", "0.5", "0.000"}));
}

// A tool that drops and comes back with more results while the dialog is open starts a new
// round: its old bar goes, its choice can be changed, and its new bar counts the new
// number.
TEST_F(JobScreenTest, AToolBackDuringTheCollectionIsChosenAfresh) {
    PageOperationWithJob* page = openHolding({2, 2}, {2, 2});
    UnitStoredResults* dlg = page->StoredDialog();
    ASSERT_NE(dlg, nullptr);
    press("storedConfirm");
    ASSERT_TRUE(dlg->ProgressShown(0));
    // Tool 0 drops before its first result is taken, fastens once more, and comes back.
    dev->UpdateRegtools(0, 2);
    flush();
    ASSERT_EQ(dev->SetToolLock(0, 0), 0);
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 3");
    dev->UpdateRegtools(0, 3);
    flush();
    ASSERT_EQ(page->StoredDialog(), dlg);
    // Drawn at the end of the dialog's frame; the driver's queue is left alone meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->PendingText(0) == "3"; }, 20000));
    auto* collect = dlg->findChild<QCheckBox*>("storedCollect0");
    EXPECT_EQ(std::tuple(dlg->ProgressShown(0), collect->isEnabled(), collect->isChecked(),
                         dlg->ConfirmEnabled()),
              std::tuple(false, true, true, true));
    press("storedConfirm");
    ASSERT_TRUE(dlg->ProgressShown(0));
    EXPECT_EQ(dlg->findChild<QProgressBar*>("storedProgress0")->maximum(), 3);
    ASSERT_TRUE(until([&] { return page->StoredDialog() == nullptr; }));
    EXPECT_TRUE(tools->wait(0, "acked>=3 pending=0") && tools->wait(1, "acked>=2 pending=0"));
}

// Three tools hold results before the screen opens: confirmed, each tool is collected in
// turn, and every result is in the log once, in the tool's order (told apart by angle 1).
TEST_F(JobScreenTest, StoredResultsOfThreeToolsAreLoggedOnceInOrder) {
    PageOperationWithJob* page = openHolding({2, 3, 1}, {2, 3, 4});
    UnitStoredResults* dlg = page->StoredDialog();
    ASSERT_NE(dlg, nullptr);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(std::tuple(dlg->PendingText(t), dlg->Chosen(t)),
                  std::tuple(QString::number(2 + t), true));
    page->StoredOpen(); // one at a time
    EXPECT_EQ(root->findChildren<UnitStoredResults*>().size(), 1);
    shot("UnitStoredResults_Job");
    press("storedConfirm");
    // Collected, acknowledged, and the dialog closes at the end.
    ASSERT_TRUE(until([&] { return page->StoredDialog() == nullptr; }));
    for (int t = 0; t < 3; ++t) {
        EXPECT_TRUE(tools->wait(t, "acked>=" + std::to_string(2 + t) + " pending=0")) << t;
        EXPECT_EQ(page->Run().Stored().Pending(t), 0) << t;
    }
    // Acknowledged after its line: every line is in the day's file now.
    std::vector<int> got;
    for (const auto& record : LogRecords("files/log"))
        got.push_back(std::stoi(record.at(10))); // A1
    EXPECT_EQ(got, (std::vector<int>{100, 101, 200, 201, 202, 300, 301, 302, 303}));
}

// A result pulse is still high when the operator leaves: the output goes back as the
// screen goes, not 100 ms later from a timer that is gone by then.
TEST_F(JobScreenTest, LeavingWithinAPulseSetsItsOutputBack) {
    connectTools({2});
    makeJob("one", {{kStepFasten, dev->GetTdxToolName(0), 2, 0}});
    dev->SetSysOutFunc(0, 1); // output 1 "Fastening OK"
    PageOperationWithJob* page = openScreen();
    page->Run().JobLoad(0);
    ASSERT_TRUE(until([&] { return page->Run().Waiting(); }));
    press("opHome");
    ASSERT_NE(page->ConfirmDialog(), nullptr);
    // The result is taken and the screen left with only posted events delivered between:
    // no timer runs, so the pulse cannot have ended on its own.
    ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok 1");
    ASSERT_TRUE(kest_test::WaitUntil([&] {
        EwDriver_ProcessData();
        QCoreApplication::sendPostedEvents();
        return page->Run().ScrewsDone() == 1;
    }));
    ASSERT_EQ(outputLine(1), 1);
    find<QPushButton>("confirmOk")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(Screens::Find(ScreenId::OperationWithJob), nullptr);
    EXPECT_EQ(outputLine(1), 0);
}

TEST_F(JobScreenTest, BarcodesAndJobSelectInputsLoadJobs) {
    makeJob("left", {{kStepMsg, "left"}});
    makeJob("right", {{kStepMsg, "right"}});
    dev->BarcodeAddJob(8, "BODY-R", 0, 0, 0, "right");
    PageOperationWithJob* page = openScreen();
    auto* name = find<QLabel>("opJobName");
    // A code in no table entry: the not-found notice.
    dev->TriggerBcode("NOPE-7");
    ASSERT_TRUE(until([&] { return page->Notice()->Showing(); }));
    EXPECT_EQ(page->Notice()->text(), "Job not found\nNOPE-7");
    EXPECT_TRUE(name->text().isEmpty());
    dev->TriggerBcode("BODY-R");
    ASSERT_TRUE(until([&] { return name->text() == "right"; }));
    // Binary selection: "Job select.1" active (the line pulled low) is mask 1, job 0.
    dev->SetSysInputFunc(4, 1);
    ASSERT_EQ(gpioTree("wire", "5 0"), 0);
    dev->TriggerInput(4, 1);
    ASSERT_TRUE(until([&] { return name->text() == "left"; }));
    EXPECT_EQ(dev->OnGetCurrentJob(), 0);
}

TEST_F(JobScreenTest, WithoutAJobTheResetSettingHoldsDialogsRenderAndHomeLeaves) {
    dev->OnSetDispJobReset(false);
    PageOperationWithJob* page = openScreen();
    EXPECT_FALSE(find<QPushButton>("opResetJob")->isVisible()) << "hidden by its setting";
    EXPECT_TRUE(find<QPushButton>("opSkip")->isVisible());
    // Not the free screen's code: a tool connecting here is locked by the link itself,
    // and only a step of a loaded job unlocks it.
    EXPECT_EQ(dev->GetScreenCode(), 0);
    // Not-found notice: a second notice replaces the text and starts the fade again.
    UnitNotice* n = page->Notice();
    n->Show("Job not found\nAAA");
    ASSERT_TRUE(QTest::qWaitFor([&] { return n->Opacity() < 0.9; }, 20000));
    n->Show("Job not found\nBBB");
    EXPECT_EQ(n->text(), "Job not found\nBBB");
    EXPECT_DOUBLE_EQ(n->Opacity(), 1.0);
    shot("UnitNotice");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !n->Showing(); }, 20000));

    // The stored-results dialog re-reads its rows every 500 ms and shows progress.
    int pending = 12, reads = 0;
    UnitStoredResults dlg(2, [&](int t) {
        ++reads;
        return UnitStoredResults::ToolRow{QString("tool-%1").arg(t), t + 1, t == 0 ? 3 : 0,
                                          t == 0 ? pending : 0};
    });
    EXPECT_EQ(std::tuple(dlg.Chosen(0), dlg.Chosen(1), dlg.StatusText(0), dlg.StatusText(1)),
              std::tuple(true, false, QString("Connected"), QString("Disconnected")))
        << "nothing stored, nothing to choose";
    pending = 7;
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.PendingText(0) == "7"; }, 20000));
    dlg.ShowProgress(0, 12);
    dlg.SetProgress(0, 5);
    dlg.SetConfirmEnabled(false);
    EXPECT_EQ(std::tuple(dlg.ProgressShown(0), dlg.ProgressShown(1), dlg.Progress(0)),
              std::tuple(true, false, 5));
    // A collection delivers results faster than a screen shows them: bars and rows are
    // drawn at most once a frame, with the latest values at its end.
    auto* bar = dlg.findChild<QProgressBar*>("storedProgress0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() == 5; }, 20000));
    int draws = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, &dlg, [&] { ++draws; });
    const int readsBefore = reads;
    for (int v = 6; v <= 12; ++v) {
        dlg.SetProgress(0, v);
        dlg.Refresh();
    }
    EXPECT_TRUE(draws <= 1 && reads - readsBefore <= 2) << "each row read once at most";
    EXPECT_EQ(dlg.Progress(0), 12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() == 12; }, 20000));
    EXPECT_LE(draws, 2);
    auto collect = [&](int t) {
        return dlg.findChild<QWidget*>(QString("storedCollect%1").arg(t))->isEnabled();
    };
    EXPECT_FALSE(collect(1));
    // Confirm enabled again (a tool came back with results): only tools not being
    // collected can be chosen.
    dlg.SetConfirmEnabled(true);
    EXPECT_TRUE(collect(1) && !collect(0));
    dlg.SetConfirmEnabled(false);
    dlg.resize(dlg.size());
    shot("UnitStoredResults", &dlg);
    press("opHome"); // no job: no question
    EXPECT_EQ(Screens::Find(ScreenId::OperationWithJob), nullptr);
}
} // namespace
