#include "BarcodeList.h"

#include "ApplicationDeviceClass.h"
#include "UnitBarcodeData.h"
#include "page/parameters/ToolBarcode.h"

namespace BarcodeList {

namespace {
// The tool table's display helpers take the compared part as start and end, 0 and 0 for
// the whole code.
ToolBarcodeEntry asToolEntry(const BarcodeRow& r) {
    ToolBarcodeEntry e;
    e.valid = true;
    e.code = r.Code;
    if (r.Partial == 1 && r.Start >= 1 && r.End >= r.Start) {
        e.start = r.Start;
        e.end = r.End;
    }
    return e;
}
} // namespace

BarcodeRow Read(int table, int row) {
    auto* d = qobject_cast<UnitBarcodeData*>(ApplicationDevice()->UpdateCurrBarcode(table, row));
    BarcodeRow r;
    if (!d) return r;
    r.Code = d->Code;
    r.Partial = d->Partial;
    r.Start = d->Start;
    r.End = d->End;
    r.JobName = d->JobName;
    r.Preset = d->Preset;
    r.Selected = d->Selected;
    return r;
}

int Len(int table) {
    return ApplicationDevice()->BarcodeGetLen(table);
}

int SelectedCount(int table) {
    int n = 0;
    for (int i = 0; i < Len(table); ++i)
        n += Read(table, i).Selected ? 1 : 0;
    return n;
}

QString Number(int row) {
    return ToolBarcode::Number(row);
}

QString CodeHtml(const BarcodeRow& r) {
    return ToolBarcode::CodeHtml(asToolEntry(r));
}

QString Range(const BarcodeRow& r) {
    return r.Code.isEmpty() ? "-" : ToolBarcode::Range(asToolEntry(r));
}

QString Preset(int preset) {
    if (preset == 16) return "MS-A";
    if (preset == 17) return "MS-B";
    if (preset < kPresetLowest || preset > kPresetHighest) return "-";
    return "P." + QString::number(preset);
}

QString SelectAllLabel(int len, int selected) {
    return len > 0 && selected == len ? "Deselect All" : "Select All";
}

QString Refusal(const BarcodeRow& r, bool jobTable) {
    auto unsafe = [](const QString& t) {
        return t.contains('~') || t.contains('\n') || t.contains('\r');
    };
    if (unsafe(r.Code)) return "The code holds a character the table cannot store.";
    if (jobTable && unsafe(r.JobName))
        return "The job name holds a character the table cannot store.";
    if (!jobTable && (r.Preset < kPresetLowest || r.Preset > kPresetHighest))
        return "Please select a preset.";
    return {};
}

QString Confirmation(Command c) {
    switch (c) {
    case Delete:
        return "delete";
    case Top:
        return "top";
    case End:
        return "end";
    default:
        return {};
    }
}

QString Question(Command c) {
    switch (c) {
    case Delete:
        return "Are you sure you want to delete?";
    case Top:
        return "Are you sure you want to move it to the top?";
    case End:
        return "Are you sure you want to move it to the end?";
    default:
        return {};
    }
}

bool Applies(Command c, int table, int row) {
    const int len = Len(table);
    const bool at = row >= 0 && row < len;
    switch (c) {
    case Add:
        return true;
    case Edit:
        return at;
    case Delete: // the marked rows, or else the cursor's row
        return at || SelectedCount(table) > 0;
    case Up:
    case Top:
        return at && row >= 1;
    case Down:
    case End:
        return at && row < len - 1;
    case SelectAll:
        return len > 0;
    }
    return false;
}

int Run(Command c, int table, int row) {
    if (!Applies(c, table, row)) return row;
    const int len = Len(table);
    switch (c) {
    case Add:
    case Edit:
        return row;
    case Delete: {
        if (SelectedCount(table) > 0) {
            ApplicationDevice()->BarcodeDeleteSelOn(table);
            return -1;
        }
        ApplicationDevice()->BarcodeDelete(table, row);
        return row < len - 1 ? row : row - 1;
    }
    case Up:
        ApplicationDevice()->BarcodeMoveUp(table, row);
        return row - 1;
    case Down:
        ApplicationDevice()->BarcodeMoveDown(table, row);
        return row + 1;
    case Top:
        ApplicationDevice()->BarcodeMoveTop(table, row);
        return 0;
    case End:
        ApplicationDevice()->BarcodeMoveEnd(table, row);
        return len - 1;
    case SelectAll:
        ApplicationDevice()->BarcodeSetSelected(table, -1, SelectedCount(table) < len);
        return row;
    }
    return row;
}

} // namespace BarcodeList
