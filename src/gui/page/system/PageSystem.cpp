#include "PageSystem.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QPushButton>

namespace {
bool service() {
    return ApplicationDevice()->OnGetUserLevel() >= 2;
}
} // namespace

QList<PageTabHost::Tab> PageSystem::tabs() {
    QList<Tab> t{{"tabSystemInfo", "Information", ScreenId::SystemInfo},
                 {"tabSystemStorage", "Storage", ScreenId::SystemStorage},
                 {"tabSystemNetwork", "Network status", ScreenId::SystemNetwork}};
    if (service()) t.append({"tabSystemVendor", "Vendor", ScreenId::SystemVendor});
    return t;
}

PageSystem::PageSystem(QWidget* parent) : PageTabHost(tabs(), parent) {
    setObjectName("PageSystem");
    if (!service()) return;
    QPushButton* debug = AddButton("tabSystemDebug", "Debug");
    connect(debug, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        // Over the whole window, above this screen; one page however often it is pressed.
        Screens::Open(ScreenId::Debug, window());
    });
}
