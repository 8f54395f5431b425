#include "wlan.h"

#include "common.h"
#include "debug.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
struct HostapdCtx {
    std::atomic<uint32_t> hostapdRunState{0};
};
HostapdCtx hostapdCtx;
} // namespace

void Hostapd_Ifup_Wlan() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifup wlan0");
    Common_System("ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up");
}

void Hostapd_Ifup_Down() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifdown wlan0");
    Common_System("ifconfig wlan0 down");
}

int check_wlan_access() {
    FILE* f = fopen(Common_SysPath("/proc/net/wireless").c_str(), "r");
    if (!f) return -1;
    char line[512];
    int found = -1;
    while (found != 0 && fgets(line, sizeof line, f))
        if (strstr(line, "wlan0")) found = 0;
    fclose(f);
    return found;
}

// The daemon, its configuration and the control connection are added with the access
// point's own change; until then the run state alone follows start and stop.
void Hostapd_Run() {
    if (check_wlan_access() == 0) hostapdCtx.hostapdRunState = 1;
}

void Hostapd_Kill() {
    hostapdCtx.hostapdRunState = 0;
}

int Hostapd_IsRunning() {
    return int(hostapdCtx.hostapdRunState.load());
}
