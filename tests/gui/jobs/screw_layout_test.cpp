// The screw circles' editing rules and the picture-to-view mapping, as tables.
#include "page/jobs/ScrewLayout.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
std::vector<int> xs(const ScrewLayout& l) {
    std::vector<int> v;
    for (const ScrewLayout::Circle& c : l.Circles())
        v.push_back(c.X);
    return v;
}
// Circles at x = 10, 20, ... on a 1000 x 100 picture, circle `current` current.
ScrewLayout row(int n, int current) {
    ScrewLayout l;
    l.SetPicture({1000, 100});
    for (int i = 0; i < n; ++i)
        l.Append(10 * (i + 1), 50);
    l.SetCurrent(current);
    return l;
}
} // namespace

TEST(ScrewLayout, AppendInsertDeleteRenumber) {
    struct Case {
        const char* what;
        int n, current;
        char op; // a append, i insert, d delete
        std::vector<int> xs;
        int current_after;
        bool changed;
    };
    const Case cases[] = {
        {"append to none", 0, -1, 'a', {7}, 0, true},
        {"append goes last and current", 3, 0, 'a', {10, 20, 30, 7}, 3, true},
        {"insert before the current", 3, 1, 'i', {10, 7, 20, 30}, 1, true},
        {"insert before the first", 3, 0, 'i', {7, 10, 20, 30}, 0, true},
        {"insert with none appends", 0, -1, 'i', {7}, 0, true},
        {"delete: the next moves into its place", 4, 1, 'd', {10, 30, 40}, 1, true},
        {"delete the first", 3, 0, 'd', {20, 30}, 0, true},
        {"delete the last: the one before", 4, 3, 'd', {10, 20, 30}, 2, true},
        {"delete the only one", 1, 0, 'd', {}, -1, true},
        {"delete with none", 0, -1, 'd', {}, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScrewLayout l = row(c.n, c.current);
        const bool changed = c.op == 'a'   ? l.Append(7, 50)
                             : c.op == 'i' ? l.Insert(7, 50)
                                           : l.Delete();
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(xs(l), c.xs);
        EXPECT_EQ(l.Current(), c.current_after);
    }
}

TEST(ScrewLayout, NinetyNineCirclesAtMost) {
    ScrewLayout l = row(98, 50);
    EXPECT_TRUE(l.Insert(1, 1));
    const std::vector<int> full = xs(l);
    ASSERT_EQ(l.Count(), 99);
    EXPECT_FALSE(l.Append(2, 2));
    EXPECT_FALSE(l.Insert(3, 3));
    EXPECT_EQ(xs(l), full);
    EXPECT_EQ(l.Current(), 50);
    EXPECT_TRUE(l.Delete());
    EXPECT_TRUE(l.Append(4, 4));
    EXPECT_EQ(l.Count(), 99);
}

TEST(ScrewLayout, MovesStayOnThePicture) {
    struct Case {
        int x, y, dx, dy, ex, ey;
    };
    // Picture 200 x 100: centres run 0..199, 0..99.
    const Case cases[] = {
        {50, 50, 1, 0, 51, 50},    {50, 50, -1, 0, 49, 50},  {50, 50, 0, 1, 50, 51},
        {50, 50, 0, -1, 50, 49},   {0, 0, -1, 0, 0, 0},      {0, 0, 0, -1, 0, 0},
        {199, 99, 1, 0, 199, 99},  {199, 99, 0, 1, 199, 99}, {10, 10, 500, -500, 199, 0},
        {500, 500, 0, 0, 199, 99}, // placed beyond the picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        ScrewLayout l;
        l.SetPicture({200, 100});
        l.Append(c.x, c.y);
        l.MoveBy(c.dx, c.dy);
        EXPECT_EQ(l.At(0).X, c.ex);
        EXPECT_EQ(l.At(0).Y, c.ey);
    }
}

TEST(ScrewLayout, SizeLimitsAndFontBands) {
    const std::pair<int, int> radii[] = {{0, 1}, {1, 1}, {100, 100}, {101, 100}, {-5, 1}};
    const std::pair<int, int> widths[] = {{0, 1}, {1, 1}, {20, 20}, {21, 20}};
    ScrewLayout l = row(2, 1);
    for (auto [set, got] : radii) {
        l.SetRadius(set);
        EXPECT_EQ(l.At(1).Radius, got) << set;
        EXPECT_EQ(l.Template().Radius, got) << set;
    }
    for (auto [set, got] : widths) {
        l.SetWidth(set);
        EXPECT_EQ(l.At(1).Width, got) << set;
    }
    EXPECT_NE(l.At(0).Radius, 100) << "only the current circle changes";
    l.SetCurrent(0);
    EXPECT_EQ(l.Template().Radius, l.At(0).Radius) << "the settings follow the current circle";
    l.SetCurrent(1);
    EXPECT_EQ(l.Template().Radius, 1);
    l.SetColor(ScrewLayout::Ng, QColor(1, 2, 3, 40));
    EXPECT_EQ(l.At(1).Colors[ScrewLayout::Ng], QColor(1, 2, 3));
    l.Append(5, 5);
    EXPECT_EQ(l.At(2).Colors[ScrewLayout::Ng], QColor(1, 2, 3)) << "new circles take the setting";

    const std::pair<int, int> bands[] = {{1, 0},  {20, 0}, {21, 1}, {40, 1}, {41, 2},
                                         {60, 2}, {61, 3}, {80, 3}, {81, 4}, {100, 4}};
    for (auto [radius, band] : bands)
        EXPECT_EQ(ScrewLayout::Band(radius), band) << radius;
    for (int b = 1; b < ScrewLayout::Bands; ++b)
        EXPECT_GT(ScrewLayout::BandFontPx(b), ScrewLayout::BandFontPx(b - 1));
}

TEST(ScrewLayout, PictureAndViewCoordinates) {
    struct Case {
        QSize picture, view;
        QPointF viewPoint;
        QPoint picturePoint;
    };
    const Case cases[] = {
        // Half size: every view pixel covers two picture pixels.
        {{1280, 800}, {640, 400}, {50, 25}, {100, 50}},
        // Wider view: the picture is centred, bars left and right.
        {{100, 100}, {400, 200}, {100, 0}, {0, 0}},
        {{100, 100}, {400, 200}, {101.9, 1.9}, {0, 0}},
        {{100, 100}, {400, 200}, {299.5, 199.5}, {99, 99}},
        {{100, 100}, {400, 200}, {200, 100}, {50, 50}},
        {{100, 100}, {400, 200}, {5, 5}, {0, 2}}, // on the bar: the nearest edge
        {{100, 100}, {400, 200}, {399, 199}, {99, 99}},
        // Taller view: bars above and below.
        {{200, 100}, {200, 300}, {100, 150}, {100, 50}},
    };
    for (const Case& c : cases) {
        ScrewLayout l;
        l.SetPicture(c.picture);
        l.SetView(c.view);
        EXPECT_EQ(l.FromView(c.viewPoint), c.picturePoint)
            << c.viewPoint.x() << "," << c.viewPoint.y();
        const QPointF back = l.ToView(QPointF(c.picturePoint) + QPointF(0.5, 0.5));
        EXPECT_EQ(l.FromView(back), c.picturePoint);
    }
}

TEST(ScrewLayout, TouchFindsTheNearestCircle) {
    ScrewLayout l;
    l.SetPicture({400, 200});
    l.SetView({400, 200});
    ScrewLayout::Circle a, b, small;
    a.X = 100, a.Y = 100, a.Radius = 30;
    b.X = 140, b.Y = 100, b.Radius = 30;            // overlaps the first
    small.X = 300, small.Y = 100, small.Radius = 2; // reached within a finger's width
    l.Load({a, b, small});
    const std::pair<QPointF, int> cases[] = {
        {{95, 100}, 0}, {{125, 100}, 1}, {{100, 135}, -1}, {{310, 100}, 2}, {{330, 100}, -1},
    };
    for (auto [at, hit] : cases)
        EXPECT_EQ(l.HitTest(at), hit) << at.x() << "," << at.y();
}
