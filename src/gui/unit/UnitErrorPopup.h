// The home screen's message box (warnings and errors of the shell).
#pragma once

#include "UnitMessageBox.h"

class UnitErrorPopup : public UnitMessageBox {
    Q_OBJECT
  public:
    explicit UnitErrorPopup(QWidget* parent = nullptr) : UnitMessageBox(parent) {
        setObjectName("UnitErrorPopup");
    }
};
