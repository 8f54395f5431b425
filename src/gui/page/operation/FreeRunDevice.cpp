#include "FreeRunDevice.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitBstEvent.h"

#include <memory>

bool FreeRunDevice::TrayUsed() {
    return ApplicationDevice()->OnGetBitSocketTray();
}
int FreeRunDevice::FindTrayTool() {
    return ApplicationDevice()->FindRegTdxByName(ApplicationDevice()->GetBstToolName());
}
void FreeRunDevice::SetToolLock(int tdx, int on) {
    ApplicationDevice()->SetToolLock(tdx, on);
}
void FreeRunDevice::SetAutoLock(int tdx, int on) {
    ApplicationDevice()->SetAutoLock(tdx, on);
}
void FreeRunDevice::SetFetBit(int tdx, bool on) {
    const int mask = ApplicationDevice()->OnGetFetEnable();
    ApplicationDevice()->OnSetFetEnable(on ? mask | (1 << tdx) : mask & ~(1 << tdx));
}
void FreeRunDevice::ClearFet() {
    ApplicationDevice()->ClearFet();
}

bool FreeRunDevice::BarcodePresetOn(int tdx) {
    return ApplicationDevice()->GetSettingBarcodeTdx(tdx);
}
int FreeRunDevice::FindPreset(int tdx, const std::string& code) {
    return ApplicationDevice()->BarcodeFindPreset(tdx, QString::fromLatin1(code.c_str()));
}

FreeTray FreeRunDevice::Tray() {
    FreeTray t;
    t.Connected = ApplicationDevice()->IsBstConnect();
    t.Comm = ApplicationDevice()->IsBstComm();
    std::unique_ptr<QObject> data(ApplicationDevice()->GetBstData());
    if (auto* d = qobject_cast<UnitBstEvent*>(data.get())) {
        t.Preset = d->Preset;
        t.Alarm = d->Alarm;
        t.Opmode = d->Opmode;
    }
    return t;
}
void FreeRunDevice::TrayAlarmForce() {
    ApplicationDevice()->SetBstAlarmForce();
}

void FreeRunDevice::SoundTap() {
    UiSound_Tap();
}
void FreeRunDevice::SoundNg() {
    UiSound_Ng();
}
