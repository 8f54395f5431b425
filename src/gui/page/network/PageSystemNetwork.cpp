#include "PageSystemNetwork.h"

#include "ApplicationDeviceClass.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

PageSystemNetwork::PageSystemNetwork(QWidget* parent) : Page(parent) {
    setObjectName("PageSystemNetwork");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 16, 32, 16);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(32);
    grid->setVerticalSpacing(12);
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
    v->addStretch(1);
    struct Field {
        const char* name;
        const char* label;
    };
    const Field eth[] = {{"eth0Ip", "IP address"},
                         {"eth0Mask", "Netmask"},
                         {"eth0Gw", "Gateway"},
                         {"eth0Mac", "MAC address"}};
    const Field wlan[] = {
        {"wlan0Ip", "IP address"}, {"wlan0Mask", "Netmask"}, {"wlan0Mac", "MAC address"}};
    auto section = [&](const QString& title, const Field* fields, int n) {
        int row = grid->rowCount();
        auto* t = new QLabel(title, this);
        t->setProperty("role", "subtitle");
        grid->addWidget(t, row++, 0, 1, 2);
        for (int i = 0; i < n; ++i, ++row) {
            grid->addWidget(new QLabel(fields[i].label, this), row, 0);
            auto* value = new QLabel(this);
            value->setObjectName(fields[i].name);
            value->setStyleSheet("font-family: \"DejaVu Sans Mono\"; font-size: 22px;");
            grid->addWidget(value, row, 1);
            values_[fields[i].name] = value;
        }
    };
    section("Ethernet (eth0)", eth, 4);
    section("Wi-Fi (wlan0)", wlan, 3);
}

QString PageSystemNetwork::AddressText(uint32_t a) {
    return QString::asprintf("%d.%d.%d.%d", int(a >> 24), int((a >> 16) & 0xff),
                             int((a >> 8) & 0xff), int(a & 0xff));
}

QString PageSystemNetwork::MacText(const uint8_t m[6]) {
    return QString::asprintf("%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
}

void PageSystemNetwork::showEvent(QShowEvent* event) {
    Refresh();
    Page::showEvent(event);
}

void PageSystemNetwork::Refresh() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    UnitIfAddrData eth = dev->GetIfAddr("eth0");
    UnitIfAddrData wlan = dev->GetIfAddr("wlan0");
    values_["eth0Ip"]->setText(AddressText(eth.Ip));
    values_["eth0Mask"]->setText(AddressText(eth.Netmask));
    values_["eth0Gw"]->setText(AddressText(eth.Gateway));
    values_["eth0Mac"]->setText(MacText(eth.Mac));
    values_["wlan0Ip"]->setText(AddressText(wlan.Ip));
    values_["wlan0Mask"]->setText(AddressText(wlan.Netmask));
    values_["wlan0Mac"]->setText(MacText(wlan.Mac));
}
