// The eighteen worker threads of the driver layer, each running one GLib main loop,
// and a small request queue that wakes its loop when an item is pushed.
#pragma once

#include <cstddef>
#include <functional>

typedef struct _GMainLoop GMainLoop;
typedef struct _GMainContext GMainContext;

enum ThreadLoopIndex {
    LOOP_DEFAULT = 0,    // "0": the process-wide default context
    LOOP_DISCO_ETH = 1,  // "A"
    LOOP_DISCO_WLAN = 2, // "B"
    LOOP_MODBUS = 3,     // "C"
    LOOP_DATABACKUP = 4, // "D"
    LOOP_GRAPH = 5,      // "E"
    LOOP_BARCODE = 6,    // "F"
    LOOP_NETLINK = 7,    // "G"
    LOOP_MICROSD = 8,    // "H"
    LOOP_HOSTAPD = 9,    // "I"
    LOOP_SOUND = 10,     // "J"
    LOOP_GPIO = 11,      // "K"
    LOOP_BEF = 12,       // "L"
    LOOP_BST = 13,       // "M"
    LOOP_EVENTLOG = 14,  // "N": the result log's writes and flushes, so they stall no one
    LOOP_STORE = 15,     // "O": the result store's one writer (SQLite commits)
    LOOP_OPSRV = 16,     // "P": the Open Protocol server's sockets
    LOOP_MQTT = 17,      // "Q": the MQTT publisher
    LOOP_COUNT = 18
};

// Creates the 18 loops and threads in index order and returns once every thread has run
// the set-ups registered before it. Returns 0 (a second call does nothing).
int Threads_Init();
// The loop of that index, or nullptr for an index above 17 (or before Threads_Init).
GMainLoop* Threads_GetMainLoop(int index);
// The context of that loop (the default context for 0), or nullptr.
GMainContext* Threads_GetContext(int index);
// Registers a set-up that runs on the loop's own thread before its loop starts (a
// module's queue creation, a socket opened by the thread). Modules initialised before
// Threads_Init call this; registered later, it is run on the loop at once.
void Threads_AddSetup(int index, std::function<void()> setup);
// Runs `fn` on the loop's thread and waits for it to finish (set-up, tests).
void Threads_RunSync(int index, std::function<void()> fn);
// Runs `fn` on the loop's thread later, never inline, in the order posted; dropped before
// Threads_Init (there is no loop to run it).
void Threads_Post(int index, std::function<void()> fn);

// A first-in first-out request queue drained one item per dispatch on one loop. Pushing
// wakes the loop (no polling); when more items remain the source dispatches again on the
// next loop iteration, so each item is handled on its own, in order.
struct WorkQueue;
// `handler` runs on the loop's thread with each item; `maxWaiting` 0 = unbounded, else
// a push beyond it is refused (returns -1) and the caller keeps ownership.
WorkQueue* WorkQueue_New(GMainContext* context, std::function<void(void*)> handler,
                         size_t maxWaiting = 0);
int WorkQueue_Push(WorkQueue* q, void* item);
size_t WorkQueue_Length(WorkQueue* q);
