// The tool network dialog: what its form conversion does beyond the rows, and the dialog against a
// Modbus RTU slave on a pseudo-terminal plugged in as the tool's USB serial port.
// Register values are written out by hand (first character in the high byte), apart from
// the panel's own conversion.
#include "RtuPeer.h"
#include "TestPaths.h"
#include "UsbShellFixture.h"
#include "page/network/NetworkImage.h"
#include "page/network/PageNetwork.h"
#include "usb.h"

#include <QComboBox>
#include <QRadioButton>
#include <filesystem>
#include <numeric>

namespace fs = std::filesystem;
using Regs = std::map<int, uint16_t>;

namespace {

// What the dialog's rows do not type: a Latin-1 letter, a text cut to its 31 characters,
// ports that are no port (the dialog's rows press the rest and check every register).
TEST(NetworkImage, TextAndPortsTheDialogRowsDoNotType) {
    QVector<uint16_t> image(53, 0xffff);
    NetworkImage::PutText(image, 20, QString::fromLatin1("\xe9"));
    EXPECT_EQ(image[20], 0x00e9);
    EXPECT_EQ(NetworkImage::TextAt(image, 20), QString::fromLatin1("\xe9"));
    NetworkImage::PutText(image, 36, QString(40, 'x')); // 31 kept, NUL last
    EXPECT_EQ(NetworkImage::TextAt(image, 36), QString(31, 'x'));
    EXPECT_EQ(image[51], 0x0078);
    const QVector<uint16_t> read(53, 7);
    for (const char* port : {"50a", "70000"}) {
        NetworkForm f = NetworkImage::FormOf(read);
        f.Port = port;
        EXPECT_EQ(NetworkImage::ImageOf(f, read)[14], 5000) << port;
    }
}

class PageNetworkTest : public UsbShellTest {
  protected:
    void SetUp() override {
        UsbShellTest::SetUp();
        // chmod of the serial node is recorded, not run.
        std::string stubs = env->root() + "/tty-stubs";
        fs::create_directories(stubs);
        fs::create_symlink(std::string(KEST_SOURCE_DIR) + "/sim/stubs/record-stub",
                           stubs + "/chmod");
        setenv("PATH", (stubs + ":" + getenv("PATH")).c_str(), 1);
        fs::create_directories(env->sysroot() + "/dev");
        node = env->sysroot() + "/dev/ttyACM0";
        makeRoot();
    }
    // The tool's registers: Wi-Fi on, static 192.168.0.50/255.255.255.0 via 192.168.0.1,
    // port 5020, SSID "ABC", pass phrase "pass1234", country 2; 282..286 hold 0xAAAA.
    static Regs toolRegs() {
        Regs r = {{267, 1},      {268, 0},      {281, 5020},   {287, 0x4142}, {288, 0x4300},
                  {303, 0x7061}, {304, 0x7373}, {305, 0x3132}, {306, 0x3334}, {319, 2}};
        const int octets[12] = {192, 168, 0, 50, 255, 255, 255, 0, 192, 168, 0, 1};
        for (int i = 0; i < 12; ++i)
            r[269 + i] = uint16_t(octets[i]);
        for (int a = 282; a <= 286; ++a)
            r[a] = 0xAAAA;
        return r;
    }
    void load(RtuPeer& peer, const Regs& regs) {
        for (int a = 267; a <= 319; ++a)
            peer.set(a, regs.count(a) ? regs.at(a) : 0);
        peer.clearWrites();
    }
    void plug() {
        src.Plug(0x0483, 0x5740);
        ASSERT_TRUE(until([&] { return root->NetworkDialog() != nullptr; }));
    }
    void pull() {
        src.Pull(0x0483, 0x5740);
        ASSERT_TRUE(until([&] { return root->NetworkDialog() == nullptr; }));
    }
    void setField(const char* name, const QString& text) {
        auto* e = find<QLineEdit>(name);
        ASSERT_NE(e, nullptr) << name;
        e->clear();
        QTest::keyClicks(e, text);
    }
    std::string node;
};

TEST_F(PageNetworkTest, ReadEditWriteAsTheToolHoldsThem) {
    setting_set_str(get_setting_network()->ssid, 128, "panel-ap");
    setting_set_str(get_setting_network()->wifi_password, 128, "secret123");
    RtuPeer peer(node, 267, 53);
    const Regs read = toolRegs();
    // SSID "XYZW", pass phrase "12345678", the last octet 77, the default port.
    const Regs edited = {{287, 0x5859}, {288, 0x5A57}, {303, 0x3132}, {304, 0x3334},
                         {305, 0x3536}, {306, 0x3738}, {272, 77},     {281, 5000}};
    // The panel's own "panel-ap" and "secret123".
    const Regs panelWifi = {{287, 0x7061}, {288, 0x6E65}, {289, 0x6C2D}, {290, 0x6170},
                            {291, 0},      {303, 0x7365}, {304, 0x6372}, {305, 0x6574},
                            {306, 0x3132}, {307, 0x3300}};
    // What, the presses, the registers changed from `read`, anything written (when not,
    // nothing is).
    const std::tuple<const char*, std::function<void()>, Regs, bool> rows[] = {
        {"unchanged", [&] { press("netApply"); }, {}, true},
        {"edited",
         [&] {
             setField("netSsid", "XYZW");
             setField("netPsk", "12345678");
             setField("netIp3", "77");
             setField("netPort", "");
             press("netApply");
         },
         edited, true},
        {"dhcp",
         [&] {
             auto* dhcp = find<QAbstractButton>("netDhcp");
             ASSERT_NE(dhcp, nullptr);
             QTest::mouseClick(dhcp, Qt::LeftButton, {},
                               QPoint(12, dhcp->height() / 2)); // its indicator
             flush();
             EXPECT_EQ(find<QLineEdit>("netIp0")->text(), "");
             EXPECT_FALSE(find<QLineEdit>("netIp0")->isEnabled());
             press("netApply");
         },
         {{268, 1}},
         true},
        {"panel's Wi-Fi",
         [&] {
             press("netPanelWifi");
             press("netApply");
         },
         panelWifi, true},
        {"cancel",
         [&] {
             setField("netSsid", "nope");
             press("netCancel");
         },
         {},
         false},
        {"panel's SSID of 32 is refused, not cut",
         [&] {
             setting_set_str(get_setting_network()->ssid, 128, std::string(32, 's').c_str());
             press("netPanelWifi");
             press("netApply");
             auto* error = find<QLabel>("netError");
             EXPECT_EQ(error ? error->text() : "", "Invalid SSID length (max 31)");
             if (root->NetworkDialog()) press("netCancel");
         },
         {},
         false},
    };
    // The order the dialog writes in: 267..281, 319, 287..318.
    std::vector<int> order(15 + 1 + 32);
    std::iota(order.begin(), order.begin() + 15, 267);
    order[15] = 319;
    std::iota(order.begin() + 16, order.end(), 287);
    for (const auto& [what, act, changed, sent] : rows) {
        load(peer, read);
        plug();
        QStringList form;
        for (const char* name : {"netSsid", "netPsk", "netIp0", "netGw3", "netPort"})
            form << find<QLineEdit>(name)->text();
        form << find<QComboBox>("netWifi")->currentText()
             << find<QComboBox>("netCountry")->currentText();
        EXPECT_EQ(form, (QStringList{"ABC", "pass1234", "192", "1", "5020", "   On", "Europe"}))
            << what;
        EXPECT_TRUE(find<QRadioButton>("netStatic")->isChecked()) << what;
        if (std::string(what) == "unchanged") shot("PageNetwork");
        act();
        flush();
        EXPECT_EQ(root->NetworkDialog(), nullptr) << what;
        std::vector<std::pair<int, uint16_t>> want;
        for (int a : order)
            if (sent)
                want.push_back({a, changed.count(a) ? changed.at(a)
                                   : read.count(a)  ? read.at(a)
                                                    : 0});
        EXPECT_EQ(peer.writes(), want) << what;
        for (int a = 282; a <= 286; ++a)
            EXPECT_EQ(peer.get(a), 0xAAAA) << what;
        src.Pull(0x0483, 0x5740);
        ASSERT_TRUE(until([&] { return dev->GetTtyNetinfo().size() && !tty_link_open(); }));
    }
    EXPECT_EQ(std::ranges::count(env->stubCalls(), "chmod a+rw " + node), 6);
}

TEST_F(PageNetworkTest, PullingTheToolClosesTheDialogAndSendsNothing) {
    RtuPeer peer(node, 267, 53);
    load(peer, toolRegs());
    plug();
    setField("netSsid", "changed");
    pull();
    EXPECT_TRUE(peer.writes().empty());
    EXPECT_EQ(sounds(UiSoundKind::Tap), 0);
}

// A tool that stops answering costs one wait, not one per register left; the dialog stays
// open and says so.
TEST_F(PageNetworkTest, ATransferCutOffStopsAtTheFirstUnansweredWrite) {
    RtuPeer peer(node, 267, 53);
    load(peer, toolRegs());
    plug();
    peer.answerWrites(3);
    press("netApply");
    EXPECT_EQ(peer.writes().size(), 4u);
    EXPECT_NE(root->NetworkDialog(), nullptr);
    EXPECT_EQ(find<QLabel>("netError")->text(), "Could not send to the tool.");
    pull();
}

TEST_F(PageNetworkTest, AShortReadOpensNoDialog) {
    LogCapture log;
    RtuPeer peer(node, 267, 30); // the tool answers the request with an error
    src.Plug(0x0483, 0x5740);
    ASSERT_TRUE(until([&] { return log.contains("read network registers fail"); }));
    ASSERT_TRUE(until([&] { return tty_link_open() == 1; }));
    EXPECT_EQ(root->NetworkDialog(), nullptr);
    pull(); // the link closes with the departure
    EXPECT_EQ(tty_link_open(), 0);
}
} // namespace
