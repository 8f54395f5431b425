// The result table model over a ring like the driver's event table: rows always in order
// of arrival, new results inserted, overwritten ones removed from the top, a reset only
// after a clear or when more came in than the table holds.
#include "page/operation/FetTableModel.h"

#include <QBrush>
#include <QSignalSpy>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// The driver's table: appends until full, then overwrites the oldest entry.
struct Ring {
    std::vector<UnitFetItem> items;
    uint32_t seq = 0;
    size_t write = 0;
    int clears = 0; // results after a clear came in at another time
    void add(int n) {
        for (int i = 0; i < n; ++i) {
            UnitFetItem it;
            it.Seq = ++seq;
            it.Status = uint16_t(seq % 3);
            snprintf(it.Time, sizeof it.Time, "clear %d", clears);
            if (items.size() < FetTableModel::kCapacity) {
                items.push_back(it);
            } else {
                items[write] = it;
                write = (write + 1) % FetTableModel::kCapacity;
            }
        }
    }
    void clear() { *this = Ring{{}, 0, 0, clears + 1}; } // empty, numbered from 1 again
};

struct Step {
    enum { Add, Clear, ClearAdd } what;
    int n;
    int inserted, removed, resets; // signals of this step's Sync
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

// clang-format off
const Case kCases[] = {
    {"results are inserted one by one", {{Step::Add, 1, 1, 0, 0}, {Step::Add, 1, 1, 0, 0},
                                         {Step::Add, 3, 1, 0, 0}}},
    {"filling and wrapping inserts at the end and removes at the top",
     {{Step::Add, 1000, 1, 0, 0}, {Step::Add, 30, 1, 1, 0}, {Step::Add, 1, 1, 1, 0},
      {Step::Add, 1023, 1, 1, 0}}},
    {"a clear resets; numbering starts again", {{Step::Add, 5, 1, 0, 0}, {Step::Clear, 0, 0, 0, 1},
                                               {Step::Add, 2, 1, 0, 0}}},
    {"cleared and refilled past the old count between two looks: a reset",
     {{Step::Add, 3, 1, 0, 0}, {Step::ClearAdd, 5, 0, 0, 1}, {Step::ClearAdd, 1, 0, 0, 1}}},
    {"more than the table holds between two looks: a reset",
     {{Step::Add, 10, 1, 0, 0}, {Step::Add, 1100, 0, 0, 1}, {Step::Add, 1, 1, 1, 0}}},
    {"nothing new changes nothing", {{Step::Add, 4, 1, 0, 0}, {Step::Add, 0, 0, 0, 0}}},
};
// clang-format on

TEST(FetTableModel, RowsFollowTheTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Ring ring;
        FetTableModel model([&] { return int(ring.items.size()); },
                            [&](int i, UnitFetItem* out) {
                                if (i < 0 || i >= int(ring.items.size())) return false;
                                *out = ring.items[size_t(i)];
                                return true;
                            });
        model.SetFields({FetTableModel::Status});
        model.Sync();
        for (const Step& s : c.steps) {
            if (s.what != Step::Add) ring.clear();
            ring.add(s.n);
            QSignalSpy ins(&model, &QAbstractItemModel::rowsInserted);
            QSignalSpy rem(&model, &QAbstractItemModel::rowsRemoved);
            const int resets = model.Resets();
            model.Sync();
            EXPECT_EQ(std::tuple(ins.count(), rem.count(), model.Resets() - resets),
                      std::tuple(s.inserted, s.removed, s.resets));
            // Oldest first, newest last, numbers without a gap.
            const int rows = model.rowCount();
            ASSERT_EQ(rows, int(ring.items.size()));
            for (int r = 0; r < rows; ++r)
                ASSERT_EQ(model.index(r, 0).data().toUInt(), ring.seq - uint32_t(rows - 1 - r))
                    << "row " << r;
        }
    }
}

TEST(FetTableModel, CellsAndColours) {
    UnitFetItem it;
    it.Seq = 7;
    it.TargetTorque = 1234;
    it.ConvTorque = 5;
    it.Direction = 2;
    strcpy(it.ToolName, "ZQ-1");
    std::vector<UnitFetItem> items;
    const struct {
        int status;
        const char* shortLabel;
        const char* longLabel;
        uint32_t colour;
    } statuses[] = {{0, "Other", "Other", 0x2c343c},
                    {1, "OK", "OK", 0x1a5e33},
                    {2, "NG", "NG", 0x7a1f1f},
                    {3, "FL", "F/L change", 0x2c343c},
                    {4, "PC", "Preset change", 0x2c343c},
                    {5, "AR", "Alarm reset", 0x2c343c},
                    {6, "ERR", "Error", 0x7a1f1f},
                    {7, "BCD", "Barcode", 0x2c343c},
                    {8, "", "", 0x2c343c}};
    for (const auto& s : statuses) {
        it.Status = uint16_t(s.status);
        items.push_back(it);
    }
    FetTableModel model([&] { return int(items.size()); },
                        [&](int i, UnitFetItem* out) {
                            *out = items[size_t(i)];
                            return true;
                        });
    model.SetFields({FetTableModel::ToolName, FetTableModel::TargetTorque,
                     FetTableModel::ConvTorque, FetTableModel::Direction, FetTableModel::Status});
    model.Sync();
    auto text = [&](int r, int c) { return model.index(r, c).data().toString(); };
    EXPECT_EQ(std::tuple(text(0, 2), text(0, 4)), std::tuple(QString("12.34"), QString("L")));
    auto colour = [&](int r) {
        return model.index(r, 2).data(Qt::BackgroundRole).value<QBrush>().color().rgb() & 0xffffff;
    };
    for (int r = 0; r < int(std::size(statuses)); ++r) {
        model.SetLongStatus(false);
        const QString shortLabel = text(r, 5);
        model.SetLongStatus(true);
        EXPECT_EQ(std::tuple(shortLabel, text(r, 5), colour(r)),
                  std::tuple(QString(statuses[r].shortLabel), QString(statuses[r].longLabel),
                             statuses[r].colour))
            << r;
    }
}

} // namespace
