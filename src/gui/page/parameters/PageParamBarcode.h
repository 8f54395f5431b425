// The "Barcode" tab of the parameters screen: the current tool's own table of 30 barcode
// entries. The table is read entry by entry through the tool's window, one entry per turn
// of the event loop under a waiting indication, so the screen stays alive meanwhile; an
// entry is edited in UnitParamBarcodeEdit and stored in this tool or in every connected
// driver, "Clear all?" empties the table; the table is read again after each change.
#pragma once

#include "Navigator.h"
#include "PageTabs.h"
#include "ToolBarcode.h"

#include <QList>
#include <QVector>

class QLabel;
class QPushButton;
class QStackedWidget;
class UnitMessageBox;
class UnitParamBarcodeEdit;

class PageParamBarcode : public TabPage {
    Q_OBJECT
  public:
    explicit PageParamBarcode(QWidget* parent = nullptr);
    ~PageParamBarcode() override;
    void Shown() override { Refresh(); }
    void Hidden() override;
    void Refresh() override;
    bool Reading() const { return next_ >= 0; }
    const QVector<ToolBarcodeEntry>& Entries() const { return entries_; }
    UnitParamBarcodeEdit* Editor() const;

  private:
    void readNext(int generation);
    void showRow(int index);
    void edit(int index);
    void store();
    void clearAll();
    void error(const QString& text);
    ToolBarcodeLink link(int tdx) const;

    QStackedWidget* stack_;
    QList<QPushButton*> rows_;
    QList<QList<QLabel*>> cells_; // number, code, range, preset of each row
    QPushButton* clearAll_;
    QVector<ToolBarcodeEntry> entries_;
    int next_ = -1; // entry read next; -1 when not reading
    int generation_ = 0;
    int editing_ = -1;
    ModalHandle editor_;
    ModalHandle confirm_;
    ModalHandle error_;
};
