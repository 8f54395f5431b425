// Run state of the job screen without widgets or timers: steps, results, operator
// commands, job selection, link loss and stored results, all through a JobRunPort.
#pragma once

#include "JobRunPort.h"
#include "ResultIntake.h"
#include <array>
#include <cstdint>

class JobRun {
  public:
    explicit JobRun(JobRunPort& port);

    // The screen was created (settings read, tools set up, tray check started).
    void Create();
    // The screen goes away: result pulses still high and the outputs of a job still loaded
    // (impulses and "high" outputs of its output steps) go to 0 now; their timers go with
    // the screen.
    void Close();

    // ---- events forwarded by the screen ----
    void OnTimer(RunTimer t);
    // A fastening event of tdx: the record read with GetFastenEventData.
    void OnFastenEvent(int32_t tdx, const FastenResult& record);
    void OnToolState(int32_t tdx, int32_t state); // registry update, states of the registry
    void OnBarcode(const QString& text);          // scanner
    void OnDisconnFlag(int32_t tdx, int32_t flag);
    void OnInput(int32_t input, int32_t level); // inputs 1..16
    void OnTrayHotplug(bool present);
    void OnTrayEvent(int32_t mask, int32_t preset, int32_t alarm, int32_t opmode);
    void OnTrayCommFail();

    // ---- buttons ----
    void Skip();
    void Back();
    void ResetStep();
    void ResetJob();
    void NextJob();
    void PrevJob();
    void OpenJob();
    void Home();
    void FullScreen(bool on);
    void DelayConfirm();
    // ---- dialog answers ----
    void OnConfirmed(const QString& context); // OK of the confirmation with that context
    // Password entered for context: true when right (dialog closes, command runs); false:
    // the NG sound played, the dialog clears its entry and stays.
    bool OnPassword(const QString& context, const QString& entered);
    void OnJobChosen(int32_t row); // a row of the job selection dialog
    void OnStoredConfirmed(uint32_t chosenMask);
    void OnStoredLeave();

    // ---- primitives ----
    void JobLoad(int32_t jdx);
    void JobRelease(bool full);
    void NextStep();
    void JobLoadByEvent(int32_t jdx);
    // The start-up job: load it when found (returns false and loads nothing otherwise).
    bool LoadStartupJob(const QString& name);
    // A plant system locks (true) or unlocks the current step's tool; a lock holds over the
    // steps that follow until unlocked or another job is loaded. False without a job.
    bool PlantLock(bool on);
    bool PlantLocked() const { return plantLock_; }

    // ---- read-only state ----
    const RunView& View() const { return view_; }
    const StoredResults& Stored() const { return intake_.Stored(); }
    int32_t Jdx() const { return jdx_; }
    int32_t Sdx() const { return sdx_; }
    int32_t StepType() const { return stepType_; }
    int32_t StepCount() const { return stepCount_; }
    int32_t StepTool() const { return stepTool_; }
    int32_t StepScrews() const { return stepScrews_; }
    int32_t ScrewsDone() const { return screwsDone_; }
    int32_t JobScrewsDone() const { return jobScrewsDone_; }
    int32_t JobScrewsTotal() const { return jobScrewsTotal_; }
    bool StepNg() const { return stepNg_; }
    bool JobNg() const { return jobNg_; }
    bool Waiting() const { return waiting_; }
    int32_t CatchUp() const { return catchUp_; }
    int32_t Draining(int32_t tdx) const; // stored results of an earlier step still expected
    bool Disconnected(int32_t tdx) const;
    bool PictureMode() const { return pictureMode_; }
    bool ScrewOk(int32_t n) const { return n >= 0 && n < 100 && screwOk_[n]; }

    static QString ErrorText(int32_t code); // text after "E<code> : "
    // The barcode matching rule of every barcode table.
    static bool BarcodeMatches(const QString& code, const QString& entry, int32_t partial,
                               int32_t start, int32_t end);

  private:
    friend class JobRunTestAccess;
    static constexpr int32_t kRegPreset = 4004;
    // A torque in hundredths as the screens show it ("12.50").
    static QString Torque(int32_t v) { return QString::number(v / 100.0, 'f', 2); }
    // steps and results (JobRun.cpp)
    void OnNextStepTimer();
    void EnterStep();
    void EnterFasten();
    void EnterInput();
    void EnterOutput();
    void EnterDelay();
    void EnterMsg();
    void FinishDelay();
    void OnJobResultTimer();
    void Judge(int32_t tdx, const FastenResult& r);
    void LogResult(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& r, int32_t ack);
    void Pulse(int32_t f);
    void UpdateCounter();
    QString TargetText(int32_t tdx, int32_t preset);
    void StepDone();
    void ToolBarcode(const QString& text);
    void BarcodeCommon(const QString& text, bool scanner);
    bool InFastenStep() const;
    bool TrayReady() const;
    void TraySocketRequest(int32_t v);
    void DisableInputHandlers();
    void Refresh() { port_.ViewChanged(); }
    // commands (JobRunCommands.cpp)
    void SkipCommand(bool fromInput);
    bool Running() const { return jdx_ >= 0 && stepCount_ > 0; }
    void NextScrew();
    void TakeBack();
    void ResetStepProper();
    void ResetJobProper();
    void JobSelectInput(int32_t input, int32_t function, int32_t level);
    void LeaveHome();
    // link, stored results and tray (JobRunLink.cpp)
    void LinkLost(int32_t t);
    void LinkUp(int32_t t);
    void RestoreStepOn(int32_t t);
    void StoredResult(int32_t t, const FastenResult& r);
    void TrayCheck();
    void TrayWarnSlave();
    void LockStepTool(int32_t on);
    // The step tool unlocked and every other locked, unless a plant system holds it locked.
    void UnlockStepToolOnly(int32_t t);

    JobRunPort& port_;
    RunSettings set_;
    RunView view_;
    ResultIntake intake_;

    int32_t jdx_ = -1, sdx_ = -1;
    int32_t logStep_ = -1; // the step results are logged under: the one entered last
    int32_t stepType_ = -1, prevStepType_ = -1;
    int32_t stepCount_ = 0;
    int32_t jobScrewsTotal_ = 0;
    int32_t stepTool_ = -1, stepPreset_ = 0;
    int32_t stepScrews_ = 0, screwsDone_ = 0, jobScrewsDone_ = 0;
    std::array<uint8_t, 100> screwOk_{};
    bool stepNg_ = false, jobNg_ = false, waiting_ = false;
    uint32_t lastScrewNo_ = 0;
    int32_t catchUp_ = 0;               // stored results expected from stepTool_ this step
    std::array<int32_t, 8> draining_{}; // stored results of earlier steps still expected
    std::array<uint8_t, 8> disconnected_{};
    bool pictureMode_ = false, fullScreen_ = false;
    std::array<int32_t, 9> outUsers_{}; // users of output functions 1..8
    std::array<uint8_t, 9> pulsing_{};  // output functions 1..8 high in their 100 ms pulse
    // input step
    int32_t inputCondition_ = 0;
    int32_t requiredCount_ = 0, requiredAtEntry_ = 0;
    std::array<uint8_t, 17> inputEnabled_{}; // input-step handler of inputs 1..16
    std::array<uint8_t, 17> inputUsed_{};
    // output step
    std::array<uint8_t, 17> impulseOut_{};
    int32_t trayTool_ = -1;
    // a tray plugged in, its first report still to come
    bool trayFirstAnswer_ = false;
    bool carryNg_ = false;    // a reset of the first step keeps the job NG over the start
    int32_t pendingRow_ = -1; // job chosen while another runs, waiting for "openjob"
    bool plantLock_ = false;
};
