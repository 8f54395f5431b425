// The Wi-Fi half of the network tab without widgets: the entry checks, the manual channel
// lists, and what the apply button does against the stored settings.
#pragma once

#include <QList>
#include <QString>

struct WifiSettings {
    QString Ssid, Passphrase;
    int Band = 0;        // 0 2.4 GHz, 1 5 GHz
    int Country = 0;     // 0 US, 1 Europe, 2 Japan
    int ChannelMode = 0; // 0 automatic, 1 manual
    int Channel = -1;    // manual channel, -1 for none
};

struct WifiPlan {
    QString Error;              // shown under "Error"; nothing else happens then
    bool Apply = false;         // store, cycle wlan0 (up again after 1 s), save, message
    bool StoreAdvanced = false; // country, mode and channel as well
    int Channel = -1;           // the manual channel to store (-1 in automatic mode)
};

class WifiForm {
  public:
    // The first failing check's message, empty when the entries pass.
    static QString Check(const QString& ssid, const QString& passphrase);
    static WifiPlan Plan(const WifiSettings& stored, const WifiSettings& entry,
                         bool advancedChanged);
    // Channels offered for manual choice.
    static QList<int> Channels(int band, int country);
    // A channel entry as decimal, -1 when it is not a number.
    static int ParseChannel(const QString& text);
};
