// The list commands of the barcode tables without widgets: what a row shows, which
// confirmation a button asks first, whether a command does anything where the cursor is,
// and where the cursor goes after it. Table 8 is the job table, 0..7 a tool's table.
#pragma once

#include <QString>

struct BarcodeRow {
    QString Code;
    int Partial = 0, Start = 0, End = 0;
    QString JobName;
    int Preset = -1;
    bool Selected = false;
};

namespace BarcodeList {

enum Command { Add, Edit, Delete, Up, Down, Top, End, SelectAll };

constexpr int kJobTable = 8;
constexpr int kPresetLowest = 1, kPresetHighest = 17; // 16 and 17: the multi sequences

// A row of a table as the device object hands it out.
BarcodeRow Read(int table, int row);
int Len(int table);
int SelectedCount(int table);

QString Number(int row);
// The code as rich text with the compared part highlighted (the whole code unmarked
// when the row compares the whole code).
QString CodeHtml(const BarcodeRow& r);
QString Range(const BarcodeRow& r); // "start / end", or "-" for the whole code
QString Preset(int preset);         // "P.n", "MS-A", "MS-B", "-" for none
QString SelectAllLabel(int len, int selected);

// Why the editor's row cannot be stored (empty when it can): the table files separate
// fields with "~" and rows with a newline, so neither may be inside a code or a job name
// (a scanner can send "~"); a preset row needs a preset.
QString Refusal(const BarcodeRow& r, bool jobTable);

// The confirmation context a command asks first ("delete", "top", "end"), empty for none,
// and its question.
QString Confirmation(Command c);
QString Question(Command c);
// The command changes something with the cursor at `row` (-1: none).
bool Applies(Command c, int table, int row);
// Runs a (confirmed) table command on the device object's table; the cursor after it.
// Add and Edit belong to the entry editor and return the cursor unchanged.
int Run(Command c, int table, int row);

} // namespace BarcodeList
