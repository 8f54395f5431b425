// The job screen's half of the run state's port: timers, the picture and the dialogs,
// one of each kind at a time.
#include "ApplicationDeviceClass.h"
#include "PageOperationImageView.h"
#include "PageOperationWithJob.h"
#include "UiSound.h"
#include "UnitConfirmation.h"
#include "UnitNotice.h"
#include "UnitPassword.h"
#include "UnitSelectJob.h"
#include "UnitStepDelayView.h"
#include "UnitStoredResults.h"

#include <QTimer>

void PageOperationWithJob::Start(RunTimer t, int32_t ms) {
    if (t == RunTimer::Delay) {
        delay_->StartCountdown(ms);
        return;
    }
    if (QTimer* timer = timers_[t]) timer->start(qMax(0, ms));
}

void PageOperationWithJob::Stop(RunTimer t) {
    if (t == RunTimer::Delay) {
        delay_->StopCountdown();
        return;
    }
    if (QTimer* timer = timers_[t]) timer->stop();
}

bool PageOperationWithJob::TimerActive(RunTimer t) const {
    if (t == RunTimer::Delay) return delay_->CountingDown();
    auto it = timers_.find(t);
    return it != timers_.end() && it->second->isActive();
}

void PageOperationWithJob::PictureLoad(const QString& path, const UnitStepFastenData* step) {
    image_->Load(path);
    image_->SetPositions(step, step ? PageOperationImageView::MaxCircles : 0);
}
void PageOperationWithJob::PictureHighlight(int32_t n) {
    image_->Highlight(n);
}
void PageOperationWithJob::PictureMarkOk(int32_t n) {
    image_->MarkOk(n);
}
void PageOperationWithJob::PictureMarkNg(int32_t n) {
    image_->MarkNg(n);
}
void PageOperationWithJob::PictureHide(int32_t n) {
    image_->Hide(n);
}
void PageOperationWithJob::PictureClear() {
    image_->ClearMarks();
}

UnitMessageBox* PageOperationWithJob::MessageDialog() const {
    return messageBox_.As<UnitMessageBox>();
}
UnitConfirmation* PageOperationWithJob::ConfirmDialog() const {
    return confirm_.As<UnitConfirmation>();
}
UnitPassword* PageOperationWithJob::PasswordDialog() const {
    return password_.As<UnitPassword>();
}
UnitSelectJob* PageOperationWithJob::SelectJobDialog() const {
    return selectJob_.As<UnitSelectJob>();
}
UnitStoredResults* PageOperationWithJob::StoredDialog() const {
    return stored_.As<UnitStoredResults>();
}

void PageOperationWithJob::ShowMessage(const QString& title, const QString& text) {
    if (messageBox_.Open()) return;
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(messageBox_); });
    messageBox_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageOperationWithJob::CloseMessage() {
    Navigator::DismissModal(messageBox_);
}

void PageOperationWithJob::Confirm(const QString& question, const QString& context) {
    if (confirm_.Open()) return;
    auto* box = new UnitConfirmation(question, context);
    connect(box, &UnitMessageBox::confirmed, this, [this, context] {
        Navigator::DismissModal(confirm_);
        run_->OnConfirmed(context);
    });
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    confirm_ = Navigator::PresentModal(this, box, Transition::Scale);
}

void PageOperationWithJob::CloseConfirm() {
    Navigator::DismissModal(confirm_);
}

void PageOperationWithJob::AskPassword(const QString& context) {
    if (password_.Open()) return;
    passwordContext_ = context;
    auto* pw = new UnitPassword;
    connect(pw, &UnitPassword::ok, this, [this] {
        UnitPassword* pw = PasswordDialog();
        if (!pw) return;
        UiSound_Tap();
        const QString text = pw->Text();
        // Closed before the command runs, which may open the next dialog.
        if (text == SysPassword()) Navigator::DismissModal(password_);
        if (!run_->OnPassword(passwordContext_, text) && pw == PasswordDialog()) {
            pw->ClearText();
            pw->ShowIncorrect();
        }
    });
    connect(pw, &UnitPassword::cancel, this, [this] { Navigator::DismissModal(password_); });
    password_ = Navigator::PresentModal(this, pw, Transition::Scale);
}

void PageOperationWithJob::ShowNotice(const QString& text) {
    notice_->Show(text);
}

void PageOperationWithJob::OpenJobSelect() {
    if (selectJob_.Open()) return;
    auto* dlg = new UnitSelectJob;
    connect(dlg, &UnitSelectJob::chosen, this, [this](int jdx) { run_->OnJobChosen(jdx); });
    connect(dlg, &UnitSelectJob::cancel, this, [this] { Navigator::DismissModal(selectJob_); });
    selectJob_ = Navigator::PresentModal(this, dlg, Transition::Scale);
}

void PageOperationWithJob::CloseJobSelect() {
    Navigator::DismissModal(selectJob_);
}

void PageOperationWithJob::StoredOpen() {
    if (stored_.Open()) {
        StoredRefresh();
        return;
    }
    const std::vector<int32_t> tools = RegisteredTools();
    auto* dlg = new UnitStoredResults(int(tools.size()), [this](int t) {
        return UnitStoredResults::ToolRow{ToolName(t), dev_->GetToolType_ByTdx(t),
                                          dev_->GetTdxToolState(t), run_->Stored().Pending(t)};
    });
    connect(dlg, &UnitStoredResults::confirmed, this, [this](const QVector<bool>& choices) {
        uint32_t mask = 0;
        for (int t = 0; t < choices.size(); ++t)
            if (choices[t]) mask |= 1u << t;
        run_->OnStoredConfirmed(mask);
        StoredRefresh();
    });
    connect(dlg, &UnitStoredResults::leave, this, [this] { run_->OnStoredLeave(); });
    stored_ = Navigator::PresentModal(this, dlg, Transition::Scale);
    StoredRefresh();
}

void PageOperationWithJob::StoredRefresh() {
    UnitStoredResults* dlg = StoredDialog();
    if (!dlg) return;
    const StoredResults& s = run_->Stored();
    dlg->Refresh();
    for (int t = 0; t < dlg->Tools(); ++t)
        dlg->SetBar(t, s.Maximum(t), s.Progress(t));
    dlg->SetConfirmEnabled(!s.Confirmed());
}

bool PageOperationWithJob::StoredIsOpen() {
    return stored_.Open();
}

void PageOperationWithJob::StoredClose() {
    Navigator::DismissModal(stored_);
}

void PageOperationWithJob::GoHome() {
    Leave();
}
