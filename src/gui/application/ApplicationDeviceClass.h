// The device object: the one GUI-side gateway to the driver layer. Screens read and
// change settings through its properties, call driver modules through its methods and
// subscribe to its system events, which carry the driver events to the GUI.
#pragma once

#include "DeviceSettingsTable.h"
#include "SystemEvent.h"
#include "UnitIF_ADDR_T.h"
#include "UnitIfAddrData.h"
#include "UnitStorageUsageData.h"
#include "UnitTime.h"
#include "UnitVendorInfo_t.h"
#include "UnitWIFI_CONF_T.h"
#include "ew_driver.h"

#include <QByteArray>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>
#include <cstdint>
#include <string>
#include <vector>

// Payloads of the jobs-and-steps and result-log families.
struct FastenResult;
class UnitStepFastenData;
class UnitStepInputData;
class UnitStepOutputData;
class UnitStepDelayData;
class UnitStepMsgData;

class UnitFastenEventData;
struct UnitFetItem;
struct UnitToolInfo;
struct GraphFrameCopy; // graph.h

class ApplicationDeviceClass : public QObject, public EwDriverSink {
    Q_OBJECT
    Q_PROPERTY(int CurrTdx READ OnGetCurrTdx WRITE OnSetCurrTdx NOTIFY CurrTdxChanged)
    Q_PROPERTY(int PrevTdx READ OnGetPrevTdx NOTIFY PrevTdxChanged)
    Q_PROPERTY(int UserLevel READ OnGetUserLevel WRITE OnSetUserLevel NOTIFY UserLevelChanged)
    Q_PROPERTY(bool DebugPageOpen READ OnGetDebugPageOpen WRITE OnSetDebugPageOpen NOTIFY
                   DebugPageOpenChanged)

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
    // A result line could not be written to the log (it went to the spool): screens show
    // "Error" / "Logging failed", one dialog at a time.
    SystemEvent LogFailEvent;
    // A plant system's command (UnitPlantCommand), answered with PlantCommandDone.
    SystemEvent PlantCommandEvent;
    // A plant peer connected or went away.
    SystemEvent PlantStateEvent;
    // The result store dropped results a peer had not received (UnitPlantCommand's Text).
    SystemEvent PlantDroppedEvent;

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
    void TriggerLogFail() override;
    void TriggerPlantCommand(int32_t requestId, int32_t mid, int32_t arg,
                             const char* text) override;
    void TriggerOpConnected(int32_t connected) override;
    void TriggerMqttState(int32_t state) override;
    void TriggerPlantDropped(const char* text) override;

    // ---- family: shell state (DeviceShell.cpp) ----
    int32_t OnGetCurrTdx();
    void OnSetCurrTdx(int32_t value);
    int32_t OnGetPrevTdx() const { return PrevTdx_; }
    int32_t OnGetUserLevel() const { return UserLevel_; }
    void OnSetUserLevel(int32_t value);
    bool OnGetDebugPageOpen() const { return DebugPageOpen_; }
    void OnSetDebugPageOpen(bool value);

    // ---- family: debug (DeviceDebug.cpp) ----
    Q_PROPERTY(bool DebugFlagDisco READ OnGetDebugFlagDisco WRITE OnSetDebugFlagDisco NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagInput READ OnGetDebugFlagInput WRITE OnSetDebugFlagInput NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagOutput READ OnGetDebugFlagOutput WRITE OnSetDebugFlagOutput NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagBarcode READ OnGetDebugFlagBarcode WRITE OnSetDebugFlagBarcode NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagSetting READ OnGetDebugFlagSetting WRITE OnSetDebugFlagSetting NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagModbus READ OnGetDebugFlagModbus WRITE OnSetDebugFlagModbus NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagNetlink READ OnGetDebugFlagNetlink WRITE OnSetDebugFlagNetlink NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(bool DebugFlagEwevent READ OnGetDebugFlagEwevent WRITE OnSetDebugFlagEwevent NOTIFY
                   DebugFlagsChanged)
    Q_PROPERTY(
        bool DebugFlagBEF READ OnGetDebugFlagBEF WRITE OnSetDebugFlagBEF NOTIFY DebugFlagsChanged)
    Q_PROPERTY(
        bool DebugFlagBST READ OnGetDebugFlagBST WRITE OnSetDebugFlagBST NOTIFY DebugFlagsChanged)
#define KEST_DEBUG_FLAG_PROPERTY(Name)                                                             \
    bool OnGet##Name();                                                                            \
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
    int32_t DebugCloseFd();

    // ---- family: settings (DeviceSettings.cpp) ----
    // Settings-backed properties, generated from DeviceSettingsTable.h (accessors in
    // DeviceSettingsProps.cpp): getters read the field into the shadow, setters write it
    // and notify; only Brightness and Volume apply and save at once.
    KEST_SETTING_PROPERTIES(KEST_SETTING_Q_PROPERTY)
    KEST_SETTING_PROPERTIES(KEST_SETTING_ACCESSORS)
    // Settings operations (DeviceSettings.cpp).
    int32_t SaveSetting();
    QString GetSysPwd();
    void SetSysPwd(const QString& text);
    QString GetDefaultJobName();
    void SetDefaultJobName(const QString& text);
    QString GetBstToolName();
    void SetBstToolName(const QString& text);
    UnitIF_ADDR_T GetEthStaticAddrs();
    void SetEthStaticAddrs(const UnitIF_ADDR_T& addrs);
    UnitWIFI_CONF_T GetWifiConf();
    void SetWifiConf(const UnitWIFI_CONF_T& conf);
    bool GetSettingBarcodeTdx(int32_t tdx);
    void SetSettingBarcodeTdx(int32_t tdx, bool flag);
    // Ports 0..15; input functions 0..15, output functions 0..8. Invalid values are
    // refused with a debug line; getters then return -1.
    int32_t GetSysInputFunc(int32_t port);
    void SetSysInputFunc(int32_t port, int32_t func);
    int32_t GetSysOutFunc(int32_t port);
    void SetSysOutFunc(int32_t port, int32_t func);
    QString GetSysInputName(int32_t port);
    QString GetSysOutName(int32_t port);
    static QString InputFuncName(int32_t func);
    static QString OutputFuncName(int32_t func);
    UnitVendorInfo_t GetVendorInfo();
    int32_t SetVendorInfo(const UnitVendorInfo_t& info); // -1: not saved, text unchanged
    UnitTime GetTime();
    // Removes the settings, the tool registry, the jobs and the other data; 0 or -1. From
    // its start no save reaches the files (they would bring back what it removes).
    int32_t FactoryReset();
    // Asks for the restart ("reboot"); from then on no save reaches the files. The command's
    // status: 0 when the restart was asked for.
    int32_t SystemRestart();
    // Sets the system clock, then the hardware clock, with the two argument vectors (no
    // shell); a failure is logged.
    void SetSystemClock(const std::vector<std::string>& date,
                        const std::vector<std::string>& hwclock);

    // ---- family: tool registry (DeviceTools.cpp) ----
    int32_t GetRegtoolsLen();
    int32_t GetDiscotoolsLen();
    int32_t GetSelToolConn();
    int32_t GetTdxToolConn(int32_t tdx);
    int32_t GetTdxToolState(int32_t tdx); // connection state 0..5, -1 for a bad index
    QString GetTdxToolName(int32_t tdx);
    int32_t SetTdxToolName(int32_t tdx, const QString& name);
    int32_t FindRegTdxByName(const QString& name);
    int32_t GetToolType_ByTdx(int32_t tdx);
    int32_t GetToolType();
    void ToolLost(int32_t tdx);
    void ToolLostByNetif(int32_t netif);
    // List columns of the tool-list screens: serial, model text ("ZQ" + model), MAC.
    QString GetTdxToolSerial(int32_t tdx);
    QString GetTdxToolModel(int32_t tdx);
    QString GetTdxToolMac(int32_t tdx);
    QString GetDiscoToolSerial(int32_t index);
    QString GetDiscoToolModel(int32_t index);
    QString GetDiscoToolMac(int32_t index);
    int32_t RegisterDiscoTool(int32_t index);
    int32_t ReleaseRegTool(int32_t tdx);
    int32_t SaveRegTools();
    static QString ModelText(int32_t type, uint32_t model);
    // "XWC", "ZQ", "ZQT" or "XWTC" for tool types 1 to 4, else empty.
    static QString ToolTypeName(int32_t type);

    // ---- family: tool screens (DeviceToolScreens.cpp) ----
    // Name, serial, model text, MAC, type, link state, firmware, address and port of a
    // registered tool from one copy of its record (Valid false for a bad index).
    UnitToolInfo GetTdxToolInfo(int32_t tdx);

    // ---- family: Modbus access (DeviceModbus.cpp) ----
    // Synchronous on the GUI thread under that tool's connection lock (never the registry's,
    // so another tool's traffic never holds the screens up); results as Modbus_Read and
    // Modbus_Write (0 ok, 1 range, 2 tool index, 3 not connected, 4 dismissed, 5 failed).
    int32_t MbusRead(int32_t addr, int32_t count);
    int32_t MbusGetData(int32_t addr);
    int32_t MbusWrite(int32_t addr, int32_t value);
    int32_t MbusReadTdx(int32_t tdx, int32_t addr, int32_t count);
    int32_t MbusGetDataTdx(int32_t tdx, int32_t addr);
    // Mirrored values of `count` registers as one read left them (a block, never a mix of
    // two reads); empty for a range outside the mirror.
    QVector<uint16_t> MbusGetBlockTdx(int32_t tdx, int32_t addr, int32_t count);
    int32_t MbusWriteTdx(int32_t tdx, int32_t addr, int32_t value);
    int32_t GetTorqueUnit_ByTdx(int32_t tdx);
    // The tool's torque unit register read again into its record (after the operator wrote
    // it); 0, or the read's result.
    int32_t RefreshTorqueUnit(int32_t tdx);
    int32_t GetTorqueValue_ByPreset(int32_t tdx, int32_t preset);
    QString GetTdxToolSsid(int32_t tdx);
    QString GetTdxToolPsk(int32_t tdx);
    // Code of the working screen shown (3 operation without job, 4 monitor, 0 any other):
    // a tool connecting while it is 3 or 4 is left unlocked, else it is locked.
    void SetScreenCode(int32_t code);
    int32_t GetScreenCode();
    int32_t SetTdxToolSsid(int32_t tdx, const QString& text);
    int32_t SetTdxToolPsk(int32_t tdx, const QString& text);

    // ---- family: fastening event channel and tool lock (DeviceOperation.cpp) ----
    Q_PROPERTY(int FetEnable READ OnGetFetEnable WRITE OnSetFetEnable NOTIFY FetEnableChanged)
    int32_t OnGetFetEnable();
    void OnSetFetEnable(int32_t mask);
    // Event output on (4015 := 1, or 2 skipping the stored results) and off: both are queued
    // behind the result lines the log writer holds, so they reach the tool after the
    // acknowledgements of its results taken so far. 0 when queued, -1 for a bad index.
    int32_t EnableDataBackup(int32_t tdx, int32_t skipStored);
    int32_t DisableDataBackup(int32_t tdx);
    // The oldest result of the tool the screens have not read yet (each call consumes one;
    // one call per "fastening" event), or the last one again. The caller owns the object.
    class UnitFastenEventData* GetFastenEventData(int32_t tdx);
    int32_t GetFetLen();
    // Copy of the table entry at array position `index` (0 .. GetFetLen() - 1); false when
    // there is none. Once the table has wrapped the oldest entry is not at position 0.
    bool GetFetItem(int32_t index, UnitFetItem* out);
    void ClearFet();
    int32_t GetNoPendingEvent(int32_t tdx);
    void ClearNoPendingEvent();
    int32_t SetToolLock(int32_t tdx, int32_t value);
    int32_t SetAutoLock(int32_t tdx, int32_t value);
    int32_t SetScrewCnt(int32_t tdx, int32_t count); // 247 on controllers, 262 on drivers
    void ToolLockAll();
    void ToolLockExceptTdx(int32_t tdx);
    Q_SIGNAL void FetEnableChanged();

    // ---- family: torque curves (DeviceGraph.cpp) ----
    // Trigger request to the current tool (register 4100 := 1, its answer not awaited):
    // 0 sent (or the tool dismissed after three unanswered), 2 no tool, 3 not connected.
    int TriggerEventEnable();
    // The tool's curve watch on (an event watch is parked meanwhile) and off (the event
    // watch comes back); 0, 2 invalid tool, 3 not connected. All: every curve watch off.
    int GraphEnable(int tdx);
    int GraphDisable(int tdx);
    void GraphDisableAll();
    // The count of unanswered trigger requests (the screen sets 0 at its start).
    Q_PROPERTY(int TriggerEventEnableResCnt READ OnGetTriggerEventEnableResCnt WRITE
                   OnSetTriggerEventEnableResCnt)
    int OnGetTriggerEventEnableResCnt();
    void OnSetTriggerEventEnableResCnt(int n);
    // The tool's last curve with its torque unit and torque minimum, one copy under the
    // registry lock; false when the tool has none.
    bool GraphFrameOf(int tdx, GraphFrameCopy* out);

    // ---- family: jobs and steps (DeviceJobs.cpp) ----
    // Results as the job store gives them (0 success, -1 failure, JOB_ERR_NAME_EXISTS
    // when a new, copied or renamed job would take another job's name).
    int32_t JobCreateNew(const QString& name);
    int32_t GetJobsLen();
    QString GetJobNameJdx(int32_t jdx);      // null string when invalid
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
    // Step types as the job store numbers them (GetStepType, StepCreateNew).
    enum StepKind {
        StepTypeFastening,
        StepTypeInput,
        StepTypeOutput,
        StepTypeDelay,
        StepTypeMessage,
        StepTypeCount
    };
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
    // The job the job screen runs (list position), -1 for none. The job screen sets it at
    // every load and release; the status bar shows that job's name.
    Q_PROPERTY(int CurrentJob READ OnGetCurrentJob WRITE OnSetCurrentJob NOTIFY CurrentJobChanged)
    int32_t OnGetCurrentJob();
    void OnSetCurrentJob(int32_t jdx);
    Q_SIGNAL void CurrentJobChanged();
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
    int32_t CurrentJob_ = -1;
    UnitStepFastenData* FastenData_ = nullptr;
    UnitStepInputData* InputData_ = nullptr;
    UnitStepOutputData* OutputData_ = nullptr;

  public:
    // ---- family: job execution and result log (DeviceLog.cpp) ----
    // Appends one result line. jdx, sdx: -1 for none; tdx names the Tool column; barcode
    // source 0 = the scanner's current code, 1 = the code the tool sent in the record.
    int32_t WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& record,
                          int32_t barcodeSource);
    int32_t WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx, const UnitFastenEventData* data,
                          int32_t barcodeSource); // a result read with GetFastenEventData
    // The durable path of the screens that acknowledge results: formats the line now
    // (names, time and barcode as at the call) and hands it to the log writer; register
    // 4016 := 1 goes to ackTdx only once the line is on disk (or in the spool when the
    // log cannot be written, which raises LogFailEvent). Order per tool and in the file
    // is call order. Never blocks on disk. 0 when queued, -1 for a bad tool index.
    int32_t LogAndAcknowledge(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& record,
                              int32_t barcodeSource, int32_t ackTdx);
    // 4016 := 1 for a result sent again after a lost link (its line is in the log already),
    // in the queue's order with the tool's other acknowledgements.
    int32_t AcknowledgeResend(int32_t tdx);
    // Blocks until every line handed over is written and acknowledged (shutdown, tests).
    void FlushEventLog();
    // Before each write: a log on an absent micro SD moves to internal (saved); returns the
    // message the caller shows under "Message" then, else an empty text.
    QString CheckLogLocation();

    // ---- family: barcode (DeviceBarcode.cpp) ----
    // Table 8 is the job table, 0..7 a tool's preset table.
    void BarcodeRefreshDev();
    // The scanner's device node exists.
    bool IsBarcodeScannerPresent();
    int32_t BarcodeGetLen(int32_t table);
    // Fills the one reused UnitBarcodeData with a row (preset -1 for the job table).
    QObject* UpdateCurrBarcode(int32_t table, int32_t row);
    void BarcodeAddJob(int32_t table, const QString& code, int32_t partial, int32_t start,
                       int32_t end, const QString& jobName);
    void BarcodeEditJob(int32_t table, int32_t row, const QString& code, int32_t partial,
                        int32_t start, int32_t end, const QString& jobName);
    void BarcodeAddPreset(int32_t tdx, const QString& code, int32_t partial, int32_t start,
                          int32_t end, int32_t preset);
    void BarcodeEditPreset(int32_t tdx, int32_t row, const QString& code, int32_t partial,
                           int32_t start, int32_t end, int32_t preset);
    void BarcodeMoveUp(int32_t table, int32_t row);
    void BarcodeMoveDown(int32_t table, int32_t row);
    void BarcodeMoveTop(int32_t table, int32_t row);
    void BarcodeMoveEnd(int32_t table, int32_t row);
    void BarcodeDelete(int32_t table, int32_t row);
    void BarcodeDeleteSelOn(int32_t table);
    // Multi-delete marks; row -1 marks or clears every row.
    void BarcodeSetSelected(int32_t table, int32_t row, bool selected);
    int32_t BarcodeSave(int32_t table);
    QString BarcodeGetCurrCode();
    // Matching (first equal row wins): job name or empty; preset or -1.
    QString BarcodeFindJob(const QString& code);
    int32_t BarcodeFindPreset(int32_t tdx, const QString& code);

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

    // ---- family: bit socket tray (DeviceBst.cpp) ----
    bool IsBstConnect();
    // True when every polled value (preset, alarm, opmode, sockets) is known.
    bool IsBstComm();
    // A new UnitBstEvent (caller owns it) with mask 0 and the four cached values.
    QObject* GetBstData();
    // The tray's Modbus result: 1 written, -1 failed or no tray.
    int32_t BstWrite(int32_t address, int32_t value);
    // Marks the cached alarm as 2 so the next poll reports the tray's real alarm.
    void SetBstAlarmForce();

    // ---- family: backup event forwarding (DeviceBef.cpp) ----
    // The three settings are the settings family's properties BefEnable, BefServerIp and
    // BefServerPort. The share screen's apply: 0 when switch, address and port are all
    // unchanged, else 1 (stored, connection closed with "Change setting", reconnecting
    // when on).
    int32_t BefApplySetting(bool enable, uint32_t address, uint32_t port);
    void BefCloseServerStream(const QString& reason);
    bool BefIsConnected();

    // ---- family: plant side (DevicePlant.cpp) ----
    // The share screen's Open Protocol apply: 0 unchanged, 1 stored and restarted.
    int32_t OpApplySetting(bool enable, uint32_t port);
    // The share screen's MQTT apply: 0 unchanged, 1 stored and the session restarted.
    int32_t MqttApplySetting(bool enable, uint32_t broker, uint32_t port, const QString& topic,
                             const QString& user, const QString& password);
    // The broker link as the share screen shows it ("Connected", why it was refused ...).
    QString MqttStateText();
    // A plant peer is connected now (the status bar's icon).
    bool PlantConnected();
    // Results each enabled peer has not acknowledged yet, by the peer's short name.
    QList<QPair<QString, int32_t>> PlantBacklog();
    // The answer to a PlantCommandEvent: 0 done, else the peer's error code.
    void PlantCommandDone(int32_t requestId, int32_t code);
    // A plant system's identifier, taken as a scan is.
    void PlantIdentifier(const QString& code);

    // ---- family: storage and files (DeviceStorage.cpp) ----
    // Figures of the file system holding `path` ("/media/..." under the sysroot).
    UnitStorageUsageData GetStorageUsage(const QString& path);
    // Removable drives under "/media": rebuild the list (its length), its length, the name
    // at an index ("sda1", "mmcblk1p1"; null when out of range).
    int32_t RefreshDrvs();
    int32_t GetDrvsLen();
    QString GetDrvDev(int32_t index);
    // Directory listing of `path` (dirs and files sorted, hidden entries left out): 0 or -1,
    // and the lengths of the two lists (0 before the first refresh).
    int32_t RefreshFiles(const QString& path);
    int32_t GetDirsLen();
    int32_t GetFilesLen();
    // 0 when the path exists, else -1.
    int32_t CheckFileDirExist(const QString& path);
    // Entry names of the last listing (null when out of range).
    QString GetDirName(int32_t index);
    QString GetFileName(int32_t index);
    // File manager operations without a shell, inside a drive root (`dir` is the folder
    // below it, names joined with "/"): 0 or a BROWSER_... result.
    int32_t BrowserMakeDir(const QString& root, const QString& dir, const QString& name);
    int32_t BrowserRename(const QString& root, const QString& dir, const QString& from,
                          const QString& to);
    int32_t BrowserRemove(const QString& root, const QString& dir, const QString& name);
    int32_t BrowserTransfer(bool move, const QString& srcRoot, const QString& srcDir,
                            const QString& name, const QString& dstRoot, const QString& dstDir);
    // A micro SD card is in its slot ("/dev/mmcblk1p1").
    bool IsMicroSdPresent();
    // "chmod +x" on the program file, which may have been replaced through the browser.
    void MarkProgramExecutable();

    // ---- family: backup and upgrade (DeviceBackup.cpp) ----
    // Queue a save or load of the controller data on the network queue (0, -1 without a
    // queue or for a path the message cannot hold); "processing" follows when it is done.
    int32_t P2PSave(const QString& path);
    int32_t P2PLoad(const QString& path);
    // Whether the network message holds `path` whole (at most 127 bytes).
    static bool P2PPathFits(const QString& path);
    // Result of the last save or load finished: 0, a BACKUP_ERR_ code, -1 before the first.
    int32_t P2PLastResult();
    // Default archive name of today: "Kest_YYYYMMDD.p2p".
    QString P2PDefaultName();
    // Replaces the program with `file` (an executable of this machine, kept whole): 0 or an
    // UPGRADE_ERR_ code; on failure the program is unchanged.
    int32_t SwUpgrade(const QString& file);
    // Why the running program is the service launcher's fallback (zqcapp.prev, as zqcapp
    // failed to start); empty when it is not.
    QString FallbackReason();

    // ---- family: network (DeviceNetwork.cpp) ----
    // Discovery scan request on both networks, keep-alive passes first.
    void DiscoScan();
    // Network start-up (Ethernet, the access point) and the Wi-Fi adapter. Their modules
    // have not joined yet: see DeviceNetwork.cpp for what they answer until then.
    void NetInit();
    bool IsWifiConnected();

    // ---- family: interfaces and FTP share (DeviceNetworkSettings.cpp, DeviceShare.cpp) ----
    // Ethernet and the access point's interface up and down (the kernel's link messages
    // do the rest). The addresses and Wi-Fi settings are the settings family's.
    void Eth0Up();
    void Eth0Down();
    void Wlan0Up();
    void Wlan0Down();
    // Addresses of "eth0" or "wlan0" as the status screen shows them; what could not be
    // read is 0 (the gateway is always eth0's default gateway).
    UnitIfAddrData GetIfAddr(const QString& ifname);
    // The Wi-Fi tab's checks (the first failing one's message, empty when they pass) and
    // the channels offered in manual mode: the access point's own rules.
    static QString CheckWifiConf(const QString& ssid, const QString& passphrase);
    static QList<int> WifiManualChannels(int band, int country);
    // FTP: stop the daemon; regenerate the account and start it when enabled.
    void KillFtpd();
    int32_t RunFtpd();
    // ---- family: USB (DeviceUsb.cpp) ----
    // The tool network registers 267..319 read when the tool was plugged in (string words
    // low byte first); writing sends them to the tool (never 282..286). 0, -1 for a wrong size.
    QVector<uint16_t> GetTtyNetinfo();
    int32_t TtyXmitNetinfo(const QVector<uint16_t>& image);

  signals:
    void CurrTdxChanged();
    void PrevTdxChanged();
    void UserLevelChanged();
    void DebugPageOpenChanged();
    // One notification for the ten debug flag properties.
    void DebugFlagsChanged();
    // Notify signals of the settings-backed properties.
    KEST_SETTING_PROPERTIES(KEST_SETTING_SIGNAL)

  private:
    int32_t CurrTdx_ = -1;
    int32_t PrevTdx_ = -1;
    int32_t UserLevel_ = 0;
    bool DebugPageOpen_ = false;
    // Shadow fields of the settings-backed properties, refreshed by every read.
    KEST_SETTING_PROPERTIES(KEST_SETTING_SHADOW)
    UnitVendorInfo_t VendorInfo_;
    void setStr(char* field, size_t size, const QString& value);
};

// The one instance, created on first use.
ApplicationDeviceClass* ApplicationDevice();
