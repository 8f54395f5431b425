#include "ScreenResults.h"

#include "ApplicationDeviceClass.h"
#include "Page.h"
#include "UnitDisconnFlagData.h"
#include "UnitEwEventRegtool.h"
#include "UnitMessageBox.h"
#include "UnitTdxData.h"

namespace {
ScreenResults* running = nullptr;
} // namespace

void ScreenResults::Attach(Page* screen) {
    if (!screen) return;
    const bool first = running == nullptr;
    if (first) running = new ScreenResults;
    running->screens_.append(screen);
    connect(screen, &QObject::destroyed, running, [](QObject* gone) { running->detach(gone); });
    if (first) running->results_.Start();
}

ScreenResults* ScreenResults::Instance() {
    return running;
}

ScreenResults::ScreenResults() : results_(*this), prompt_(new StoredPrompt(results_, this)) {
    promptTimer_.setSingleShot(true);
    connect(&promptTimer_, &QTimer::timeout, this, [this] { results_.Prompt(); });
    connect(prompt_, &StoredPrompt::leave, this, [this] { results_.StoredLeave(); });
    ApplicationDeviceClass* d = ApplicationDevice();
    connect(&d->FastenEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitTdxData*>(ctx)) results_.Fasten(p->Tdx);
    });
    // A result line the writer could not put on disk (it went to the spool).
    connect(&d->LogFailEvent, &SystemEvent::triggered, this,
            [this] { Message("Error", "Logging failed"); });
    connect(&d->DisconnFlagEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* e = qobject_cast<UnitDisconnFlagData*>(ctx))
            results_.DisconnFlag(e->Tdx, e->Flag);
    });
    connect(&d->UpdateRegtoolsEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitEwEventRegtool*>(ctx)) results_.Registry(p->Tdx, p->State);
    });
}

ScreenResults::~ScreenResults() {
    Navigator::DismissModal(message_);
    prompt_->Close();
}

void ScreenResults::detach(QObject* screen) {
    screens_.removeIf([screen](QWidget* w) { return static_cast<QObject*>(w) == screen; });
    if (!screens_.isEmpty()) return;
    results_.Stop();
    running = nullptr;
    delete this; // a direct connection: nothing of this taker is used after the slot
}

// Dialogs go over the window of the latest screen still open.
QWidget* ScreenResults::host() const {
    return screens_.isEmpty() ? nullptr : screens_.last()->window();
}

UnitMessageBox* ScreenResults::MessageDialog() const {
    return message_.As<UnitMessageBox>();
}

void ScreenResults::StartPrompt(int ms) {
    promptTimer_.start(ms);
}

void ScreenResults::Message(const std::string& title, const std::string& text) {
    QWidget* over = host();
    if (message_.Open() || !over) return; // one message at a time
    auto* box = new UnitMessageBox;
    box->setObjectName("resultsMessage");
    box->SetTitle(QString::fromStdString(title));
    box->SetText(QString::fromStdString(text));
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(over, box, Transition::Fade);
}

bool ScreenResults::StoredOpen() {
    return prompt_->IsOpen();
}
void ScreenResults::StoredShow() {
    prompt_->Show(host());
}
void ScreenResults::StoredRefresh(int) {
    prompt_->Refresh();
}
void ScreenResults::StoredProgress(int tdx, int collected) {
    prompt_->Progress(tdx, collected);
}
void ScreenResults::StoredClose() {
    prompt_->Close();
}
