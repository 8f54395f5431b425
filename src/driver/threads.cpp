#include "threads.h"

#include "debug.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <glib.h>
#include <mutex>
#include <vector>

namespace {
struct ThreadsState {
    GMainLoop* mainLoops[LOOP_COUNT] = {};
    GThread* threads[LOOP_COUNT] = {};
    std::once_flag once;
    std::mutex setupLock;
    std::vector<std::function<void()>> setups[LOOP_COUNT];
    bool started = false;
    // Threads whose set-ups have not finished yet; Threads_Init waits for none, so a queue
    // a set-up creates (the connect queue, for one) exists before anything can post to it.
    int settingUp = 0;
    std::condition_variable setUp;
};
// Never destroyed: the worker threads are not joined and run until the process ends.
ThreadsState& threadsCtx = *new ThreadsState;

const char* const threadNames[LOOP_COUNT] = {"0", "A", "B", "C", "D", "E", "F", "G", "H",
                                             "I", "J", "K", "L", "M", "N", "O", "P", "Q"};

// Each worker runs its own set-up and then its loop until the process ends. Module
// set-ups that belong to a thread are called here as their modules arrive.
gpointer threadFunc(gpointer data) {
    auto* loop = static_cast<GMainLoop*>(data);
    GMainContext* ctx = g_main_loop_get_context(loop);
    // Loop 0 iterates the global default context; the others own theirs.
    if (ctx != g_main_context_default()) g_main_context_push_thread_default(ctx);
    int index = 0;
    while (index < LOOP_COUNT && threadsCtx.mainLoops[index] != loop)
        ++index;
    std::vector<std::function<void()>> setups;
    {
        std::lock_guard<std::mutex> g(threadsCtx.setupLock);
        if (index < LOOP_COUNT) setups = threadsCtx.setups[index];
    }
    for (auto& s : setups)
        s();
    {
        std::lock_guard<std::mutex> g(threadsCtx.setupLock);
        --threadsCtx.settingUp;
    }
    threadsCtx.setUp.notify_all();
    g_main_loop_run(loop);
    return nullptr;
}
} // namespace

int Threads_Init() {
    std::call_once(threadsCtx.once, [] {
        for (int i = 0; i < LOOP_COUNT; ++i) {
            GMainContext* ctx = i == 0 ? nullptr : g_main_context_new();
            threadsCtx.mainLoops[i] = g_main_loop_new(ctx, FALSE);
            if (ctx) g_main_context_unref(ctx); // the loop keeps it alive
        }
        {
            std::lock_guard<std::mutex> g(threadsCtx.setupLock);
            threadsCtx.started = true;
        }
        for (int i = 0; i < LOOP_COUNT; ++i) {
            GError* err = nullptr;
            {
                std::lock_guard<std::mutex> g(threadsCtx.setupLock);
                ++threadsCtx.settingUp;
            }
            threadsCtx.threads[i] =
                g_thread_try_new(threadNames[i], threadFunc, threadsCtx.mainLoops[i], &err);
            if (!threadsCtx.threads[i]) {
                std::lock_guard<std::mutex> g(threadsCtx.setupLock);
                --threadsCtx.settingUp;
                DBG_ERR("cannot start thread %s, %s", threadNames[i],
                        err ? err->message : "unknown");
                if (err) g_error_free(err);
            }
        }
        std::unique_lock<std::mutex> g(threadsCtx.setupLock);
        threadsCtx.setUp.wait(g, [] { return threadsCtx.settingUp == 0; });
    });
    return 0;
}

GMainLoop* Threads_GetMainLoop(int index) {
    if (index < 0 || index >= LOOP_COUNT) return nullptr;
    return threadsCtx.mainLoops[index];
}

GMainContext* Threads_GetContext(int index) {
    GMainLoop* l = Threads_GetMainLoop(index);
    return l ? g_main_loop_get_context(l) : nullptr;
}

void Threads_AddSetup(int index, std::function<void()> setup) {
    if (index < 0 || index >= LOOP_COUNT || !setup) return;
    {
        std::lock_guard<std::mutex> g(threadsCtx.setupLock);
        if (!threadsCtx.started) {
            threadsCtx.setups[index].push_back(std::move(setup));
            return;
        }
    }
    auto* fn = new std::function<void()>(std::move(setup));
    g_main_context_invoke_full(
        Threads_GetContext(index), G_PRIORITY_DEFAULT,
        [](gpointer p) -> gboolean {
            (*static_cast<std::function<void()>*>(p))();
            return G_SOURCE_REMOVE;
        },
        fn, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
}

void Threads_RunSync(int index, std::function<void()> fn) {
    GMainContext* ctx = Threads_GetContext(index);
    if (!ctx) {
        fn();
        return;
    }
    struct Job {
        std::function<void()> fn;
        std::promise<void> done;
    } job{std::move(fn), {}};
    auto fut = job.done.get_future();
    g_main_context_invoke(
        ctx,
        [](gpointer p) -> gboolean {
            auto* j = static_cast<Job*>(p);
            j->fn();
            j->done.set_value();
            return G_SOURCE_REMOVE;
        },
        &job);
    fut.wait();
}

void Threads_Post(int index, std::function<void()> fn) {
    GMainContext* ctx = Threads_GetContext(index);
    if (!ctx) return;
    GSource* s = g_idle_source_new();
    g_source_set_priority(s, G_PRIORITY_DEFAULT);
    g_source_set_callback(
        s,
        [](gpointer p) -> gboolean {
            (*static_cast<std::function<void()>*>(p))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(fn)),
        [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
    g_source_attach(s, ctx);
    g_source_unref(s);
}

struct WorkQueue {
    GMainContext* context;
    std::function<void(void*)> handler;
    size_t maxWaiting;
    std::mutex lock;
    std::deque<void*> items;
    bool scheduled = false;
};

namespace {
gboolean workQueueDispatch(gpointer p) {
    auto* q = static_cast<WorkQueue*>(p);
    void* item = nullptr;
    {
        std::lock_guard<std::mutex> g(q->lock);
        if (q->items.empty()) {
            q->scheduled = false;
            return G_SOURCE_REMOVE;
        }
        item = q->items.front();
        q->items.pop_front();
    }
    q->handler(item);
    std::lock_guard<std::mutex> g(q->lock);
    if (q->items.empty()) {
        q->scheduled = false;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}
} // namespace

WorkQueue* WorkQueue_New(GMainContext* context, std::function<void(void*)> handler,
                         size_t maxWaiting) {
    auto* q = new WorkQueue{context ? context : g_main_context_default(),
                            std::move(handler),
                            maxWaiting,
                            {},
                            {},
                            false};
    // Queues live for the process (an idle source may still point at one): keep every
    // queue in a list that is never destroyed.
    static std::mutex allLock;
    static auto& all = *new std::vector<WorkQueue*>;
    std::lock_guard<std::mutex> g(allLock);
    all.push_back(q);
    return q;
}

int WorkQueue_Push(WorkQueue* q, void* item) {
    if (!q) return -1;
    bool schedule = false;
    {
        std::lock_guard<std::mutex> g(q->lock);
        if (q->maxWaiting && q->items.size() >= q->maxWaiting) return -1;
        q->items.push_back(item);
        if (!q->scheduled) {
            q->scheduled = true;
            schedule = true;
        }
    }
    if (schedule) {
        GSource* s = g_idle_source_new();
        g_source_set_callback(s, workQueueDispatch, q, nullptr);
        g_source_attach(s, q->context);
        g_source_unref(s);
    }
    return 0;
}

size_t WorkQueue_Length(WorkQueue* q) {
    if (!q) return 0;
    std::lock_guard<std::mutex> g(q->lock);
    return q->items.size();
}
