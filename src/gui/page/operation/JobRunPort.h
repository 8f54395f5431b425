// Everything the job runner does to the world: device actions, job store reads, timers,
// what the screen shows and its dialogs. The job screen implements it; tests record it.
// Hooks that only show something or close a dialog do nothing by default, so a recording
// port overrides just what it checks.
#pragma once

#include "ResultIntake.h"
#include "fasten_result.h"
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class UnitStepFastenData;
class UnitStepInputData;
class UnitStepOutputData;
class UnitStepDelayData;
class UnitStepMsgData;

// The runner's timers. The screen owns one single-shot QTimer per id; Start restarts a
// running one. Delay is the countdown animation of a time delay step: the screen runs it
// for the given duration and calls JobRun::OnTimer(RunTimer::Delay) when it ends.
enum class RunTimer {
    NextStep,
    Delay,
    OutputStep,
    JobResult,
    StoredPrompt,
    TrayCheck,
    FunctionPulse1, // output functions 1..8 in order: FunctionPulse1 + (f - 1)
    FunctionPulse2,
    FunctionPulse3,
    FunctionPulse4,
    FunctionPulse5,
    FunctionPulse6,
    FunctionPulse7,
    FunctionPulse8,
};
constexpr RunTimer FunctionPulseTimer(int f) {
    return static_cast<RunTimer>(static_cast<int>(RunTimer::FunctionPulse1) + f - 1);
}
const char* RunTimerName(RunTimer t); // "NextStep", "FunctionPulse3", ...

// Step types of the job store.
enum RunStepType { kStepFasten = 0, kStepInput = 1, kStepOutput = 2, kStepDelay = 3, kStepMsg = 4 };

// Settings the runner reads (operation, backup, tray and barcode sections).
struct RunSettings {
    int32_t countUnit = 0; // 0 per step, 1 per job
    int32_t countDir = 0;  // 0 up, 1 down
    bool skipNoPwd = false, backNoPwd = false, resetNoPwd = false, jobSelNoPwd = false;
    bool autoRestart = false;
    bool backupManager = false;
    bool bstOn = false;           // "bit socket tray"
    QString bstToolName;          // "bst tool name"
    bool dispJobReset = true;     // "disp job reset"
    int32_t jobSelType = 0;       // 0 binary, 1 direct
    int32_t barcodeInterface = 0; // 0 local, 1 remote: barcode source of the result log
};

// One row of the job barcode table (barcode table 8).
struct JobBarcodeEntry {
    QString code;
    int32_t partial = 0;
    int32_t start = 0, end = 0; // 1-based, inclusive
    QString jobName;
};

// What the job screen shows; JobRun keeps it and calls ViewChanged() after a change.
struct RunView {
    enum class Step { None, Fasten, Input, Output, Delay, Message };
    enum class Kind { Neutral, Ok, Ng }; // colour of the result line, the sign
    Step step = Step::None;              // the visible step view
    QString jobName;                     // empty: no job
    int32_t stepRow = -1;                // step selected in the step list
    bool stepListLoaded = false;         // the step list shows the loaded job's steps
    // Fastening view.
    QString toolLine;    // tool name + "  /  P" + preset number
    QString barcodeLine; // the current barcode
    QString counterText;
    QString resultText;
    Kind resultKind = Kind::Neutral;
    QString errorText;
    Kind sign = Kind::Neutral; // Neutral: no sign
    // Input and output views: one line per used input/output, output width "N ms".
    QStringList ioLines;
    QString outputWidth;
    // Delay view: title, the three message lines (confirmation), the expected barcode
    // with the 1-based highlighted range (0, 0: none), the confirm button.
    QString delayTitle;
    QStringList delayLines;
    QString delayBarcode;
    int32_t delayHlStart = 0, delayHlEnd = 0;
    bool delayButton = false;
    int32_t delayMs = 0; // countdown duration; remaining shown with 3 decimals below 1000
    QString delayFixed;  // "0.0" when no countdown runs
    // Message view.
    QStringList msgLines;
    // Picture: shown (fastening or message step), full screen.
    bool picture = false;
    bool fullScreen = false;
    QString banner; // "Job OK !!!" / "Job NG !!!", empty: hidden
    bool resetJobButton = true;
};

// The event-output writes, pending counts and resend acknowledgements are the intake's
// (IntakePort).
class JobRunPort : public IntakePort {
  public:
    // ---- settings and debug ----
    virtual RunSettings Settings() = 0;
    virtual QString SysPassword() = 0; // GetSysPwd
    enum class Dbg { Debug, Barcode, Trace };
    virtual void DebugLog(Dbg kind, const QString& line) = 0;

    // ---- tools ----
    virtual std::vector<int32_t> RegisteredTools() = 0; // tool indexes, at most 8
    virtual QString ToolName(int32_t tdx) = 0;
    virtual bool ToolConnected(int32_t tdx) = 0;
    virtual int32_t FindRegTdxByName(const QString& name) = 0;
    virtual void ToolLockAll() = 0;
    virtual void ToolLockExceptTdx(int32_t tdx) = 0;
    virtual void SetToolLock(int32_t tdx, int32_t on) = 0;
    virtual void SetAutoLock(int32_t tdx, int32_t on) = 0;
    virtual int32_t MbusWriteTdx(int32_t tdx, int32_t reg, int32_t value) = 0;
    virtual void SetScrewCnt(int32_t tdx, int32_t n) = 0;
    virtual int32_t GetTorqueValue_ByPreset(int32_t tdx, int32_t preset) = 0; // x 100, 0 unknown
    virtual QString TorqueUnitName(int32_t tdx) = 0; // name of GetTorqueUnit_ByTdx

    // ---- result log: the line, then the acknowledgement (4016 := 1) to ackTdx ----
    virtual int32_t LogAndAcknowledge(int32_t jdx, int32_t sdx, int32_t tdx,
                                      const FastenResult& record, int32_t barcodeSource,
                                      int32_t ackTdx) = 0;
    // Falls back to internal storage (saved, with its message) when the micro SD is gone.
    virtual void CheckLogLocation() {}

    // ---- inputs, outputs, sounds ----
    virtual void SetSysOutLevel(int32_t function, int32_t level) = 0;
    virtual void SetGpioOutVal(int32_t output, int32_t level) = 0; // outputs 1..16
    virtual void OutputOffAll() = 0;
    virtual void SetInputEdge(int32_t /*input*/, int32_t /*edge*/) {} // inputs 1..16
    virtual int32_t GetInputStatus(int32_t input) = 0;
    virtual int32_t GetSysInputFunc(int32_t input) = 0;
    virtual int32_t GetSysOutFunc(int32_t output) = 0;
    virtual QString InputFuncName(int32_t) { return {}; }
    virtual void SoundOk() = 0;
    virtual void SoundNg() = 0;
    virtual void SoundTap() = 0;

    // ---- bit socket tray ----
    virtual bool IsBstConnect() = 0;
    virtual bool IsBstComm() = 0;
    virtual bool IsBstSlave() = 0;        // tray op mode 0
    virtual int32_t BstSocketCount() = 0; // sockets of the tray
    virtual void BstWrite(int32_t reg, int32_t value) = 0;
    virtual void SetBstAlarmForce() = 0;

    // ---- job store (the loaded job) ----
    virtual int32_t JobLoad(int32_t jdx) = 0; // 0 on success
    virtual void JobFree() = 0;
    virtual int32_t GetJobsLen() = 0;
    virtual QString JobName(int32_t jdx) = 0;
    virtual int32_t FindJdxByName(const QString& name) = 0;
    virtual int32_t GetStepsLen() = 0;
    virtual int32_t GetStepType(int32_t sdx) = 0;
    virtual int32_t GetTotalScrewOfLoadedJob() = 0;
    // Step fields; the reference stays valid until the next call of the same getter.
    virtual const UnitStepFastenData& FastenStep(int32_t sdx) = 0;
    virtual const UnitStepInputData& InputStep(int32_t sdx) = 0;
    virtual const UnitStepOutputData& OutputStep(int32_t sdx) = 0;
    virtual const UnitStepDelayData& DelayStep(int32_t sdx) = 0;
    virtual const UnitStepMsgData& MsgStep(int32_t sdx) = 0;
    virtual std::vector<JobBarcodeEntry> JobBarcodeTable() = 0;
    virtual void SetCurrentJob(int32_t jdx) = 0; // the device object's current job
    // The reader's current barcode, shown at the entry of a fastening step; a null string
    // keeps the barcode line as it is.
    virtual QString CurrentBarcode() { return {}; }

    // ---- timers ----
    virtual void Start(RunTimer t, int32_t ms) = 0;
    virtual void Stop(RunTimer t) = 0;

    // ---- view ----
    virtual void ViewChanged() {} // read JobRun::View()
    // Picture of the step: load the image and draw every enabled position of `step` in
    // its pending colour (circle n is ScrewPos[n], 0-based below).
    virtual void PictureLoad(const QString& /*path*/, const UnitStepFastenData* /*step*/) {}
    virtual void PictureHighlight(int32_t /*n*/) {} // make circle n current (blinking)
    virtual void PictureMarkOk(int32_t /*n*/) {}    // OK colour, stays visible
    virtual void PictureMarkNg(int32_t /*n*/) {}
    virtual void PictureHide(int32_t /*n*/) {} // hide circle and number, pending colour again
    virtual void PictureClear() {}             // hide all circles, stop blinking

    // ---- dialogs (one of each kind at a time: a request while one is open is ignored) ----
    virtual void ShowMessage(const QString& title, const QString& text) = 0;
    virtual void CloseMessage() {}
    virtual void Confirm(const QString& question, const QString& context) = 0;
    virtual void CloseConfirm() {}
    virtual void AskPassword(const QString& context) = 0;
    virtual void ShowNotice(const QString& /*text*/) {} // fades out over 1000 ms
    virtual void OpenJobSelect() {}
    virtual void CloseJobSelect() {}
    // Stored-results dialog over JobRun::Stored(): open (tool choice), refresh its rows and
    // bars, close. The dialog calls OnStoredConfirmed / OnStoredLeave.
    virtual void StoredOpen() = 0;
    virtual void StoredRefresh() {}
    virtual bool StoredIsOpen() = 0;
    virtual void StoredClose() = 0;
    virtual void GoHome() {}
};
