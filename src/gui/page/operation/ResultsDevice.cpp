#include "ResultsDevice.h"

#include "ApplicationDeviceClass.h"
#include "UnitFastenEventData.h"

#include <memory>

bool ResultsDevice::BackupManager() {
    return ApplicationDevice()->OnGetBackupManager();
}
int ResultsDevice::BarcodeInterface() {
    return ApplicationDevice()->OnGetBarcodeIF();
}
int ResultsDevice::ToolCount() {
    return ApplicationDevice()->GetRegtoolsLen();
}
int ResultsDevice::ToolState(int tdx) {
    return ApplicationDevice()->GetTdxToolState(tdx);
}
int32_t ResultsDevice::GetNoPendingEvent(int32_t tdx) {
    return ApplicationDevice()->GetNoPendingEvent(tdx);
}
void ResultsDevice::AckResend(int32_t tdx) {
    ApplicationDevice()->AcknowledgeResend(tdx);
}
void ResultsDevice::WriteRegister(int tdx, int reg, int value) {
    ApplicationDevice()->MbusWriteTdx(tdx, reg, value);
}
void ResultsDevice::EnableDataBackup(int tdx, int skipStored) {
    ApplicationDevice()->EnableDataBackup(tdx, skipStored);
}
void ResultsDevice::DisableDataBackup(int tdx) {
    ApplicationDevice()->DisableDataBackup(tdx);
}

bool ResultsDevice::ReadResult(int tdx, FastenResult* out) {
    std::unique_ptr<UnitFastenEventData> d(ApplicationDevice()->GetFastenEventData(tdx));
    if (!d || !d->Fresh) return false;
    *out = static_cast<const FastenResult&>(*d);
    return true;
}

std::string ResultsDevice::CheckLogLocation() {
    return ApplicationDevice()->CheckLogLocation().toStdString();
}

// The tool drops a result from its store once acknowledged, so the device object sends
// 4016 := 1 only after the line is on disk (or spooled, which raises LogFailEvent).
int ResultsDevice::LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) {
    return ApplicationDevice()->LogAndAcknowledge(-1, -1, tdx, r, barcodeSource, tdx);
}
