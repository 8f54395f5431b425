// The device object: the one GUI-side gateway to the driver layer. Screens read and
// change settings through its properties, call driver modules through its methods and
// subscribe to its system events, which carry the driver events to the GUI.
#pragma once

#include "SystemEvent.h"
#include "ew_driver.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

// Payloads of the jobs-and-steps and result-log families.
struct EventLogRecord;
class UnitStepFastenData;
class UnitStepInputData;
class UnitStepOutputData;
class UnitStepDelayData;
class UnitStepMsgData;

class ApplicationDeviceClass : public QObject, public EwDriverSink {
    Q_OBJECT
    Q_PROPERTY(int CurrTdx READ OnGetCurrTdx WRITE OnSetCurrTdx NOTIFY CurrTdxChanged)
    Q_PROPERTY(int PrevTdx READ OnGetPrevTdx NOTIFY PrevTdxChanged)
    Q_PROPERTY(int UserLevel READ OnGetUserLevel WRITE OnSetUserLevel NOTIFY UserLevelChanged)
    Q_PROPERTY(bool DebugPageOpen READ OnGetDebugPageOpen WRITE OnSetDebugPageOpen NOTIFY DebugPageOpenChanged)

public:
    explicit ApplicationDeviceClass(QObject* parent = nullptr);
    ~ApplicationDeviceClass() override;

    // GUI strings to and from the driver's 8-bit text; a character that does not fit
    // in Latin-1 becomes a blank.
    static QByteArray ToNative(const QString& text);
    static QString FromNative(const char* text);

    // ---- system events (driver events and GUI-only notifications) ----
    SystemEvent UpdateRegtoolsEvent;
    SystemEvent UpdateDiscotoolsEvent;
    SystemEvent FastenEvent;
    SystemEvent GraphEvent;
    SystemEvent InputEvents[16];
    SystemEvent DrvsUpdateEvent;
    SystemEvent DrvUpdateNotifierEvent;
    SystemEvent BcodeEvent;
    SystemEvent EwDebugEvent;
    SystemEvent EwInitDoneEvent;
    SystemEvent ImgTooLargeEvent;
    SystemEvent WlanScanEvent;
    SystemEvent DisconnFlagEvent;
    SystemEvent TtyEvent;
    SystemEvent ProcessingEvent;
    SystemEvent BstHotplugEvent;
    SystemEvent BstEvent;
    SystemEvent BstCommFailEvent;
    SystemEvent UpdateDevsEvent;

    // ---- family: driver events (DeviceEvents.cpp) ----
    void UpdateDiscotools() override;
    void UpdateRegtools(int32_t tdx, int32_t state) override;
    void UpdateCurrTdx(int32_t tdx) override;
    void TriggerGraphEvent(int32_t tdx) override;
    void TriggerFastenEvent(int32_t tdx) override;
    void TriggerInput(int32_t port, int32_t value) override;
    void TriggerDrvsUpdate() override;
    void TriggerDrvUpdateNotifier();
    void TriggerBcode(const char* text) override;
    void TriggerEwDebug(const char* text) override;
    void TriggerEwInitDone() override;
    void TriggerImgTooLarge(int32_t width, int32_t height) override;
    void TriggerWlanScanEvent(int32_t scanning) override;
    void TriggerWithJobDisconnFlagSet(int32_t tdx, int32_t flag) override;
    void TriggerTTY(int32_t connected) override;
    void TriggerProcessing(int32_t done) override;
    void TriggerBstHotplug(int32_t present) override;
    void TriggerBstEvent(int32_t mask, int32_t preset, int32_t alarm, int32_t opmode) override;
    void TriggerBstCommFail(int32_t failed) override;
    void TriggerUpdateDevs() override;

    // ---- family: shell state (DeviceShell.cpp) ----
    int32_t OnGetCurrTdx();
    void OnSetCurrTdx(int32_t value);
    int32_t OnGetPrevTdx() const { return PrevTdx_; }
    int32_t OnGetUserLevel() const { return UserLevel_; }
    void OnSetUserLevel(int32_t value);
    bool OnGetDebugPageOpen() const { return DebugPageOpen_; }
    void OnSetDebugPageOpen(bool value);

    // ---- family: debug (DeviceDebug.cpp) ----
    Q_PROPERTY(bool DebugFlagDisco READ OnGetDebugFlagDisco WRITE OnSetDebugFlagDisco NOTIFY DebugFlagDiscoChanged)
    Q_PROPERTY(bool DebugFlagInput READ OnGetDebugFlagInput WRITE OnSetDebugFlagInput NOTIFY DebugFlagInputChanged)
    Q_PROPERTY(bool DebugFlagOutput READ OnGetDebugFlagOutput WRITE OnSetDebugFlagOutput NOTIFY DebugFlagOutputChanged)
    Q_PROPERTY(bool DebugFlagBarcode READ OnGetDebugFlagBarcode WRITE OnSetDebugFlagBarcode NOTIFY DebugFlagBarcodeChanged)
    Q_PROPERTY(bool DebugFlagSetting READ OnGetDebugFlagSetting WRITE OnSetDebugFlagSetting NOTIFY DebugFlagSettingChanged)
    Q_PROPERTY(bool DebugFlagModbus READ OnGetDebugFlagModbus WRITE OnSetDebugFlagModbus NOTIFY DebugFlagModbusChanged)
    Q_PROPERTY(bool DebugFlagNetlink READ OnGetDebugFlagNetlink WRITE OnSetDebugFlagNetlink NOTIFY DebugFlagNetlinkChanged)
    Q_PROPERTY(bool DebugFlagEwevent READ OnGetDebugFlagEwevent WRITE OnSetDebugFlagEwevent NOTIFY DebugFlagEweventChanged)
    Q_PROPERTY(bool DebugFlagBEF READ OnGetDebugFlagBEF WRITE OnSetDebugFlagBEF NOTIFY DebugFlagBEFChanged)
    Q_PROPERTY(bool DebugFlagBST READ OnGetDebugFlagBST WRITE OnSetDebugFlagBST NOTIFY DebugFlagBSTChanged)
#define KEST_DEBUG_FLAG_PROPERTY(Name)                                                           \
    bool OnGet##Name();                                                                          \
    void OnSet##Name(bool on);
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagDisco)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagInput)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagOutput)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagBarcode)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagSetting)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagModbus)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagNetlink)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagEwevent)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagBEF)
    KEST_DEBUG_FLAG_PROPERTY(DebugFlagBST)
#undef KEST_DEBUG_FLAG_PROPERTY
    // Flag by index (the debug settings dialog binds its toggles through these).
    bool GetDebugFlag(int index);
    void SetDebugFlag(int index, bool on);
    void DebugWrite(int32_t flag, const QString& text);
    int32_t DebugOpenFd();
    void DebugWriteFd(const QString& text);
    void DebugCloseFd();

    // ---- family: settings (DeviceSettings.cpp) ----

    // ---- family: tool registry (DeviceTools.cpp) ----

    // ---- family: Modbus access (DeviceModbus.cpp) ----

    // ---- family: fastening event channel and tool lock (DeviceOperation.cpp) ----

    // ---- family: jobs and steps (DeviceJobs.cpp) ----
    // Results as the job store gives them (0 success, -1 failure, JOB_ERR_NAME_EXISTS
    // when a new, copied or renamed job would take another job's name).
    int32_t JobCreateNew(const QString& name);
    int32_t GetJobsLen();
    QString GetJobNameJdx(int32_t jdx); // null string when invalid
    int32_t GetJobStepCountJdx(int32_t jdx); // list entry figures for the job list rows
    int32_t GetJobTotalScrewJdx(int32_t jdx);
    int32_t SetJobNameJdx(int32_t jdx, const QString& name);
    int32_t JobMoveUp(int32_t jdx);
    int32_t JobMoveDown(int32_t jdx);
    int32_t JobDelete(int32_t jdx);
    int32_t JobCopy(int32_t jdx, const QString& name);
    int32_t JobLoad(int32_t jdx);
    int32_t JobSave(int32_t jdx);
    void JobFree();
    int32_t FindJdxByName(const QString& name);
    int32_t StepCreateNew(int32_t type);
    int32_t GetStepsLen();
    int32_t GetStepType(int32_t sdx); // 0 when invalid
    QString GetStepName(int32_t sdx);
    int32_t SetStepName(int32_t sdx, const QString& name);
    int32_t StepMoveUp(int32_t sdx);
    int32_t StepMoveDown(int32_t sdx);
    int32_t StepDelete(int32_t sdx);
    int32_t StepCopy(int32_t sdx);
    int32_t GetTotalScrewOfLoadedJob();
    // Step fields of the loaded job. Getters of the wrong type or index log and return
    // empty fields; setters then return -1 and change nothing. The fastening, input and
    // output objects are reused by every call; delay and message objects are new and
    // belong to the caller.
    UnitStepFastenData* GetFastenData(int32_t sdx);
    int32_t SetFastenToolName(int32_t sdx, const QString& name);
    int32_t SetFastenNoScrews(int32_t sdx, int32_t count);
    int32_t SetFastenPresetNo(int32_t sdx, int32_t preset);
    int32_t SetFastenImgFilename(int32_t sdx, const QString& path);
    int32_t SaveScrewPos(int32_t sdx, const UnitStepFastenData* data);
    UnitStepInputData* GetInputStepData(int32_t sdx);
    int32_t SetInputStepData(int32_t sdx, const UnitStepInputData* data);
    UnitStepOutputData* GetOutputStepData(int32_t sdx);
    int32_t SetOutputStepData(int32_t sdx, const UnitStepOutputData* data);
    UnitStepDelayData* GetDelayData(int32_t sdx);
    int32_t SetDelayData(int32_t sdx, const UnitStepDelayData* data); // the mode's fields only
    UnitStepMsgData* GetMsgData(int32_t sdx);
    int32_t SetMsgTextLine1(int32_t sdx, const QString& text);
    int32_t SetMsgTextLine2(int32_t sdx, const QString& text);
    int32_t SetMsgTextLine3(int32_t sdx, const QString& text);
    int32_t SetMsgImgFilename(int32_t sdx, const QString& path);

private:
    UnitStepFastenData* FastenData_ = nullptr;
    UnitStepInputData* InputData_ = nullptr;
    UnitStepOutputData* OutputData_ = nullptr;

public:

    // ---- family: job execution and result log (DeviceLog.cpp) ----
    // Appends one result line. jdx, sdx: -1 for none; tdx names the Tool column; barcode
    // source 0 = the scanner's current code, 1 = the code the tool sent in the record.
    int32_t WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx, const EventLogRecord& record,
                          int32_t barcodeSource);

    // ---- family: barcode (DeviceBarcode.cpp) ----

    // ---- family: digital I/O (DeviceIo.cpp) ----
    // Output i (taken modulo 16) to a level; the level is remembered.
    void SetGpioOutVal(int32_t i, int32_t level);
    // Every output whose function is f (1..8) to a level; how many were set (0 otherwise).
    int32_t SetSysOutLevel(int32_t f, int32_t level);
    void OutputOffAll();
    void SetInputEdge(int32_t i, int32_t edge);
    // Level of input i read now (1 = active), -1 for an invalid input.
    int32_t GetInputStatus(int32_t i);
    // Level last written to output i (0 for an invalid output).
    int32_t GetOutputStatus(int32_t i);

    // ---- family: sound (DeviceSound.cpp) ----
    // Requests to the sound worker: a tap plays "ok.wav" once, OK twice, NG "ng.wav" twice.
    void SoundTap();
    void SoundOk();
    void SoundNg();
    // Volume index 0..4 (mute, 85, 90, 95, 100 %): stored, applied and saved at once.
    void OnSetVolume(int32_t index);
    int32_t OnGetVolume();

    // ---- family: bit socket tray (DeviceBst.cpp) ----

    // ---- family: backup event forwarding (DeviceBef.cpp) ----
    // The three settings are the settings family's properties BefEnable, BefServerIp and
    // BefServerPort. The share screen's apply: 0 when switch, address and port are all
    // unchanged, else 1 (stored, connection closed with "Change setting", reconnecting
    // when on).
    int32_t BefApplySetting(bool enable, uint32_t address, uint32_t port);
    void BefCloseServerStream(const QString& reason);
    bool BefIsConnected();

    // ---- family: storage and files (DeviceStorage.cpp) ----

signals:
    void CurrTdxChanged();
    void PrevTdxChanged();
    void UserLevelChanged();
    void DebugPageOpenChanged();
    void DebugFlagDiscoChanged();
    void DebugFlagInputChanged();
    void DebugFlagOutputChanged();
    void DebugFlagBarcodeChanged();
    void DebugFlagSettingChanged();
    void DebugFlagModbusChanged();
    void DebugFlagNetlinkChanged();
    void DebugFlagEweventChanged();
    void DebugFlagBEFChanged();
    void DebugFlagBSTChanged();
    // ---- notify signals of the settings-backed properties ----

private:
    void notifyDebugFlag(int index);
    int32_t CurrTdx_ = -1;
    int32_t PrevTdx_ = -1;
    int32_t UserLevel_ = 0;
    bool DebugPageOpen_ = false;
};

// The one instance, created on first use.
ApplicationDeviceClass* ApplicationDevice();
