// Worker loops and the woken request queue.
#include "unit_common.h"

#include <glib.h>

// A slow set-up (a queue created on a loaded machine) runs on its own thread, and what it
// makes exists once Threads_Init returns, before discovery can post a connect request.
TEST(Threads, SetupRunsBeforeInitReturnsLoopsByIndexAndWorkQueuesHonourTheirBound) {
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
    // A bounded queue on a loop that is kept busy refuses the item beyond its bound.
    std::atomic<bool> release{false};
    static WorkQueue* b;
    b = WorkQueue_New(
        Threads_GetContext(LOOP_GPIO),
        [&](void*) {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        3);
    ASSERT_EQ(WorkQueue_Push(b, nullptr), 0);
    ASSERT_TRUE(kest_test::WaitUntil([&] { return WorkQueue_Length(b) == 0; }));
    for (int want : {0, 0, 0, -1})
        EXPECT_EQ(WorkQueue_Push(b, nullptr), want);
    release = true;
}
