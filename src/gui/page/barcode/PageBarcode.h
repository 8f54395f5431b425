// The job barcode screen: the job table (codes that choose a job) as a list with its
// commands, and the entry editor. A code scanned while the screen is open opens the
// editor with it. Leaving saves the table and turns the tools' result output off.
#pragma once

#include "Navigator.h"
#include "Page.h"

class UnitBarcodeEdit;
class UnitBarcodeList;
class UnitMessageBox;

class PageBarcode : public Page {
    Q_OBJECT
  public:
    explicit PageBarcode(QWidget* parent = nullptr);
    ~PageBarcode() override;
    void Init() override;
    void Refresh() override;
    UnitBarcodeList* List() const { return list_; }
    UnitBarcodeEdit* Editor() const;
    UnitMessageBox* ErrorDialog() const;

  private:
    void openEditor(int row, const QString& scanned);
    void store();
    void close();
    void error(const QString& text);

    UnitBarcodeList* list_;
    ModalHandle editor_;
    ModalHandle error_;
};
