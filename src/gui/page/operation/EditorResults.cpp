#include "EditorResults.h"

void EditorResults::Start() {
    if (ReadPending()) port_.StartPrompt(kPromptMs);
}

void EditorResults::Fasten(int tdx) {
    FastenResult r;
    if (tdx >= 0 && tdx < kTools && TakeResult(tdx, &r)) LogResult(tdx, r);
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
        intake_.OutputOff(t);
}

// Only new results from it; its lock stays as it is.
void EditorResults::OpenTool(int tdx) {
    OpenOutput(tdx);
}

void EditorResults::StartCollecting(int tdx) {
    intake_.OutputOn(tdx, 0);
}
