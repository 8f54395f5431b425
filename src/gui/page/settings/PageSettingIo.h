// The I/O tab of the settings: the 16 inputs and the 16 outputs, each row its position and
// the name of its function. A row opens the function choice ("ioFunc<f>", "ioFuncCancel")
// and stores the chosen one; each list's clear button asks "Clear ?" (contexts "input" and
// "output") and sets all 16 of that list to none. Rows "ioInput<i>" and "ioOutput<i>",
// positions 0..15; clear buttons "ioInputClear" and "ioOutputClear".
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"

class QPushButton;

class PageSettingIo : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingIo(QWidget* parent = nullptr);
    void Refresh() override;

  private:
    enum Side { Input, Output };
    QWidget* list(Side side);
    void choose(Side side, int port);
    void askClear(Side side);
    QPushButton* rows_[2][16] = {};
    ModalHandle dialog_;
};
