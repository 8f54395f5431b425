// The job screen's set-up, shared by the tests that run jobs on the operation screen: the
// shell over the real device object and job store, the GPIO tree in the sysroot, and
// toolsim's virtual tools on loopback registered and connected on the test's thread.
#pragma once

#include "ChildProcess.h"
#include "UnitConfirmation.h"
#include "UnitNotice.h"
#include "UnitPassword.h"
#include "UnitSelectJob.h"
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepOutputData.h"
#include "UnitStoredResults.h"
#include "common.h"
#include "io.h"
#include "job.h"
#include "page/operation/PageOperationImageView.h"
#include "page/operation/PageOperationWithJob.h"
#include "page/operation/UnitStepDelayView.h"
#include "page/operation/UnitStepFastenView.h"
#include "page/operation/UnitStepInputView.h"
#include "page/operation/UnitStepMessageView.h"
#include "page/operation/UnitStepOutputView.h"
#include "threads.h"
#include "tools/ToolScreenFixture.h"

#include <QCheckBox>
#include <QImage>
#include <QListView>
#include <QProgressBar>
#include <charconv>

namespace job_screen_test {

// Counts the paints of one widget.
struct Paints : QObject {
    explicit Paints(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++n;
        return false;
    }
    int n = 0;
};

class JobScreenTest : public ToolScreenTest {
  protected:
    void SetUp() override {
        ToolScreenTest::SetUp();
        ASSERT_EQ(gpioTree("init"), 0);
        Threads_Init();
        Gpio_Init();
    }
    void TearDown() override {
        delete root;
        root = nullptr;
        flush();
        EventLog_Flush(); // the closed screens' event-output changes, before the tools go
        ToolScreenTest::TearDown();
    }
    // Virtual tools registered and connected in this order.
    void connectTools(const std::vector<int>& types) {
        tools = FakeTool::onLoopback(types);
        ASSERT_TRUE(tools);
        for (size_t i = 0; i < types.size(); ++i)
            ASSERT_EQ(dev->GetTdxToolState(connect(int(i))), 3);
    }
    struct Step {
        int type;
        QString tool; // fastening: tool name; message: first line
        int screws = 0;
        int preset = 0;
        int delayMs = 0;
    };
    // A job in the store, saved and not loaded.
    void makeJob(const QString& name, const std::vector<Step>& steps) {
        ASSERT_EQ(dev->JobCreateNew(name), 0);
        const int jdx = dev->FindJdxByName(name);
        ASSERT_EQ(dev->JobLoad(jdx), 0);
        for (const Step& s : steps) {
            const int sdx = dev->GetStepsLen();
            ASSERT_EQ(dev->StepCreateNew(s.type), 0);
            if (s.type == kStepFasten) {
                dev->SetFastenToolName(sdx, s.tool);
                dev->SetFastenNoScrews(sdx, s.screws);
                dev->SetFastenPresetNo(sdx, s.preset);
            } else if (s.type == kStepMsg) {
                dev->SetMsgTextLine1(sdx, s.tool);
            } else if (s.type == kStepDelay) {
                UnitStepDelayData d;
                d.Mode = 0;
                d.TimeUnit = 1;
                d.TimeValue = s.delayMs;
                dev->SetDelayData(sdx, &d);
            }
        }
        ASSERT_EQ(dev->JobSave(jdx), 0);
        dev->JobFree();
    }
    PageOperationWithJob* openScreen() {
        if (!root) makeRoot();
        press("tileOperation");
        return qobject_cast<PageOperationWithJob*>(Screens::Find(ScreenId::OperationWithJob));
    }
    void chooseRow(int row) { clickCell("selectJobList", row, 0); }
    long reg(int t, int r) { return tools->reg(t, r); }
    // Job 0: one step of three screws of `tool`, drawn at three positions on a part.
    void makePictureJob(const QString& tool) {
        makeJob("pic", {{kStepFasten, tool, 3, 0}});
        QImage part(800, 600, QImage::Format_RGB32);
        part.fill(QColor(90, 100, 110));
        QDir().mkpath("files/image");
        ASSERT_TRUE(part.save("files/image/part.png"));
        ASSERT_EQ(dev->JobLoad(0), 0);
        dev->SetFastenImgFilename(0, "./files/image/part.png");
        UnitStepFastenData* d = dev->GetFastenData(0);
        for (int i = 0; i < 3; ++i) {
            UnitScrewPosData* p = d->ScrewPos[i];
            p->Enabled = true;
            p->X = 150 + 250 * i;
            p->Y = 300;
            p->Radius = 40;
            p->Width = 4;
            p->PendingColor = QColor(240, 170, 30);
            p->OkColor = QColor(46, 184, 92);
            p->NgColor = QColor(226, 61, 61);
        }
        ASSERT_EQ(dev->SaveScrewPos(0, d), 0);
        ASSERT_EQ(dev->JobSave(0), 0);
        dev->JobFree();
    }
    // Every button of `dlg` is on top where the operator touches it: the topmost widget at
    // its centre is the button.
    static void expectOnTop(QWidget* dlg) {
        ASSERT_NE(dlg, nullptr);
        for (QPushButton* b : dlg->findChildren<QPushButton*>()) {
            if (!b->isVisible()) continue;
            QWidget* top = b->window()->childAt(b->mapTo(b->window(), b->rect().center()));
            EXPECT_EQ(top, b) << b->objectName().toStdString() << " under "
                              << (top ? top->objectName().toStdString() : "nothing");
        }
    }
    // A touch at the centre of the button `name`, through the window like the touch
    // screen's: whatever is on top there gets it.
    void touch(const QString& name) {
        auto* b = find<QPushButton>(name.toLatin1().constData());
        ASSERT_NE(b, nullptr) << name.toStdString();
        QWidget* top = b->window();
        const QPoint at = b->mapTo(top, b->rect().center());
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, at);
        flush();
    }
    // Tool t of `types` holds counts[t] results (angle 1: 100 (t + 1) + i) when the screen
    // opens with the backup manager on: the screen, once it offers them.
    PageOperationWithJob* openHolding(const std::vector<int>& types,
                                      const std::vector<int>& counts) {
        connectTools(types);
        for (int t = 0; t < int(types.size()); ++t) {
            EXPECT_EQ(dev->SetToolLock(t, 0), 0);
            for (int i = 0; i < counts[size_t(t)]; ++i)
                EXPECT_EQ(tools->cmd("fasten " + std::to_string(t) +
                                     " ok a1=" + std::to_string(100 * (t + 1) + i)),
                          "ok " + std::to_string(i + 1));
        }
        dev->OnSetBackupManager(true);
        PageOperationWithJob* page = openScreen();
        EXPECT_TRUE(until([&] { return page->StoredDialog() != nullptr; }));
        return page;
    }
    // Output `pos` (1..16) as the GPIO tree holds it: what the PLC reads.
    int outputLine(int pos) const {
        const std::string out =
            ShellOutput(std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree out " + env->sysroot() +
                        " " + std::to_string(pos));
        int v = -1; // left so when the tree printed no number
        std::from_chars(out.data(), out.data() + out.size(), v);
        return v;
    }
};

} // namespace job_screen_test
