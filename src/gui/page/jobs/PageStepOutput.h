// Panel of an output step: the outputs 1..16 it sets ("outUse<n>"), per output impulse or
// high ("outMode<n>"), and the impulse width ("outWidth", numeric keypad); written into
// the loaded job on Save.
#pragma once

#include "StepPanel.h"

class QPushButton;

class PageStepOutput : public StepPanel {
    Q_OBJECT
  public:
    static constexpr int kDefaultWidth = 100;
    static constexpr int kMaxWidth = 60000;
    explicit PageStepOutput(QWidget* parent = nullptr);
    void Load(int sdx) override;
    void Save() override;
    // The width entry in milliseconds; kDefaultWidth when it is not a number in
    // 1..kMaxWidth.
    static int ParseWidth(const QString& text);

  private:
    void showMode(int i);
    void enterWidth();

    QPushButton* use_[16];
    QPushButton* mode_[16];
    QPushButton* width_;
    int loadedMode_[16] = {}; // as stored, shown as the nearest choice
    int loadedWidth_ = 0;
};
