// Sound: real alsa-lib, "default" routed by a test configuration to the file plugin,
// so every test checks the exact samples that reached the device.
#include "sound.h"
#include "unit_common.h"

#include <cstdlib>

namespace {
std::string samplesOf(const std::string& wav) {
    SoundWaveInfo w{};
    if (Sound_ParseWave(reinterpret_cast<const uint8_t*>(wav.data()), wav.size(), &w) != 0)
        return {};
    return wav.substr(w.dataOffset, w.dataLength);
}

std::string makeWave(uint32_t frames, uint16_t channels, uint32_t rate, uint8_t seed) {
    std::string data;
    for (uint32_t i = 0; i < frames * channels; ++i) {
        data.push_back(char((i * 7 + seed) & 0xff));
        data.push_back(char((i >> 3) & 0x7f));
    }
    auto le = [](std::string& s, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            s.push_back(char((v >> (8 * i)) & 0xff));
    };
    std::string h = "RIFF", fmt = "WAVEfmt ", chunk = "data";
    le(h, 36 + uint32_t(data.size()), 4);
    // format: its size, PCM, channels, rate, bytes a second, bytes a frame, bits
    for (auto [v, n] : {std::pair{16u, 4},
                        {1u, 2},
                        {channels, 2},
                        {rate, 4},
                        {rate * channels * 2, 4},
                        {channels * 2u, 2},
                        {16u, 2}})
        le(fmt, v, n);
    le(chunk, uint32_t(data.size()), 4);
    return h + fmt + chunk + data;
}

// Compares played bytes without dumping kilobytes of samples on a mismatch.
::testing::AssertionResult sameBytes(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    const auto at = std::ranges::mismatch(got, want).in1 - got.begin();
    return ::testing::AssertionFailure() << "played " << got.size() << " bytes, expected "
                                         << want.size() << ", first difference at " << at;
}

class SoundTest : public ::testing::Test {
  protected:
    TestEnv env;
    std::string out;

    void SetUp() override {
        out = env.root() + "/played.raw";
        fs::create_directories(env.home() + "/sound");
        for (const char* n : {"tab.wav", "ok.wav", "ng.wav"})
            fs::copy_file(std::string(KEST_SOURCE_DIR) + "/data/sound/" + n,
                          env.home() + "/sound/" + n);
        routeTo("{ type file\n slave.pcm { type null }\n file \"" + out +
                "\"\n format \"raw\"\n}\n");
    }
    void routeTo(const std::string& pcmDefault) {
        std::string conf = env.root() + "/asound.conf";
        TestEnv::writeFile(conf, "pcm.!default " + pcmDefault);
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    static std::string wav(const char* n) { return TestEnv::readFile(std::string("sound/") + n); }
    std::string played() const { return TestEnv::readFile(out); }
    // What reached the device once the worker took every request and played the one in hand.
    std::string playedAfterTheQueue() const {
        EXPECT_TRUE(kest_test::WaitUntil([] { return WorkQueue_Length(Sound_GetMsgQ()) == 0; }));
        Threads_RunSync(LOOP_SOUND, [] {});
        return played();
    }
    void startWorker() {
        Threads_Init();
        Threads_RunSync(LOOP_SOUND, [] {}); // the worker's set-up has run
        ASSERT_NE(Sound_GetMsgQ(), nullptr);
    }
};
} // namespace

// Start-up plays the tap once on the calling thread; requests before the worker starts are
// lost, later ones play in order; numbers outside the table are ignored.
TEST_F(SoundTest, StartupTapThenQueuedSoundsInOrderAndNumbersOutsideTheTableIgnored) {
    Sound_Init();
    const std::string tab = samplesOf(wav("tab.wav")), ok = samplesOf(wav("ok.wav")),
                      ng = samplesOf(wav("ng.wav"));
    EXPECT_TRUE(sameBytes(played(), tab));
    EXPECT_EQ(Sound_GetLength(SOUND_TAB), wav("tab.wav").size());
    EXPECT_EQ(Sound_PushMsgQ(SOUND_OK), -1);
    startWorker();
    ASSERT_FALSE(ok.empty());
    Sound_PushMsgQ(SOUND_OK);
    Sound_PushMsgQ(SOUND_OK);
    EXPECT_TRUE(sameBytes(playedAfterTheQueue(), tab + ok + ok));
    Sound_PushMsgQ(SOUND_OK);
    EXPECT_TRUE(sameBytes(playedAfterTheQueue(), tab + ok + ok + ok));
    Sound_PushMsgQ(SOUND_NG);
    Sound_PushMsgQ(SOUND_NG);
    const std::string before = tab + ok + ok + ok + ng + ng;
    EXPECT_TRUE(sameBytes(playedAfterTheQueue(), before));
    Sound_Play(3);
    Sound_Play(-1);
    EXPECT_TRUE(sameBytes(played(), before));
    Sound_PushMsgQ(3);
    Sound_PushMsgQ(1000);
    Sound_PushMsgQ(SOUND_NG); // played after the ignored ones, in order
    EXPECT_TRUE(sameBytes(playedAfterTheQueue(), before + ng));
}

TEST_F(SoundTest, ElevenRequestsWhileBusyKeepTenAndDropTheEleventh) {
    Sound_Init();
    startWorker();
    // Hold the sound worker as a long sound would.
    std::promise<void> entered, release;
    auto releaseFuture = release.get_future().share();
    std::thread holder([&] {
        Threads_RunSync(LOOP_SOUND, [&] {
            entered.set_value();
            releaseFuture.wait();
        });
    });
    entered.get_future().wait();
    int accepted = 0;
    for (int i = 0; i < 11; ++i)
        accepted += Sound_PushMsgQ(SOUND_OK) == 0;
    EXPECT_EQ(accepted, 10);
    EXPECT_EQ(Sound_PushMsgQ(SOUND_NG), -1);
    release.set_value();
    holder.join();
    const std::string tab = samplesOf(wav("tab.wav")), ok = samplesOf(wav("ok.wav"));
    std::string expect = tab;
    for (int i = 0; i < 10; ++i)
        expect += ok;
    EXPECT_TRUE(sameBytes(playedAfterTheQueue(), expect));
    // Once drained the queue takes requests again.
    EXPECT_EQ(Sound_PushMsgQ(SOUND_OK), 0);
}

TEST_F(SoundTest, LastPartialWriteUnitIsPlayed) {
    // 10007 frames (a prime) cannot be a whole number of two-period units.
    TestEnv::writeFile("sound/ng.wav", makeWave(10007, 2, 11025, 5));
    TestEnv::writeFile("sound/ok.wav", makeWave(10007, 1, 8000, 9));
    Sound_Init();
    size_t base = played().size();
    Sound_Play(SOUND_OK);
    Sound_Play(SOUND_NG);
    std::string all = played();
    std::string ok = samplesOf(wav("ok.wav")), ng = samplesOf(wav("ng.wav"));
    ASSERT_EQ(ok.size(), 10007u * 2);
    ASSERT_EQ(ng.size(), 10007u * 4);
    EXPECT_TRUE(sameBytes(all.substr(base), ok + ng));
}

TEST_F(SoundTest, MissingOrShortFileSilencesOnlyThatSound) {
    fs::remove(env.home() + "/sound/ng.wav");
    TestEnv::writeFile("sound/tab.wav", "RIFF"); // not a wave: silent, no crash
    LogCapture log;
    Sound_Init();
    EXPECT_TRUE(log.contains("./sound/ng.wav read fail. "));
    EXPECT_EQ(Sound_GetLength(SOUND_NG), 0u);
    EXPECT_TRUE(sameBytes(played(), ""));
    Sound_Play(SOUND_NG);
    Sound_Play(SOUND_OK);
    EXPECT_TRUE(sameBytes(played(), samplesOf(wav("ok.wav"))));
}

// A new data home gets the installed sounds; a sound the site put there is kept.
TEST_F(SoundTest, MissingSoundsComeFromTheInstalledCopiesOrStayMissing) {
    const std::string from = env.root() + "/share/zqcapp/sound";
    fs::create_directories(from);
    for (const char* n : {"tab.wav", "ok.wav", "ng.wav"})
        fs::copy_file(std::string(KEST_SOURCE_DIR) + "/data/sound/" + n, from + "/" + n);
    TestEnv::writeFile(from + "/ok.wav", wav("ng.wav")); // tell the copies apart
    const std::string siteTab = wav("tab.wav");
    fs::remove("sound/ok.wav");
    fs::remove("sound/ng.wav");
    EXPECT_EQ(Sound_InstallMissing(from.c_str()), 2);
    EXPECT_EQ(wav("tab.wav"), siteTab);
    EXPECT_EQ(wav("ok.wav"), wav("ng.wav"));
    EXPECT_EQ(Sound_InstallMissing(from.c_str()), 0);

    fs::remove_all("sound"); // a fresh data home, through the start-up
    setenv("KEST_SOUND_SOURCE", from.c_str(), 1);
    Sound_Init();
    unsetenv("KEST_SOUND_SOURCE");
    EXPECT_EQ(Sound_GetLength(SOUND_NG), wav("ng.wav").size());
    EXPECT_TRUE(sameBytes(played(), samplesOf(wav("tab.wav"))));
    // Sounds not installed, or that cannot be copied, stay missing.
    fs::remove_all("sound");
    EXPECT_EQ(Sound_InstallMissing((env.root() + "/none").c_str()), 0);
    EXPECT_EQ(Sound_InstallMissing(nullptr), 0);
    EXPECT_FALSE(fs::exists("sound"));
    TestEnv::writeFile("sound", "a file where the folder belongs");
    LogCapture log;
    EXPECT_EQ(Sound_InstallMissing((std::string(KEST_SOURCE_DIR) + "/data/sound").c_str()), -1);
    EXPECT_TRUE(log.contains("./sound/tab.wav: cannot copy "));
}

TEST_F(SoundTest, NoPlaybackDeviceLeavesEverySoundSilent) {
    routeTo("{ type hw\n card 97\n device 0\n}\n");
    testing::internal::CaptureStdout();
    LogCapture log;
    Sound_Init();
    startWorker();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Sound_PushMsgQ(i % 3), 0);
    // Requests are still taken and discarded one by one.
    kest_test::WaitUntil([] { return WorkQueue_Length(Sound_GetMsgQ()) == 0; });
    Threads_RunSync(LOOP_SOUND, [] {});
    std::string stdoutText = testing::internal::GetCapturedStdout();
    EXPECT_NE(stdoutText.find("ERROR: Cannot open pcm device. "), std::string::npos);
    EXPECT_EQ(stdoutText.find("Cannot write"), std::string::npos);
    EXPECT_EQ(WorkQueue_Length(Sound_GetMsgQ()), 0u);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(log.lines().empty());
}

TEST(SoundWave, HeaderFieldsAndDataChunk) {
    std::string w = makeWave(3, 2, 44100, 1);
    SoundWaveInfo info{};
    auto parse = [&](const std::string& text, size_t n) {
        return Sound_ParseWave(reinterpret_cast<const uint8_t*>(text.data()), n, &info);
    };
    ASSERT_EQ(parse(w, w.size()), 0);
    EXPECT_EQ(std::tuple(info.channels, info.rate, info.dataOffset, info.dataLength),
              std::tuple(2u, 44100u, 44u, 12u));
    // A "LIST" chunk before the data is skipped; a data size past the end is cut.
    std::string withList = w.substr(0, 36) + std::string("LIST\x04\0\0\0abcd", 12) + w.substr(36);
    withList[40 + 12] = char(0xff);
    ASSERT_EQ(parse(withList, withList.size()), 0);
    EXPECT_EQ(std::tuple(info.dataOffset, info.dataLength), std::tuple(56u, 12u));
    for (size_t cut : {0, 11, 43})
        EXPECT_EQ(parse(w, cut), -1) << cut;
    EXPECT_EQ(parse("X" + w.substr(1), w.size()), -1) << "not RIFF";
}
