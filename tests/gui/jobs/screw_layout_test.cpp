// The screw circles' size limits and font bands, the picture-to-view mapping and the
// touch rule, as tables; placing, moving and deleting are pressed on the screen
// (screwpos_test.cpp).
#include "page/jobs/ScrewLayout.h"

#include <gtest/gtest.h>

TEST(ScrewLayout, SizeLimitsAndFontBands) {
    const std::pair<int, int> radii[] = {{0, 1}, {1, 1}, {100, 100}, {101, 100}, {-5, 1}};
    const std::pair<int, int> widths[] = {{0, 1}, {1, 1}, {20, 20}, {21, 20}};
    ScrewLayout l; // two circles on a 1000 x 100 picture, the second current
    l.SetPicture({1000, 100});
    l.Append(10, 50);
    l.Append(20, 50);
    for (auto [set, got] : radii) {
        l.SetRadius(set);
        EXPECT_EQ(std::pair(l.At(1).Radius, l.Template().Radius), std::pair(got, got)) << set;
    }
    for (auto [set, got] : widths) {
        l.SetWidth(set);
        EXPECT_EQ(l.At(1).Width, got) << set;
    }
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

TEST(ScrewLayout, ATouchOnABarTakesTheNearestEdge) {
    ScrewLayout l; // a wider view: the picture is centred with bars left and right
    l.SetPicture({100, 100});
    l.SetView({400, 200});
    EXPECT_EQ(l.FromView({5, 5}), QPoint(0, 2));
}

TEST(ScrewLayout, TouchReachesASmallCircle) {
    ScrewLayout l;
    l.SetPicture({400, 200});
    l.SetView({400, 200});
    ScrewLayout::Circle a, b, small;
    a.X = 100, a.Y = 100, a.Radius = 30;
    b.X = 140, b.Y = 100, b.Radius = 30;
    small.X = 300, small.Y = 100, small.Radius = 2; // reached within a finger's width
    l.Load({a, b, small});
    const std::pair<QPointF, int> cases[] = {
        {{100, 135}, -1},
        {{310, 100}, 2},
        {{330, 100}, -1},
    };
    for (auto [at, hit] : cases)
        EXPECT_EQ(l.HitTest(at), hit) << at.x() << "," << at.y();
}
