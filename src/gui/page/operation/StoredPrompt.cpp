#include "StoredPrompt.h"

#include "ApplicationDeviceClass.h"
#include "ResultTaker.h"
#include "UnitStoredResults.h"

#include <algorithm>

StoredPrompt::StoredPrompt(ResultTaker& taker, QObject* parent) : QObject(parent), taker_(taker) {}

StoredPrompt::~StoredPrompt() {
    Navigator::DismissModal(handle_);
}

UnitStoredResults* StoredPrompt::Dialog() const {
    return handle_.As<UnitStoredResults>();
}

void StoredPrompt::Show(QWidget* host) {
    if (handle_.Open() || !host) return;
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int tools = std::min(dev->GetRegtoolsLen(), int(ResultTaker::kTools));
    auto* dlg = new UnitStoredResults(tools, [this, dev](int t) {
        return UnitStoredResults::ToolRow{dev->GetTdxToolName(t), dev->GetToolType_ByTdx(t),
                                          dev->GetTdxToolState(t), taker_.Pending(t)};
    });
    connect(dlg, &UnitStoredResults::confirmed, this, [this](const QVector<bool>& choices) {
        unsigned mask = 0;
        for (int t = 0; t < choices.size(); ++t)
            if (choices[t]) mask |= 1u << t;
        taker_.StoredConfirmed(mask);
        Refresh();
    });
    connect(dlg, &UnitStoredResults::leave, this, [this] {
        Navigator::DismissModal(handle_);
        emit leave();
    });
    handle_ = Navigator::PresentModal(host, dlg, Transition::Scale);
    Refresh();
}

void StoredPrompt::Refresh() {
    UnitStoredResults* dlg = Dialog();
    if (!dlg) return;
    const StoredResults& s = taker_.Stored();
    dlg->Refresh();
    for (int t = 0; t < dlg->Tools(); ++t)
        dlg->SetBar(t, s.Maximum(t), s.Progress(t));
    dlg->SetConfirmEnabled(!s.Confirmed());
}

void StoredPrompt::Progress(int tdx, int collected) {
    UnitStoredResults* dlg = Dialog();
    if (!dlg) return;
    Refresh();
    dlg->SetProgress(tdx, collected);
}

void StoredPrompt::Close() {
    Navigator::DismissModal(handle_);
}
