// The settings screen as the operator uses it: every bound row of the operation, I/O and
// log tabs pressed, the screen left, and the key in the settings file; the conditional
// rows; the password change; the factory reset and its password; the clock editor's
// command lines; a picture of every tab and dialog.
#include "CsvRead.h"
#include "NetworkTabFixture.h"
#include "UnitPassword.h"
#include "common.h"
#include "eventlog.h"
#include "page/settings/ClockSetting.h"
#include "page/settings/PageSettingSystem.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <filesystem>
#include <map>

namespace {
using Field = uint32_t (*)(const Setting&);

class SettingScreenTest : public TabTest {
  protected:
    void SetUp() override {
        TabTest::SetUp();
        openTile<Page>("tileSetting", ScreenId::Setting, "0");
    }
    bool shown(const char* name) const {
        auto* w = find<QWidget>(name);
        return w && w->isVisible();
    }
    void leave() {
        press("tabBack");
        ASSERT_EQ(Screens::Find(ScreenId::Setting), nullptr);
    }
};

// Each bound control: pressed on screen, the screen left, the key in the file.
TEST_F(SettingScreenTest, EveryBoundRowReachesTheFile) {
    const Field in3 = [](const Setting& s) { return s.io.input[3]; };
    const Field in15 = [](const Setting& s) { return s.io.input[15]; };
    const Field inputs = [](const Setting& s) { return s.io.input[3] + s.io.input[15]; };
    const Field out0 = [](const Setting& s) { return s.io.output[0]; };
    struct Case {
        std::vector<const char*> presses;
        Field field;
        uint32_t after;
        size_t keys = 1; // key lines the leave changes: a row wired to another field shows
    } cases[] = {
        {{"tabSettingOperation", "Opmode_1"},
         [](const Setting& s) { return s.operation.operation_mode; },
         1},
        {{"ScrewCountDir_1"}, [](const Setting& s) { return s.operation.screw_count_dir; }, 1},
        {{"ScrewCountUnit_1"}, [](const Setting& s) { return s.operation.screw_count_unit; }, 1},
        {{"JobSelType_1"}, [](const Setting& s) { return s.operation.job_sel_type; }, 1},
        {{"BarcodeIF_1"}, [](const Setting& s) { return s.operation.barcode_if; }, 1},
        {{"AutoStartJobOnBoot"}, [](const Setting& s) { return s.operation.auto_start_job; }, 1},
        {{"SkipWithoutPwd"}, [](const Setting& s) { return s.operation.skip_without_pwd; }, 0},
        {{"BackWithoutPwd"}, [](const Setting& s) { return s.operation.back_without_pwd; }, 0},
        {{"ResetWithoutPwd"}, [](const Setting& s) { return s.operation.reset_without_pwd; }, 0},
        {{"DispJobReset"}, [](const Setting& s) { return s.operation.disp_job_reset; }, 0},
        {{"JobSelWithoutPwd"}, [](const Setting& s) { return s.operation.job_sel_without_pwd; }, 0},
        {{"AutoRestartJob"}, [](const Setting& s) { return s.operation.auto_job_restart; }, 0},
        {{"BackupManager"}, [](const Setting& s) { return s.operation.backup_manager; }, 1},
        {{"BitSocketTray"}, [](const Setting& s) { return s.operation.bit_socket_tray; }, 1},
        {{"Opmode_0"}, [](const Setting& s) { return s.operation.operation_mode; }, 0},
        {{"tabSettingIo", "ioInput3", "ioFunc9"}, in3, 9},
        {{"tabSettingIo", "ioInput15", "ioFunc15"}, in15, 15},
        {{"tabSettingIo", "ioOutput0", "ioFunc8"}, out0, 8},
        {{"tabSettingIo", "ioOutput0", "ioFuncCancel"}, out0, 8, 0},
        {{"tabSettingIo", "ioInputClear", "confirmCancel"}, in3, 9, 0},
        {{"tabSettingIo", "ioInputClear", "confirmOk"}, inputs, 0, 2},
        {{"tabSettingIo", "ioOutputClear", "confirmOk"}, out0, 0, 1},
        {{"tabSettingLog", "LogPath_1"}, [](const Setting& s) { return s.log.path; }, 1},
        {{"tabSettingLog", "LogToolname"}, [](const Setting& s) { return s.log.tool_name; }, 0},
        {{"tabSettingLog", "LogBarcode"}, [](const Setting& s) { return s.log.barcode; }, 0},
        {{"tabSettingLog", "LogFtime"}, [](const Setting& s) { return s.log.fasten_time; }, 0},
        {{"tabSettingLog", "LogPreset"}, [](const Setting& s) { return s.log.preset_no; }, 0},
        {{"tabSettingLog", "LogTtorque"}, [](const Setting& s) { return s.log.target_torque; }, 0},
        {{"tabSettingLog", "LogCtorque"},
         [](const Setting& s) { return s.log.converted_torque; },
         0},
        {{"tabSettingLog", "LogSpeed"}, [](const Setting& s) { return s.log.speed; }, 0},
        {{"tabSettingLog", "LogA1"}, [](const Setting& s) { return s.log.a1; }, 1},
        {{"tabSettingLog", "LogA2"}, [](const Setting& s) { return s.log.a2; }, 1},
        {{"tabSettingLog", "LogA3"}, [](const Setting& s) { return s.log.a3; }, 0},
        {{"tabSettingLog", "LogScrewNo"}, [](const Setting& s) { return s.log.screw_no; }, 0},
        {{"tabSettingLog", "LogError"}, [](const Setting& s) { return s.log.error; }, 0},
        {{"tabSettingLog", "LogDirection"}, [](const Setting& s) { return s.log.direction; }, 0},
        {{"tabSettingLog", "LogStatus"}, [](const Setting& s) { return s.log.status; }, 0},
        {{"tabSettingLog", "LogSnug"}, [](const Setting& s) { return s.log.snug; }, 1},
    };
    ASSERT_EQ(dev->SaveSetting(), 0); // every key in the file from the start
    for (const Case& c : cases) {
        SCOPED_TRACE(c.presses.back());
        if (!Screens::Find(ScreenId::Setting)) press("tileSetting");
        const uint32_t before = c.field(fileSetting());
        const auto keys = settingsKeys();
        // A bound row's property notifies its observers once per change.
        const std::string row(c.presses.back());
        const QMetaProperty mp = dev->metaObject()->property(
            dev->metaObject()->indexOfProperty(row.substr(0, row.find('_')).c_str()));
        std::unique_ptr<QSignalSpy> notified;
        if (mp.isValid()) notified = std::make_unique<QSignalSpy>(dev, mp.notifySignal());
        for (const char* name : c.presses)
            tap(name);
        EXPECT_EQ(c.field(fileSetting()), before) << "written only when the screen is left";
        if (notified) {
            EXPECT_EQ(notified->count(), 1);
        }
        leave();
        EXPECT_EQ(c.field(fileSetting()), c.after);
        const auto saved = settingsKeys();
        ASSERT_EQ(saved.size(), keys.size());
        size_t changed = 0;
        for (const auto& [key, text] : keys)
            changed += saved.at(key) != text;
        EXPECT_EQ(changed, c.keys);
    }
}

// The default-job and tray-tool rows follow their conditions; a choice in their lists is
// stored, a cancelled list changes nothing.
TEST_F(SettingScreenTest, ConditionalRows) {
    ASSERT_EQ(dev->JobCreateNew("assembly"), 0);
    ASSERT_EQ(dev->JobCreateNew("welding"), 0);
    registerTools({{"left", 2, 0}, {"right", 3, 0}});
    struct Case {
        const char* press;
        bool job, tray;
    } cases[] = {
        {"tabSettingOperation", false, false},
        {"AutoStartJobOnBoot", true, false},
        {"BitSocketTray", true, false},
        {"Opmode_1", true, true},
        {"Opmode_0", true, false},
        {"Opmode_1", true, true},
        {"BitSocketTray", true, false},
        {"AutoStartJobOnBoot", false, false},
    };
    EXPECT_TRUE(find("Opmode_0")->isChecked()) << "the stored mode";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.press);
        tap(c.press);
        EXPECT_EQ((std::vector{shown("defaultJobName"), shown("defaultJobSelect"),
                               shown("bstToolName"), shown("bstToolSelect")}),
                  (std::vector{c.job, c.job, c.tray, c.tray}));
    }
    // Changed elsewhere, the rows follow with no sound (a press plays one); a mode no
    // choice stands for checks none.
    const int tapped = sounds(UiSoundKind::Tap);
    dev->OnSetOpmode(7);
    EXPECT_FALSE(find("Opmode_0")->isChecked() || find("Opmode_1")->isChecked());
    dev->OnSetOpmode(0);
    dev->OnSetAutoStartJobOnBoot(true);
    EXPECT_EQ(std::tuple(find("Opmode_0")->isChecked(),
                         find<QAbstractButton>("AutoStartJobOnBoot")->isChecked(),
                         sounds(UiSoundKind::Tap)),
              std::tuple(true, true, tapped));
    fill("Opmode_1 BitSocketTray");
    EXPECT_EQ(sounds(UiSoundKind::Tap), tapped + 2);
    fill("%PageSettingOperation defaultJobSelect %PageSettingOperation_JobList");
    auto* list = root->findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    flush();
    EXPECT_EQ(find<QLineEdit>("defaultJobName")->text(), "welding");
    fill("defaultJobSelect selectJobCancel bstToolSelect %PageSettingOperation_ToolList "
         "selectTool1");
    EXPECT_EQ(find<QLineEdit>("bstToolName")->text(), "right");
    // The default job row hidden at last, its name stays.
    fill("bstToolSelect selectToolCancel AutoStartJobOnBoot");
    leave();
    const Setting s = fileSetting();
    EXPECT_EQ(std::tuple(std::string(s.operation.default_job_name),
                         std::string(s.operation.bst_tool_name), s.operation.auto_start_job),
              std::tuple("welding", "right", 0u));
}

TEST_F(SettingScreenTest, PasswordChange) {
    const std::string longest(127, 'k');
    struct Case {
        std::string current, fresh, confirm;
        std::string message;
        std::string stored;      // the login password in memory and in the file afterwards
        bool writeFails = false; // the settings file cannot be written
    } cases[] = {
        {"", "1", "1", "Error / Please enter old password.", "0"},
        {"0", "", "1", "Error / Please enter new password.", "0"},
        {"0", "1", "", "Error / Please enter confirm password.", "0"},
        {"9", "1", "1", "Error / Incorrect old password.", "0"},
        {"9", "1", "2", "Error / Incorrect old password.", "0"},
        {"0", "1", "2", "Error / New and confirm password do not match.", "0"},
        {"0", "pass 1", "pass 1", "Success / Password has been changed successfully.", "pass 1"},
        {"pass 1", "", "", "Error / Please enter new password.", "pass 1"},
        {"pass 1", "pass 2 ", "pass 2 ", "Error / Password can not begin or end with a blank.",
         "pass 1"},
        // More than the file keeps is refused; 127 are taken.
        {"pass 1", longest + "z", longest + "z", "Error / Password too long (max 127 characters).",
         "pass 1"},
        {"pass 1", longest, longest, "Success / Password has been changed successfully.", longest},
        // A failed save leaves the password in force as it was.
        {longest, "other", "other", "Error / Failed to save.", longest, true},
    };
    fill("tabSettingSystem %PageSettingSystem");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        find<QLineEdit>("pwdCurrent")->setText(QString::fromStdString(c.current));
        find<QLineEdit>("pwdNew")->setText(QString::fromStdString(c.fresh));
        find<QLineEdit>("pwdConfirm")->setText(QString::fromStdString(c.confirm));
        Common_SetWriteFailAfter(c.writeFails ? 0 : -1);
        tap("pwdChange");
        Common_SetWriteFailAfter(-1);
        EXPECT_EQ(dialog(), c.message);
        EXPECT_EQ(dev->GetSysPwd().toStdString(), c.stored);
        EXPECT_EQ(std::string(fileSetting().system.login_password), c.stored) << "saved at once";
        const bool cleared = c.message.rfind("Success", 0) == 0;
        EXPECT_EQ(find<QLineEdit>("pwdCurrent")->text().isEmpty(), cleared || c.current.empty());
    }
}

// The reset takes only the login password; the service password is refused. It clears
// the data but keeps the vendor text.
TEST_F(SettingScreenTest, FactoryResetPassword) {
    dev->SetSysPwd("4321");
    for (const char* file : {"regtools", "vendor", "files/job/a b.job",
                             "files/.p2p-old/setting/setting.kest", "files/log/.x.tmp"})
        TestEnv::writeFile(file, "x");
    ASSERT_EQ(dev->SaveSetting(), 0);
    fill("tabSettingSystem factoryReset %PageSettingSystem_ResetConfirm confirmCancel");
    EXPECT_TRUE(TestEnv::exists("files/job/a b.job"));
    struct Case {
        const char* typed;
        bool accepted;
    } cases[] = {{"vorkel5293", false}, {"0", false}, {"", false}, {"4321", true}};
    fill("factoryReset confirmOk");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        auto* pw = find<UnitPassword>("UnitPassword");
        ASSERT_NE(pw, nullptr);
        env->clearStubCalls();
        type(c.typed);
        press("passwordOk");
        if (!c.accepted) {
            EXPECT_TRUE((pw->IncorrectVisible() || pw->Blinking()) && pw->Text().isEmpty());
            EXPECT_TRUE(TestEnv::exists("files/job/a b.job") && TestEnv::exists("regtools"));
            shot("PageSettingSystem_ResetPassword");
            continue;
        }
        EXPECT_EQ(find<UnitPassword>("UnitPassword"), nullptr);
        // The data and the tool list go, the vendor text stays; no restart before OK.
        EXPECT_EQ(std::tuple(TestEnv::exists("files/job"),
                             TestEnv::exists("files/setting/setting.kest"),
                             TestEnv::exists("files"), TestEnv::exists("vendor"),
                             TestEnv::exists("regtools"), env->stubCalls()),
                  std::tuple(false, false, true, true, false, std::vector<std::string>{}));
        shot("PageSettingSystem_ResetDone");
        EXPECT_EQ(dialog(), "Success / Press OK to restart the system.");
        EXPECT_EQ(env->stubCalls(), std::vector<std::string>{"reboot"});
        // Until the restart arrives only its notice is shown, and nothing the panel still
        // holds brings back what the reset removed.
        ASSERT_NE(find<QWidget>("restartNotice"), nullptr);
        // Braces: the saves run before the files are looked at.
        EXPECT_EQ(
            (std::tuple{find<QWidget>("restartNotice")->isVisible(), dev->SaveSetting() != 0,
                        dev->SaveRegTools() != 0, TestEnv::exists("files/setting/setting.kest"),
                        TestEnv::exists("regtools")}),
            std::tuple(true, true, true, false, false));
    }
    EXPECT_GE(sounds(UiSoundKind::Ng), 3);
    EXPECT_FALSE(TestEnv::exists("files/.p2p-old") || TestEnv::exists("files/log/.x.tmp"))
        << "hidden leftovers go too";

    // A removal that fails says so, and the station restarts all the same.
    TestEnv::writeFile("files/job/b.job", "x");
    Common_SetFault(Common_HomePath("files/job").c_str(), EIO, COMMON_FAULT_REMOVE);
    fill("factoryReset confirmOk");
    type("4321");
    press("passwordOk");
    Common_SetFault(nullptr, 0, 0);
    EXPECT_TRUE(TestEnv::exists("files/job/b.job"));
    for (auto* box : root->findChildren<UnitMessageBox*>())
        if (box->isVisible() && box->objectName() != "restartNotice") {
            EXPECT_EQ(box->findChild<QPushButton*>("msgClose")->text(), "OK");
        }
    env->clearStubCalls();
    EXPECT_EQ(dialog(), "Error / Factory reset failed.\nPress OK to restart the system.");
    EXPECT_EQ(env->stubCalls(), std::vector<std::string>{"reboot"});
}

// Other messages of the tab only close; the ones tagged for a restart restart, after the
// result log's shutdown: a result it held in memory (acknowledged, log and card spool not
// writable then) is in the spool file before the reboot.
TEST_F(SettingScreenTest, MessageTags) {
    env->insertCard(false);
    Common_SetFault("./files/log", ENOSPC, COMMON_FAULT_WRITE);
    const std::string held = EventLog_FormatLine(localTm(2026, 12, 6, 10), "", "", "-", "t", {});
    EventLog_Queue(held, -1);
    EventLog_Flush();
    ASSERT_EQ(EventLog_SpoolLength(), 1u);
    env->mountCard();
    const std::string spool = EventLog_SpoolPath(0);
    press("tabSettingSystem");
    auto* page = find<PageSettingSystem>("PageSettingSystem");
    for (const char* tag : {"", "other", "p2p_load", "factory reset"}) {
        SCOPED_TRACE(tag);
        env->clearStubCalls();
        QMetaObject::invokeMethod(page, "ShowMessage", Q_ARG(QString, "Success"),
                                  Q_ARG(QString, "done"), Q_ARG(QString, tag));
        EXPECT_EQ(dialog(), "Success / done");
        const bool restart = std::string(tag) == "p2p_load" || std::string(tag) == "factory reset";
        const std::vector<std::string> none, reboot{"reboot"};
        EXPECT_EQ(env->stubCalls(), restart ? reboot : none);
        if (restart) {
            EXPECT_EQ(TestEnv::readFile(spool), held) << "the log shut down before the reboot";
        }
    }
    Common_SetFault(nullptr, 0, 0);
}

// The clock editor: filled with the time now, its OK runs date and then hwclock with
// the numbers read from the fields, Cancel runs nothing.
TEST_F(SettingScreenTest, ClockEditor) {
    Common_SetFixedTime(localInstant(2026, 12, 7, 18, 5, 9));
    press("tabSettingSystem");
    flush();
    // The shown time follows the clock (refreshed every second).
    auto* now = find<QLabel>("systemTimeNow");
    EXPECT_TRUE(QTest::qWaitFor([&] { return now->text() == "2026-12-07 18:05:09"; },
                                int(kest_test::kWaitLimit.count())))
        << now->text().toStdString();
    struct Case {
        const char *year, *month, *day, *hour, *minute; // nullptr: as filled
        bool ok;
        const char* date;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, nullptr, true, "date -s 2026-12-7 18:5:00"},
        {nullptr, nullptr, nullptr, nullptr, nullptr, false, nullptr},
        {"2027", "1", "31", "0", "59", true, "date -s 2027-1-31 0:59:00"},
        {"", "x", "", "", "", true, "date -s 1970-1-1 0:0:00"},
        {"2024", "2", "30", "24", "60", true, "date -s 2024-2-29 23:59:00"},
        {"2025", "13", "0", "99", "-1", true, "date -s 2025-12-1 23:0:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date ? c.date : "cancel");
        env->clearStubCalls();
        tap("systemTimeChange");
        ASSERT_NE(Screens::Find(ScreenId::SystemTime), nullptr);
        EXPECT_EQ(find<QLineEdit>("timeYear")->text(), "2026");
        EXPECT_EQ(find<QLineEdit>("timeMinute")->text(), "5");
        const char* names[5] = {"timeYear", "timeMonth", "timeDay", "timeHour", "timeMinute"};
        const char* values[5] = {c.year, c.month, c.day, c.hour, c.minute};
        for (int i = 0; i < 5; ++i)
            if (values[i]) find<QLineEdit>(names[i])->setText(values[i]);
        if (!c.date) shot("PageSystemTime");
        tap(c.ok ? "timeOk" : "timeCancel");
        EXPECT_EQ(Screens::Find(ScreenId::SystemTime), nullptr);
        const std::vector<std::string> none, both{c.date ? c.date : "", "hwclock -w"};
        EXPECT_EQ(env->stubCalls(), c.ok ? both : none);
    }
    Common_SetFixedTime(0);
}

// The rules alone, where text no screen would let through still builds numbers only (the
// clock editor's rows check plain dates and the hwclock call).
TEST(ClockSettingTest, ParseAndCommandLine) {
    struct Case {
        const char *y, *mo, *d, *h, *mi;
        std::vector<std::string> argv;
    } cases[] = {
        {"2026\"; reboot", "1$(x)", "`1`", "1;", "0x10", {"date", "-s", "1970-1-1 0:0:00"}},
        {" 2030 ", "02", "29", "23", "59", {"date", "-s", "2030-2-28 23:59:00"}},
        {"2000", "2", "29", "0", "0", {"date", "-s", "2000-2-29 0:0:00"}},
        {"1900", "4", "31", "-5", "75", {"date", "-s", "1970-4-30 0:59:00"}},
        {"99999999999", "6", "15", "12", "30", {"date", "-s", "1970-6-15 12:30:00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        EXPECT_EQ(ClockSetting::DateArgv(ClockSetting::Parse(c.y, c.mo, c.d, c.h, c.mi)), c.argv);
    }
}

// Leaving runs the pending restarts and the save once; a picture of each tab and dialog,
// and of the system screen's network status tab.
TEST_F(SettingScreenTest, TabsAndLeavingOnce) {
    EXPECT_TRUE(shown("PageSettingOperation")) << "the first tab";
    for (std::string tab : {"Operation", "Io", "Log", "Barcode", "Network", "Share", "System"}) {
        press(("tabSetting" + tab).c_str());
        EXPECT_TRUE(shown(("PageSetting" + tab).c_str()));
        shot(("PageSetting" + tab).c_str());
    }
    fill("tabSettingIo ioInput0 %PageSettingIo_Functions ioFuncCancel ioOutputClear "
         "%PageSettingIo_Clear confirmCancel");
    // The advanced Wi-Fi dialog, the keypads over the network tab, the share tab's check.
    fill("tabSettingNetwork wifiAdvanced advMode_1");
    fill("%UnitWlanAdvanced advCancel");
    EXPECT_FALSE(shown("UnitWlanAdvanced"));
    // A tapped field gets the keypad (numeric for an octet); its keys type there.
    auto key = [this](const char* name) {
        for (auto* k : root->findChildren<QPushButton*>(name))
            if (k->isVisible()) return QTest::mouseClick(k, Qt::LeftButton);
        ADD_FAILURE() << name << " is not shown";
    };
    auto* ssid = find<QLineEdit>("wifiSsid");
    QTest::mouseClick(ssid, Qt::LeftButton);
    ssid->clear();
    const int tapped = sounds(UiSoundKind::Tap);
    // Shift holds until pressed again; Clear and backspace edit the field.
    for (const char* k : {"key_b", "key_Clear", "key_a", "key_Shift", "key_p", "key_Shift", "key_q",
                          "key_Space", "key_7", "key_-", "key_Backspace"})
        key(k);
    EXPECT_EQ(ssid->text(), "aPq 7");
    for (auto* b : find<QWidget>("UnitKeypadText")->findChildren<QPushButton*>())
        EXPECT_GE(b->minimumSizeHint().height(), 1);
    shot("PageSettingNetwork_Keypad");
    press("keypadDone");
    QTest::mouseClick(find<QLineEdit>("ethIp_0"), Qt::LeftButton);
    EXPECT_FALSE(shown("key_a")) << "numeric keys only";
    key("key_Clear");
    key("key_9");
    EXPECT_EQ((QStringList{find<QLineEdit>("ethIp_0")->text(), ssid->text()}),
              (QStringList{"9", "aPq 7"}));
    shot("PageSettingNetwork_NumericKeypad");
    press("keypadDone");
    EXPECT_EQ(std::tuple(shown("settingsKeypad"), sounds(UiSoundKind::Tap)),
              std::tuple(false, tapped + 15));
    press("tabSettingShare");
    find<QLineEdit>("ftpUser")->clear();
    press("ftpApply");
    shot("PageSettingShare_Error");
    EXPECT_EQ(dialog(), "Error / Please input the User name");
    // The language stays on the page; the backup transfer opens even when the settings
    // cannot be written, as a load is the repair (its save writes them first).
    fill("tabSettingSystem language_2 languageApply");
    EXPECT_EQ(find<PageSettingSystem>("PageSettingSystem")->Language(), 2);
    standIn({ScreenId::P2P});
    Common_SetWriteFailAfter(0);
    tap("p2pOpen");
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(created[ScreenId::P2P], 1);
    Screens::Close(ScreenId::P2P);
    SettingsRestarts::Instance().Schedule(SettingsRestarts::Ftp);
    SettingsRestarts::Instance().Schedule(SettingsRestarts::Wifi);
    env->clearStubCalls();
    std::filesystem::remove("files/setting/setting.kest");
    leave();
    const auto calls = env->stubCalls();
    ASSERT_EQ(calls.size(), 3u); // wlan0 up, then the FTP user and the daemon
    EXPECT_EQ(calls[0], "ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up");
    EXPECT_EQ(calls[2], "proftpd -c " + env->home() + "/proftpd.conf");
    EXPECT_FALSE(SettingsRestarts::Instance().Pending(SettingsRestarts::Wifi) ||
                 SettingsRestarts::Instance().Pending(SettingsRestarts::Ftp));
    EXPECT_EQ(
        std::tuple(TestEnv::exists("files/setting/setting.kest"), fileSetting().system.language),
        std::tuple(true, 0u));
    fill("tileSystem tabSystemNetwork");
    EXPECT_TRUE(shown("PageSystemNetwork"));
    shot("PageSystemNetwork");
}
} // namespace
