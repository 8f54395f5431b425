// Settings store: first start, file format, parsing rules, legacy image, vendor block,
// brightness and volume, and saves that survive an interrupted write.
#include "unit_common.h"

namespace {
const char* kFile = "./files/setting/setting.kest";

class SettingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Debug_SetQuiet(true);
        TestEnv::writeFile(env.sysroot() + "/sys/class/backlight/pwm-backlight/brightness", "");
    }
    std::string line(const char* key, const std::string& value) {
        char buf[64];
        snprintf(buf, sizeof buf, "%-30s= ", key);
        return buf + value + "\n";
    }
    TestEnv env;
};
} // namespace

TEST_F(SettingTest, FirstStartDefaultsVolumeBrightnessAndTodaysLogFolderOnTheCardOnlyWhenIn) {
    ASSERT_EQ(load_setting(), 0);
    std::string text = TestEnv::readFile(kFile);
    ASSERT_GT(text.size(), 58u);
    EXPECT_EQ(text.substr(0, 58), "\n" + std::string(56, '#') + "\n");
    EXPECT_NE(text.find("#\n# Setting -> Operation\n#\n"), std::string::npos);
    for (auto [key, value] : {std::pair{"operation mode", "with job"},
                              {"ip", "192.168.0.85"},
                              {"manual channel", "-1"},
                              {"ssid", "quillet"},
                              {"band", "5G"},
                              {"volume", "100"},
                              {"skip without pwd", "true"},
                              {"a1", "false"}})
        EXPECT_NE(text.find(line(key, value)), std::string::npos) << key;
    // The brightness file and the mixer got the defaults.
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/backlight/pwm-backlight/brightness"),
              "100\n");
    EXPECT_EQ(env.stubCalls(), std::vector<std::string>{"amixer sset Speaker 100%"});
    // Today's log directory.
    struct tm tm;
    Common_LocalTime(&tm);
    char dir[64];
    snprintf(dir, sizeof dir, "files/log/%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1,
             tm.tm_mday);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    // A later start applies the file's volume and brightness.
    env.clearStubCalls();
    TestEnv::writeFile(kFile, line("volume", "75") + line("brightness", "50"));
    ASSERT_EQ(load_setting(), 0);
    EXPECT_EQ(get_setting_system()->volume, 3u);
    EXPECT_EQ(env.stubCalls(), std::vector<std::string>{"amixer sset Speaker 95%"});
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/backlight/pwm-backlight/brightness"),
              "50\n");
    // an index, its volume and brightness percentages
    const std::tuple<uint32_t, int, int> maps[] = {{0, 0, 25},   {1, 85, 50},   {2, 90, 75},
                                                   {3, 95, 100}, {4, 100, 100}, {7, 100, 100}};
    for (const auto& [idx, vol, bright] : maps)
        EXPECT_EQ(std::pair(volume_percent(idx), brightness_percent(idx)), std::pair(vol, bright))
            << idx;
    // Today's log folder goes on the card only when it is in and mounted.
    TestEnv::writeFile(kFile, line("path", "micro sd"));
    for (bool card : {false, true}) {
        if (card) env.insertCard(false);
        ASSERT_EQ(load_setting(), 0);
        EXPECT_FALSE(fs::exists(setting_log_dir_today())) << "nothing in the empty mount point";
    }
    env.mountCard();
    ASSERT_EQ(load_setting(), 0);
    EXPECT_TRUE(fs::is_directory(setting_log_dir_today())) << setting_log_dir_today();
}

TEST_F(SettingTest, EveryKeyRoundTripsThroughTheFile) {
    load_setting();
    auto* rec = reinterpret_cast<unsigned char*>(get_setting());
    const auto* dft = reinterpret_cast<const unsigned char*>(get_default_setting());
    // Each key owns its own bytes, and every field of the record has a key (the 3 bytes
    // after "bst tool name" are padding): a value per key is a value per field.
    std::vector<int> owner(sizeof(Setting), -1);
    for (size_t i = 0; i < configs_count; ++i) {
        const SettingConfig& c = configs[i];
        if (c.type == CFG_SECTION) continue;
        ASSERT_LE(c.offset + c.width, sizeof(Setting)) << c.key;
        for (size_t b = c.offset; b < c.offset + c.width; ++b) {
            EXPECT_EQ(owner[b], -1) << c.key << " overlaps another key";
            owner[b] = int(i);
        }
        // A value other than the default, of the key's kind.
        uint32_t v = 0, old = 0;
        memcpy(&old, dft + c.offset, std::min<size_t>(c.width, 4));
        size_t n = 0;
        switch (c.type) {
        case CFG_BOOL:
            v = old ? 0 : 1;
            break;
        case CFG_ENUM:
            while (c.values[n][0])
                ++n;
            v = uint32_t((old + 1) % n);
            break;
        case CFG_INT:
            v = uint32_t(-7 - int(i));
            break;
        case CFG_IPV4:
            v = 0x0A000100u + uint32_t(i);
            break;
        case CFG_STRING:
            memset(rec + c.offset, 0, c.width);
            snprintf(reinterpret_cast<char*>(rec + c.offset), c.width, "v %zu", i);
            continue;
        }
        memcpy(rec + c.offset, &v, std::min<size_t>(c.width, 4));
    }
    EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 3);
    Setting saved;
    memcpy(&saved, get_setting(), sizeof saved);
    ASSERT_EQ(save_setting(), 0);
    ASSERT_EQ(load_setting(), 0); // defaults, then the file
    EXPECT_EQ(memcmp(&saved, get_setting(), sizeof saved), 0);
}

TEST_F(SettingTest, ParsingRules) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 131) & 0xff);
    const std::tuple<std::string, std::function<bool(const Setting&)>, const char*> cases[] = {
        {"band = 2.4G\n", [](auto& s) { return s.network.band == 0; }, "single blanks"},
        {"band=2.4G\n", [](auto& s) { return s.network.band == 1; }, "no blanks: ignored"},
        {line("brightness", "100"), [](auto& s) { return s.system.brightness == 3; }, "100"},
        {line("input.1", "job select 1"), [](auto& s) { return s.io.input[0] == 1; },
         "first match"},
        {line("manual channel", "abc"), [](auto& s) { return s.network.manual_channel == 0; },
         "not a number"},
        {line("bef port", "99999999999999"), [](auto& s) { return s.share.bef_port == 0x7FFFFFFF; },
         "huge"},
        {line("gateway", "10.1.2"), [](auto& s) { return s.network.gateway == 0xC0A80001; },
         "bad ip keeps the default"},
        {line("a1", "maybe"), [](auto& s) { return s.log.a1 == 0; }, "bool unchanged"},
        {line("a1", "  true"), [](auto& s) { return s.log.a1 == 1; }, "bool contains"},
        {line("dhcp", "nothing"), [](auto& s) { return s.network.dhcp == 1; }, "enum unchanged"},
        {line("unknown key", "1") + "# comment = x\n\n",
         [](auto& s) { return memcmp(&s, get_default_setting(), sizeof s) == 0; },
         "unknown, comment, empty"},
        {line("Setting -> Operation", "x"),
         [](auto& s) { return memcmp(&s, get_default_setting(), sizeof s) == 0; }, "section name"},
        {line("ssid", std::string(300, 'w')), [](auto& s) { return strlen(s.network.ssid) == 127; },
         "long string truncated"},
        {line("ssid", "a = b"), [](auto& s) { return strcmp(s.network.ssid, "a") == 0; },
         "second ="},
        {line("default job name", ""), [](auto& s) { return s.operation.default_job_name[0] == 0; },
         "empty"},
        {" band = 2.4G\n", [](auto& s) { return s.network.band == 1; }, "leading blank kept"},
        // Longer than one read, and bytes of every value: no crash, the rest still read.
        {std::string(5000, 'k') + " = x\n" + line("volume", "25") + garbage + "\n" +
             line("operation mode", "without job"),
         [](auto& s) {
             return s.system.volume == 1 && s.operation.operation_mode == 1 &&
                    s.network.ip == get_default_setting()->network.ip;
         },
         "bad input keeps defaults"},
        // The 1000th character starts a new read: a key placed there is seen as a line.
        {std::string(999, 'x') + line("volume", "50"), [](auto& s) { return s.system.volume == 2; },
         "line split into reads"},
    };
    for (const auto& [text, check, what] : cases) {
        Setting s;
        memcpy(&s, get_default_setting(), sizeof s);
        setting_parse_text(&s, text.data(), text.size());
        EXPECT_TRUE(check(s)) << what;
    }
}

TEST(SettingAddress, DottedDecimalOctetsAndRefusals) {
    const std::tuple<const char*, uint32_t> cases[] = {
        {"192.168.0.85", 0xC0A80055},
        {"192.168.000.085", 0xC0A80055},
        {"010.001.002.008", 0x0A010208}, // decimal, not octal
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFF},
        {" \t10.0.0.1", 0x0A000001},
    };
    for (const auto& [text, value] : cases) {
        uint32_t v = 0x5A5A5A5A;
        EXPECT_EQ(std::pair(setting_parse_ipv4(text, &v), v), std::pair(0, value)) << text;
    }
    for (const char* bad :
         {"256.1.1.1", "1.2.3.1000", "99999999999.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.", ".1.2.3",
          "1..2.3", "1.2.3.4x", "1.2.3.4 5", "-1.2.3.4", "+1.2.3.4", "0x7f.0.0.1", "", "a.b.c.d"}) {
        uint32_t v = 0x5A5A5A5A;
        EXPECT_EQ(std::pair(setting_parse_ipv4(bad, &v), v), std::pair(-1, 0x5A5A5A5Au))
            << bad << ": unchanged when refused";
    }
    LogCapture log;
    Setting s;
    memcpy(&s, get_default_setting(), sizeof s);
    std::string text = "gateway = 192.168.0.300\n";
    setting_parse_text(&s, text.data(), text.size());
    EXPECT_TRUE(
        log.contains("\"192.168.0.300\" is not an address for \"gateway\", kept 192.168.0.1"));
}

TEST_F(SettingTest, LegacyImageIsConvertedOnceAfterTheNewFileAndAnUnreadableOneIsMovedAside) {
    std::string img(1140, '\0');
    img[0] = 1; // operation mode "without job"
    // bytes 16.. of the image land at record offset 20: "auto start job on boot" = 1
    img[16] = 1;
    memcpy(&img[1004 - 4], "4321", 4); // login password (record offset 1004)
    img[1136 - 4] = 2;                 // brightness index 2
    TestEnv::writeFile("./files/setting/setting.conf", img);
    Common_SetWriteFailAfter(0); // storage full
    load_setting();
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(get_setting_operation()->operation_mode, 1u) << "the values are in use anyway";
    EXPECT_TRUE(TestEnv::exists("./files/setting/setting.conf"));
    ASSERT_EQ(load_setting(), 0); // the next start converts it again
    const SettingOperation& op = *get_setting_operation();
    EXPECT_EQ(std::tuple(op.operation_mode, op.barcode_if, op.auto_start_job,
                         std::string(get_setting_system()->login_password),
                         get_setting_system()->brightness),
              std::tuple(1u, 0u, 1u, "4321", 2u));
    EXPECT_FALSE(TestEnv::exists("./files/setting/setting.conf"));
    EXPECT_NE(TestEnv::readFile(kFile).find(line("operation mode", "without job")),
              std::string::npos);
    // An image of another size is deleted, not read.
    fs::remove(kFile);
    TestEnv::writeFile("./files/setting/setting.conf", std::string(1144, '\1'));
    ASSERT_EQ(load_setting(), 0);
    EXPECT_FALSE(TestEnv::exists("./files/setting/setting.conf"));
    EXPECT_EQ(memcmp(get_setting(), get_default_setting(), sizeof(Setting)), 0);
    EXPECT_TRUE(TestEnv::exists(kFile));
    fs::remove(kFile);
    // Stands for a file the panel cannot read (I/O error): a folder under its name.
    fs::create_directories(std::string(kFile) + "/keep");
    get_setting_system()->volume = 1; // so that the defaults must come from the load
    LogCapture log;
    ASSERT_EQ(load_setting(), 0);
    EXPECT_EQ(memcmp(get_setting(), get_default_setting(), sizeof(Setting)), 0);
    EXPECT_TRUE(log.contains("cannot be read"));
    EXPECT_TRUE(fs::exists(std::string(kFile) + ".unreadable/keep")) << "kept for diagnosis";
    EXPECT_EQ(save_setting(), 0) << "the defaults can be saved in its place";
    EXPECT_TRUE(fs::is_regular_file(kFile));
}

TEST_F(SettingTest, VendorBlockKeeps127CharactersChangesOnlyOnceSavedAndSavesAreWholeOrNone) {
    load_setting();
    ASSERT_EQ(set_vendor_info(std::string(200, 'v').c_str()), 0);
    EXPECT_EQ(strlen(get_vendor_info()), 127u);
    const std::string file = TestEnv::readFile("vendor");
    EXPECT_EQ(file, std::string(127, 'v') + '\0');
    Common_SetWriteFailAfter(0);
    EXPECT_EQ(set_vendor_info("new text"), -1);
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(TestEnv::readFile("vendor"), file);
    EXPECT_EQ(strlen(get_vendor_info()), 127u) << "the text in use is what the file holds";
    memset(get_vendor_info(), 0, 128);
    read_vendor_info();
    EXPECT_EQ(std::string(get_vendor_info()), std::string(127, 'v'));
    // An interrupted save leaves the old or the new file.
    std::string old = TestEnv::readFile(kFile);
    setting_set_str(get_setting_network()->ssid, 128, "changed");
    std::string fresh = setting_format_text(get_setting());
    for (long cut : {0L, 1L, 100L, long(fresh.size()) / 2, long(fresh.size()) - 1}) {
        Common_SetWriteFailAfter(cut);
        EXPECT_EQ(save_setting(), -1) << cut;
        EXPECT_EQ(TestEnv::readFile(kFile), old) << cut;
    }
    Common_SetWriteFailAfter(-1);
    ASSERT_EQ(save_setting(), 0);
    EXPECT_EQ(TestEnv::readFile(kFile), fresh);
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator("./files/setting"), fs::directory_iterator()),
              1);
}
