#include "FreeRunDevice.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitBstEvent.h"

#include <memory>

namespace {
ApplicationDeviceClass* dev() {
    return ApplicationDevice();
}
} // namespace

bool FreeRunDevice::TrayUsed() {
    return dev()->OnGetBitSocketTray();
}
int FreeRunDevice::FindTrayTool() {
    return dev()->FindRegTdxByName(dev()->GetBstToolName());
}
void FreeRunDevice::SetToolLock(int tdx, int on) {
    dev()->SetToolLock(tdx, on);
}
void FreeRunDevice::SetAutoLock(int tdx, int on) {
    dev()->SetAutoLock(tdx, on);
}
void FreeRunDevice::SetFetBit(int tdx, bool on) {
    const int mask = dev()->OnGetFetEnable();
    dev()->OnSetFetEnable(on ? mask | (1 << tdx) : mask & ~(1 << tdx));
}
void FreeRunDevice::ClearFet() {
    dev()->ClearFet();
}

bool FreeRunDevice::BarcodePresetOn(int tdx) {
    return dev()->GetSettingBarcodeTdx(tdx);
}
int FreeRunDevice::FindPreset(int tdx, const std::string& code) {
    return dev()->BarcodeFindPreset(tdx, QString::fromLatin1(code.c_str()));
}

FreeTray FreeRunDevice::Tray() {
    FreeTray t;
    t.Connected = dev()->IsBstConnect();
    t.Comm = dev()->IsBstComm();
    std::unique_ptr<QObject> data(dev()->GetBstData());
    if (auto* d = qobject_cast<UnitBstEvent*>(data.get())) {
        t.Preset = d->Preset;
        t.Alarm = d->Alarm;
        t.Opmode = d->Opmode;
    }
    return t;
}
void FreeRunDevice::TrayAlarmForce() {
    dev()->SetBstAlarmForce();
}

void FreeRunDevice::SoundTap() {
    UiSound_Tap();
}
void FreeRunDevice::SoundNg() {
    UiSound_Ng();
}
