#include "OperationDevicePort.h"

#include "ApplicationDeviceClass.h"
#include "ResultFormat.h"
#include "UiSound.h"
#include "UnitBarcodeData.h"
#include "UnitBstEvent.h"
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"

namespace {
constexpr int kJobBarcodeTable = 8;
} // namespace

OperationDevicePort::OperationDevicePort()
    : dev_(ApplicationDevice()), delay_(std::make_unique<UnitStepDelayData>()),
      msg_(std::make_unique<UnitStepMsgData>()) {}

OperationDevicePort::~OperationDevicePort() = default;

RunSettings OperationDevicePort::Settings() {
    RunSettings s;
    s.countUnit = dev_->OnGetScrewCountUnit();
    s.countDir = dev_->OnGetScrewCountDir();
    s.skipNoPwd = dev_->OnGetSkipWithoutPwd();
    s.backNoPwd = dev_->OnGetBackWithoutPwd();
    s.resetNoPwd = dev_->OnGetResetWithoutPwd();
    s.jobSelNoPwd = dev_->OnGetJobSelWithoutPwd();
    s.autoRestart = dev_->OnGetAutoRestartJob();
    s.backupManager = dev_->OnGetBackupManager();
    s.bstOn = dev_->OnGetBitSocketTray();
    s.bstToolName = dev_->GetBstToolName();
    s.dispJobReset = dev_->OnGetDispJobReset();
    s.jobSelType = dev_->OnGetJobSelType();
    s.barcodeInterface = dev_->OnGetBarcodeIF();
    return s;
}

QString OperationDevicePort::SysPassword() {
    return dev_->GetSysPwd();
}

void OperationDevicePort::DebugLog(Dbg kind, const QString& line) {
    constexpr int kBarcodeFlag = 3;
    if (kind == Dbg::Barcode && !dev_->GetDebugFlag(kBarcodeFlag)) return;
    dev_->DebugWrite(1, line);
}

std::vector<int32_t> OperationDevicePort::RegisteredTools() {
    std::vector<int32_t> tools;
    const int n = qMin(dev_->GetRegtoolsLen(), 8);
    for (int t = 0; t < n; ++t)
        tools.push_back(t);
    return tools;
}

QString OperationDevicePort::ToolName(int32_t tdx) {
    return dev_->GetTdxToolName(tdx);
}
bool OperationDevicePort::ToolConnected(int32_t tdx) {
    return dev_->GetTdxToolState(tdx) == 3;
}
int32_t OperationDevicePort::FindRegTdxByName(const QString& name) {
    return dev_->FindRegTdxByName(name);
}
void OperationDevicePort::ToolLockAll() {
    dev_->ToolLockAll();
}
void OperationDevicePort::ToolLockExceptTdx(int32_t tdx) {
    dev_->ToolLockExceptTdx(tdx);
}
void OperationDevicePort::SetToolLock(int32_t tdx, int32_t on) {
    dev_->SetToolLock(tdx, on);
}
void OperationDevicePort::SetAutoLock(int32_t tdx, int32_t on) {
    dev_->SetAutoLock(tdx, on);
}
int32_t OperationDevicePort::MbusWriteTdx(int32_t tdx, int32_t reg, int32_t value) {
    return dev_->MbusWriteTdx(tdx, reg, value);
}
void OperationDevicePort::SetScrewCnt(int32_t tdx, int32_t n) {
    dev_->SetScrewCnt(tdx, n);
}
int32_t OperationDevicePort::GetTorqueValue_ByPreset(int32_t tdx, int32_t preset) {
    return dev_->GetTorqueValue_ByPreset(tdx, preset);
}
QString OperationDevicePort::TorqueUnitName(int32_t tdx) {
    const int u = dev_->GetTorqueUnit_ByTdx(tdx);
    return ResultFormat::TorqueUnit(u);
}
void OperationDevicePort::EnableDataBackup(int32_t tdx, int32_t skipStored) {
    dev_->EnableDataBackup(tdx, skipStored);
}
void OperationDevicePort::DisableDataBackup(int32_t tdx) {
    dev_->DisableDataBackup(tdx);
}
void OperationDevicePort::AckResend(int32_t tdx) {
    dev_->AcknowledgeResend(tdx);
}
int32_t OperationDevicePort::GetNoPendingEvent(int32_t tdx) {
    return dev_->GetNoPendingEvent(tdx);
}

int32_t OperationDevicePort::LogAndAcknowledge(int32_t jdx, int32_t sdx, int32_t tdx,
                                               const FastenResult& record, int32_t barcodeSource,
                                               int32_t ackTdx) {
    // The line is on disk (or spooled, raising LogFailEvent) before the tool sees 4016 := 1.
    return dev_->LogAndAcknowledge(jdx, sdx, tdx, record, barcodeSource, ackTdx);
}

void OperationDevicePort::CheckLogLocation() {
    const QString text = dev_->CheckLogLocation();
    if (!text.isEmpty()) ShowMessage("Message", text);
}

void OperationDevicePort::SetSysOutLevel(int32_t function, int32_t level) {
    dev_->SetSysOutLevel(function, level);
}
void OperationDevicePort::SetGpioOutVal(int32_t output, int32_t level) {
    dev_->SetGpioOutVal(output - 1, level);
}
void OperationDevicePort::OutputOffAll() {
    dev_->OutputOffAll();
}
void OperationDevicePort::SetInputEdge(int32_t input, int32_t edge) {
    dev_->SetInputEdge(input - 1, edge);
}
int32_t OperationDevicePort::GetInputStatus(int32_t input) {
    return dev_->GetInputStatus(input - 1);
}
int32_t OperationDevicePort::GetSysInputFunc(int32_t input) {
    return dev_->GetSysInputFunc(input - 1);
}
int32_t OperationDevicePort::GetSysOutFunc(int32_t output) {
    return dev_->GetSysOutFunc(output - 1);
}
QString OperationDevicePort::InputFuncName(int32_t function) {
    return ApplicationDeviceClass::InputFuncName(function);
}
// Through the screens' sound hook, which the root points at the device object's sounds.
void OperationDevicePort::SoundOk() {
    UiSound_Ok();
}
void OperationDevicePort::SoundNg() {
    UiSound_Ng();
}
void OperationDevicePort::SoundTap() {
    UiSound_Tap();
}

bool OperationDevicePort::IsBstConnect() {
    return dev_->IsBstConnect();
}
bool OperationDevicePort::IsBstComm() {
    return dev_->IsBstComm();
}
bool OperationDevicePort::IsBstSlave() {
    std::unique_ptr<QObject> d(dev_->GetBstData());
    auto* e = qobject_cast<UnitBstEvent*>(d.get());
    return e && e->Opmode == 0;
}
int32_t OperationDevicePort::BstSocketCount() {
    std::unique_ptr<QObject> d(dev_->GetBstData());
    auto* e = qobject_cast<UnitBstEvent*>(d.get());
    return e ? e->NoSocket : 0;
}
void OperationDevicePort::BstWrite(int32_t reg, int32_t value) {
    dev_->BstWrite(reg, value);
}
void OperationDevicePort::SetBstAlarmForce() {
    dev_->SetBstAlarmForce();
}

int32_t OperationDevicePort::JobLoad(int32_t jdx) {
    return dev_->JobLoad(jdx);
}
void OperationDevicePort::JobFree() {
    dev_->JobFree();
}
int32_t OperationDevicePort::GetJobsLen() {
    return dev_->GetJobsLen();
}
QString OperationDevicePort::JobName(int32_t jdx) {
    return dev_->GetJobNameJdx(jdx);
}
int32_t OperationDevicePort::FindJdxByName(const QString& name) {
    return dev_->FindJdxByName(name);
}
int32_t OperationDevicePort::GetStepsLen() {
    return dev_->GetStepsLen();
}
int32_t OperationDevicePort::GetStepType(int32_t sdx) {
    return dev_->GetStepType(sdx);
}
int32_t OperationDevicePort::GetTotalScrewOfLoadedJob() {
    return dev_->GetTotalScrewOfLoadedJob();
}
const UnitStepFastenData& OperationDevicePort::FastenStep(int32_t sdx) {
    return *dev_->GetFastenData(sdx);
}
const UnitStepInputData& OperationDevicePort::InputStep(int32_t sdx) {
    return *dev_->GetInputStepData(sdx);
}
const UnitStepOutputData& OperationDevicePort::OutputStep(int32_t sdx) {
    return *dev_->GetOutputStepData(sdx);
}
const UnitStepDelayData& OperationDevicePort::DelayStep(int32_t sdx) {
    delay_.reset(dev_->GetDelayData(sdx)); // a new object each call, ours to keep
    return *delay_;
}
const UnitStepMsgData& OperationDevicePort::MsgStep(int32_t sdx) {
    msg_.reset(dev_->GetMsgData(sdx));
    return *msg_;
}

std::vector<JobBarcodeEntry> OperationDevicePort::JobBarcodeTable() {
    std::vector<JobBarcodeEntry> rows;
    const int n = dev_->BarcodeGetLen(kJobBarcodeTable);
    for (int i = 0; i < n; ++i) {
        auto* d = qobject_cast<UnitBarcodeData*>(dev_->UpdateCurrBarcode(kJobBarcodeTable, i));
        if (!d) continue;
        rows.push_back({d->Code, d->Partial, d->Start, d->End, d->JobName});
    }
    return rows;
}

void OperationDevicePort::SetCurrentJob(int32_t jdx) {
    dev_->OnSetCurrentJob(jdx);
}

QString OperationDevicePort::CurrentBarcode() {
    return dev_->BarcodeGetCurrCode();
}
