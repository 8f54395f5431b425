// Device object, sound family: requests reach the sound queue in the right number and
// the volume is stored, applied through the mixer and saved at once.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "setting.h"
#include "sound.h"
#include "threads.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

TEST(DeviceSound, TapOkAndNgQueueOneTwoAndTwoRequests) {
    TestEnv env;
    load_setting();
    Sound_Init(); // no sound files: every sound is silent, requests are still queued
    Threads_Init();
    Threads_RunSync(LOOP_SOUND, [] {});
    WorkQueue* q = Sound_GetMsgQ();
    ASSERT_NE(q, nullptr);
    std::promise<void> entered, release;
    auto gate = release.get_future().share();
    std::thread holder([&] {
        Threads_RunSync(LOOP_SOUND, [&] {
            entered.set_value();
            gate.wait();
        });
    });
    entered.get_future().wait();
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->SoundTap();
    EXPECT_EQ(WorkQueue_Length(q), 1u);
    dev->SoundOk();
    EXPECT_EQ(WorkQueue_Length(q), 3u);
    dev->SoundNg();
    EXPECT_EQ(WorkQueue_Length(q), 5u);
    for (int i = 0; i < 4; ++i)
        dev->SoundOk(); // the cap keeps ten waiting
    EXPECT_EQ(WorkQueue_Length(q), SOUND_QUEUE_MAX);
    release.set_value();
    holder.join();
}

TEST(DeviceSound, VolumeIsStoredAppliedAndSaved) {
    TestEnv env;
    load_setting();
    ApplicationDeviceClass* dev = ApplicationDevice();
    struct Case {
        int index;
        const char* mixer;
        const char* saved;
    } cases[] = {{3, "amixer sset Speaker 95%", "75"},
                 {0, "amixer sset Speaker 0%", "mute"},
                 {4, "amixer sset Speaker 100%", "100"}};
    for (const Case& c : cases) {
        env.clearStubCalls();
        dev->OnSetVolume(c.index);
        EXPECT_EQ(dev->OnGetVolume(), c.index);
        ASSERT_EQ(env.stubCalls().size(), 1u);
        EXPECT_EQ(env.stubCalls()[0], c.mixer);
        std::string file = TestEnv::readFile("files/setting/setting.kest");
        size_t at = file.find("\nvolume");
        ASSERT_NE(at, std::string::npos);
        std::string row = file.substr(at + 1, file.find('\n', at + 1) - at - 1);
        EXPECT_EQ(row.substr(row.find("= ") + 2), c.saved) << row;
    }
    env.clearStubCalls();
    dev->OnSetVolume(7); // beyond the table: full volume
    EXPECT_EQ(env.stubCalls().at(0), "amixer sset Speaker 100%");
}
