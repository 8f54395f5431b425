#include "PageP2P_SelectFile.h"

#include "UiSound.h"
#include "UnitBrowser.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

PageP2P_SelectFile::PageP2P_SelectFile(const QString& extension, bool offerBarcodeOnly,
                                       QWidget* parent)
    : PageP2P_Dialog("Select file", parent), extension_(extension) {
    setObjectName("PageP2P_SelectFile");
    auto* fileRow = new QWidget(this);
    auto* h = new QHBoxLayout(fileRow);
    h->setContentsMargins(0, 0, 0, 0);
    fileField_ = new QLabel(fileRow);
    fileField_->setObjectName("p2pFileField");
    fileField_->setWordWrap(true);
    QPushButton* browse = fieldButton("p2pFileButton");
    browse->setText("...");
    browse->setFixedWidth(90);
    h->addWidget(fileField_, 1);
    h->addWidget(browse);
    addRow("File  :", fileRow);
    connect(browse, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        chooseFile();
    });
    if (offerBarcodeOnly) {
        barcodeOnly_ = fieldButton("p2pBarcodeOnly");
        barcodeOnly_->setText("   Download only barcode parameter");
        barcodeOnly_->setCheckable(true);
        barcodeOnly_->setStyleSheet("QPushButton { text-align: left; padding: 0 12px; }"
                                    " QPushButton:checked { background: #2f8fe8; }");
        connect(barcodeOnly_, &QPushButton::clicked, this, [] { UiSound_Tap(); });
        addRow("", barcodeOnly_);
    }
    present();
}

void PageP2P_SelectFile::chooseFile() {
    auto* browser = new UnitBrowser("./files", "internal storage");
    browser->Model().SetPick(BrowserModel::Pick::File);
    browser->Model().SetAccept(extension_);
    openBrowser(browser, [this](const QString& path) {
        // The browser refuses other names already; a path handed in any other way is
        // checked the same.
        if (!BrowserModel::HasSuffix(path, extension_)) {
            file_.clear();
            fileField_->clear();
            return showError("Invalid file.");
        }
        file_ = path;
        fileField_->setText(path);
    });
}

void PageP2P_SelectFile::confirm() {
    if (file_.isEmpty()) return showError("Please select file to load.");
    const QString path = file_;
    const bool only = barcodeOnly_ && barcodeOnly_->isChecked();
    finish([this, path, only] { emit accepted(path, only); });
}

void PageP2P_SelectFile::cancel() {
    finish([this] { emit cancelled(); });
}
