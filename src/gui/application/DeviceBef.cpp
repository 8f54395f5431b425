// Device-object family "backup event forwarding": the share screen's apply and close.
#include "ApplicationDeviceClass.h"
#include "bef.h"

int32_t ApplicationDeviceClass::BefApplySetting(bool enable, uint32_t address, uint32_t port) {
    return Bef_ApplySetting(enable ? 1 : 0, address, port);
}

void ApplicationDeviceClass::BefCloseServerStream(const QString& reason) {
    Bef_CloseServerStream(ToNative(reason).constData());
}

bool ApplicationDeviceClass::BefIsConnected() {
    return Bef_IsConnected() == 1;
}
