// Panel of a delay step: the mode ("delayModeTime", "delayModeMessage", "delayModeBarcode")
// and the mode's fields: time value ("delayTime") and unit ("delayUnitS", "delayUnitMs"),
// three message lines ("delayLine<n>"), or the barcode with its compared part ("delayCode"
// widgets, typed through "delayCodeEdit"). Written into the loaded job on Save.
#pragma once

#include "StepPanel.h"

class QButtonGroup;
class QPushButton;
class QStackedWidget;
class UnitCodeRange;

class PageStepDelay : public StepPanel {
    Q_OBJECT
  public:
    static constexpr int kMaxTime = 86400000;
    static constexpr int kCodeMax = 32;
    explicit PageStepDelay(QWidget* parent = nullptr);
    void Load(int sdx) override;
    void Save() override;
    // The time typed on the keypad, -1 when not a number in 0..kMaxTime.
    static int ParseTime(const QString& text);

  private:
    void setMode(int mode);
    void enter(const QString& title, QPushButton* target, bool numeric);
    void enterCode();

    // Values the panel cannot show (another editor wrote them) are kept until the engineer
    // changes them: a mode or unit shows none chosen, a compare flag above 1 shows on.
    QButtonGroup* modes_;
    int loadedMode_ = 0;
    QStackedWidget* pages_;
    QPushButton* time_;
    int loadedTime_ = 0;
    QButtonGroup* units_;
    int loadedUnit_ = 0;
    QPushButton* lines_[3];
    UnitCodeRange* code_;
    int loadedPartial_ = 0;
    bool codeEdited_ = false;
};
