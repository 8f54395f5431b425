// The manual outputs tab: 16 buttons in two columns, each toggling its output on release
// (the inverse of the level last written) and showing the level in its lamp.
#pragma once

#include "PageTabs.h"

class QPushButton;

class PageRemoteOutput : public TabPage {
    Q_OBJECT
  public:
    static constexpr int kOutputs = 16;
    explicit PageRemoteOutput(QWidget* parent = nullptr);
    // The lamps from the remembered levels.
    void Shown() override;
    // Button of output i (0..15), named "outButton<i + 1>"; its "lit" property is the lamp.
    QPushButton* Button(int i) const { return buttons_[i]; }

  private:
    void toggle(int i);
    void showLevel(int i, int level);
    QPushButton* buttons_[kOutputs];
};
