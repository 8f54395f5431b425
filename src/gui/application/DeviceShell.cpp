// Device-object family "shell state": current tool, user level, debug page.
#include "ApplicationDeviceClass.h"
#include "tools.h"

int32_t ApplicationDeviceClass::OnGetCurrTdx() {
    return CurrTdx_;
}

void ApplicationDeviceClass::OnSetCurrTdx(int32_t value) {
    // Always notifies, even with the same value: screens re-read the current tool.
    PrevTdx_ = CurrTdx_;
    CurrTdx_ = value;
    ToolManager_SetCurrTdx(value);
    emit PrevTdxChanged();
    emit CurrTdxChanged();
}

void ApplicationDeviceClass::OnSetUserLevel(int32_t value) {
    if (value == UserLevel_) return;
    UserLevel_ = value;
    emit UserLevelChanged();
}

void ApplicationDeviceClass::OnSetDebugPageOpen(bool value) {
    if (value == DebugPageOpen_) return;
    DebugPageOpen_ = value;
    emit DebugPageOpenChanged();
}
