// Barcode: the scanner (a USB keyboard on "/dev/input/event1") turned into codes, the
// current barcode, and the barcode tables (job table and one preset table per tool).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int BARCODE_MAX = 32;      // characters of a code
constexpr int BARCODE_TARGET = 128;  // job name buffer (127 characters)
constexpr int BARCODE_JOB_TABLE = 8; // table index of the job table; 0..7 are tools
constexpr int BARCODE_TOOL_TABLES = 8;

// One table row (180 bytes).
struct BarcodeEntry {
    char code[BARCODE_MAX + 1];
    uint32_t partial;            // 1: compare characters start..end only
    uint32_t start;              // 1-based
    uint32_t end;                // 1-based, inclusive
    char target[BARCODE_TARGET]; // job name, or (tool tables) the preset in the first 4 bytes
    uint8_t selected;            // multi-delete mark of the table screen
};
static_assert(sizeof(BarcodeEntry) == 180);

int32_t BarcodeEntry_Preset(const BarcodeEntry* e);
void BarcodeEntry_SetPreset(BarcodeEntry* e, int32_t preset);

enum BarcodeTableKind { BARCODE_KIND_JOB = 0, BARCODE_KIND_TOOL = 1 };

// A table of either kind; the job table is the module's own, a tool's table lives in
// its registry record and is used under the registry lock.
struct BarcodeTable {
    std::vector<BarcodeEntry> rows;
};

// ---- tables as values (pure; no files, no locks) ----
BarcodeTable* BarcodeTable_Create();
void BarcodeTable_Destroy(BarcodeTable* table);
// Parses table text ("code~partial~start~end~target~" per line). Every line yields one
// row; rows are appended. Returns the number of rows read.
int BarcodeTable_Parse(BarcodeTable* table, const char* text, size_t len, int kind);
std::string BarcodeTable_Format(const BarcodeTable* table, int kind);
// `target`: job name (const char*) for the job kind, preset (const int32_t*) for tools;
// null clears the job name or stores preset -1. 0, or -1 when refused (null code,
// partial above 1, negative start or end).
int BarcodeTable_Append(BarcodeTable* table, int kind, const char* code, int32_t partial,
                        int32_t start, int32_t end, const void* target);
int BarcodeTable_Edit(BarcodeTable* table, int kind, int row, const char* code, int32_t partial,
                      int32_t start, int32_t end, const void* target);
// The registry's append of a tool row (ToolBarcodeOps signature).
int BarcodeTable_AppendPreset(BarcodeTable* table, const char* code, uint32_t partial,
                              uint32_t start, uint32_t end, uint32_t preset);
int BarcodeTable_Delete(BarcodeTable* table, int row);
int BarcodeTable_DeleteSelected(BarcodeTable* table);
int BarcodeTable_MoveUp(BarcodeTable* table, int row);
int BarcodeTable_MoveDown(BarcodeTable* table, int row);
int BarcodeTable_MoveTop(BarcodeTable* table, int row);
int BarcodeTable_MoveBottom(BarcodeTable* table, int row);
// Rows in order; the first row equal to `code` wins. -1 when none.
int BarcodeTable_Match(const BarcodeTable* table, const char* code);
// Files of a tool table: "./files/tools/<name>/barcode.zq". Load of a missing file gives
// an empty table (0); save returns 0 or -1.
int BarcodeTable_LoadTool(BarcodeTable* table, const char* toolName);
int BarcodeTable_SaveTool(const BarcodeTable* table, const char* toolName);

// ---- key decoding (pure) ----
struct BarcodeKeyState {
    char buf[BARCODE_MAX + 1]; // the current barcode; new characters overwrite in place
    int count;                 // characters of the code being read
    bool shift;
};
void BarcodeKey_Reset(BarcodeKeyState* s);
// One key event. Returns 1 when it ended a code (the buffer then holds it), else 0.
int BarcodeKey_Feed(BarcodeKeyState* s, uint16_t type, uint16_t code, int32_t value);
// The character of a key code with or without shift; 0 for keys that end a code.
char BarcodeKey_Char(uint16_t code, bool shift);
// Size of one input event on the device: 16 bytes for the board's 32-bit layout and
// the simulated node, the native size for a character device of this host.
constexpr size_t BARCODE_EVENT_SIZE = 16;
// Splits one input event (time, then u16 type, u16 code, s32 value, little-endian).
int BarcodeKey_ParseEvent(const uint8_t* bytes, size_t len, size_t eventSize, uint16_t* type,
                          uint16_t* code, int32_t* value);

// ---- the module ----
// How the module reaches the tool tables in the registry records. All calls except
// lock/unlock are made with the registry lock held.
struct BarcodeToolAccess {
    void (*lock)();
    void (*unlock)();
    int (*count)();                  // registered tools
    BarcodeTable** (*slot)(int tdx); // the record's table pointer, null for a bad index
    const char* (*name)(int tdx);    // the registered name, null for a bad index
};
void Barcode_SetToolAccess(const BarcodeToolAccess* access);

int Barcode_Init();
int Barcode_Load();
int Barcode_RefreshDev();
bool Barcode_IsOpen();
// The scanner's device node exists (the status bar shows the scanner then).
bool Barcode_DevicePresent();
std::string Barcode_GetCurrCode();
void Barcode_GetCurrCode(char* out, size_t size);
void Barcode_SetCurrCode(const char* text);
// Installed by a plant peer: called with each new current code (a scan or a tool's read).
using BarcodeCodeHook = void (*)(const char* code);
void Barcode_SetCodeHook(BarcodeCodeHook hook);

// Table operations: table 8 = job table, 0..7 = tool. 0, or -1 when refused.
int Barcode_Len(int table);
int Barcode_GetEntry(int table, int row, BarcodeEntry* out);
int Barcode_Append(int table, const char* code, int32_t partial, int32_t start, int32_t end,
                   const void* target);
int Barcode_Edit(int table, int row, const char* code, int32_t partial, int32_t start, int32_t end,
                 const void* target);
int Barcode_Delete(int table, int row);
int Barcode_Delete_Selected(int table);
int Barcode_MoveUp(int table, int row);
int Barcode_MoveDown(int table, int row);
int Barcode_MoveTop(int table, int row);
int Barcode_MoveBottom(int table, int row);
int Barcode_SetSelected(int table, int row, int selected); // row -1: every row
int Barcode_Save(int table);
// Job name for a code from the job table (empty when none); preset of a tool (or -1).
std::string Barcode_FindJob(const char* code);
int32_t Barcode_FindPreset(int tdx, const char* code);
