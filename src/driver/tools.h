// Tool registry (ToolManager): the discovered-tool table and the registered-tool table
// (at most 8), connection states, keep-alive, naming, tool folders and "./regtools".
// This is the registry's public door: queries hand out copies taken under the table
// locks; the records themselves are private to the driver (tools_private.h).
#pragma once

#include <cstddef>
#include <cstdint>

#define TOOL_MAX_REG 8    // registered tools; indexes 8 and above are refused
#define TOOL_NAME_SIZE 33 // name: at most 32 characters and the terminator
#define TOOL_SERIAL_SIZE 16
#define TOOL_DEFNAME_SIZE 16    // a 16-character default name fills it, unterminated
#define REGTOOLS_RECORD_SIZE 80 // one "./regtools" record

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

// A registered tool as the screens see it: a copy taken under the registry lock. Texts
// are terminated.
struct ToolView {
    char name[TOOL_NAME_SIZE];
    char serial[TOOL_SERIAL_SIZE + 1];
    char defname[TOOL_DEFNAME_SIZE + 1];
    uint32_t model;
    uint8_t mac[6]; // the copy shown as the tool's MAC address
    uint8_t type;
    uint32_t ip;
    uint16_t port;
    uint8_t busy;
    uint32_t netif;
    uint32_t state; // ToolState
    uint8_t cause;
    uint16_t version;
    uint16_t torqueUnit, torqueMin, torqueMax; // read at connection
    uint8_t dataUp, eventUp;                   // data / event connection established
};

// A discovered tool, copied under the discovered-table lock.
struct DiscoToolView {
    ToolInfo info;
    char defname[TOOL_DEFNAME_SIZE + 1];
    uint8_t cause;
    uint32_t netif;
};

// ---- queries (each takes the table's lock for its copy) ----
int ToolManager_GetRegToolsLen();
int ToolManager_GetDiscoToolsLen();
// 0 and a copy in `out`, or -1 (out zeroed) for an index outside the table.
int ToolManager_GetToolView(int tdx, ToolView* out);
int ToolManager_GetDiscoToolView(int index, DiscoToolView* out);
int ToolManager_FindDiscoTdx_ByMac(const uint8_t* mac);
int ToolManager_FindRegTdx_ByMac(const uint8_t* mac);
// Exact name match among registered tools; -1 when absent (a null name is logged).
int ToolManager_FindTdx_ByName(const char* name);
void ToolManager_SetCurrTdx(int tdx);
int ToolManager_GetCurrTdx();
// "%x:%x:%x:%x:%x:%x" -> 6 bytes; 0 on success, nonzero (output untouched) otherwise.
int MacAddr_Atoi(const char* text, uint8_t* mac);

// ---- changes ----
// Creates both tables, loads "./regtools" (a file that is not whole 80-byte records, or
// not a regular file, is moved aside to "./regtools.bad.<date-time>") and creates each
// tool's folder. Also prepares the Modbus request queue.
int ToolManager_LoadRegTools();
int ToolManager_SaveRegTools();
// A discovery answer (cause 0) or an advertise with cause 3 or 5.
int ToolManager_UpdateToolState_ByDisco(const ToolInfo* info, uint8_t cause, uint32_t netif);
// Advertise causes 1, 2 and 4: a registered tool comes back with new addressing. Its
// connections are dropped and a connect request is queued; unregistered tools are ignored.
int ToolManager_Readdress(const ToolInfo* info, uint8_t cause, uint32_t netif);
int ToolManager_UpdateToolState_ByHostapd(const uint8_t* mac);
// Register the discovered tool at `index` (0, or -1 when refused).
int ToolManager_MoveTool_DiscoToReg(int index);
// Release registered tool `tdx`; later tools move down one index (0, or -1 when refused).
int ToolManager_MoveTool_RegToDisco(int tdx);
// `lock` nonzero: take the registered-table lock; zero: the caller holds it. Never waits
// for the tool's network traffic: a transaction in progress is cut short.
int ToolManager_DismissTool_ByTdx(int tdx, int lock);
int ToolManager_DismissTool_ByNetIf(uint32_t netif);
int ToolManager_DismissTool_All();
// Renames a tool and moves or merges its folder; names containing "/" (or "." and "..")
// are refused. "./regtools" is not written here.
int ToolManager_SetToolName_ByTdx(int tdx, const char* name);
// The torque unit the screens show for a tool, read again after the operator changed it.
int ToolManager_SetTorqueUnit_ByTdx(int tdx, uint16_t unit);
void ToolManager_KeepAlive_DiscoTools();
void ToolManager_KeepAlive_RegTools();
void ToolManager_RemoveAll_DiscoTools();

// ---- pure helpers (exposed for tests) ----
// Default name of a discovered tool ("ZQ" + 12 hex digits of the MAC, ...), 16 bytes.
void ToolManager_MakeDefaultName(const ToolInfo* info, char out[TOOL_DEFNAME_SIZE]);
// Initial registered name: family prefix + serial, cut to 32 characters.
void ToolManager_MakeRegName(uint8_t type, const char* serial, char out[TOOL_NAME_SIZE]);
// A tool name usable as a folder name under "./files/tools".
bool ToolManager_NameIsSafe(const char* name);
// One "barcode.zq" line split at "~": code, partial, start, end, preset. Returns 0.
struct ToolBarcodeLine {
    char code[33];
    uint32_t partial, start, end, preset;
};
int ToolManager_ParseBarcodeLine(const char* line, ToolBarcodeLine* out);
