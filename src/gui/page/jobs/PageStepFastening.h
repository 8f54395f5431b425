// Panel of a fastening step: the tool (chosen from the registered tools), the preset, the
// screw count and the work-piece picture; each change is written at once. The screw
// positions are edited on their own screen, after which the panel is read again.
#pragma once

#include "StepPanel.h"
#include "StepPicture.h"

class QLabel;
class QPushButton;

class PageStepFastening : public StepPanel {
    Q_OBJECT
  public:
    static constexpr int kMaxScrews = 99;
    static constexpr int kPresets = 17;
    explicit PageStepFastening(QWidget* parent = nullptr);
    void Load(int sdx) override;
    // "P1".."P15", "Multi Sequence-A", "Multi Sequence-B" for indexes 0..16.
    static QString PresetText(int index);
    // The screw count typed on the keypad, -1 when not a number in 1..kMaxScrews.
    static int ParseScrews(const QString& text);

  private:
    void chooseTool();
    void stepPreset(int delta);
    void enterScrews();
    void openPositions();

    QPushButton* tool_;
    QLabel* preset_;
    QPushButton* screws_;
    QLabel* picture_;
    StepPicture decoded_;
    int presetNo_ = 0;
};
