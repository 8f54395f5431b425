// Framework pieces: the numeric keypad types into its target, the list model shows the rows the
// device object hands out, the line chart scales its points (a dialog's scrim is touched
// under the restart notice, p2p_pages_test.cpp; a confirmation's buttons are the debug
// page's save).
#include "ListModel.h"
#include "ShellFixture.h"
#include "UnitKeypad.h"
#include "UnitLineChart.h"
#include "job.h"

#include <QListView>
#include <QSignalSpy>

namespace {
class FrameworkTest : public ShellTest {};

void click(QWidget* root, const char* name) {
    auto* b = root->findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

// The numeric keypad has digits, sign and point only (the text keypad is the settings
// screen's network tab).
TEST_F(FrameworkTest, NumericKeypadTypesSignAndPoint) {
    QWidget host;
    QLineEdit edit(&host);
    UnitKeypad numeric(UnitKeypad::Numeric, &host);
    numeric.SetTarget(&edit);
    for (const char* k : {"key_-", "key_1", "key_2", "key_.", "key_5"})
        click(&numeric, k);
    EXPECT_EQ(edit.text(), "-12.5");
    EXPECT_EQ(numeric.findChild<QPushButton*>("key_a"), nullptr);
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

// A flat line at a value sits at its share of the height; values beyond the limits keep
// to the plot's edges; clear leaves no line.
TEST_F(FrameworkTest, LineChartScalesAndClipsItsPoints) {
    UnitLineChart chart;
    chart.resize(400, 200);
    chart.setLineColor(Qt::red);
    chart.setUpperLimit(1000);
    auto rowOf = [&](std::vector<int> points) {
        chart.setPoints(std::move(points));
        const QImage img = chart.grab().toImage();
        for (int y = 0; y < img.height(); ++y)
            if (img.pixelColor(200, y) == QColor(Qt::red)) return y;
        return -1;
    };
    const int bottom = rowOf({0, 0}), top = rowOf({1000, 1000});
    ASSERT_GT(bottom, top + 100);
    ASSERT_GE(top, 0);
    const int half = rowOf({500, 500});
    EXPECT_NEAR(half, (top + bottom) / 2, 2);
    EXPECT_NEAR(rowOf({0, 1000}), half, 2) << "a rising line crosses the middle halfway";
    EXPECT_EQ(rowOf({30000, 30000}), top);
    EXPECT_EQ(rowOf({-30000, -30000}), bottom);
    chart.clear();
    EXPECT_EQ(rowOf({}), -1);
}
} // namespace
