// Device-object family "network": the discovery scan request, network start-up and the
// Wi-Fi adapter.
#include "ApplicationDeviceClass.h"
#include "disco.h"
#include "net.h"
#include "usb.h"

void ApplicationDeviceClass::DiscoScan() {
    Disco_Send_ScanReq(1);
}

void ApplicationDeviceClass::NetInit() {
    Net_Init();
}

bool ApplicationDeviceClass::IsWifiConnected() {
    return is_wifi_dongle_connected() != 0;
}
