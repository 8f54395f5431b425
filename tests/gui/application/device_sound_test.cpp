// Device object, sound family: requests reach the sound queue in the right number (the
// volume property is a row of the settings properties' table).
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
