#include "FreeRunDevice.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitBstEvent.h"
#include "UnitFastenEventData.h"

#include <memory>

namespace {
ApplicationDeviceClass* dev() {
    return ApplicationDevice();
}
} // namespace

bool FreeRunDevice::BackupManager() {
    return dev()->OnGetBackupManager();
}
int FreeRunDevice::BarcodeInterface() {
    return dev()->OnGetBarcodeIF();
}
bool FreeRunDevice::TrayUsed() {
    return dev()->OnGetBitSocketTray();
}
int FreeRunDevice::ToolCount() {
    return dev()->GetRegtoolsLen();
}
int FreeRunDevice::ToolState(int tdx) {
    return dev()->GetTdxToolState(tdx);
}
int FreeRunDevice::FindTrayTool() {
    return dev()->FindRegTdxByName(dev()->GetBstToolName());
}
int FreeRunDevice::PendingEvents(int tdx) {
    return dev()->GetNoPendingEvent(tdx);
}
void FreeRunDevice::WriteRegister(int tdx, int reg, int value) {
    dev()->MbusWriteTdx(tdx, reg, value);
}
void FreeRunDevice::SetToolLock(int tdx, int on) {
    dev()->SetToolLock(tdx, on);
}
void FreeRunDevice::SetAutoLock(int tdx, int on) {
    dev()->SetAutoLock(tdx, on);
}
void FreeRunDevice::EnableDataBackup(int tdx, int skipStored) {
    dev()->EnableDataBackup(tdx, skipStored);
}
void FreeRunDevice::DisableDataBackup(int tdx) {
    dev()->DisableDataBackup(tdx);
}
void FreeRunDevice::SetFetBit(int tdx, bool on) {
    const int mask = dev()->OnGetFetEnable();
    dev()->OnSetFetEnable(on ? mask | (1 << tdx) : mask & ~(1 << tdx));
}
void FreeRunDevice::ClearFet() {
    dev()->ClearFet();
}

bool FreeRunDevice::ReadResult(int tdx, FastenResult* out) {
    std::unique_ptr<UnitFastenEventData> d(dev()->GetFastenEventData(tdx));
    if (!d || !d->Fresh) return false;
    *out = static_cast<const FastenResult&>(*d);
    return true;
}

std::string FreeRunDevice::CheckLogLocation() {
    return dev()->CheckLogLocation().toStdString();
}

// The tool drops a result from its store once acknowledged, so the device object sends
// 4016 := 1 only after the line is on disk (or spooled, which raises LogFailEvent).
int FreeRunDevice::LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) {
    return dev()->LogAndAcknowledge(-1, -1, tdx, r, barcodeSource, tdx);
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
