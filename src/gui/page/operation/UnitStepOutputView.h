// The output step view: the impulse width ("100 ms") and one line per used output,
// "Logical out (impulse)" or "Logical out (high)".
#pragma once

#include "UnitStepListView.h"

class UnitStepOutputView : public UnitStepListView {
    Q_OBJECT
  public:
    explicit UnitStepOutputView(QWidget* parent = nullptr)
        : UnitStepListView("UnitStepOutputView", "Output", parent) {}
};
