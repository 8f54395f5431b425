// Device-object family "debug": the ten flag properties and the log wrappers.
#include "ApplicationDeviceClass.h"
#include "UnitEwDebugLog.h"
#include "debug.h"

#include <cstdio>

#define KEST_DEBUG_FLAG_IMPL(Name, Index)                                                          \
    bool ApplicationDeviceClass::OnGet##Name() {                                                   \
        return GetDebugFlag(Index);                                                                \
    }                                                                                              \
    void ApplicationDeviceClass::OnSet##Name(bool on) {                                            \
        SetDebugFlag(Index, on);                                                                   \
    }
KEST_DEBUG_FLAG_IMPL(DebugFlagDisco, DEBUG_FLAG_DISCO)
KEST_DEBUG_FLAG_IMPL(DebugFlagInput, DEBUG_FLAG_INPUT)
KEST_DEBUG_FLAG_IMPL(DebugFlagOutput, DEBUG_FLAG_OUTPUT)
KEST_DEBUG_FLAG_IMPL(DebugFlagBarcode, DEBUG_FLAG_BARCODE)
KEST_DEBUG_FLAG_IMPL(DebugFlagSetting, DEBUG_FLAG_SETTING)
KEST_DEBUG_FLAG_IMPL(DebugFlagModbus, DEBUG_FLAG_MODBUS)
KEST_DEBUG_FLAG_IMPL(DebugFlagNetlink, DEBUG_FLAG_NETLINK)
KEST_DEBUG_FLAG_IMPL(DebugFlagEwevent, DEBUG_FLAG_EWEVENT)
KEST_DEBUG_FLAG_IMPL(DebugFlagBEF, DEBUG_FLAG_BEF)
KEST_DEBUG_FLAG_IMPL(DebugFlagBST, DEBUG_FLAG_BST)
#undef KEST_DEBUG_FLAG_IMPL

bool ApplicationDeviceClass::GetDebugFlag(int index) {
    if (index < 0 || index >= DEBUG_FLAG_COUNT) return false;
    return Debug_GetFlag()[index].load() != 0;
}

void ApplicationDeviceClass::SetDebugFlag(int index, bool on) {
    if (index < 0 || index >= DEBUG_FLAG_COUNT) return;
    if (GetDebugFlag(index) == on) return;
    Debug_GetFlag()[index].store(on ? 1 : 0);
    emit DebugFlagsChanged();
}

void ApplicationDeviceClass::DebugWrite(int32_t flag, const QString& text) {
    if (flag != 1) return;
    QByteArray native = ToNative(text);
    fprintf(stdout, "\033[32m[DMK]\033[39m %s\n", native.constData());
    fflush(stdout);
    // Raised directly on the GUI thread, without the queue.
    auto* p = new UnitEwDebugLog;
    p->Text = text;
    EwDebugEvent.Trigger(p);
}

int32_t ApplicationDeviceClass::DebugOpenFd() {
    return Debug_OpenFile_ForSave();
}

void ApplicationDeviceClass::DebugWriteFd(const QString& text) {
    QByteArray native = ToNative(text);
    Debug_WriteFile_ForSave(native.constData());
}

int32_t ApplicationDeviceClass::DebugCloseFd() {
    return Debug_CloseFile_ForSave();
}
