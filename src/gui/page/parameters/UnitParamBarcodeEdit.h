// The editor of one entry of the tool's barcode table: the code typed on the text keypad,
// the compared part chosen by touching the code's characters, the preset, and the choice
// to store the entry in every connected driver. OK hands the entry to the opener, which
// checks it and closes the editor; Cancel closes it.
#pragma once

#include "ToolBarcode.h"

#include <QFrame>
#include <QList>

class QLabel;
class QPushButton;
class UnitCodeRange;

class UnitParamBarcodeEdit : public QFrame {
    Q_OBJECT
  public:
    UnitParamBarcodeEdit(int index, const ToolBarcodeEntry& entry, QWidget* parent = nullptr);
    ToolBarcodeEntry Entry() const;
    bool Partial() const;
    bool AllTools() const;
    QString Title() const;

  signals:
    void ok();
    void cancel();

  private:
    QPushButton* button(const QString& name, const QString& text, QWidget* parent);
    QLabel* title_;
    UnitCodeRange* range_;
    QList<QPushButton*> presets_;
    QPushButton* all_;
    int preset_ = 0;
};
