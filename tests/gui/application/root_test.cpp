// Root object: network configuration dialog on the service cable, pull-down panel swipe.
#include "ShellFixture.h"
#include "UnitScrim.h"

namespace {
class RootTest : public ShellTest {
  protected:
    void tty(int connected) {
        dev->TriggerTTY(connected);
        flush();
    }
};

// Opening and closing on the cable are pressed with a tool (page_network_test.cpp).
TEST_F(RootTest, LeavingTheCableDialogTapsUnpluggingDoesNot) {
    Screens::SetFactory(ScreenId::Network, [] {
        auto* p = new Page;
        p->setFixedSize(600, 400);
        return p;
    });
    makeRoot();
    tty(1);
    tty(0);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 0);
    tty(1);
    ASSERT_NE(root->NetworkDialog(), nullptr);
    root->NetworkDialog()->Leave(); // either of its buttons
    flush();
    EXPECT_EQ(root->NetworkDialog(), nullptr);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 1);
}

TEST_F(RootTest, DownwardSwipeFromTheTopStripOpensThePanel) {
    Screens::SetFactory(ScreenId::TopDownBox, [this] {
        ++created[ScreenId::TopDownBox];
        auto* p = new Page;
        p->setFixedHeight(300);
        return p;
    });
    makeRoot();
    auto swipe = [&](QPoint from, QPoint to) {
        QWidget* w = root->childAt(from);
        QTest::mousePress(w, Qt::LeftButton, {}, w->mapFrom(root, from));
        QTest::mouseMove(w, w->mapFrom(root, (from + to) / 2));
        QTest::mouseMove(w, w->mapFrom(root, to));
        QTest::mouseRelease(w, Qt::LeftButton, {}, w->mapFrom(root, to));
        flush();
    };
    swipe({600, 300}, {600, 500}); // starts below the strip
    EXPECT_EQ(created[ScreenId::TopDownBox], 0);
    swipe({600, 20}, {900, 100}); // mostly sideways
    EXPECT_EQ(created[ScreenId::TopDownBox], 0);
    swipe({600, 20}, {680, 200}); // diagonally down
    EXPECT_EQ(created[ScreenId::TopDownBox], 1);
    ASSERT_NE(root->TopDownBox(), nullptr);
    EXPECT_EQ(root->TopDownBox()->geometry().top(), 0);
    swipe({600, 20}, {600, 300}); // already open
    EXPECT_EQ(created[ScreenId::TopDownBox], 1);
    root->TopDownBox()->Leave();
    flush();
    EXPECT_EQ(root->TopDownBox(), nullptr);
    EXPECT_EQ(root->findChild<UnitScrim*>(), nullptr);
}
} // namespace
