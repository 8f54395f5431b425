// Modbus link: the connect-request queue served on loop 3 ("C"), register reads and
// writes with one retry and the tool-lost rule, the per-tool register mirror, and the
// registers the controller writes when a tool connects or is (un)locked.
#pragma once

#include <cstdint>

typedef struct _modbus modbus_t;
struct WorkQueue;

#define MBUS_MIRROR_REGS 6000
#define MBUS_UNIT_ID 255
#define MBUS_CONNECT_TIMEOUT_MS 2000

// Registers the controller itself uses.
enum MbusRegister {
    MBUS_REG_TOOL_LOCK = 4001,
    MBUS_REG_AUTO_LOCK = 264,
    MBUS_REG_AUTO_DATA_OUT_DRV = 259, // types 2, 3 (written 0 at connection)
    MBUS_REG_AUTO_DATA_OUT_CTL = 277, // types 1, 4
    MBUS_REG_GRAPH_TRIGGER = 4100,
    MBUS_REG_EVENT_OUTPUT = 4015,
    MBUS_REG_EVENT_ACK = 4016,
    MBUS_REG_TORQUE_UNIT_CTL = 252,
    MBUS_REG_TORQUE_UNIT_DRV = 260,
    MBUS_REG_TORQUE_MIN = 1002,
    MBUS_REG_TORQUE_MAX = 2002,
    MBUS_REG_SCREW_CNT_CTL = 247,
    MBUS_REG_SCREW_CNT_DRV = 262,
    MBUS_REG_EVENT_NEWEST = 2900,
    MBUS_REG_EVENT_DELIVERED = 2901
};

// Read results: 0 ok, 1 address range refused, 2 invalid tool, 3 not connected,
// 4 failed twice (tool dismissed). Write results: 0, 2, 3, 4 timed out twice (tool
// dismissed), 5 failed twice otherwise (tool kept).
enum MbusResult {
    MBUS_OK = 0,
    MBUS_ERR_RANGE = 1,
    MBUS_ERR_TDX = 2,
    MBUS_ERR_NOT_CONNECTED = 3,
    MBUS_ERR_DISMISSED = 4,
    MBUS_ERR_WRITE = 5
};

// Prepares the request queue: registers its creation as a set-up of loop 3 (called by
// ToolManager_LoadRegTools, before Threads_Init).
void Modbus_Init();
// Install / read the request queue (tests may install their own on another context).
void Modbus_SetMsgQ(WorkQueue* queue);
WorkQueue* Modbus_GetMsgQ();
// Queues a connect request for tool `tdx`; never blocks. 0, or -1 without a queue. With
// `mac`, the request follows that tool when a release renumbers the table before it runs.
int Modbus_MsgQ_Push_Connect(int tdx, const uint8_t* mac = nullptr);
// Handles one connect request (what the queue runs on loop 3): opens what is missing of
// the data and event connections, writes the start-up registers and posts
// "update_regtools" with the new state. The network traffic runs under the tool's own
// connection locks, never under the registered-table lock.
void Modbus_MsgQProc_Connect(int tdx);
// The same for a request that names its tool by MAC: it acts on the tool's index now, and
// does nothing when the tool has been released meanwhile.
void Modbus_MsgQProc_ConnectTool(int tdx, const uint8_t* mac);

// One transaction on the tool's data connection. The registered-table lock is taken only
// to find the connection; the transaction runs under the tool's connection lock (`lock`
// nonzero: taken here; zero: the caller holds it). Never call with a table lock held.
int Modbus_Read(int tdx, int addr, int count, int lock);
int Modbus_Write(int tdx, int addr, uint16_t value, int lock);
// Mirrored value of register addr % 6000 of tool tdx % 8; 0 for tdx -1. No lock.
uint16_t Modbus_GetData(int tdx, int addr);
// Mirrored values of `count` registers from `addr` as one read left them all (a value
// block, a text, counters 2900 and 2901), never a mix of two reads. Zeros for tdx -1.
// 0, or -1 for another tool index outside 0..7 or a range outside 0..5999.
int Modbus_GetBlock(int tdx, int addr, int count, uint16_t* out);
// Stores a block in the mirror as a completed read does (values null: zeros).
void Modbus_StoreBlock(int tdx, int addr, int count, const uint16_t* values);
// 0 when 0 <= addr and addr + count <= 6000, else 1 (logged).
int CheckMbusAddr(int addr, int count, const char* caller, int line);

// Each for every registered tool in index order, results ignored.
void tool_lock_all();
void tool_unlock_all();
void tool_lock_all_except_tdx(int tdx);
void autolock_off_all();

// Code of the screen shown (3 operation without job, 4 monitor: tools connecting then
// stay unlocked). Set by the shell on every screen change.
enum { SCREEN_CODE_OP_WITHOUT_JOB = 3, SCREEN_CODE_MONITOR = 4 };
void Modbus_SetScreenCode(int code);
int Modbus_GetScreenCode();

// Text of up to 32 characters in 16 registers, two per register, first character in the
// high byte, NUL-padded (Wi-Fi name and pass phrase of a tool); decode writes 33 bytes.
void Mbus_EncodeText(const char* text, uint16_t regs[16]);
void Mbus_DecodeText(const uint16_t regs[16], char out[33]);

// ---- building blocks (also used by the tool simulator's tests) ----
// New TCP context with the link settings (recovery 6, 1 s response time-out, unit 255).
modbus_t* Modbus_NewCtx(uint32_t ip, uint16_t port);
// Connects the context within `timeoutMs` (non-blocking connect, then handed to
// libmodbus). 0 or -1 (errno set).
int Modbus_ConnectTimeout(modbus_t* ctx, uint32_t ip, uint16_t port, int timeoutMs);
