// Access point SSID and pass phrase as GUI strings.
#pragma once

#include <QString>

struct UnitWIFI_CONF_T {
    QString Ssid;
    QString Passphrase;
};
