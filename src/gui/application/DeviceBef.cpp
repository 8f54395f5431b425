// Device-object family "backup event forwarding": the three share settings and the
// share screen's apply and close.
#include "ApplicationDeviceClass.h"
#include "bef.h"
#include "setting.h"

int32_t ApplicationDeviceClass::BefApplySetting(bool enable, uint32_t address, uint32_t port) {
    bool wasOn = OnGetBefEnable();
    int32_t changed = Bef_ApplySetting(enable ? 1 : 0, address, port);
    if (changed && wasOn != enable) emit BefEnableChanged();
    return changed;
}

void ApplicationDeviceClass::BefCloseServerStream(const QString& reason) {
    Bef_CloseServerStream(ToNative(reason).constData());
}

bool ApplicationDeviceClass::BefIsConnected() {
    return Bef_IsConnected() == 1;
}
