// The log tab of the settings: where the daily result files go (internal storage or the
// micro SD card) and which columns the on-screen result list shows (the file always has
// every column).
#pragma once

#include "SettingsTab.h"

class PageSettingLog : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingLog(QWidget* parent = nullptr);
};
