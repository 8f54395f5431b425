// Settings tabs: rows bound to device-object properties write them at once, follow them
// when they change elsewhere, and show conditional rows while their condition holds.
#include "ShellFixture.h"
#include "Theme.h"
#include "page/settings/SettingsTab.h"

#include <QCheckBox>

namespace {
class SettingsTabTest : public ShellTest {};

TEST_F(SettingsTabTest, RowsWriteTheirPropertyAndFollowIt) {
    SettingsTab tab;
    tab.AddChoice("Opmode", "Operation mode", {"   with Job", "   without Job"});
    tab.AddSwitch("AutoStartJobOnBoot", "Automatically start default job on boot");
    QWidget* tray = tab.AddSwitch("BitSocketTray", "Enable BST (Bit Socket Tray)");
    tab.ShowWhile(tray, [this] { return dev->OnGetOpmode() == 1; });
    tab.setStyleSheet(Theme::StyleSheet());
    tab.resize(1200, 600);
    tab.show();
    auto* withJob = tab.findChild<QPushButton*>("Opmode_0");
    auto* withoutJob = tab.findChild<QPushButton*>("Opmode_1");
    auto* autoStart = tab.findChild<QCheckBox*>("AutoStartJobOnBoot");
    ASSERT_TRUE(withJob && withoutJob && autoStart);
    EXPECT_TRUE(withJob->isChecked());
    EXPECT_FALSE(tray->isVisible());

    QTest::mouseClick(withoutJob, Qt::LeftButton);
    EXPECT_EQ(get_setting_operation()->operation_mode, 1u);
    EXPECT_EQ(std::tuple(withoutJob->isChecked(), withJob->isChecked(), tray->isVisible()),
              std::tuple(true, false, true));
    QTest::mouseClick(autoStart, Qt::LeftButton, {}, QPoint(20, autoStart->height() / 2));
    EXPECT_EQ(get_setting_operation()->auto_start_job, 1u);
    EXPECT_EQ(sounds(UiSoundKind::Tap), 2);

    // Changed elsewhere: the rows follow without writing back or playing a sound.
    dev->OnSetOpmode(0);
    dev->OnSetAutoStartJobOnBoot(false);
    EXPECT_EQ(std::tuple(withJob->isChecked(), autoStart->isChecked(), tray->isVisible()),
              std::tuple(true, false, false));
    dev->OnSetOpmode(7); // a value no choice stands for
    EXPECT_FALSE(withJob->isChecked() || withoutJob->isChecked());
    EXPECT_EQ(sounds(UiSoundKind::Tap), 2);
    // Nothing reached the file: the settings screen saves when it is left.
    EXPECT_EQ(TestEnv::readFile("files/setting/setting.kest").find("without job"),
              std::string::npos);
}
} // namespace
