#include "WifiForm.h"

namespace {
// A line break or another control character would add lines to hostapd.conf.
bool hasControl(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}
} // namespace

QString WifiForm::Check(const QString& ssid, const QString& pass) {
    if (ssid.isEmpty()) return "Please input the SSID";
    if (pass.isEmpty()) return "Please input the Password";
    if (ssid.size() > kSsidMax) return "Invalid SSID length (max 32)";
    if (pass.size() < kPassMin || pass.size() > kPassMax)
        return "Invalid password length (expected 8..31)";
    if (hasControl(ssid)) return "Invalid character in SSID";
    if (hasControl(pass)) return "Invalid character in Password";
    return {};
}

WifiPlan WifiForm::Plan(const WifiSettings& stored, const WifiSettings& e, bool advancedChanged) {
    WifiPlan p;
    p.Error = Check(e.Ssid, e.Passphrase);
    if (!p.Error.isEmpty()) return p;
    if (e.Ssid == stored.Ssid && e.Passphrase == stored.Passphrase && e.Band == stored.Band &&
        !advancedChanged)
        return p;
    p.Apply = true;
    p.StoreAdvanced = advancedChanged;
    p.Channel = e.ChannelMode == 1 ? e.Channel : -1;
    return p;
}

QList<int> WifiForm::Channels(int band, int country) {
    if (band != 1) return {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    if (country == 0) return {36, 40, 44, 48, 149, 153, 157, 161, 165};
    return {36, 40, 44, 48};
}

int WifiForm::ParseChannel(const QString& text) {
    bool ok = false;
    int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : -1;
}
