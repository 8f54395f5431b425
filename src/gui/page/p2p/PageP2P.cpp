#include "PageP2P.h"

#include "ApplicationDeviceClass.h"
#include "PageP2P_SelectFile.h"
#include "PageP2P_SelectFolder.h"
#include "RestartNotice.h"
#include "UiSound.h"
#include "UnitMessageBox.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PageP2P::PageP2P(QWidget* parent) : Page(parent) {
    setObjectName("PageP2P");
    setProperty("role", "dialog");
    setFixedWidth(760);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(18);
    auto* t = new QLabel("Select P2P type", this);
    t->setObjectName("p2pTypeTitle");
    t->setProperty("role", "title");
    v->addWidget(t);
    auto button = [this, v](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumHeight(64);
        b->setStyleSheet("text-align: left; padding: 0 16px;");
        v->addWidget(b);
        return b;
    };
    connect(button("p2pSave", "Save to USB storage or micro SD card."), &QPushButton::clicked, this,
            [this] {
                UiSound_Tap();
                save();
            });
    connect(button("p2pLoad", "Load from USB storage or micro SD card."), &QPushButton::clicked,
            this, [this] {
                UiSound_Tap();
                load();
            });
    auto* close = new QPushButton("Cancel", this);
    close->setObjectName("p2pClose");
    close->setProperty("role", "cancel");
    close->setMinimumSize(180, 56);
    v->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (busy_ == Busy::None) Leave();
    });
    connect(&ApplicationDevice()->ProcessingEvent, &SystemEvent::triggered, this,
            &PageP2P::onProcessing);
}

PageP2P::~PageP2P() {
    Navigator::DismissModal(dialog_);
}

UnitMessageBox* PageP2P::Dialog() const {
    return dialog_.As<UnitMessageBox>();
}

// Dialogs cover the whole window, not only this small frame.
QWidget* PageP2P::host() const {
    return window();
}

void PageP2P::save() {
    if (busy_ != Busy::None || dialog_.Open()) return;
    ApplicationDeviceClass* dev = ApplicationDevice();
    // The archive carries the settings as they are on screen now.
    if (dev->SaveSetting() != 0) return showMessage("Error", "Failed to save.", false);
    auto* d = new PageP2P_SelectFolder(dev->P2PDefaultName(), ".p2p", host());
    connect(d, &PageP2P_SelectFolder::accepted, this,
            [this](const QString& path) { start(false, path); });
}

void PageP2P::load() {
    if (busy_ != Busy::None || dialog_.Open()) return;
    auto* d = new PageP2P_SelectFile(".p2p", false, host());
    connect(d, &PageP2P_SelectFile::accepted, this,
            [this](const QString& path, bool) { start(true, path); });
}

void PageP2P::start(bool loading, const QString& path) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    if ((loading ? dev->P2PLoad(path) : dev->P2PSave(path)) != 0)
        return showMessage("Error", loading ? "Failed to load." : "Failed to save.", false);
    busy_ = loading ? Busy::Loading : Busy::Saving;
    auto* box = new UnitMessageBox;
    box->SetTitle("Message");
    box->SetText("Please wait ...");
    box->SetCloseVisible(false);
    dialog_ = Navigator::PresentModal(host(), box, Transition::Scale);
}

void PageP2P::onProcessing() {
    if (busy_ != Busy::Saving && busy_ != Busy::Loading) return;
    const bool loading = busy_ == Busy::Loading;
    busy_ = Busy::None;
    Navigator::DismissModal(dialog_);
    const int rc = ApplicationDevice()->P2PLastResult();
    if (rc != 0) {
        // Nothing was replaced: the panel goes on with its data, no restart is offered.
        showMessage("Error",
                    loading ? "Failed to load.\n\nThe data is unchanged."
                            : "Failed to save.\n\nPlease retry.",
                    false);
    } else if (loading) {
        showMessage("Success", "Press OK to restart the system.", true);
    } else {
        Leave(); // a save returns to the settings screen
    }
}

void PageP2P::showMessage(const QString& title, const QString& text, bool restart) {
    Navigator::DismissModal(dialog_);
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    if (restart) box->SetCloseText("OK");
    connect(box, &UnitMessageBox::closed, this, [this, restart] {
        Navigator::DismissModal(dialog_);
        if (!restart) return;
        // The loaded files are in place: nothing on this page may run any more.
        busy_ = Busy::Restarting;
        RestartNotice::Restart(host());
    });
    if (title == "Error") UiSound_Ng();
    dialog_ = Navigator::PresentModal(host(), box, Transition::Scale);
}
