// Tool registry (ToolManager): the discovered-tool table and the registered-tool table
// (at most 8), connection states, keep-alive, naming, tool folders and "./regtools".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Opaque handles of the libraries underneath; this header pulls in no GLib or
// libmodbus header so the GUI can include it.
typedef struct _modbus modbus_t;
typedef struct _GIOChannel GIOChannel;
typedef struct _GSource GSource;

#define TOOL_MAX_REG 8    // registered tools; indexes 8 and above are refused
#define TOOL_NAME_SIZE 33 // name: at most 32 characters and the terminator
#define TOOL_SERIAL_SIZE 16
#define TOOL_DEFNAME_SIZE 16      // a 16-character default name fills it, unterminated
#define REGTOOLS_RECORD_SIZE 80   // one "./regtools" record
#define TOOL_FRAME_SIZE 1064      // receive frame of the event or curve connection
#define TOOL_EVENT_FRAME_MAX 260  // largest Modbus/TCP frame (MODBUS_TCP_MAX_ADU_LENGTH)
#define TOOL_EVENT_QUEUE_DEPTH 16 // fastening frames kept until the screens read them

enum ToolNetIf { TOOL_NETIF_ETH = 1, TOOL_NETIF_WLAN = 2 };

enum ToolState {
    TOOL_STATE_IDLE = 0,
    TOOL_STATE_BUSY = 1,
    TOOL_STATE_CONNECTING = 2,
    TOOL_STATE_CONNECTED = 3,
    TOOL_STATE_HALF = 4,
    TOOL_STATE_FAILED = 5
};

enum ToolType { TOOL_TYPE_XWC = 1, TOOL_TYPE_ZQ = 2, TOOL_TYPE_ZQT = 3, TOOL_TYPE_XWTC = 4 };

// The 36-byte tool-information block of discovery, multi-byte fields in host order.
struct ToolInfo {
    char serial[TOOL_SERIAL_SIZE]; // NUL-padded, may fill all 16 bytes
    uint32_t model;
    uint32_t ip; // host order: 127.0.0.1 is 0x7f000001
    uint16_t port;
    uint8_t mac[6];
    uint8_t busy;
    uint16_t version;
    uint8_t type;
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
    modbus_t* mbCtx; // data connection
    uint32_t mbConnected;
    modbus_t* evCtx; // event connection (port + 1)
    uint32_t evConnected;
    GIOChannel* rxChannel; // receive watch of the event or curve connection
    GSource* rxWatch;
    uint32_t netif;
    uint32_t state;
    uint8_t cause;
    uint16_t version;
    int32_t miss;
    uint16_t torqueUnit;
    uint16_t torqueMin;
    uint16_t torqueMax;
    uint8_t frame[TOOL_FRAME_SIZE]; // last frame received on the event or curve connection
    int32_t frameLen;
    // fastening frames not yet read by the screens (ring), and the one read last
    ToolEventFrame evq[TOOL_EVENT_QUEUE_DEPTH];
    uint32_t evqHead;
    uint32_t evqCount;
    ToolEventFrame evLast;
    BarcodeTable* barcode;
};

// ---- locks ----
// Two non-recursive mutexes. When both are needed the discovered-table lock is taken
// first. The registered-table lock also serialises every Modbus transaction, the register
// mirror and the received event frames.
void ToolManager_LockRegTools();
void ToolManager_UnlockRegTools();
void ToolManager_LockDiscoTools();
void ToolManager_UnlockDiscoTools();

// ---- queries ----
// 0 when 0 <= tdx < count and tdx <= 7, else 1 (logged except for -1). Reads the count
// without locking: callers hold the registered-table lock.
int CheckTdx(int tdx, const char* caller, int line);
// Record access for callers that hold the table's lock; nullptr for a bad index.
RegToolRecord* ToolManager_RegTool(int tdx);
DiscoToolRecord* ToolManager_DiscoTool(int index);
// Table lengths without locking (callers hold the lock) and with it.
int ToolManager_RegToolsLen_Unlocked();
int ToolManager_GetRegToolsLen();
int ToolManager_GetDiscoToolsLen();
int ToolManager_FindDiscoTdx_ByMac(const uint8_t* mac);
int ToolManager_FindRegTdx_ByMac(const uint8_t* mac);
int ToolManager_FindRegTdx_ByMac_Unlocked(const uint8_t* mac); // registered-table lock held
// Exact name match among registered tools; -1 when absent (a null name is logged).
// Callers hold the registered-table lock.
int ToolManager_FindTdx_ByName(const char* name);
// Copy of the name in a per-thread buffer that the next call overwrites; nullptr for a
// bad index. Callers hold the registered-table lock.
const char* ToolManager_GetToolName_ByTdx(int tdx);
void ToolManager_SetCurrTdx(int tdx);
int ToolManager_GetCurrTdx();
// "%x:%x:%x:%x:%x:%x" -> 6 bytes; 0 on success, nonzero (output untouched) otherwise.
int MacAddr_Atoi(const char* text, uint8_t* mac);

// ---- changes ----
// Creates both tables, loads "./regtools" (a file whose size is not a multiple of 80 is
// deleted) and creates each tool's folder. Also prepares the Modbus request queue.
int ToolManager_LoadRegTools();
int ToolManager_SaveRegTools();
// A discovery answer (cause 0) or an advertise with cause 3 or 5.
int ToolManager_UpdateToolState_ByDisco(const ToolInfo* info, uint8_t cause, uint32_t netif);
int ToolManager_UpdateToolState_ByHostapd(const uint8_t* mac);
// Register the discovered tool at `index` (0, or -1 when refused).
int ToolManager_MoveTool_DiscoToReg(int index);
// Release registered tool `tdx`; later tools move down one index (0, or -1 when refused).
int ToolManager_MoveTool_RegToDisco(int tdx);
// `lock` nonzero: take the registered-table lock; zero: the caller holds it.
int ToolManager_DismissTool_ByTdx(int tdx, int lock);
int ToolManager_DismissTool_ByNetIf(uint32_t netif);
int ToolManager_DismissTool_All();
// Renames a tool and moves or merges its folder; names containing "/" (or "." and "..")
// are refused. "./regtools" is not written here.
int ToolManager_SetToolName_ByTdx(int tdx, const char* name);
void ToolManager_KeepAlive_DiscoTools();
void ToolManager_KeepAlive_RegTools();
void ToolManager_RemoveAll_DiscoTools();

// Closes and releases a tool's receive watch and Modbus contexts (caller holds the lock).
void ToolManager_TeardownRxWatch(RegToolRecord* rec);
void ToolManager_ReleaseCtx(modbus_t** ctx, uint32_t* connected);

// Barcode table operations of the barcode module (nullptr: no tables are created).
void ToolManager_SetBarcodeOps(const ToolBarcodeOps* ops);
// The record's table pointer for the barcode module (caller holds the registered-table
// lock); nullptr for a bad index.
BarcodeTable** ToolManager_BarcodeSlot(int tdx);

// ---- pure helpers (exposed for tests) ----
// Default name of a discovered tool ("ZQ" + 12 hex digits of the MAC, ...), 16 bytes.
void ToolManager_MakeDefaultName(const ToolInfo* info, char out[TOOL_DEFNAME_SIZE]);
// Initial registered name: family prefix + serial, cut to 32 characters.
void ToolManager_MakeRegName(uint8_t type, const char* serial, char out[TOOL_NAME_SIZE]);
// The 80-byte "./regtools" record of a tool and back. Decode returns 0, or -1 when the
// name is not a usable folder name (empty, ".", ".." or containing "/").
void RegTools_EncodeRecord(const RegToolRecord* rec, uint8_t out[REGTOOLS_RECORD_SIZE]);
int RegTools_DecodeRecord(const uint8_t in[REGTOOLS_RECORD_SIZE], RegToolRecord* rec);
// A tool name usable as a folder name under "./files/tools".
bool ToolManager_NameIsSafe(const char* name);
// One "barcode.zq" line split at "~": code, partial, start, end, preset. Returns 0.
struct ToolBarcodeLine {
    char code[33];
    uint32_t partial, start, end, preset;
};
int ToolManager_ParseBarcodeLine(const char* line, ToolBarcodeLine* out);
// Appends the lines of a folder's "barcode.zq" to the tool's table (created through `ops`
// when missing); an over-long line is cut. Registered-table lock held.
void ToolManager_MergeBarcodeFile(RegToolRecord* rec, const std::string& path,
                                  const ToolBarcodeOps* ops);
