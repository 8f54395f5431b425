// The input step view: the watched inputs, each with its name or system function, and
// the step's condition.
#pragma once

#include "UnitStepListView.h"

class UnitStepInputView : public UnitStepListView {
    Q_OBJECT
  public:
    explicit UnitStepInputView(QWidget* parent = nullptr)
        : UnitStepListView("UnitStepInputView", "Input", parent) {}
};
