// Root object: network configuration dialog on the service cable, pull-down panel swipe.
#include "ShellFixture.h"

namespace {
class RootDialogsTest : public ShellTest {
  protected:
    void TearDown() override {
        ApplicationApplication::SetNetworkDialogFactory(nullptr, nullptr);
        ApplicationApplication::SetTopDownBoxFactory(nullptr);
        ShellTest::TearDown();
    }
    int created = 0, copies = 0;
    void withNetworkPage() {
        ApplicationApplication::SetNetworkDialogFactory(
            [this] {
                ++created;
                auto* p = new Page;
                p->setFixedSize(600, 400);
                return p;
            },
            [this](Page*) { ++copies; });
    }
    void tty(int connected) {
        dev->TriggerTTY(connected);
        flush();
    }
};

TEST_F(RootDialogsTest, ServiceCableOpensOneDialogAndUnplugCloses) {
    withNetworkPage();
    makeRoot();
    tty(1);
    tty(1);
    EXPECT_EQ(created, 1);
    ASSERT_NE(root->NetworkDialog(), nullptr);
    EXPECT_EQ(services->count(UiSoundKind::Ok), 1);
    tty(0);
    EXPECT_EQ(root->NetworkDialog(), nullptr);
    EXPECT_EQ(copies, 0);
    tty(1);
    EXPECT_EQ(created, 2);
}

TEST_F(RootDialogsTest, ConfirmingCopiesCancellingDoesNot) {
    withNetworkPage();
    makeRoot();
    tty(1);
    root->NetworkDialog()->Leave();
    flush();
    EXPECT_EQ(copies, 0);
    EXPECT_EQ(root->NetworkDialog(), nullptr);
    EXPECT_EQ(services->count(UiSoundKind::Tap), 1);
    tty(1);
    root->NetworkDialog()->setProperty("confirmed", true);
    root->NetworkDialog()->Leave();
    flush();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(root->NetworkDialog(), nullptr);
}

TEST_F(RootDialogsTest, DownwardSwipeFromTheTopStripOpensThePanel) {
    int panels = 0;
    ApplicationApplication::SetTopDownBoxFactory([&] {
        ++panels;
        auto* p = new Page;
        p->setFixedHeight(300);
        return p;
    });
    makeRoot();
    QWidget* target = root->childAt(600, 20);
    ASSERT_NE(target, nullptr);
    auto swipe = [&](QPoint from, QPoint to) {
        QWidget* w = root->childAt(from);
        QTest::mousePress(w, Qt::LeftButton, {}, w->mapFrom(root, from));
        QTest::mouseMove(w, w->mapFrom(root, (from + to) / 2));
        QTest::mouseMove(w, w->mapFrom(root, to));
        QTest::mouseRelease(w, Qt::LeftButton, {}, w->mapFrom(root, to));
        flush();
    };
    swipe({600, 300}, {600, 500}); // starts below the strip
    EXPECT_EQ(panels, 0);
    swipe({600, 20}, {900, 100}); // mostly sideways
    EXPECT_EQ(panels, 0);
    swipe({600, 20}, {680, 200}); // diagonally down
    EXPECT_EQ(panels, 1);
    ASSERT_NE(root->TopDownBox(), nullptr);
    swipe({600, 20}, {600, 300}); // already open
    EXPECT_EQ(panels, 1);
    root->TopDownBox()->Leave();
    flush();
    EXPECT_EQ(root->TopDownBox(), nullptr);
}
} // namespace
