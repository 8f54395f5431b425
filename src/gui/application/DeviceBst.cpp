// Device-object family "bit socket tray": presence, cached values, the socket request.
#include "ApplicationDeviceClass.h"
#include "UnitBstEvent.h"
#include "bst.h"

bool ApplicationDeviceClass::IsBstConnect() {
    return get_bst_status() != BST_STATUS_NONE;
}

bool ApplicationDeviceClass::IsBstComm() {
    return get_bst_preset() != -1 && get_bst_alarm() != -1 && get_bst_opmode() != -1 &&
           get_bst_no_socket() != -1;
}

QObject* ApplicationDeviceClass::GetBstData() {
    auto* d = new UnitBstEvent;
    d->ChangeMask = 0;
    d->Preset = get_bst_preset();
    d->Alarm = get_bst_alarm();
    d->Opmode = get_bst_opmode();
    d->NoSocket = get_bst_no_socket();
    return d;
}

int32_t ApplicationDeviceClass::BstWrite(int32_t address, int32_t value) {
    return bst_write(address, value);
}

void ApplicationDeviceClass::SetBstAlarmForce() {
    set_bst_alarm(2);
}
