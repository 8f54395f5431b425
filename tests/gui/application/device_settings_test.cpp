// Device object: settings properties, I/O function checks, vendor text (the clock and
// the factory reset are the status bar's and the settings screen's tests).
#include "CsvRead.h"
#include "ShellFixture.h"
#include "common.h"

#include <QSignalSpy>
#include <map>

namespace {
class DeviceSettingsTest : public ShellTest {};

// Key lines of the settings file by key.
std::map<std::string, std::string> settingsFile() {
    std::map<std::string, std::string> keys;
    for (const std::string& line : FileLines("files/setting/setting.kest")) {
        size_t eq = line.find("= ");
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        key.erase(key.find_last_not_of(' ') + 1);
        keys[key] = line.substr(eq + 2);
    }
    return keys;
}

// Every settings property against the key it must land under: a setter or getter wired
// to another field changes the wrong line, or reads back the wrong value.
TEST_F(DeviceSettingsTest, EachPropertyWritesItsOwnKey) {
    enum Observers { Silent, Notifies, SavedAtOnce };
    struct Row {
        const char* property;
        QVariant value; // differs from the default
        const char* key;
        const char* text; // the value as the file writes it
        Observers observers;
    };
    const std::string x127(127, 'x');
    const Row rows[] = {
        {"Opmode", 1, "operation mode", "without job", Notifies},
        {"ScrewCountDir", 1, "screw count direction", "down", Notifies},
        {"ScrewCountUnit", 1, "screw count unit", "per job", Notifies},
        {"JobSelType", 1, "job selection type", "direct", Notifies},
        {"BarcodeIF", 1, "barcode interfae", "remote", Notifies},
        {"AutoStartJobOnBoot", true, "auto start job on boot", "true", Notifies},
        {"SkipWithoutPwd", false, "skip without pwd", "false", Notifies},
        {"BackWithoutPwd", false, "back without pwd", "false", Notifies},
        {"ResetWithoutPwd", false, "reset without pwd", "false", Notifies},
        {"DispJobReset", false, "disp job reset", "false", Notifies},
        {"JobSelWithoutPwd", false, "job sel without pwd", "false", Notifies},
        {"AutoRestartJob", false, "auto job restart", "false", Notifies},
        {"BackupManager", true, "backup manager", "true", Notifies},
        {"BitSocketTray", true, "bit socket tray", "true", Notifies},
        {"LogPath", 1, "path", "micro sd", Notifies},
        {"LogToolname", false, "tool name", "false", Notifies},
        {"LogBarcode", false, "barcode", "false", Notifies},
        {"LogFtime", false, "fasten time", "false", Notifies},
        {"LogPreset", false, "preset no", "false", Notifies},
        {"LogTtorque", false, "target torque", "false", Notifies},
        {"LogCtorque", false, "converted torque", "false", Notifies},
        {"LogSpeed", false, "speed", "false", Notifies},
        {"LogA1", true, "a1", "true", Notifies},
        {"LogA2", true, "a2", "true", Notifies},
        {"LogA3", false, "a3", "false", Notifies},
        {"LogScrewNo", false, "screw no", "false", Notifies},
        {"LogError", false, "error", "false", Notifies},
        {"LogDirection", false, "direction", "false", Notifies},
        {"LogStatus", false, "status", "false", Notifies},
        {"LogSnug", true, "snug", "true", Notifies},
        {"EthDhcp", 0, "dhcp", "static", Notifies},
        {"WifiBand", 0, "band", "2.4G", Notifies},
        {"WifiCountry", 2, "country", "jp", Notifies},
        {"WifiChannelMode", 1, "channel mode", "manual", Notifies},
        {"WifiManualChannel", 165, "manual channel", "165", Notifies},
        {"FtpEnable", false, "ftp enable", "false", Notifies},
        // GUI text to 8-bit text: what does not fit becomes a blank; the buffer cuts.
        {"FtpUser", QString::fromUtf8("op\u20acr"), "ftp username", "op r", Silent},
        {"FtpPwd", QString(200, 'x'), "ftp password", x127.c_str(), Silent},
        {"BefEnable", true, "bef enable", "true", Notifies},
        {"BefServerIp", 0x0A000105u, "bef server ip", "10.0.1.5", Silent},
        {"BefServerPort", 5020, "bef port", "5020", Silent},
        {"Brightness", 1, "brightness", "50", SavedAtOnce},
        {"Volume", 0, "volume", "mute", SavedAtOnce},
    };
    const std::string backlight = env->sysroot() + "/sys/class/backlight/pwm-backlight/brightness";
    TestEnv::writeFile(backlight, "");
    env->clearStubCalls();
    const QMetaObject* mo = dev->metaObject();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.property);
        *get_setting() = *get_default_setting();
        ASSERT_EQ(save_setting(), 0);
        const auto defaults = settingsFile();
        QMetaProperty mp = mo->property(mo->indexOfProperty(r.property));
        ASSERT_TRUE(mp.isValid());
        EXPECT_EQ(mp.hasNotifySignal(), r.observers != Silent);
        std::unique_ptr<QSignalSpy> spy;
        if (mp.hasNotifySignal()) spy = std::make_unique<QSignalSpy>(dev, mp.notifySignal());

        ASSERT_TRUE(dev->setProperty(r.property, r.value));
        if (spy) {
            EXPECT_EQ(spy->count(), 1);
        }
        QVariant back = dev->property(r.property);
        if (r.value.typeId() == QMetaType::QString)
            EXPECT_EQ(back.toString().toStdString(), r.text);
        else
            EXPECT_EQ(back.toLongLong(), r.value.toLongLong());
        if (r.observers != SavedAtOnce) {
            EXPECT_EQ(settingsFile(), defaults); // memory only until SaveSetting
            ASSERT_EQ(dev->SaveSetting(), 0);
        }
        auto saved = settingsFile();
        ASSERT_EQ(saved.size(), defaults.size());
        EXPECT_EQ(saved[r.key], r.text);
        for (const auto& [key, text] : defaults) {
            if (key != r.key) {
                EXPECT_EQ(saved[key], text) << key;
            }
        }
    }
    // The two applied at once reached the hardware (the mixer once).
    EXPECT_EQ(TestEnv::readFile(backlight), "50\n");
    EXPECT_EQ(env->stubCalls(), std::vector<std::string>{"amixer sset Speaker 0%"});
}

TEST_F(DeviceSettingsTest, IoFunctionsRefuseOutOfRangeWithExactMessages) {
    LogCapture log;
    enum Call { GetIn, GetOut, SetIn, SetOut };
    struct Case {
        Call call;
        int port, func;
        const char* message;
    };
    const Case cases[] = {
        {GetIn, 16, 0, "GetSysInputFunc.19) invalid input no, 16"},
        {GetIn, -1, 0, "GetSysInputFunc.19) invalid input no, -1"},
        {GetOut, 19, 0, "GetSysOutFunc.19) invalid output no, 19"},
        {SetIn, 3, 16, "SetSysInputFunc.15) invalid sys input val, 16"},
        {SetIn, 20, 1, "SetSysInputFunc.20) invalid input no, 20"},
        {SetOut, 3, 9, "SetSysOutFunc.15) invalid sys output val, 9"},
        {SetOut, 16, 1, "SetSysOutFunc.20) invalid output no, 16"},
    };
    get_setting_io()->output[3] = 5;
    get_setting_io()->input[3] = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        log.clear();
        int got = -1; // the setters return nothing
        if (c.call == GetIn) got = dev->GetSysInputFunc(c.port);
        if (c.call == GetOut) got = dev->GetSysOutFunc(c.port);
        if (c.call == SetIn) dev->SetSysInputFunc(c.port, c.func);
        if (c.call == SetOut) dev->SetSysOutFunc(c.port, c.func);
        EXPECT_EQ(got, -1);
        EXPECT_EQ(log.lines(),
                  std::vector<std::string>{std::string("(Application::DeviceClass.") + c.message});
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
    EXPECT_EQ(dev->SetVendorInfo(UnitVendorInfo_t{QString(200, 'v')}), 0); // saved at once
    EXPECT_EQ(dev->GetVendorInfo().Text, QString(127, 'v'));
    Common_SetWriteFailAfter(0);
    EXPECT_EQ(dev->SetVendorInfo(UnitVendorInfo_t{"new text"}), -1);
    Common_SetWriteFailAfter(-1);
    UnitWIFI_CONF_T w{"cell-7", "s3cret pass"};
    dev->SetWifiConf(w);
    EXPECT_EQ(dev->GetWifiConf().Ssid, "cell-7");
    EXPECT_EQ(dev->GetWifiConf().Passphrase, "s3cret pass");
    UnitIF_ADDR_T a{0x0A000002, 0xFFFF0000, 0x0A000001};
    dev->SetEthStaticAddrs(a);
    EXPECT_EQ(get_setting_network()->ip, 0x0A000002u);
    EXPECT_EQ(dev->GetEthStaticAddrs().Gateway, 0x0A000001u);
    dev->SetSettingBarcodeTdx(9, true); // index modulo 8, below zero too
    EXPECT_TRUE(dev->GetSettingBarcodeTdx(-7));
    EXPECT_EQ(get_setting_barcode()->tool[1], 1u);
    dev->SetSettingBarcodeTdx(1, false);
    EXPECT_FALSE(dev->GetSettingBarcodeTdx(9));
}

// The figures of a drive as the storage tab shows them are the file browser's tests.
TEST_F(DeviceSettingsTest, StorageUsageOfMissingAndRealPaths) {
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
