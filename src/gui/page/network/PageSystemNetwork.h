// The network status tab: address, netmask, gateway and hardware address of eth0, and
// address, netmask and hardware address of wlan0, read again each time it is shown.
#pragma once

#include "Page.h"

#include <QMap>

class QLabel;

class PageSystemNetwork : public Page {
    Q_OBJECT
  public:
    explicit PageSystemNetwork(QWidget* parent = nullptr);
    void Init() override { Refresh(); }
    void Refresh() override;
    static QString AddressText(uint32_t address);
    static QString MacText(const uint8_t mac[6]);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QMap<QString, QLabel*> values_; // by object name ("eth0Ip", "wlan0Mac"...)
};
