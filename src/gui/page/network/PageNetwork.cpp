#include "PageNetwork.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitKeypad.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const char* const kAddrRows[3] = {"IP address   :", "Subnet mask   :", "Default gateway   :"};
const char* const kAddrNames[3] = {"netIp", "netMask", "netGw"};
} // namespace

PageNetwork::PageNetwork(QWidget* parent) : Page(parent) {
    setObjectName("PageNetwork");
    setProperty("role", "dialog");
    setFixedSize(1180, 740);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 20, 32, 20);
    v->setSpacing(8);
    auto* title = new QLabel("Network setting", this);
    title->setStyleSheet("font-size: 30px; font-weight: bold;");
    v->addWidget(title);

    // Fields on the left, the keypad typing into the focused field on the right.
    setStyleSheet("QLineEdit { font-size: 20px; padding: 2px 8px; min-height: 40px; }"
                  "QComboBox { font-size: 20px; min-height: 40px; background: #27313b;"
                  " color: #f2f5f7; border: 1px solid #3a4754; border-radius: 6px;"
                  " padding: 0 8px; }"
                  "QRadioButton { font-size: 18px; min-height: 36px; }"
                  "QLabel { font-size: 17px; }"
                  "QLabel:disabled { color: #5a6672; }"
                  "QPushButton[role=\"key\"] { min-width: 40px; }");
    auto* body = new QHBoxLayout;
    body->setSpacing(24);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    int row = 0;
    auto label = [&](const QString& text, int r) {
        auto* l = new QLabel(text, this);
        grid->addWidget(l, r, 0);
        return l;
    };
    auto line = [&](QWidget* w) {
        auto* h = new QHBoxLayout;
        h->addWidget(w);
        h->addStretch(1);
        return h;
    };
    label("Wi-Fi :", row);
    wifi_ = choice("netWifi", {{"   On", 1}, {"   Off", 0}});
    grid->addLayout(line(wifi_), row++, 1);
    label("Country   :", row);
    country_ = choice("netCountry", {{"   Default", 0}, {"   US", 1}, {"Europe", 2}, {"Japan", 3}});
    grid->addLayout(line(country_), row++, 1);
    label("SSID   :", row);
    ssid_ = field("netSsid", 32);
    ssid_->setPlaceholderText("max 32");
    grid->addWidget(ssid_, row++, 1);
    label("Password   :", row);
    psk_ = field("netPsk", 32);
    psk_->setPlaceholderText("max 32");
    grid->addWidget(psk_, row++, 1);
    auto* copy = new QPushButton("Use the panel's Wi-Fi", this);
    copy->setObjectName("netPanelWifi");
    grid->addLayout(line(copy), row++, 1);
    connect(copy, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        UnitWIFI_CONF_T c = ApplicationDevice()->GetWifiConf();
        ssid_->setText(c.Ssid.left(32));
        psk_->setText(c.Passphrase.left(32));
    });

    dhcp_ = new QRadioButton("   DHCP (Obtain an IP address automatically)", this);
    dhcp_->setObjectName("netDhcp");
    static_ = new QRadioButton("   Static (Use the following IP address) : ", this);
    static_->setObjectName("netStatic");
    auto* group = new QButtonGroup(this);
    group->addButton(dhcp_);
    group->addButton(static_);
    grid->addWidget(dhcp_, row++, 0, 1, 2);
    grid->addWidget(static_, row++, 0, 1, 2);
    connect(dhcp_, &QRadioButton::clicked, this, [this] {
        UiSound_Tap();
        setDhcp(true);
    });
    connect(static_, &QRadioButton::clicked, this, [this] {
        UiSound_Tap();
        setDhcp(false);
    });
    for (int r = 0; r < 3; ++r) {
        addrLabels_[r] = label(kAddrRows[r], row);
        auto* h = new QHBoxLayout;
        for (int i = 0; i < 4; ++i) {
            QLineEdit* e = field(QString("%1%2").arg(kAddrNames[r]).arg(i), 3);
            e->setValidator(new QIntValidator(0, 255, e));
            e->setFixedWidth(66);
            octets_[r * 4 + i] = e;
            h->addWidget(e);
            if (i < 3) h->addWidget(new QLabel(".", this));
        }
        if (r == 2) h->addWidget(new QLabel("(Optional)", this));
        h->addStretch(1);
        grid->addLayout(h, row++, 1);
    }
    label("Port   :", row);
    port_ = field("netPort", 5);
    port_->setFixedWidth(120);
    grid->addLayout(line(port_), row++, 1);
    grid->setRowStretch(row, 1);
    body->addLayout(grid, 10);

    keypad_ = new UnitKeypad(UnitKeypad::Text, this);
    keypad_->SetTarget(ssid_);
    auto* right = new QVBoxLayout;
    right->addStretch(1);
    right->addWidget(keypad_);
    right->addStretch(1);
    body->addLayout(right, 11);
    v->addLayout(body, 1);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (auto* e = qobject_cast<QLineEdit*>(now); e && isAncestorOf(e)) keypad_->SetTarget(e);
    });

    auto* buttons = new QHBoxLayout;
    error_ = new QLabel(this);
    error_->setObjectName("netError");
    error_->setStyleSheet("color: #ff6b5b;");
    buttons->addWidget(error_);
    buttons->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("netCancel");
    cancel->setProperty("role", "cancel");
    cancel->setMinimumWidth(200);
    auto* ok = new QPushButton("Apply", this);
    ok->setObjectName("netApply");
    ok->setProperty("role", "ok");
    ok->setMinimumWidth(200);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    v->addLayout(buttons);
    // The registry row's leave reaction plays the tap of both.
    connect(cancel, &QPushButton::clicked, this, &Page::Leave);
    connect(ok, &QPushButton::clicked, this, &PageNetwork::apply);
}

QLineEdit* PageNetwork::field(const QString& name, int maxLength) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMaxLength(maxLength);
    return e;
}

QComboBox* PageNetwork::choice(const QString& name, const QList<QPair<QString, int>>& items) {
    auto* c = new QComboBox(this);
    c->setMinimumWidth(220);
    c->setObjectName(name);
    for (const auto& [text, value] : items)
        c->addItem(text, value);
    connect(c, &QComboBox::activated, this, [] { UiSound_Tap(); });
    return c;
}

void PageNetwork::Init() {
    image_ = ApplicationDevice()->GetTtyNetinfo();
    show(NetworkImage::FormOf(image_));
}

void PageNetwork::show(const NetworkForm& f) {
    // A value the tool holds that no choice stands for is kept as it is (no choice shown).
    wifi_->setCurrentIndex(wifi_->findData(f.Wifi));
    country_->setCurrentIndex(country_->findData(f.Country));
    ssid_->setText(f.Ssid);
    psk_->setText(f.Psk);
    port_->setText(f.Port);
    for (int i = 0; i < 12; ++i)
        octets_[i]->setText(f.Octets[i]);
    (f.Dhcp ? dhcp_ : static_)->setChecked(true);
    setDhcp(f.Dhcp);
}

void PageNetwork::setDhcp(bool on) {
    NetworkForm read = NetworkImage::FormOf(image_);
    for (int i = 0; i < 12; ++i) {
        octets_[i]->setText(on ? QString() : read.Octets[i]);
        octets_[i]->setEnabled(!on);
    }
    for (QLabel* l : addrLabels_)
        l->setEnabled(!on);
}

NetworkForm PageNetwork::Form() const {
    NetworkForm f = NetworkImage::FormOf(image_);
    if (wifi_->currentIndex() >= 0) f.Wifi = wifi_->currentData().toInt();
    if (country_->currentIndex() >= 0) f.Country = country_->currentData().toInt();
    f.Dhcp = dhcp_->isChecked();
    for (int i = 0; i < 12; ++i)
        f.Octets[i] = octets_[i]->text();
    f.Port = port_->text();
    f.Ssid = ssid_->text();
    f.Psk = psk_->text();
    return f;
}

void PageNetwork::apply() {
    const NetworkForm f = Form();
    error_->setText(NetworkImage::Check(f));
    if (!error_->text().isEmpty()) return UiSound_Tap(); // stays open to be mended
    if (ApplicationDevice()->TtyXmitNetinfo(NetworkImage::ImageOf(f, image_)) != 0) {
        error_->setText("Could not send to the tool.");
        return UiSound_Ng();
    }
    Leave();
}
