#include "PageSettingNetwork.h"

#include "ApplicationDeviceClass.h"
#include "EthernetForm.h"
#include "SettingsRestarts.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitWlanAdvanced.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int kNetifEthernet = 1, kNetifWifi = 2;

QPushButton* button(QWidget* parent, const char* name, const QString& text,
                    const char* role = nullptr) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    if (role) b->setProperty("role", role);
    return b;
}

QButtonGroup* choiceRow(QWidget* box, const char* name, const QStringList& labels) {
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    auto* g = new QButtonGroup(box);
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = button(box, "", labels[i]);
        b->setObjectName(QString("%1_%2").arg(name).arg(i));
        b->setCheckable(true);
        g->addButton(b, i);
        h->addWidget(b);
    }
    h->addStretch(1);
    return g;
}
} // namespace

PageSettingNetwork::PageSettingNetwork(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingNetwork");
    addRow("Ethernet", nullptr);
    auto* mode = new QWidget(this);
    dhcp_ = choiceRow(mode, "ethMode", {"Static", "DHCP"}); // index = the DHCP flag
    addRow("IP setting", mode);
    const char* rows[3][2] = {
        {"ethIp", "IP address"}, {"ethMask", "Netmask"}, {"ethGw", "Gateway"}};
    for (int r = 0; r < 3; ++r) {
        auto* box = new QWidget(this);
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        for (int i = 0; i < 4; ++i) {
            QLineEdit* e = AddEntry(QString("%1_%2").arg(rows[r][0]).arg(i).toLatin1().constData(),
                                    UnitKeypad::Numeric);
            e->setValidator(new QIntValidator(0, 255, e));
            e->setMaxLength(3);
            e->setFixedWidth(110);
            e->setAlignment(Qt::AlignCenter);
            octets_[r * 4 + i] = e;
            h->addWidget(e);
            if (i < 3) h->addWidget(new QLabel(".", box));
        }
        h->addStretch(1);
        if (r == 2) h->addWidget(button(box, "ethApply", "Apply", "ok"));
        addRow(rows[r][1], box);
    }

    addRow("Wi-Fi", nullptr);
    ssid_ = AddEntry("wifiSsid", UnitKeypad::Text);
    addRow("SSID", ssid_);
    pass_ = AddEntry("wifiPass", UnitKeypad::Text);
    addRow("Password", pass_);
    auto* bandBox = new QWidget(this);
    band_ = choiceRow(bandBox, "wifiBand", {"2.4G", "5G"});
    auto* h = static_cast<QHBoxLayout*>(bandBox->layout());
    h->addWidget(button(bandBox, "wifiAdvanced", "Advanced"));
    h->addWidget(button(bandBox, "wifiApply", "Apply", "ok"));
    addRow("Band", bandBox);

    connect(dhcp_, &QButtonGroup::idClicked, this, [](int) { UiSound_Tap(); });
    connect(band_, &QButtonGroup::idClicked, this, [this](int band) {
        UiSound_Tap();
        if (band == shownBand_) return;
        shownBand_ = band;
        // Another band's channels differ: automatic until chosen again.
        ApplicationDevice()->OnSetWifiChannelMode(0);
        ApplicationDevice()->OnSetWifiManualChannel(-1);
        advanced_.ChannelMode = 0;
        advanced_.Channel = -1;
    });
    connect(findChild<QPushButton*>("ethApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyEthernet();
    });
    connect(findChild<QPushButton*>("wifiApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyWifi();
    });
    connect(findChild<QPushButton*>("wifiAdvanced"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openAdvanced();
    });
    loadEthernet();
    loadWifi();
}

UnitMessageBox* PageSettingNetwork::MessageDialog() const {
    return message_.As<UnitMessageBox>();
}
UnitWlanAdvanced* PageSettingNetwork::AdvancedDialog() const {
    return advancedDialog_.As<UnitWlanAdvanced>();
}

void PageSettingNetwork::loadEthernet() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    dhcp_->button(dev->OnGetEthDhcp() == 1 ? 1 : 0)->setChecked(true);
    QStringList f = EthernetForm::Fields(dev->GetEthStaticAddrs());
    for (int i = 0; i < 12; ++i)
        octets_[i]->setText(f[i]);
}

void PageSettingNetwork::loadWifi() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    UnitWIFI_CONF_T conf = dev->GetWifiConf();
    ssid_->setText(conf.Ssid);
    pass_->setText(conf.Passphrase);
    shownBand_ = dev->OnGetWifiBand();
    if (QAbstractButton* b = band_->button(shownBand_)) b->setChecked(true);
    advanced_.Country = dev->OnGetWifiCountry();
    advanced_.ChannelMode = dev->OnGetWifiChannelMode();
    advanced_.Channel = dev->OnGetWifiManualChannel();
    advancedChanged_ = false;
}

void PageSettingNetwork::message(const QString& title, const QString& text) {
    if (message_.Open()) return; // one message at a time
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageSettingNetwork::applied() {
    if (ApplicationDevice()->SaveSetting() != 0)
        message("Error", "Failed to save.");
    else
        message("Message", "Changes have been applied.");
}

void PageSettingNetwork::applyEthernet() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    EthernetEntry e;
    e.Dhcp = dhcp_->checkedId() == 1;
    for (QLineEdit* o : octets_)
        e.Octets << o->text();
    EthernetPlan p = EthernetForm::Plan(dev->OnGetEthDhcp() == 1, dev->GetEthStaticAddrs(), e);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    if (p.SetDhcp >= 0) dev->OnSetEthDhcp(p.SetDhcp);
    dev->SetEthStaticAddrs(p.Addrs);
    dev->Eth0Down();
    dev->ToolLostByNetif(kNetifEthernet);
    dev->Eth0Up();
    loadEthernet();
    applied();
}

void PageSettingNetwork::applyWifi() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    UnitWIFI_CONF_T conf = dev->GetWifiConf();
    WifiSettings stored;
    stored.Ssid = conf.Ssid;
    stored.Passphrase = conf.Passphrase;
    stored.Band = dev->OnGetWifiBand();
    WifiSettings e = advanced_;
    e.Ssid = ssid_->text();
    e.Passphrase = pass_->text();
    e.Band = band_->checkedId();
    WifiPlan p = WifiForm::Plan(stored, e, advancedChanged_);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    dev->SetWifiConf({e.Ssid, e.Passphrase});
    dev->OnSetWifiBand(e.Band);
    if (p.StoreAdvanced) {
        dev->OnSetWifiCountry(e.Country);
        dev->OnSetWifiChannelMode(e.ChannelMode);
        dev->OnSetWifiManualChannel(p.Channel);
    }
    dev->Wlan0Down();
    dev->ToolLostByNetif(kNetifWifi);
    SettingsRestarts::Instance().Schedule(SettingsRestarts::Wifi);
    advancedChanged_ = false;
    applied();
}

void PageSettingNetwork::openAdvanced() {
    if (advancedDialog_.Open()) return;
    auto* dlg = new UnitWlanAdvanced(band_->checkedId(), advanced_);
    connect(dlg, &UnitWlanAdvanced::accepted, this, [this](int country, int mode, int channel) {
        advanced_.Country = country;
        advanced_.ChannelMode = mode;
        advanced_.Channel = channel;
        advancedChanged_ = true;
        Navigator::DismissModal(advancedDialog_);
    });
    connect(dlg, &UnitWlanAdvanced::rejected, this,
            [this] { Navigator::DismissModal(advancedDialog_); });
    advancedDialog_ = Navigator::PresentModal(this, dlg, Transition::Scale);
}
