// Panel of an input step: the watched inputs 1..16 ("inUse<n>") and their common condition
// ("inCond<c>"); written into the loaded job on Save.
#pragma once

#include "StepPanel.h"

class QPushButton;

class PageStepInput : public StepPanel {
    Q_OBJECT
  public:
    static const char* const kConditions[4];
    explicit PageStepInput(QWidget* parent = nullptr);
    void Load(int sdx) override;
    void Save() override;

  private:
    QPushButton* use_[16];
    QPushButton* cond_[4];
    int loadedCond_ = 0;
};
