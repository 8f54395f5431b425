// Worker loops. The bound of a work queue is met through the sound queue
// (tests/unit/sound_test.cpp).
#include "unit_common.h"

#include <glib.h>

// A slow set-up (a queue created on a loaded machine) runs on its own thread, and what it
// makes exists once Threads_Init returns, before discovery can post a connect request.
TEST(Threads, SetupRunsBeforeInitReturnsAndLoopsAreFoundByIndex) {
    std::atomic<bool> ran{false};
    std::thread::id where;
    Threads_AddSetup(LOOP_SOUND, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        where = std::this_thread::get_id();
        ran = true;
    });
    EXPECT_EQ(Threads_GetMainLoop(0), nullptr); // before start-up
    ASSERT_EQ(Threads_Init(), 0);
    ASSERT_TRUE(ran.load());
    std::thread::id loopThread;
    Threads_RunSync(LOOP_SOUND, [&] { loopThread = std::this_thread::get_id(); });
    EXPECT_EQ(where, loopThread);
    EXPECT_NE(where, std::this_thread::get_id());
    ASSERT_NE(Threads_GetMainLoop(0), nullptr);
    EXPECT_EQ(g_main_loop_get_context(Threads_GetMainLoop(0)), g_main_context_default());
    ASSERT_NE(Threads_GetMainLoop(LOOP_COUNT - 1), nullptr);
    EXPECT_NE(Threads_GetContext(LOOP_COUNT - 1), g_main_context_default());
    EXPECT_TRUE(!Threads_GetMainLoop(LOOP_COUNT) && !Threads_GetMainLoop(-1));
    for (int i = 1; i < LOOP_COUNT; ++i)
        for (int j = i + 1; j < LOOP_COUNT; ++j)
            EXPECT_NE(Threads_GetContext(i), Threads_GetContext(j));
}
