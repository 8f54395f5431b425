// The tool's own barcode table (30 entries that select a preset when the tool's reader
// reads a matching code), reached through a window of registers: the index at 5000, the
// entry at 5001..5003 and 5007..5038, commands at 5005 (clear all) and 5006 (store).
// The read and write sequences, and the list's display form, without widgets.
#pragma once

#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>

struct ToolBarcodeEntry {
    bool valid = false; // read back from the tool
    int preset = 0;
    int start = 0, end = 0; // compared part, 1-based, both 0 for the whole code
    QString code;
};

// What the sequences need of the device object, for one tool.
struct ToolBarcodeLink {
    std::function<int(int addr, int value)> write;               // 0 written
    std::function<int(int addr, int count)> read;                // 0 read
    std::function<QVector<uint16_t>(int addr, int count)> block; // mirrored after a read
};

namespace ToolBarcode {

constexpr int kEntries = 30;
constexpr int kIndex = 5000, kPreset = 5001, kStart = 5002, kEnd = 5003;
constexpr int kClearAll = 5005, kStore = 5006;
constexpr int kCode = 5007, kCodeMax = 32; // 5007..5038
constexpr int kClearAllValue = 2, kStoreValue = 1;
constexpr int kPresetLowest = 1, kPresetHighest = 15;

// 5000 := index, then 5000..5003 and 5007..5038 read. 0, or the first failing result
// (the entry stays invalid); -1 when the tool shows another index than the one asked.
int ReadEntry(const ToolBarcodeLink& link, int index, ToolBarcodeEntry* out);

// Stores `entry` at `index`: an empty code clears the entry (every field 0), else the
// preset, the compared part when `partial` (0, 0 otherwise), the code's characters and
// 0 up to 5038, then 5006 := 1. Stops at the first failing write without the store
// command, so a half-written window is never stored; returns 0 or that result, -1 for an
// entry that cannot be stored (index, preset, code too long, range outside the code).
int WriteEntry(const std::function<int(int addr, int value)>& write, int index,
               const ToolBarcodeEntry& entry, bool partial);
// Why WriteEntry would refuse `entry` (empty when it would not).
QString Refusal(const ToolBarcodeEntry& entry, bool partial);

int ClearAll(const std::function<int(int addr, int value)>& write); // 5005 := 2

// Display: the number from 1; the code split around its compared part (all in `before`
// unless end is nonzero and not below start); "start / end" or "-"; "P." + preset.
QString Number(int index);
struct CodeParts {
    QString before, compared, after;
};
CodeParts Parts(const ToolBarcodeEntry& entry);
QString Range(const ToolBarcodeEntry& entry);
QString Preset(const ToolBarcodeEntry& entry);
// The list's code as rich text, the compared part highlighted.
QString CodeHtml(const ToolBarcodeEntry& entry);

} // namespace ToolBarcode
