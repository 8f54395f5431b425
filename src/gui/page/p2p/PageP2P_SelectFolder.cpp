#include "PageP2P_SelectFolder.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitBrowser.h"
#include "UnitTextKeypad.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

PageP2P_SelectFolder::PageP2P_SelectFolder(const QString& defaultName, const QString& extension,
                                           QWidget* parent)
    : PageP2P_Dialog("Select folder", parent), extension_(extension), name_(defaultName) {
    setObjectName("PageP2P_SelectFolder");
    auto* folderRow = new QWidget(this);
    auto* h = new QHBoxLayout(folderRow);
    h->setContentsMargins(0, 0, 0, 0);
    folderField_ = new QLabel(folderRow);
    folderField_->setObjectName("p2pFolderField");
    folderField_->setWordWrap(true);
    QPushButton* browse = fieldButton("p2pFolderButton");
    browse->setText("...");
    browse->setFixedWidth(90);
    h->addWidget(folderField_, 1);
    h->addWidget(browse);
    addRow("Folder    :", folderRow);
    nameField_ = fieldButton("p2pNameField");
    nameField_->setText(name_);
    addRow("Filename  :", nameField_);
    connect(browse, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        chooseFolder();
    });
    connect(nameField_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        enterName();
    });
    present();
}

void PageP2P_SelectFolder::chooseFolder() {
    auto* browser = new UnitBrowser("./files", "internal storage");
    browser->Model().SetPick(BrowserModel::Pick::Folder);
    openBrowser(browser, [this](const QString& path) {
        folder_ = path;
        folderField_->setText(path);
    });
}

void PageP2P_SelectFolder::enterName() {
    closeDialog();
    auto* pad = new UnitTextKeypad("Enter file name", name_);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { closeDialog(); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        name_ = pad->Text();
        nameField_->setText(name_);
        closeDialog();
    });
    showDialog(pad);
}

void PageP2P_SelectFolder::confirm() {
    if (folder_.isEmpty()) return showError("Please select path to save.");
    if (name_.isEmpty()) return showError("Please enter file name to save.");
    if (name_.contains('/')) return showError("Can not use \"/\" in the file name.");
    QString name = name_;
    if (!name.endsWith(extension_)) name += extension_;
    const QString path = folder_ + "/" + name;
    if (!ApplicationDeviceClass::P2PPathFits(path))
        return showError("The path is too long (max 127 characters).");
    finish([this, path] { emit accepted(path); });
}

void PageP2P_SelectFolder::cancel() {
    finish([this] { emit cancelled(); });
}
