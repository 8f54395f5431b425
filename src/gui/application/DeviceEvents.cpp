// Device-object family "driver events": turns each driver event into its system event
// (with a fresh payload object) or property change.
#include "ApplicationDeviceClass.h"
#include "UnitBarcodeData.h"
#include "UnitBstEvent.h"
#include "UnitBstHotplug.h"
#include "UnitDisconnFlagData.h"
#include "UnitEwDebugLog.h"
#include "UnitEwEventRegtool.h"
#include "UnitImgResData.h"
#include "UnitIoEventData.h"
#include "UnitScanEventData.h"
#include "UnitTdxData.h"
#include "UnitTtyEventData.h"

void ApplicationDeviceClass::UpdateDiscotools() {
    UpdateDiscotoolsEvent.Trigger();
}

void ApplicationDeviceClass::UpdateRegtools(int32_t tdx, int32_t state) {
    auto* p = new UnitEwEventRegtool;
    p->Tdx = tdx;
    p->State = state;
    UpdateRegtoolsEvent.Trigger(p);
}

void ApplicationDeviceClass::UpdateCurrTdx(int32_t tdx) {
    if (tdx == CurrTdx_) return;
    PrevTdx_ = CurrTdx_;
    CurrTdx_ = tdx;
    emit PrevTdxChanged();
    emit CurrTdxChanged();
}

void ApplicationDeviceClass::TriggerGraphEvent(int32_t tdx) {
    auto* p = new UnitTdxData;
    p->Tdx = tdx;
    GraphEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerFastenEvent(int32_t tdx) {
    auto* p = new UnitTdxData;
    p->Tdx = tdx;
    FastenEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerInput(int32_t port, int32_t value) {
    if (port < 0 || port > 15) return;
    auto* p = new UnitIoEventData;
    p->Value = value;
    p->Port = port;
    InputEvents[port].Trigger(p);
}

void ApplicationDeviceClass::TriggerDrvsUpdate() {
    DrvsUpdateEvent.Trigger();
}
void ApplicationDeviceClass::TriggerDrvUpdateNotifier() {
    DrvUpdateNotifierEvent.Trigger();
}

void ApplicationDeviceClass::TriggerBcode(const char* text) {
    auto* p = new UnitBarcodeData;
    p->Code = FromNative(text);
    BcodeEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerEwDebug(const char* text) {
    auto* p = new UnitEwDebugLog;
    p->Text = FromNative(text);
    EwDebugEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerEwInitDone() {
    EwInitDoneEvent.Trigger();
}

void ApplicationDeviceClass::TriggerImgTooLarge(int32_t width, int32_t height) {
    auto* p = new UnitImgResData;
    p->Width = width;
    p->Height = height;
    ImgTooLargeEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerWlanScanEvent(int32_t scanning) {
    auto* p = new UnitScanEventData;
    p->Scanning = uint8_t(scanning);
    WlanScanEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerWithJobDisconnFlagSet(int32_t tdx, int32_t flag) {
    if (tdx < 0 || tdx > 7) return;
    auto* p = new UnitDisconnFlagData;
    p->Tdx = tdx;
    p->Flag = flag & 0xff;
    DisconnFlagEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerTTY(int32_t connected) {
    auto* p = new UnitTtyEventData;
    p->Connected = uint8_t(connected);
    TtyEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerProcessing(int32_t) {
    ProcessingEvent.Trigger();
}

void ApplicationDeviceClass::TriggerBstHotplug(int32_t present) {
    auto* p = new UnitBstHotplug;
    p->Value = uint8_t(present);
    BstHotplugEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerBstEvent(int32_t mask, int32_t preset, int32_t alarm,
                                             int32_t opmode) {
    auto* p = new UnitBstEvent;
    p->ChangeMask = mask;
    p->Preset = preset;
    p->Alarm = alarm;
    p->Opmode = opmode;
    BstEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerBstCommFail(int32_t failed) {
    auto* p = new UnitBstHotplug;
    p->Value = uint8_t(failed);
    BstCommFailEvent.Trigger(p);
}

void ApplicationDeviceClass::TriggerUpdateDevs() {
    UpdateDevsEvent.Trigger();
}

void ApplicationDeviceClass::TriggerLogFail() {
    LogFailEvent.Trigger();
}
