// The network tab: Ethernet (DHCP or static addresses) and the Wi-Fi access point (SSID,
// pass phrase, band, advanced dialog), each applied by its own button through
// EthernetForm and WifiForm. Every button plays the tap sound.
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"
#include "WifiForm.h"

class QButtonGroup;
class QLineEdit;
class UnitMessageBox;
class UnitWlanAdvanced;

class PageSettingNetwork : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingNetwork(QWidget* parent = nullptr);
    UnitMessageBox* MessageDialog() const;
    UnitWlanAdvanced* AdvancedDialog() const;
    // Country, mode and channel the next Wi-Fi apply stores, and whether it will.
    const WifiSettings& Advanced() const { return advanced_; }
    bool AdvancedChanged() const { return advancedChanged_; }

  private:
    void loadEthernet();
    void loadWifi();
    void applyEthernet();
    void applyWifi();
    void openAdvanced();
    void message(const QString& title, const QString& text);
    void applied();
    QButtonGroup* dhcp_;
    QLineEdit* octets_[12];
    QLineEdit* ssid_;
    QLineEdit* pass_;
    QButtonGroup* band_;
    int shownBand_ = 0;
    WifiSettings advanced_;
    bool advancedChanged_ = false;
    ModalHandle message_;
    ModalHandle advancedDialog_;
};
