#include "ToolListEditor.h"

void ToolListEditor::SelectDiscovered(int index) {
    disco_ = port_.DiscoMac(index);
}

int ToolListEditor::SelectedDiscovered() const {
    if (disco_.isEmpty()) return -1;
    for (int i = 0; i < port_.DiscoCount(); ++i)
        if (port_.DiscoMac(i) == disco_) return i;
    return -1;
}

void ToolListEditor::TablesChanged() {
    if (reg_ >= port_.RegCount()) reg_ = -1;
    if (SelectedDiscovered() < 0) disco_.clear();
}

void ToolListEditor::RegisterPressed() {
    // The limit is told even before a tool is chosen.
    if (port_.RegCount() >= kMaxTools) {
        port_.Error(kLimitText);
        return;
    }
    const int index = SelectedDiscovered();
    if (index < 0) return;
    reg_ = -1;
    disco_.clear();
    port_.Register(index);
    port_.ListsChanged();
}

void ToolListEditor::ReleasePressed() {
    if (reg_ < 0 || reg_ >= port_.RegCount()) return;
    port_.ConfirmRelease();
}

void ToolListEditor::ReleaseConfirmed() {
    const int tdx = reg_;
    if (tdx < 0 || tdx >= port_.RegCount()) return;
    // No screen may act on the released tool's successor meanwhile.
    if (tdx == port_.CurrTdx()) port_.SetCurrTdx(-1);
    reg_ = -1;
    disco_.clear();
    port_.Release(tdx);
    port_.ListsChanged();
}

bool ToolListEditor::RenameConfirmed(int tdx, const QString& typed) {
    // Cut as the registry would keep it, so the duplicate check sees the name it stores.
    const QString name = typed.left(kNameMax);
    if (name.contains('/')) {
        port_.Error(kSlashText);
        return false;
    }
    // The tool's own name counts: renaming to it would change nothing.
    if (port_.FindRegByName(name) >= 0) {
        port_.Error(kExistText);
        return false;
    }
    if (port_.Rename(tdx, name) != 0) {
        port_.Error(kRenameFailText);
        return false;
    }
    port_.ListsChanged();
    // Observers of the current tool see its new name.
    if (tdx == port_.CurrTdx()) port_.SetCurrTdx(tdx);
    return true;
}
