// Fastening event channel: receive watches on the tools' event connections (loop 4,
// "D"), frame normalisation and decoding, the per-tool queue of unread results, the
// fastening event table (FET) of operation without job, and pending stored events.
#pragma once

#include "fasten_result.h"

#include <cstddef>
#include <cstdint>

#define FASTEN_FRAME_MIN 37         // a frame without barcode
#define FASTEN_FRAME_DRIVER 70      // types 2, 3: 33-byte NUL-terminated barcode
#define FASTEN_FRAME_CONTROLLER 101 // types 1, 4: 32 registers, one character each
#define FASTEN_BARCODE_OFFSET 37
#define FET_CAPACITY 1024

enum FastenStatus {
    FASTEN_STATUS_OTHER = 0,
    FASTEN_STATUS_OK = 1,
    FASTEN_STATUS_NG = 2,
    FASTEN_STATUS_BARCODE = 7,
    FASTEN_STATUS_SCREW_COUNT = 8
};

// One entry of the fastening event table: the result (its Barcode is the tool's text or
// the reader's code, by the barcode interface setting) and where and when it came in.
struct FetItem : FastenResult {
    uint32_t seq = 0; // from 1 since start or the last clear
    char time[20] = {};
    char toolName[33] = {};
};

int Operation_Init();

// ---- pure frame functions (no socket, no lock) ----
// Brings a received frame to the driver layout in place: for tool types 1 and 4 the 32
// barcode registers are packed into text and the frame cut to 37 + text length, with the
// byte count (offset 8) and length field (offsets 4-5) changed by the same amount.
// Returns the new length, or -1 for a frame shorter than 37 bytes. `cap` is the buffer
// size (one byte past the text is cleared when it fits).
int Operation_NormaliseFrame(uint8_t* frame, int len, size_t cap, uint8_t type);
// Registers 1 to 13 (big-endian) and the text at offset 37 (bounded by `len`). 0 or -1.
int Operation_DecodeFrame(const uint8_t* frame, int len, FastenResult* out);
// Stored events not yet delivered: newest - delivered, wrapping at 100 (types 1, 4) or
// 65032 (types 2, 3).
uint16_t Operation_PendingEvents(uint16_t newest, uint16_t delivered, uint8_t type);

// ---- event output per tool ----
// Installs the receive watch (loop 4) if missing and writes 4015 := 2 (skip stored) or 1.
// Returns the write result, or -1 (nothing written) for an unknown tool or one whose data
// and event connections are not both there. Call without a table lock held.
int fastening_event_enable(int tdx, int skipStored);
// Removes the watch and writes 4015 := 0; the write result, or -1 for an unknown tool.
int fastening_event_disable(int tdx);
// The oldest result the screens have not read (it then becomes the "last read" one), or
// the last read again when none is waiting. 0 for a new result, 1 for the last one again,
// -1 when the tool never sent one.
int Operation_TakeEvent(int tdx, FastenResult* out);
// Number of results waiting for the screens.
int Operation_QueuedEvents(int tdx);
// Reads 2900/2901 and returns the pending stored events (0 for a bad or unconnected tool).
int Operation_GetNoPendingEvent(int tdx);

// ---- fastening event table ----
// Appends (or, when full, overwrites the oldest) from a normalised frame. The caller holds
// the registered-table lock (the tool name is read from the registry); the FET mutex is
// taken inside, so the order is registered table, then FET.
int add_fet_item(int tdx, const uint8_t* frame, int len);
int get_fet_len();
// Copy of the item at array position `index`; 0 or -1.
int get_fet_item(int index, FetItem* out);
void clear_fet();
uint32_t fet_get_enable();
void fet_set_enable(uint32_t mask); // bit i: collect the results of tool i

// ---- barcode reader hand-off ----
// The barcode module installs these: `setCurr` takes a status-7 text in operation with job;
// `getCurr` copies the current barcode for FET items (local barcode interface).
using OperationSetBarcode = void (*)(const char* text);
using OperationGetBarcode = void (*)(char* out, size_t size);
void Operation_SetBarcodeHooks(OperationSetBarcode setCurr, OperationGetBarcode getCurr);
// Installed by a plant peer: a result (OK or NG) whose error register is not 0.
using OperationToolErrorHook = void (*)(int tdx, int error);
void Operation_SetToolErrorHook(OperationToolErrorHook hook);
