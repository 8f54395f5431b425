#include "PageSwUpgrade.h"

#include "ApplicationDeviceClass.h"
#include "RestartNotice.h"
#include "UiSound.h"
#include "UnitBrowser.h"
#include "UnitConfirmation.h"
#include "UnitMessageBox.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

int PageSwUpgrade::StepMs = 100;

PageSwUpgrade::PageSwUpgrade(QWidget* parent) : Page(parent) {
    setObjectName("PageSwUpgrade");
    setProperty("role", "dialog");
    setFixedWidth(820);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(18);
    auto* t = new QLabel("Software upgrade", this);
    t->setObjectName("swTitle");
    t->setProperty("role", "title");
    v->addWidget(t);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel("Select file : ", this);
    label->setStyleSheet("font-family: monospace; font-size: 22px;");
    fileField_ = new QLabel(this);
    fileField_->setObjectName("swFileField");
    fileField_->setWordWrap(true);
    auto* browse = new QPushButton("...", this);
    browse->setObjectName("swFileButton");
    browse->setFixedSize(90, 56);
    row->addWidget(label);
    row->addWidget(fileField_, 1);
    row->addWidget(browse);
    v->addLayout(row);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("swProgress");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFormat("%v %");
    progress_->setVisible(false);
    v->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* go = new QPushButton("Upgrade", this);
    go->setObjectName("swUpgrade");
    go->setProperty("role", "ok");
    auto* close = new QPushButton("Cancel", this);
    close->setObjectName("swClose");
    close->setProperty("role", "cancel");
    for (QPushButton* b : {go, close}) {
        b->setMinimumSize(180, 56);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(browse, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (!timer_.isActive()) chooseFile();
    });
    connect(go, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (!timer_.isActive()) upgrade();
    });
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        // Once the program is replaced only the restart is left.
        if (!timer_.isActive() && !progress_->isVisible()) Leave();
    });
    connect(&timer_, &QTimer::timeout, this, &PageSwUpgrade::step);
}

PageSwUpgrade::~PageSwUpgrade() {
    closeDialog();
}

void PageSwUpgrade::closeDialog() {
    Navigator::DismissModal(dialog_);
}

void PageSwUpgrade::chooseFile() {
    closeDialog();
    auto* browser = new UnitBrowser("./files", "internal storage");
    browser->Model().SetPick(BrowserModel::Pick::File);
    browser->Model().SetAccept(".dmk");
    connect(browser, &UnitBrowser::chosen, this, [this](const QString& path) {
        closeDialog();
        if (!BrowserModel::HasSuffix(path, ".dmk")) {
            file_.clear();
            fileField_->clear();
            return showMessage("Error", "Invalid file.");
        }
        file_ = path;
        fileField_->setText(path);
    });
    connect(browser, &Page::completed, this, [this] { closeDialog(); });
    dialog_ = Navigator::PresentModal(host(), browser, Transition::Scale);
    browser->Init();
}

void PageSwUpgrade::upgrade() {
    if (file_.isEmpty()) return showMessage("Error", "Please select a file.");
    closeDialog();
    auto* box = new UnitConfirmation("Correct ?\n\n" + QFileInfo(file_).fileName(), "upgrade");
    connect(box, &UnitMessageBox::closed, this, [this] { closeDialog(); });
    connect(box, &UnitMessageBox::confirmed, this, [this] {
        UiSound_Tap();
        closeDialog();
        install();
    });
    dialog_ = Navigator::PresentModal(host(), box, Transition::Scale);
}

void PageSwUpgrade::install() {
    if (ApplicationDevice()->SwUpgrade(file_) != 0)
        return showMessage("Error", "Failed to upgrade.\n\nPlease retry.");
    progress_->setValue(0);
    progress_->setVisible(true);
    timer_.start(StepMs);
}

void PageSwUpgrade::step() {
    progress_->setValue(progress_->value() + 1);
    if (progress_->value() < 100) return;
    timer_.stop();
    showMessage("Success", "Press OK to restart the system.", true);
}

void PageSwUpgrade::showMessage(const QString& title, const QString& text, bool restart) {
    closeDialog();
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    if (restart) box->SetCloseText("OK");
    connect(box, &UnitMessageBox::closed, this, [this, restart] {
        closeDialog();
        if (restart) RestartNotice::Restart(host());
    });
    if (title == "Error") UiSound_Ng();
    dialog_ = Navigator::PresentModal(host(), box, Transition::Scale);
}
