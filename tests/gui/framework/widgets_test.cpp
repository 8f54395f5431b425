// Framework pieces: keypads type into their target, the scrim makes a dialog modal,
// message and confirmation boxes play the tap sound and signal their choice, the list
// model shows the rows the device object hands out.
#include "ListModel.h"
#include "ShellFixture.h"
#include "UnitKeypad.h"
#include "UnitMessageBox.h"
#include "UnitScrim.h"
#include "job.h"
#include "page/shell/PageHome.h"

#include <QListView>
#include <QSignalSpy>

namespace {
class FrameworkTest : public ShellTest {};

void click(QWidget* root, const char* name) {
    auto* b = root->findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

TEST_F(FrameworkTest, TextKeypadTypesShiftsAndEdits) {
    QWidget host;
    QLineEdit edit(&host);
    UnitKeypad pad(UnitKeypad::Text, &host);
    pad.SetTarget(&edit);
    for (const char* k :
         {"key_a", "key_Shift", "key_b", "key_Shift", "key_1", "key_Space", "key_-"})
        click(&pad, k);
    EXPECT_EQ(edit.text(), "aB1 -");
    click(&pad, "key_Backspace");
    EXPECT_EQ(edit.text(), "aB1 ");
    click(&pad, "key_Clear");
    EXPECT_EQ(edit.text(), "");
    EXPECT_EQ(sounds(UiSoundKind::Tap), 9);
    for (auto* b : pad.findChildren<QPushButton*>())
        EXPECT_GE(b->minimumSizeHint().height(), 1);
}

TEST_F(FrameworkTest, NumericKeypadTypesDigitsSignAndPoint) {
    QWidget host;
    QLineEdit edit(&host);
    UnitKeypad pad(UnitKeypad::Numeric, &host);
    pad.SetTarget(&edit);
    for (const char* k : {"key_-", "key_1", "key_2", "key_.", "key_5"})
        click(&pad, k);
    EXPECT_EQ(edit.text(), "-12.5");
    EXPECT_EQ(pad.findChild<QPushButton*>("key_a"), nullptr);
}

TEST_F(FrameworkTest, ConfirmationBoxSignalsChoiceAndCancel) {
    UnitMessageBox box;
    box.SetTitle("Confirmation");
    box.SetText("Save?");
    box.SetConfirm("save");
    QSignalSpy confirmed(&box, &UnitMessageBox::confirmed), closed(&box, &UnitMessageBox::closed);
    box.show();
    EXPECT_EQ(box.findChild<QPushButton*>("msgClose")->text(), "Cancel");
    click(&box, "msgConfirm");
    click(&box, "msgClose");
    EXPECT_EQ(confirmed.count(), 1);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 2);
}

TEST_F(FrameworkTest, ScrimKeepsTouchesAwayFromTheScreenBelow) {
    makeRoot();
    PageHome* home = root->Home();
    home->ShowMessage("Message", "modal");
    auto* login = find("tileLogin");
    QPoint centre = login->mapTo(root, login->rect().center());
    QWidget* hit = root->childAt(centre);
    ASSERT_NE(hit, nullptr);
    EXPECT_NE(qobject_cast<UnitScrim*>(hit), nullptr);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(root, centre));
    flush();
    EXPECT_EQ(home->Password(), nullptr); // the tile below was not pressed
    press("msgClose");
    QTest::mouseClick(login, Qt::LeftButton);
    flush();
    EXPECT_NE(home->Password(), nullptr);
}
TEST_F(FrameworkTest, ListModelCopiesTheRowsAtEachReload) {
    load_job();
    struct JobRow {
        QString name;
        int steps;
    };
    int counted = 0;
    ListModel<JobRow> model(
        [&] {
            ++counted;
            return dev->GetJobsLen();
        },
        [&](int jdx) {
            return JobRow{dev->GetJobNameJdx(jdx), dev->GetJobStepCountJdx(jdx)};
        },
        [](const JobRow& r, int role) {
            return role == Qt::DisplayRole ? QVariant(r.name) : QVariant();
        });
    EXPECT_EQ(model.rowCount(), 0); // nothing read before the first reload
    ASSERT_EQ(dev->JobCreateNew("left"), 0);
    ASSERT_EQ(dev->JobCreateNew("right"), 0);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.Reload();
    EXPECT_EQ(reset.count(), 1);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1), Qt::DisplayRole).toString(), "right");
    EXPECT_FALSE(model.data(model.index(1), Qt::DecorationRole).isValid());
    EXPECT_EQ(model.At(0).steps, 0);
    // Painting reads the copies only.
    QListView view;
    view.setModel(&model);
    view.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(counted, 1);
    ASSERT_EQ(dev->JobDelete(0), 0);
    EXPECT_EQ(model.rowCount(), 2); // until the screen reloads
    model.Reload();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), "right");
}
} // namespace
