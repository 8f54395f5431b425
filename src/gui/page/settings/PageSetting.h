// The settings screen: its seven tabs (operation, I/O, log, barcode, network, share,
// system) beside the shown tab's page, and "Back". Leaving it runs the registry row's Left
// hook once: pending Wi-Fi and FTP restarts, then the settings file is saved.
#pragma once

#include "page/shell/PageTabHost.h"

class PageSetting : public PageTabHost {
    Q_OBJECT
  public:
    explicit PageSetting(QWidget* parent = nullptr);
};
