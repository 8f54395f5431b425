// A barcode table as a list with its commands, shared by the job barcode screen and the
// preset barcode tab: rows with their selection marks and a cursor, and the buttons add,
// edit, delete, up, down, top, end and select all. Delete, top and end ask first. Add and
// edit are handed to the screen, which owns the entry editor; every other change is
// reported by `changed` once it is made.
#pragma once

#include "BarcodeList.h"
#include "Navigator.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;
class UnitConfirmation;

class UnitBarcodeList : public QWidget {
    Q_OBJECT
  public:
    // Children are named <prefix>Row<i>, <prefix>Sel<i>, <prefix>Add, <prefix>Edit, ...;
    // `targetHeader` and `targetText` give the last column (job name or preset).
    UnitBarcodeList(const QString& prefix, const QString& targetHeader,
                    std::function<QString(const BarcodeRow&)> targetText,
                    QWidget* parent = nullptr);
    ~UnitBarcodeList() override;
    void SetTable(int table);
    int Table() const { return table_; }
    // The shown texts of a row's cells (number, code, range, target).
    QStringList Cells(int row) const;
    int Cursor() const { return cursor_; }
    void SetCursor(int row);
    // Reads the table again.
    void Reload();
    UnitConfirmation* ConfirmDialog() const;
    void CloseDialogs();

  signals:
    void addRequested();
    void editRequested(int row);
    void changed();

  private:
    void command(BarcodeList::Command c);
    void run(BarcodeList::Command c);
    QPushButton* button(const char* name, const QString& text);

    QString prefix_;
    std::function<QString(const BarcodeRow&)> targetText_;
    int table_ = BarcodeList::kJobTable;
    int cursor_ = -1;
    QWidget* list_;
    QVBoxLayout* rows_;
    QList<QPushButton*> rowButtons_;
    QList<QPushButton*> marks_;
    QList<QList<QLabel*>> cells_; // number, code, range, target of each row
    QPushButton* selectAll_;
    ModalHandle confirm_;
};
