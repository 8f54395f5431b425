// Device object: settings properties, I/O function checks, vendor text (the clock and
// the factory reset are the status bar's and the settings screen's tests).
#include "ShellFixture.h"
#include "common.h"

#include <QSignalSpy>

namespace {
class DeviceSettingsTest : public ShellTest {};

// The properties no screen test presses (the operation and log rows are the settings
// screen's table, the network and share rows their tabs'): each lands under its own key,
// the text ones converted and cut, the two applied at once saved and sent to the hardware.
TEST_F(DeviceSettingsTest, PropertiesNoScreenPressesWriteTheirOwnKey) {
    struct Row {
        const char* property;
        QVariant value; // differs from the default
        const char* key;
        std::string text; // the value as the file writes it
        bool savedAtOnce;
    };
    const Row rows[] = {
        // GUI text to 8-bit text: what does not fit becomes a blank; the buffer cuts.
        {"FtpUser", QString::fromUtf8("op\u20acr"), "ftp username", "op r", false},
        {"FtpPwd", QString(200, 'x'), "ftp password", std::string(127, 'x'), false},
        {"Brightness", 1, "brightness", "50", true},
        {"Volume", 0, "volume", "mute", true},
    };
    const std::string backlight = env->sysroot() + "/sys/class/backlight/pwm-backlight/brightness";
    TestEnv::writeFile(backlight, "");
    env->clearStubCalls();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.property);
        *get_setting() = *get_default_setting();
        ASSERT_EQ(save_setting(), 0);
        const auto defaults = settingsKeys();
        const QMetaProperty mp =
            dev->metaObject()->property(dev->metaObject()->indexOfProperty(r.property));
        std::unique_ptr<QSignalSpy> spy;
        if (mp.hasNotifySignal()) spy = std::make_unique<QSignalSpy>(dev, mp.notifySignal());
        ASSERT_TRUE(dev->setProperty(r.property, r.value));
        if (spy) {
            EXPECT_EQ(spy->count(), 1);
        }
        const QVariant back = dev->property(r.property);
        if (r.value.typeId() == QMetaType::QString)
            EXPECT_EQ(back.toString().toStdString(), r.text);
        else
            EXPECT_EQ(back.toLongLong(), r.value.toLongLong());
        if (!r.savedAtOnce) {
            EXPECT_EQ(settingsKeys(), defaults); // memory only until SaveSetting
            ASSERT_EQ(dev->SaveSetting(), 0);
        }
        auto saved = settingsKeys();
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
    EXPECT_EQ(std::tuple(dev->GetSysInputName(0), dev->GetSysInputName(15), dev->GetSysOutName(15)),
              std::tuple(QString("Alarm reset"), QString("Job select.1"), QString("Alarm")));
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
}

} // namespace
