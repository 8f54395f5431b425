// The preset barcode tab of the settings: a registered tool chosen, its setting that turns
// preset selection by barcode on, and its table (codes that choose a preset) as a list
// with its commands and the entry editor, which can add a row to every tool's table.
// A tool's table is saved right after each change.
#pragma once

#include "Navigator.h"
#include "Page.h"

#include <QList>

class QCheckBox;
class QLabel;
class QPushButton;
class UnitBarcodeEdit;
class UnitBarcodeList;
class UnitMessageBox;

class PageSettingBarcode : public Page {
    Q_OBJECT
  public:
    explicit PageSettingBarcode(QWidget* parent = nullptr);
    ~PageSettingBarcode() override;
    void Init() override { Refresh(); }
    // Reads the registered tools and the chosen tool's table again.
    void Refresh() override;
    int Tool() const { return tdx_; }
    UnitBarcodeList* List() const { return list_; }
    UnitBarcodeEdit* Editor() const;
    UnitMessageBox* ErrorDialog() const;

  private:
    void choose(int tdx);
    void openEditor(int row);
    void store();
    void save(const QList<int>& tools);
    void error(const QString& text);

    int tdx_ = -1;
    QList<QPushButton*> tools_;
    QLabel* none_;
    QCheckBox* enable_;
    UnitBarcodeList* list_;
    ModalHandle editor_;
    ModalHandle error_;
};
