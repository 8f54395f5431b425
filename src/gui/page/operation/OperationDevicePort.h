// The device half of the job runner's port: settings, tools, result log, I/O, sounds,
// tray and job store answered by the device object. The job screen adds timers, view
// and dialogs.
#pragma once

#include "JobRunPort.h"

#include <memory>

class ApplicationDeviceClass;

class OperationDevicePort : public JobRunPort {
  public:
    OperationDevicePort();
    ~OperationDevicePort() override;

    RunSettings Settings() override;
    QString SysPassword() override;
    void DebugLog(Dbg kind, const QString& line) override;

    std::vector<int32_t> RegisteredTools() override;
    QString ToolName(int32_t tdx) override;
    bool ToolConnected(int32_t tdx) override;
    int32_t FindRegTdxByName(const QString& name) override;
    void ToolLockAll() override;
    void ToolLockExceptTdx(int32_t tdx) override;
    void SetToolLock(int32_t tdx, int32_t on) override;
    void SetAutoLock(int32_t tdx, int32_t on) override;
    int32_t MbusWriteTdx(int32_t tdx, int32_t reg, int32_t value) override;
    void SetScrewCnt(int32_t tdx, int32_t n) override;
    int32_t GetTorqueValue_ByPreset(int32_t tdx, int32_t preset) override;
    QString TorqueUnitName(int32_t tdx) override;
    void EnableDataBackup(int32_t tdx, int32_t skipStored) override;
    void DisableDataBackup(int32_t tdx) override;
    int32_t GetNoPendingEvent(int32_t tdx) override;
    void AckResend(int32_t tdx) override;

    int32_t LogAndAcknowledge(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& record,
                              int32_t barcodeSource, int32_t ackTdx) override;
    void CheckLogLocation() override;

    void SetSysOutLevel(int32_t function, int32_t level) override;
    void SetGpioOutVal(int32_t output, int32_t level) override;
    void OutputOffAll() override;
    void SetInputEdge(int32_t input, int32_t edge) override;
    int32_t GetInputStatus(int32_t input) override;
    int32_t GetSysInputFunc(int32_t input) override;
    int32_t GetSysOutFunc(int32_t output) override;
    QString InputFuncName(int32_t function) override;
    void SoundOk() override;
    void SoundNg() override;
    void SoundTap() override;

    bool IsBstConnect() override;
    bool IsBstComm() override;
    bool IsBstSlave() override;
    int32_t BstSocketCount() override;
    void BstWrite(int32_t reg, int32_t value) override;
    void SetBstAlarmForce() override;

    int32_t JobLoad(int32_t jdx) override;
    void JobFree() override;
    int32_t GetJobsLen() override;
    QString JobName(int32_t jdx) override;
    int32_t FindJdxByName(const QString& name) override;
    int32_t GetStepsLen() override;
    int32_t GetStepType(int32_t sdx) override;
    int32_t GetTotalScrewOfLoadedJob() override;
    const UnitStepFastenData& FastenStep(int32_t sdx) override;
    const UnitStepInputData& InputStep(int32_t sdx) override;
    const UnitStepOutputData& OutputStep(int32_t sdx) override;
    const UnitStepDelayData& DelayStep(int32_t sdx) override;
    const UnitStepMsgData& MsgStep(int32_t sdx) override;
    std::vector<JobBarcodeEntry> JobBarcodeTable() override;
    void SetCurrentJob(int32_t jdx) override;
    QString CurrentBarcode() override;

  protected:
    ApplicationDeviceClass* dev_;

  private:
    std::unique_ptr<UnitStepDelayData> delay_;
    std::unique_ptr<UnitStepMsgData> msg_;
};
