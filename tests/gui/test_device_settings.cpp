// Device object: settings properties, I/O function checks, vendor text, clock, reset.
#include "ShellFixture.h"
#include "common.h"

#include <QSignalSpy>

namespace {
class DeviceSettingsTest : public ShellTest {};

TEST_F(DeviceSettingsTest, GettersReadTheRecordAndSettersNotifyWithoutSaving) {
    get_setting_operation()->screw_count_dir = 1;
    EXPECT_EQ(dev->OnGetScrewCountDir(), 1);
    EXPECT_EQ(dev->property("ScrewCountDir").toInt(), 1);
    std::string before = TestEnv::readFile("files/setting/setting.kest");
    QSignalSpy spy(dev, &ApplicationDeviceClass::LogSnugChanged);
    dev->setProperty("LogSnug", true);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(get_setting_log()->snug, 1u);
    dev->OnSetLogSnug(true); // same value: still notifies
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(TestEnv::readFile("files/setting/setting.kest"), before);
    EXPECT_EQ(dev->SaveSetting(), 0);
    EXPECT_NE(TestEnv::readFile("files/setting/setting.kest")
                  .find("snug                          = true"),
              std::string::npos);
}

TEST_F(DeviceSettingsTest, EveryNotifyingPropertyRoundTrips) {
    const char* props[] = {"Opmode",    "ScrewCountDir", "ScrewCountUnit", "JobSelType",
                           "BarcodeIF", "LogPath",       "EthDhcp",        "WifiBand"};
    for (const char* p : props) {
        int idx = dev->metaObject()->indexOfProperty(p);
        ASSERT_GE(idx, 0) << p;
        QMetaProperty mp = dev->metaObject()->property(idx);
        ASSERT_TRUE(mp.hasNotifySignal()) << p;
        dev->setProperty(p, 1);
        EXPECT_EQ(dev->property(p).toInt(), 1) << p;
        dev->setProperty(p, 0);
        EXPECT_EQ(dev->property(p).toInt(), 0) << p;
    }
    const char* bools[] = {
        "AutoStartJobOnBoot", "SkipWithoutPwd", "BackWithoutPwd", "ResetWithoutPwd", "DispJobReset",
        "JobSelWithoutPwd",   "AutoRestartJob", "BackupManager",  "BitSocketTray",   "LogToolname",
        "LogBarcode",         "LogFtime",       "LogPreset",      "LogTtorque",      "LogCtorque",
        "LogSpeed",           "LogA1",          "LogA2",          "LogA3",           "LogScrewNo",
        "LogError",           "LogDirection",   "LogStatus",      "LogSnug",         "FtpEnable",
        "BefEnable"};
    for (const char* p : bools) {
        for (bool v : {true, false}) {
            ASSERT_TRUE(dev->setProperty(p, v)) << p;
            EXPECT_EQ(dev->property(p).toBool(), v) << p;
        }
    }
    dev->OnSetBackWithoutPwd(false);
    EXPECT_EQ(get_setting_operation()->back_without_pwd, 0u);
    dev->OnSetBefEnable(true);
    EXPECT_EQ(get_setting_share()->bef_enable, 1u);
}

TEST_F(DeviceSettingsTest, ShareAndForwardingSettersDoNotNotify) {
    for (const char* p : {"FtpUser", "FtpPwd", "BefServerIp", "BefServerPort"}) {
        QMetaProperty mp = dev->metaObject()->property(dev->metaObject()->indexOfProperty(p));
        EXPECT_FALSE(mp.hasNotifySignal()) << p;
    }
    dev->OnSetFtpUser(QString::fromUtf8("op\u20acr"));
    EXPECT_STREQ(get_setting_share()->ftp_username, "op r");
    dev->OnSetFtpPwd(QString(200, 'x'));
    EXPECT_EQ(strlen(get_setting_share()->ftp_password), 127u);
    dev->OnSetBefServerIp(0xC0A80001);
    EXPECT_EQ(dev->OnGetBefServerIp(), 0xC0A80001u);
    dev->OnSetBefServerPort(5020);
    EXPECT_EQ(get_setting_share()->bef_port, 5020u);
}

TEST_F(DeviceSettingsTest, VolumeAppliesAndSavesAtOnce) {
    uint32_t current = get_setting_system()->volume;
    std::remove("files/setting/setting.kest");
    env->clearStubCalls();
    QSignalSpy spy(dev, &ApplicationDeviceClass::VolumeChanged);
    dev->OnSetVolume(int32_t(current));
    EXPECT_TRUE(TestEnv::exists("files/setting/setting.kest"));
    EXPECT_EQ(spy.count(), 1);
    dev->OnSetVolume(3);
    auto calls = env->stubCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.back(), "amixer sset Speaker 95%");
    EXPECT_NE(
        TestEnv::readFile("files/setting/setting.kest").find("volume                        = 75"),
        std::string::npos);
}

TEST_F(DeviceSettingsTest, BrightnessAppliesAndSavesAtOnce) {
    TestEnv::writeFile(env->sysroot() + "/sys/class/backlight/pwm-backlight/brightness", "");
    std::remove("files/setting/setting.kest");
    dev->OnSetBrightness(1);
    EXPECT_EQ(TestEnv::readFile(env->sysroot() + "/sys/class/backlight/pwm-backlight/brightness"),
              "50\n");
    EXPECT_NE(
        TestEnv::readFile("files/setting/setting.kest").find("brightness                    = 50"),
        std::string::npos);
}

TEST_F(DeviceSettingsTest, SetCurrTdxAlwaysNotifiesUpdateCurrTdxDoesNotRepeat) {
    dev->OnSetCurrTdx(2);
    QSignalSpy spy(dev, &ApplicationDeviceClass::CurrTdxChanged);
    dev->OnSetCurrTdx(2);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(dev->OnGetPrevTdx(), 2);
    EXPECT_EQ(dev->OnGetCurrTdx(), 2);
    dev->UpdateCurrTdx(2);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(DeviceSettingsTest, IoFunctionsRefuseOutOfRangeWithExactMessages) {
    LogCapture log;
    struct Case {
        std::function<int()> call;
        const char* message;
    };
    const Case cases[] = {
        {[&] { return dev->GetSysInputFunc(16); },
         "(Application::DeviceClass.GetSysInputFunc.19) invalid input no, 16"},
        {[&] { return dev->GetSysInputFunc(-1); },
         "(Application::DeviceClass.GetSysInputFunc.19) invalid input no, -1"},
        {[&] { return dev->GetSysOutFunc(19); },
         "(Application::DeviceClass.GetSysOutFunc.19) invalid output no, 19"},
        {[&] {
             dev->SetSysInputFunc(3, 16);
             return -1;
         },
         "(Application::DeviceClass.SetSysInputFunc.15) invalid sys input val, 16"},
        {[&] {
             dev->SetSysInputFunc(20, 1);
             return -1;
         },
         "(Application::DeviceClass.SetSysInputFunc.20) invalid input no, 20"},
        {[&] {
             dev->SetSysOutFunc(3, 9);
             return -1;
         },
         "(Application::DeviceClass.SetSysOutFunc.15) invalid sys output val, 9"},
        {[&] {
             dev->SetSysOutFunc(16, 1);
             return -1;
         },
         "(Application::DeviceClass.SetSysOutFunc.20) invalid output no, 16"},
    };
    get_setting_io()->output[3] = 5;
    get_setting_io()->input[3] = 2;
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(c.call(), -1) << c.message;
        auto lines = log.lines();
        ASSERT_EQ(lines.size(), 1u) << c.message;
        EXPECT_EQ(lines[0], c.message);
    }
    EXPECT_EQ(get_setting_io()->output[3], 5u); // refused values change nothing
    EXPECT_EQ(get_setting_io()->input[3], 2u);
}

TEST_F(DeviceSettingsTest, IoFunctionsAndNamesAtTheBoundaries) {
    LogCapture log;
    dev->SetSysInputFunc(0, 15);
    dev->SetSysInputFunc(15, 1);
    dev->SetSysOutFunc(15, 8);
    EXPECT_EQ(dev->GetSysInputFunc(0), 15);
    EXPECT_EQ(dev->GetSysInputName(0), "Alarm reset");
    EXPECT_EQ(dev->GetSysInputName(15), "Job select.1");
    EXPECT_EQ(dev->GetSysOutName(15), "Alarm");
    EXPECT_EQ(dev->GetSysOutName(0), "");
    dev->SetSysOutFunc(1, 7);
    EXPECT_EQ(dev->GetSysOutName(1), "Ready");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DeviceSettingsTest, StringOperationsTruncateAndConvert) {
    dev->SetBstToolName(QString(40, 'b'));
    EXPECT_EQ(dev->GetBstToolName().size(), 31);
    dev->SetDefaultJobName("a-very-long-name");
    dev->SetDefaultJobName("short");
    EXPECT_EQ(dev->GetDefaultJobName(), "short");
    EXPECT_EQ(get_setting_operation()->default_job_name[6], '\0');
    dev->SetSysPwd(QString(150, '7'));
    EXPECT_EQ(dev->GetSysPwd().size(), 127);
    UnitWIFI_CONF_T w{"cell-7", "s3cret pass"};
    dev->SetWifiConf(w);
    EXPECT_EQ(dev->GetWifiConf().Ssid, "cell-7");
    EXPECT_EQ(dev->GetWifiConf().Passphrase, "s3cret pass");
    UnitIF_ADDR_T a{0x0A000002, 0xFFFF0000, 0x0A000001};
    dev->SetEthStaticAddrs(a);
    EXPECT_EQ(get_setting_network()->ip, 0x0A000002u);
    EXPECT_EQ(dev->GetEthStaticAddrs().Gateway, 0x0A000001u);
    dev->SetSettingBarcodeTdx(9, true); // index modulo 8
    EXPECT_TRUE(dev->GetSettingBarcodeTdx(1));
    EXPECT_EQ(get_setting_barcode()->tool[1], 1u);
}

TEST_F(DeviceSettingsTest, VendorTextIsCutAndWrittenAtOnce) {
    UnitVendorInfo_t v{QString(200, 'v')};
    dev->SetVendorInfo(v);
    EXPECT_EQ(dev->GetVendorInfo().Text, QString(127, 'v'));
    std::string file = TestEnv::readFile("vendor");
    ASSERT_EQ(file.size(), 128u);
    EXPECT_EQ(file[127], '\0');
    // Not saved: the text in use stays what the file holds.
    Common_SetWriteFailAfter(0);
    EXPECT_EQ(dev->SetVendorInfo(UnitVendorInfo_t{"new text"}), -1);
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(dev->GetVendorInfo().Text, QString(127, 'v'));
    EXPECT_EQ(TestEnv::readFile("vendor").size(), 128u);
}

TEST_F(DeviceSettingsTest, TimeComesFromThePanelClock) {
    setenv("TZ", "UTC", 1);
    tzset();
    Common_SetFixedTime(1709251199); // 2024-02-29 23:59:59
    UnitTime t = dev->GetTime();
    EXPECT_EQ(t.Year, 2024);
    EXPECT_EQ(t.Month, 2);
    EXPECT_EQ(t.Day, 29);
    EXPECT_EQ(t.Hour, 23);
    EXPECT_EQ(t.Minute, 59);
    EXPECT_EQ(t.Second, 59);
}

TEST_F(DeviceSettingsTest, FactoryResetClearsDataButKeepsVendor) {
    TestEnv::writeFile("regtools", "x");
    TestEnv::writeFile("files/job/a b.job", "x");
    TestEnv::writeFile("vendor", "v");
    dev->FactoryReset();
    EXPECT_FALSE(TestEnv::exists("regtools"));
    EXPECT_FALSE(TestEnv::exists("files/job"));
    EXPECT_FALSE(TestEnv::exists("files/setting/setting.kest"));
    EXPECT_TRUE(TestEnv::exists("files"));
    EXPECT_TRUE(TestEnv::exists("vendor"));
    env->clearStubCalls();
    dev->SystemRestart();
    EXPECT_EQ(env->stubCalls(), std::vector<std::string>{"reboot"});
}

TEST_F(DeviceSettingsTest, StorageUsageFiguresAndMissingPaths) {
    TestEnv::writeFile(env->sysroot() + "/media/mmcblk3p2/.keep", "");
    storageFigures()["/media/mmcblk3p2"] = {8ull << 30, 3ull << 29}; // 8 GiB, 1.5 GiB free
    UnitStorageUsageData d = dev->GetStorageUsage("/media/mmcblk3p2");
    EXPECT_EQ(d.TotalGB, "8.0");
    EXPECT_EQ(d.FreeGB, "1.5");
    EXPECT_EQ(d.UsedGB, "6.5");
    EXPECT_EQ(d.TotalMB, "8192");
    EXPECT_EQ(d.FreeMB, "1536");
    EXPECT_EQ(d.UsedMB, "6656");
    EXPECT_EQ(d.UsedPercent, "81");
    UnitStorageUsageData missing = dev->GetStorageUsage("/media/sdz9");
    EXPECT_TRUE(missing.UsedPercent.isEmpty());
    EXPECT_FALSE(missing.UsedPercent.isNull());
    // The real file system of the data home, without the hook.
    Browser_SetStorageStatHook(nullptr);
    UnitStorageUsageData real = dev->GetStorageUsage(QString::fromStdString(env->home()));
    bool ok = false;
    int pct = real.UsedPercent.toInt(&ok);
    EXPECT_TRUE(ok);
    EXPECT_GE(pct, 0);
    EXPECT_LE(pct, 100);
}
} // namespace
