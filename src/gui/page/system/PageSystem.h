// The system screen: information, storage and network status tabs for everyone; at the
// service level also the vendor tab and a button that lays the debug page over the panel.
// The tabs follow the user level of the moment the screen is opened.
#pragma once

#include "page/shell/PageTabHost.h"

class PageSystem : public PageTabHost {
    Q_OBJECT
  public:
    explicit PageSystem(QWidget* parent = nullptr);

  private:
    static QList<Tab> tabs();
};
