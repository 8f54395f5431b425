// The step editor's rules, free of widgets: the selected step, the step limit, saving the
// visible panel before the list changes under it, and the confirmations of delete, save
// and cancel, carried out through a port that the screen implements over the device object.
#pragma once

#include <QString>
#include <functional>

class StepEditorPort {
  public:
    virtual ~StepEditorPort() = default;
    virtual int StepCount() = 0;
    virtual int AddStep(int type) = 0; // 0 done
    virtual int CopyStep(int sdx) = 0;
    virtual int DeleteStep(int sdx) = 0;
    virtual int MoveStepUp(int sdx) = 0;
    virtual int MoveStepDown(int sdx) = 0;
    virtual QString StepName(int sdx) = 0;
    virtual int RenameStep(int sdx, const QString& name) = 0;
    virtual int SaveJob() = 0;
    virtual void FreeJob() = 0;
    virtual void SavePanel() = 0; // the visible panel's fields into the loaded job
    // Why step `sdx` as it stands could never be passed at the station; empty when it can.
    virtual QString StepProblem(int sdx) = 0;
    virtual void ShowStep(int sdx) = 0; // list re-read, row selected, its panel (-1 none)
    virtual void Error(const QString& text) = 0;
    virtual void Confirm(const QString& question, const QString& context) = 0;
    virtual void AskName(const QString& current) = 0; // "Rename" / "Enter new name"
    virtual void Close() = 0;
};

class StepEditor {
  public:
    static constexpr int kMaxSteps = 255;
    static constexpr const char* kLimitText = "Step limit exceeded.";
    static constexpr const char* kSaveFailText = "Failed to save the job.";

    explicit StepEditor(StepEditorPort& port) : port_(port) {}

    // The job was loaded: the first step (if any) is shown.
    void Open();
    int Selected() const { return sel_; }
    void Select(int sdx);
    void AddPressed(int type);
    void CopyPressed();
    void DeletePressed();
    void RenamePressed();
    void UpPressed();
    void DownPressed();
    void SavePressed();
    void CancelPressed();
    // The confirmation of `context` ("delete", "save", "cancel") was accepted.
    void Confirmed(const QString& context);
    // A name was entered for the rename; false keeps the entry open (empty name).
    bool NameEntered(const QString& name);

  private:
    // Saves the visible panel, then runs `edit` (none: nothing to change) and, when it
    // succeeds, shows step `next()`. Every action that shows a step again goes through it.
    void change(const std::function<int()>& edit, const std::function<int()>& next);
    // The first step that could never be passed is shown with its problem; false then.
    bool everyStepRuns();
    // Shows step `sdx` (clamped to the list; -1 none) without saving the panel: only for
    // opening and after a delete, when the panel's record is gone.
    void display(int sdx);
    bool roomForOne();

    StepEditorPort& port_;
    int sel_ = -1;
};
