// Panel of a message step: three text lines and a picture from internal storage; each
// change is written at once.
#pragma once

#include "StepPanel.h"
#include "StepPicture.h"

class QLabel;
class QPushButton;

class PageStepMessage : public StepPanel {
    Q_OBJECT
  public:
    explicit PageStepMessage(QWidget* parent = nullptr);
    void Load(int sdx) override;

  private:
    void enterLine(int line);
    void chooseImage();
    void showError(const QString& text);

    QPushButton* lines_[3];
    QPushButton* image_;
    QLabel* picture_;
    StepPicture decoded_;
};
