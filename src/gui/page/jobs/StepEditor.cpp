#include "StepEditor.h"

void StepEditor::change(const std::function<int()>& edit, const std::function<int()>& next) {
    // The visible panel's fields go into the loaded job before anything shows a step
    // again, because showing one refills the panel from the loaded job.
    port_.SavePanel();
    if (!edit || edit() == 0) display(next());
}

void StepEditor::display(int sdx) {
    const int n = port_.StepCount();
    sel_ = n == 0 ? -1 : sdx < 0 ? 0 : sdx >= n ? n - 1 : sdx;
    port_.ShowStep(sel_);
}

void StepEditor::Open() {
    sel_ = -1;
    display(0);
}

void StepEditor::Select(int sdx) {
    if (sdx == sel_ || sdx < 0 || sdx >= port_.StepCount()) return;
    change(nullptr, [sdx] { return sdx; });
}

bool StepEditor::roomForOne() {
    if (port_.StepCount() < kMaxSteps) return true;
    port_.Error(kLimitText);
    return false;
}

void StepEditor::AddPressed(int type) {
    if (!roomForOne()) return;
    change([this, type] { return port_.AddStep(type); }, [this] { return port_.StepCount() - 1; });
}

void StepEditor::CopyPressed() {
    if (sel_ < 0 || !roomForOne()) return;
    change([this] { return port_.CopyStep(sel_); }, [this] { return port_.StepCount() - 1; });
}

void StepEditor::DeletePressed() {
    if (sel_ >= 0) port_.Confirm("Delete?", "delete");
}

void StepEditor::RenamePressed() {
    if (sel_ >= 0) port_.AskName(port_.StepName(sel_));
}

void StepEditor::UpPressed() {
    if (sel_ < 1) return;
    change([this] { return port_.MoveStepUp(sel_); }, [this] { return sel_ - 1; });
}

void StepEditor::DownPressed() {
    if (sel_ < 0 || sel_ >= port_.StepCount() - 1) return;
    change([this] { return port_.MoveStepDown(sel_); }, [this] { return sel_ + 1; });
}

void StepEditor::SavePressed() {
    port_.Confirm("Save?", "save");
}

void StepEditor::CancelPressed() {
    port_.Confirm("Cancel?", "cancel");
}

void StepEditor::Confirmed(const QString& context) {
    if (context == "delete") {
        if (sel_ < 0) return;
        // The deleted step's panel is not saved: its record is gone. The step that moves
        // into its place (or the one before the last) becomes the selected one.
        if (port_.DeleteStep(sel_) == 0) display(sel_);
    } else if (context == "save") {
        port_.SavePanel();
        if (!everyStepRuns()) return;
        // A failed write keeps the editor and the loaded job, so nothing is lost.
        if (port_.SaveJob() != 0) {
            port_.Error(kSaveFailText);
            return;
        }
        port_.Close();
    } else if (context == "cancel") {
        port_.FreeJob();
        port_.Close();
    }
}

bool StepEditor::everyStepRuns() {
    for (int sdx = 0, n = port_.StepCount(); sdx < n; ++sdx) {
        const QString problem = port_.StepProblem(sdx);
        if (problem.isEmpty()) continue;
        display(sdx);
        port_.Error(problem);
        return false;
    }
    return true;
}

bool StepEditor::NameEntered(const QString& name) {
    if (name.isEmpty()) return false;
    if (sel_ >= 0)
        change([this, &name] { return port_.RenameStep(sel_, name); }, [this] { return sel_; });
    return true;
}
