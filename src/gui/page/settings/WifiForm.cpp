#include "WifiForm.h"

#include "ApplicationDeviceClass.h"
#include "SettingText.h"

// The checks and channel lists are the access point's own, so the tab and the file it
// writes can never disagree.
QString WifiForm::Check(const QString& ssid, const QString& pass) {
    return ApplicationDeviceClass::CheckWifiConf(ssid, pass);
}

WifiPlan WifiForm::Plan(const WifiSettings& stored, const WifiSettings& e, bool advancedChanged) {
    WifiPlan p;
    p.Error = Check(e.Ssid, e.Passphrase);
    if (p.Error.isEmpty()) p.Error = SettingText::Error("SSID", e.Ssid);
    if (p.Error.isEmpty()) p.Error = SettingText::Error("Password", e.Passphrase);
    if (!p.Error.isEmpty()) return p;
    // Manual mode without a channel would write "channel=-1", which the daemon refuses.
    if (advancedChanged && e.ChannelMode == 1 && e.Channel < 0) {
        p.Error = "Please select a channel";
        return p;
    }
    if (e.Ssid == stored.Ssid && e.Passphrase == stored.Passphrase && e.Band == stored.Band &&
        !advancedChanged)
        return p;
    p.Apply = true;
    p.StoreAdvanced = advancedChanged;
    p.Channel = e.ChannelMode == 1 ? e.Channel : -1;
    return p;
}

QList<int> WifiForm::Channels(int band, int country) {
    return ApplicationDeviceClass::WifiManualChannels(band, country);
}

int WifiForm::ParseChannel(const QString& text) {
    bool ok = false;
    int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : -1;
}
