// Device-object family "backup event forwarding": the three share settings and the
// share screen's apply and close.
#include "ApplicationDeviceClass.h"
#include "bef.h"
#include "setting.h"

bool ApplicationDeviceClass::OnGetBefEnable() {
    return get_setting_share()->bef_enable == 1;
}

void ApplicationDeviceClass::OnSetBefEnable(bool on) {
    get_setting_share()->bef_enable = on ? 1 : 0;
    emit BefEnableChanged();
}

uint32_t ApplicationDeviceClass::OnGetBefServerIp() {
    return get_setting_share()->bef_server_ip;
}

// Address and port are written without notifying observers.
void ApplicationDeviceClass::OnSetBefServerIp(uint32_t address) {
    get_setting_share()->bef_server_ip = address;
}

uint32_t ApplicationDeviceClass::OnGetBefServerPort() {
    return get_setting_share()->bef_port;
}

void ApplicationDeviceClass::OnSetBefServerPort(uint32_t port) {
    get_setting_share()->bef_port = port;
}

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
