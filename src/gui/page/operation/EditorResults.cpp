#include "EditorResults.h"

void EditorResults::Start() {
    if (ReadPending()) port_.StartPrompt(kPromptMs);
}

void EditorResults::Fasten(int tdx) {
    if (tdx < 0 || tdx >= kTools || TakeStored(tdx)) return;
    FastenResult r;
    if (ReadLive(tdx, &r)) LogResult(tdx, r);
}

void EditorResults::Prompt() {
    if (!port_.StoredOpen()) port_.StoredShow();
}

void EditorResults::StoredLeave() {
    // Whatever was not asked for stays in the tools, for the next screen that collects.
    DropStored();
    if (port_.StoredOpen()) port_.StoredClose();
}

void EditorResults::Stop() {
    for (int t = 0; t < port_.ToolCount() && t < kTools; ++t)
        port_.DisableDataBackup(t);
}

// Only new results from it; its lock stays as it is.
void EditorResults::OpenTool(int tdx) {
    port_.EnableDataBackup(tdx, 1);
}

void EditorResults::StartCollecting(int tdx) {
    port_.EnableDataBackup(tdx, 0);
}
