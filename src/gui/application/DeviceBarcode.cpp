// Device-object family "barcode": the scanner device, the current barcode and the job
// and preset tables.
#include "ApplicationDeviceClass.h"
#include "UnitBarcodeData.h"
#include "barcode.h"
#include "setting.h"

namespace {
UnitBarcodeData* rowObject() {
    static UnitBarcodeData* data = new UnitBarcodeData;
    return data;
}
} // namespace

void ApplicationDeviceClass::BarcodeRefreshDev() {
    Barcode_RefreshDev();
}

bool ApplicationDeviceClass::IsBarcodeScannerPresent() {
    return Barcode_DevicePresent();
}

int32_t ApplicationDeviceClass::BarcodeGetLen(int32_t table) {
    return Barcode_Len(table);
}

QObject* ApplicationDeviceClass::UpdateCurrBarcode(int32_t table, int32_t row) {
    UnitBarcodeData* d = rowObject();
    BarcodeEntry e;
    if (Barcode_GetEntry(table, row, &e) != 0) {
        // No row: never hand back the previous row's data as if it were this one.
        d->Code.clear();
        d->JobName.clear();
        d->Partial = d->Start = d->End = 0;
        d->Selected = false;
        d->Preset = -1;
        return d;
    }
    d->Code = FromNative(e.code);
    d->Partial = int32_t(e.partial);
    d->Start = int32_t(e.start);
    d->End = int32_t(e.end);
    d->Selected = e.selected != 0;
    if (table == BARCODE_JOB_TABLE) {
        d->JobName = FromNative(e.target);
        d->Preset = -1;
    } else {
        d->JobName.clear();
        d->Preset = BarcodeEntry_Preset(&e);
    }
    return d;
}

void ApplicationDeviceClass::BarcodeAddJob(int32_t table, const QString& code, int32_t partial,
                                           int32_t start, int32_t end, const QString& jobName) {
    if (code.isEmpty()) return;
    QByteArray c = ToNative(code), j = ToNative(jobName);
    Barcode_Append(table, c.constData(), partial, start, end, j.constData());
}

void ApplicationDeviceClass::BarcodeEditJob(int32_t table, int32_t row, const QString& code,
                                            int32_t partial, int32_t start, int32_t end,
                                            const QString& jobName) {
    QByteArray c = ToNative(code), j = ToNative(jobName);
    Barcode_Edit(table, row, c.constData(), partial, start, end, j.constData());
}

void ApplicationDeviceClass::BarcodeAddPreset(int32_t tdx, const QString& code, int32_t partial,
                                              int32_t start, int32_t end, int32_t preset) {
    if (code.isEmpty()) return;
    QByteArray c = ToNative(code);
    Barcode_Append(tdx, c.constData(), partial, start, end, &preset);
}

void ApplicationDeviceClass::BarcodeEditPreset(int32_t tdx, int32_t row, const QString& code,
                                               int32_t partial, int32_t start, int32_t end,
                                               int32_t preset) {
    QByteArray c = ToNative(code);
    Barcode_Edit(tdx, row, c.constData(), partial, start, end, &preset);
}

void ApplicationDeviceClass::BarcodeMoveUp(int32_t table, int32_t row) {
    Barcode_MoveUp(table, row);
}
void ApplicationDeviceClass::BarcodeMoveDown(int32_t table, int32_t row) {
    Barcode_MoveDown(table, row);
}
void ApplicationDeviceClass::BarcodeMoveTop(int32_t table, int32_t row) {
    Barcode_MoveTop(table, row);
}
void ApplicationDeviceClass::BarcodeMoveEnd(int32_t table, int32_t row) {
    Barcode_MoveBottom(table, row);
}
void ApplicationDeviceClass::BarcodeDelete(int32_t table, int32_t row) {
    Barcode_Delete(table, row);
}
void ApplicationDeviceClass::BarcodeDeleteSelOn(int32_t table) {
    Barcode_Delete_Selected(table);
}

void ApplicationDeviceClass::BarcodeSetSelected(int32_t table, int32_t row, bool selected) {
    Barcode_SetSelected(table, row, selected ? 1 : 0);
}

int32_t ApplicationDeviceClass::BarcodeSave(int32_t table) {
    return Barcode_Save(table);
}

QString ApplicationDeviceClass::BarcodeGetCurrCode() {
    return FromNative(Barcode_GetCurrCode().c_str());
}

QString ApplicationDeviceClass::BarcodeFindJob(const QString& code) {
    QByteArray c = ToNative(code);
    return FromNative(Barcode_FindJob(c.constData()).c_str());
}

int32_t ApplicationDeviceClass::BarcodeFindPreset(int32_t tdx, const QString& code) {
    QByteArray c = ToNative(code);
    return Barcode_FindPreset(tdx, c.constData());
}
