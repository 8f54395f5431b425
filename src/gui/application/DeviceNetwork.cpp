// Device-object family "network": the discovery scan request, network start-up and the
// Wi-Fi adapter.
//
// Not joined yet: the network module (Net_Init: Ethernet up, the access point's interface
// when a dongle is on the bus) and the USB module (is_wifi_dongle_connected, a bus search
// for the two supported dongles). Until they exist this is the one place that answers for
// them: NetInit starts nothing and IsWifiConnected reports no adapter, so the start-up
// checks run at once and the status bar shows no Wi-Fi icon. Each becomes its module's call.
#include "ApplicationDeviceClass.h"
#include "disco.h"
#include "usb.h"

void ApplicationDeviceClass::DiscoScan() {
    Disco_Send_ScanReq(1);
}

void ApplicationDeviceClass::NetInit() {}

bool ApplicationDeviceClass::IsWifiConnected() {
    return is_wifi_dongle_connected() != 0;
}
