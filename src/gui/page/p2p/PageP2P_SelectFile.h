// "Select file": which file to read. The storage browser, as a file picker, accepts only
// names ending with the dialog's extension; the dialog may offer loading the barcode
// entries alone. OK hands back the path and that choice. Shown over its parent; it
// deletes itself once it answered.
// Widgets: "p2pFileButton", "p2pFileField", "p2pBarcodeOnly", "p2pOk", "p2pCancel".
#pragma once

#include "PageP2P_Dialog.h"

class QLabel;

class PageP2P_SelectFile : public PageP2P_Dialog {
    Q_OBJECT
  public:
    PageP2P_SelectFile(const QString& extension, bool offerBarcodeOnly, QWidget* parent = nullptr);
    QString File() const { return file_; }

  signals:
    void accepted(const QString& path, bool barcodeOnly);
    void cancelled();

  private:
    void confirm() override;
    void cancel() override;
    void chooseFile();

    QString extension_, file_;
    QLabel* fileField_;
    QPushButton* barcodeOnly_ = nullptr;
};
