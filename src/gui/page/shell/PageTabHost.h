// The tabs of a screen whose own container is not built yet (settings, system): one
// button per tab beside the chosen tab's page, and "Back", which leaves the screen (its
// registry row's Left hook runs). Each page comes from its own registry row's factory,
// so the container that replaces this one takes the pages as they are.
#pragma once

#include "Page.h"
#include "page/Screens.h"

#include <QList>

class QButtonGroup;
class QPushButton;
class QVBoxLayout;
class QStackedLayout;

class PageTabHost : public Page {
    Q_OBJECT
  public:
    struct Tab {
        const char* Name; // button object name
        const char* Label;
        ScreenId Id;
    };
    explicit PageTabHost(const QList<Tab>& tabs, QWidget* parent = nullptr);
    // The shown tab's page.
    Page* Current() const;
    void Show(int index);
    // A button below the tabs that opens something of its own (the debug page).
    QPushButton* AddButton(const char* name, const QString& label);

  private:
    QButtonGroup* buttons_;
    QStackedLayout* stack_;
    QVBoxLayout* side_;
};
