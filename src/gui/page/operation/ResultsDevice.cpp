#include "ResultsDevice.h"

#include "ApplicationDeviceClass.h"
#include "UnitFastenEventData.h"

#include <memory>

namespace {
ApplicationDeviceClass* dev() {
    return ApplicationDevice();
}
} // namespace

bool ResultsDevice::BackupManager() {
    return dev()->OnGetBackupManager();
}
int ResultsDevice::BarcodeInterface() {
    return dev()->OnGetBarcodeIF();
}
int ResultsDevice::ToolCount() {
    return dev()->GetRegtoolsLen();
}
int ResultsDevice::ToolState(int tdx) {
    return dev()->GetTdxToolState(tdx);
}
int ResultsDevice::PendingEvents(int tdx) {
    return dev()->GetNoPendingEvent(tdx);
}
void ResultsDevice::WriteRegister(int tdx, int reg, int value) {
    dev()->MbusWriteTdx(tdx, reg, value);
}
void ResultsDevice::EnableDataBackup(int tdx, int skipStored) {
    dev()->EnableDataBackup(tdx, skipStored);
}
void ResultsDevice::DisableDataBackup(int tdx) {
    dev()->DisableDataBackup(tdx);
}

bool ResultsDevice::ReadResult(int tdx, FastenResult* out) {
    std::unique_ptr<UnitFastenEventData> d(dev()->GetFastenEventData(tdx));
    if (!d || !d->Fresh) return false;
    *out = static_cast<const FastenResult&>(*d);
    return true;
}

std::string ResultsDevice::CheckLogLocation() {
    return dev()->CheckLogLocation().toStdString();
}

// The tool drops a result from its store once acknowledged, so the device object sends
// 4016 := 1 only after the line is on disk (or spooled, which raises LogFailEvent).
int ResultsDevice::LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) {
    return dev()->LogAndAcknowledge(-1, -1, tdx, r, barcodeSource, tdx);
}
