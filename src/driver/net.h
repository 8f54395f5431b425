// Link monitor (routing netlink: eth0 and wlan0 going up and down, eth0's addresses), the
// micro-SD card watcher (kernel device events) and the network message queue that runs
// slow jobs (access point start, backup save and load) on the access point's worker.
#pragma once

#include <cstddef>
#include <cstdint>

struct WorkQueue;

// Start-up (driver layer, before Threads_Init): registers the set-ups that open the two
// monitors on their loops and create the message queue. Returns 0.
int Net_Start();
// After "init_done": eth0 up, and wlan0 up with the access point's address when a
// supported Wi-Fi dongle is on the bus.
void Net_Init();

// Open the monitors on the calling loop's thread (run by the set-ups above); 0 or -1.
int Net_OpenNlink_Route(); // LOOP_NETLINK
int Net_OpenNlink_Kobj();  // LOOP_MICROSD
// Closes both monitors (tests; the board keeps them for the life of the program).
void Net_CloseNlink();

// ---- routing messages (pure walk) ----

enum NetNlinkItemKind {
    NET_NL_NEWLINK = 1, // a link message: ifindex, ifname, flags
    NET_NL_NEWADDR = 2, // an address message: ifindex, ifname, family
    NET_NL_ADDRESS = 3, // one IPv4 address attribute of the address message before it
};
struct NetNlinkItem {
    int kind;
    int ifindex;
    uint32_t flags;  // NET_NL_NEWLINK: the interface flags (0x1 up, 0x40 running)
    uint32_t family; // NET_NL_NEWADDR, NET_NL_ADDRESS: address family
    uint32_t addr;   // NET_NL_ADDRESS: the address, first octet most significant
    char ifname[16]; // from the message's name or label attribute; "" when it has none
};
// How a walk ended: at the end of the buffer or a "done" message, or at a malformed one.
enum NetNlinkWalkEnd {
    NET_NL_END = 0,
    NET_NL_DONE = 1,
    NET_NL_CUT_HEADER = -1, // fewer bytes left than a message header
    NET_NL_CUT_MSG = -2,    // a length below the header or beyond the bytes left
    NET_NL_CUT_BODY = -3,   // a link or address message shorter than its fixed part
    NET_NL_BAD_ATTR = -4,   // an attribute shorter than 4 bytes, beyond its message, or an
                            // address attribute too short for its address
};
using NetNlinkSink = void (*)(const NetNlinkItem* item, void* user);
// Walks the netlink messages in `buf` (each 4-byte aligned), calling `sink` for each link
// and address message and each IPv4 address of an address message, in order. A malformed
// message gives no item and ends the walk. Never reads beyond `len`.
int Net_WalkNlinkRoute(const uint8_t* buf, size_t len, NetNlinkSink sink, void* user);
const char* Net_NlinkWalkEndText(int end);
// One received buffer of the route monitor: the walk and what each item asks for.
void Net_ProcNlinkRoute(const uint8_t* buf, size_t len);

// ---- kernel device events ----

// 1 when the event is an "add" or "remove" of the micro-SD card's partition "mmcblk1p1"
// ("ACTION@DEVPATH" header, the path's last element), else 0. Never reads beyond `len`.
int Net_KobjIsSdChange(const char* msg, size_t len);
// One received device event: raises "update_drvs" for a card change.
void Net_ProcNlinkKobj(const char* msg, size_t len);

// ---- network message queue ----

enum NetMsgKind {
    NET_MSG_RUN_HOSTAPD = 0,
    NET_MSG_P2P_SAVE = 1,
    NET_MSG_P2P_LOAD = 2,
    NET_MSG_KILL_HOSTAPD = 3
};
#define NET_MSG_PATH_SIZE 128
struct NetMsg {
    int32_t kind;
    char path[NET_MSG_PATH_SIZE]; // kinds 1 and 2, NUL-terminated
};
static_assert(sizeof(NetMsg) == 132);

void Net_SetMsgQ(WorkQueue* queue);
WorkQueue* Net_GetMsgQ();
// Each queues one message (0), or returns -1 when there is no queue. The path is copied,
// cut to 127 characters; a null path leaves it empty.
int Net_PushMsgQ_RunHostapd();
// The stop of the access point on its worker, so the caller never waits for the daemon's
// grace (up to 3 s); a start running then is cut short at once. Without a queue the stop is
// made on the caller's thread.
int Net_PushMsgQ_KillHostapd();
int Net_PushMsgQ_P2PSave(const char* path);
int Net_PushMsgQ_P2PLoad(const char* path);
// Handles one message on the access point's worker and frees it; returns 1.
int Net_ProcMsgQ(void* msg);
// Where backup save and load messages go (installed by the backup module); without one a
// message is logged and dropped.
using NetBackupHandler = void (*)(int kind, const char* path);
void Net_SetBackupHandler(NetBackupHandler handler);
