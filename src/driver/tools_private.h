// Tool registry internals for the driver modules only (never the GUI): the records, raw
// record access under the table locks, the scoped lock guards, the per-tool connections.
#pragma once

#include <vector>

#include "tools.h"

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

// Opaque handles of the libraries underneath.
typedef struct _modbus modbus_t;
typedef struct _GIOChannel GIOChannel;
typedef struct _GSource GSource;

#define TOOL_FRAME_SIZE 1064      // receive frame of the event or curve connection
#define TOOL_CURVE_SIZE 260       // a kept curve frame: one Modbus/TCP frame at most
#define TOOL_EVENT_FRAME_MAX 260  // largest Modbus/TCP frame (MODBUS_TCP_MAX_ADU_LENGTH)
#define TOOL_EVENT_QUEUE_DEPTH 16 // fastening frames kept until the screens read them

// One Modbus/TCP connection of a registered tool (its data or its event connection).
// `lock` is held through every connect, transaction and receive on it, and never together
// with a wait for another tool: a slow or broken tool holds up only its own callers.
// Counted references: the record holds one; a user takes its own under the registered-
// table lock and works on the connection after unlocking. The last reference closes the
// socket and frees the context, so a dismissal never waits for a transaction in progress.
struct ToolConn {
    std::mutex lock;
    modbus_t* ctx = nullptr; // set at creation, never replaced
    std::atomic<uint32_t> connected{0};
    std::atomic<bool> dropped{false}; // detached from its tool: users stop at their next step
    // Event connection whose tool was told 4015 := 0: frames still in its socket were sent
    // before that, and the tool keeps those results stored (read under `lock`).
    std::atomic<bool> outputOff{false};
    std::atomic<int> refs{1};
    std::mutex fdLock; // leaf lock: the socket number against its shutdown by a dismissal
    int fd = -1;       // the connected socket, under fdLock
};
// New connection with its context (not connected); nullptr when it cannot be made.
ToolConn* ToolConn_New(uint32_t ip, uint16_t port);
ToolConn* ToolConn_Ref(ToolConn* conn); // nullptr stays nullptr
void ToolConn_Unref(ToolConn* conn);
// Connects within `timeoutMs` (caller holds conn->lock); 0 or -1 (errno set).
int ToolConn_Connect(ToolConn* conn, uint32_t ip, uint16_t port, int timeoutMs);
// The connected socket, or -1.
int ToolConn_Fd(ToolConn* conn);
// Detaches `*slot` from its record (registered-table lock held): marks it dropped, shuts
// its socket down so a transaction or receive in progress ends at once, releases the
// record's reference and clears the slot. Never waits for conn->lock.
void ToolConn_Drop(ToolConn** slot);
// A reference held for the length of a scope.
class ToolConnRef {
  public:
    ToolConnRef() = default;
    explicit ToolConnRef(ToolConn* conn) : conn_(ToolConn_Ref(conn)) {}
    ~ToolConnRef() { ToolConn_Unref(conn_); }
    ToolConnRef(const ToolConnRef&) = delete;
    ToolConnRef& operator=(const ToolConnRef&) = delete;
    ToolConnRef& operator=(ToolConnRef&& o) noexcept {
        std::swap(conn_, o.conn_);
        return *this;
    }
    ToolConn* get() const { return conn_; }
    ToolConn* operator->() const { return conn_; }
    explicit operator bool() const { return conn_ != nullptr; }

  private:
    ToolConn* conn_ = nullptr;
};

struct DiscoToolRecord {
    ToolInfo info;
    char defname[TOOL_DEFNAME_SIZE];
    uint8_t cause;
    int32_t miss;
    uint32_t netif;
};

// Per-tool barcode-to-preset table. The type belongs to the barcode module (barcode.h);
// the registry only carries the pointer: null after load (the barcode loader creates the
// tables of loaded tools), created empty at registration, freed at release, and fed the
// lines of "./files/tools/<name>/barcode.zq" when a rename merges into an existing
// folder. The barcode module installs the three operations with ToolManager_SetBarcodeOps.
struct BarcodeTable;
struct ToolBarcodeOps {
    BarcodeTable* (*create)();
    void (*destroy)(BarcodeTable* table);
    // Appends one tool-table row (preset in the first 4 bytes of the target); 0 or -1.
    int (*append)(BarcodeTable* table, const char* code, uint32_t partial, uint32_t start,
                  uint32_t end, uint32_t preset);
};

// One fastening frame kept for the screens, in the driver layout (see operation.h).
struct ToolEventFrame {
    uint16_t len;
    uint8_t bytes[TOOL_EVENT_FRAME_MAX];
};

struct RegToolRecord {
    // persistent part (the "./regtools" record)
    char name[TOOL_NAME_SIZE];
    char serial[TOOL_SERIAL_SIZE];
    uint32_t model;
    uint8_t mac[6];
    char defname[TOOL_DEFNAME_SIZE];
    uint8_t type;
    // run-time part
    uint32_t ip;
    uint16_t port;
    uint8_t maccopy[6];
    uint8_t busy;
    ToolConn* mbConn;      // data connection (the record's reference), null when absent
    ToolConn* evConn;      // event connection (port + 1)
    GIOChannel* rxChannel; // receive watch of the event or curve connection
    GSource* rxWatch;
    // The slot holds the curve watch (data connection) rather than the event watch; an
    // event watch asked for meanwhile is parked and comes back when the curve watch goes.
    uint8_t rxGraph;
    uint8_t evParked;
    uint32_t netif;
    uint32_t state; // assigned only by ToolManager_SetState_Locked
    uint8_t cause;
    uint16_t version;
    int32_t miss;
    uint16_t torqueUnit;
    uint16_t torqueMin;
    uint16_t torqueMax;
    uint8_t frame[TOOL_FRAME_SIZE]; // last frame received on the event connection
    int32_t frameLen;
    // Last curve received (graph.h), checked; apart from `frame` so that a result arriving
    // before the screen reads the curve cannot take its place.
    uint8_t curve[TOOL_CURVE_SIZE];
    int32_t curveLen;
    // fastening frames not yet read by the screens (ring), and the one read last; emptied
    // when event output goes off and when a new receive watch starts
    ToolEventFrame evq[TOOL_EVENT_QUEUE_DEPTH];
    uint32_t evqHead;
    uint32_t evqCount;
    ToolEventFrame evLast;
    BarcodeTable* barcode;
};

// ---- the tables (tools.cpp) ----
// Registered tools, at most TOOL_MAX_REG, indexed by tdx; tools that answered discovery
// and are not registered. Each under its own lock (see below).
struct RegToolsState {
    std::mutex lock;
    std::vector<RegToolRecord> tools;
};
struct DiscoToolsState {
    std::mutex lock;
    std::vector<DiscoToolRecord> tools;
};
extern RegToolsState& regTools;
extern DiscoToolsState& discoTools;

// ---- locks ----
// Two non-recursive mutexes. When both are needed the discovered-table lock is taken
// first. Neither is ever held across network traffic; a tool's connection lock
// (ToolConn::lock) may be held when taking them, never the other way round.
void ToolManager_LockRegTools();
void ToolManager_UnlockRegTools();
void ToolManager_LockDiscoTools();
void ToolManager_UnlockDiscoTools();

// Scoped hold of a table lock: released at the end of the scope (or by unlock()), so no
// early return can leave the table locked.
template <void (*Lock)(), void (*Unlock)()> class ToolTableLock {
  public:
    ToolTableLock() { Lock(); }
    ~ToolTableLock() {
        if (held_) Unlock();
    }
    void unlock() {
        if (held_) Unlock();
        held_ = false;
    }
    ToolTableLock(const ToolTableLock&) = delete;
    ToolTableLock& operator=(const ToolTableLock&) = delete;

  private:
    bool held_ = true;
};
using RegToolsLock = ToolTableLock<ToolManager_LockRegTools, ToolManager_UnlockRegTools>;
using DiscoToolsLock = ToolTableLock<ToolManager_LockDiscoTools, ToolManager_UnlockDiscoTools>;

// ---- record access: callers hold the table's lock ----
// 0 when 0 <= tdx < count and tdx <= 7, else 1 (logged except for -1).
int CheckTdx(int tdx, const char* caller, int line);
// nullptr for a bad index.
RegToolRecord* ToolManager_RegTool(int tdx);
DiscoToolRecord* ToolManager_DiscoTool(int index);
int ToolManager_RegToolsLen_Unlocked();
// The record whose receive watch (event or curve) is the GLib source running now, matched
// by the watch because indexes move when tools are released; -1 when that watch was torn
// down meanwhile (the tool dismissed or released). Lock held.
int ToolManager_TdxOfCurrentWatch_Unlocked();
int ToolManager_FindRegTdx_ByMac_Unlocked(const uint8_t* mac);
// Copy of the name in a per-thread buffer that the next call overwrites; nullptr for a
// bad index.
const char* ToolManager_GetToolName_ByTdx(int tdx);
// The one place a connection state changes: assigns it, logs the transition under the
// Modbus flag, and posts "update_regtools" (tdx, state) when `post` is set.
void ToolManager_SetState_Locked(int tdx, RegToolRecord* rec, uint32_t state, bool post);
// Installed by a plant peer: a connected tool left the connected state (lock held: the
// hook only hands the news on).
using ToolLinkLostHook = void (*)(int tdx);
void ToolManager_SetLinkLostHook(ToolLinkLostHook hook);
// Closes and releases the tool's receive watch, whichever it is (nothing stays parked).
void ToolManager_TeardownRxWatch(RegToolRecord* rec);
// Ends the tool's event watch only: a curve watch in the slot stays, the parked event
// watch is forgotten.
void ToolManager_TeardownEventWatch(RegToolRecord* rec);
// Starts the event watch again on the tool's event connection when the slot is free and
// that connection is up (operation.cpp; the curve module calls it as its watch goes).
void Operation_ResumeEventWatch_Locked(int tdx, RegToolRecord* rec);
// The record's table pointer for the barcode module; nullptr for a bad index.
BarcodeTable** ToolManager_BarcodeSlot(int tdx);

// The index of the tool with this MAC in the registered table (its lock held), or -1.
int ToolManager_FindRegLocked(const uint8_t* mac);
// The same in the discovered table (its lock held).
int ToolManager_FindDiscoLocked(const uint8_t* mac);
// Registered-table lock held. The request names the tool by MAC as well, so a release that
// renumbers the table before loop 3 runs it cannot leave the tool waiting in state 2.
int ToolManager_PushConnect(int tdx);
// Drops both connections and the receive watch; registered-table lock held.
void ToolManager_DropLinks(RegToolRecord* rec);

// Dismisses the tool that owns `conn` (data or event connection), whatever its index is
// now; nothing when it was dismissed or released already. Takes the registered-table
// lock: callable from a failing transaction that holds conn->lock.
void ToolManager_DismissTool_ByConn(ToolConn* conn);

// Barcode table operations of the barcode module (nullptr: no tables are created).
void ToolManager_SetBarcodeOps(const ToolBarcodeOps* ops);

// ---- records and files ----
// The 80-byte "./regtools" record of a tool and back. Decode returns 0, or -1 when the
// name is not a usable folder name (empty, ".", ".." or containing "/").
void RegTools_EncodeRecord(const RegToolRecord* rec, uint8_t out[REGTOOLS_RECORD_SIZE]);
int RegTools_DecodeRecord(const uint8_t in[REGTOOLS_RECORD_SIZE], RegToolRecord* rec);
// Appends the lines of a folder's "barcode.zq" to the tool's table (created through `ops`
// when missing); an over-long line is cut. Registered-table lock held.
void ToolManager_MergeBarcodeFile(RegToolRecord* rec, const std::string& path,
                                  const ToolBarcodeOps* ops);

// ---- the "./regtools" file (tools_file.cpp) ----
// Reads the records (run-time part zero, mac copy filled); a damaged or non-regular file
// is moved aside under a time-stamped name and a missing one is created empty. 0 or -1.
int RegTools_ReadFile(std::vector<RegToolRecord>* out);
// Replaces the file atomically with the encoded records. 0 or -1.
int RegTools_WriteFile(const std::vector<uint8_t>& records);
// "./files/tools/<name>", the tool's folder.
std::string ToolManager_ToolDir(const char* name);
// A rename's folder step (registered-table lock held): the folder moves to the new name,
// or, when that folder exists, its barcode lines merge into the tool's table. 0, or -1
// when the folder could not be moved (the caller keeps the old name).
int ToolManager_MoveToolFolder(RegToolRecord* rec, const char* newName, const ToolBarcodeOps* ops);
