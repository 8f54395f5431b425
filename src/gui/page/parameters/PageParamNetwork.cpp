#include "PageParamNetwork.h"

#include "ApplicationDeviceClass.h"
#include "ParamTabs.h"
#include "ToolNetwork.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
using namespace ToolNetwork;
const char* const kRows[3] = {"IP address   :", "Subnet mask   :", "Default gateway   :"};
const int kRowFirst[3] = {kIp, kMask, kGateway};
} // namespace

PageParamNetwork::PageParamNetwork(QWidget* parent) : TabPage(parent) {
    setObjectName("PageParamNetwork");
    setStyleSheet("QLabel { font-size: 20px; }"
                  "QPushButton[role=\"field\"] { font-size: 20px; min-height: 48px;"
                  " text-align: left; padding: 0 12px; min-width: 70px; }"
                  "QPushButton[wide=\"true\"] { min-width: 340px; }"
                  "QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 12, 24, 12);
    auto* grid = new QGridLayout;
    v->addLayout(grid, 1);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int row = 0;

    dhcp_ = button("pnDhcp", this);
    dhcp_->setText(kDhcp);
    static_ = button("pnStatic", this);
    static_->setText(kStatic);
    auto* group = new QButtonGroup(this);
    for (QPushButton* b : {dhcp_, static_}) {
        b->setCheckable(true);
        group->addButton(b);
    }
    grid->addWidget(dhcp_, row++, 0, 1, 2);
    grid->addWidget(static_, row++, 0, 1, 2);
    connect(dhcp_, &QPushButton::clicked, this, [this] { setMode(true); });
    connect(static_, &QPushButton::clicked, this, [this] { setMode(false); });

    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(kRows[r], this), row, 0);
        auto* h = new QHBoxLayout;
        for (int i = 0; i < 4; ++i) {
            const Field* f = FieldOf(kRowFirst[r] + i);
            QPushButton* b = button(f->name, this);
            connect(b, &QPushButton::clicked, this,
                    [this, reg = f->reg, r] { editNumber(reg, QString(kRows[r]).trimmed()); });
            numbers_[f->reg] = b;
            h->addWidget(b);
            if (i < 3) h->addWidget(new QLabel(".", this));
        }
        h->addStretch(1);
        grid->addLayout(h, row++, 1);
    }
    const struct {
        int reg;
        const char* title;
    } singles[] = {
        {kPort, "Port   :"}, {kCountry, "Country   :"}, {kWebPassword, "Web password   :"}};
    auto single = [&](QPushButton* b, const char* title) {
        grid->addWidget(new QLabel(title, this), row, 0);
        b->setProperty("wide", true);
        auto* h = new QHBoxLayout;
        h->addWidget(b);
        h->addStretch(1);
        grid->addLayout(h, row++, 1);
    };
    single(numbers_[kPort] = button(FieldOf(kPort)->name, this), singles[0].title);
    ssid_ = button("pnSsid", this);
    single(ssid_, "SSID   :");
    psk_ = button("pnPsk", this);
    single(psk_, "Password   :");
    for (int i = 1; i < 3; ++i)
        single(numbers_[singles[i].reg] = button(FieldOf(singles[i].reg)->name, this),
               singles[i].title);
    for (const auto& s : singles)
        connect(numbers_[s.reg], &QPushButton::clicked, this,
                [this, s] { editNumber(s.reg, QString(s.title).remove(':').trimmed()); });
    connect(ssid_, &QPushButton::clicked, this, [this] { editText(true); });
    connect(psk_, &QPushButton::clicked, this, [this] { editText(false); });
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

PageParamNetwork::~PageParamNetwork() {
    Navigator::DismissModal(keypad_);
    Navigator::DismissModal(error_);
}

QPushButton* PageParamNetwork::button(const QString& name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setProperty("role", "field");
    connect(b, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    return b;
}

void PageParamNetwork::Hidden() {
    Navigator::DismissModal(keypad_);
}

void PageParamNetwork::Refresh() {
    block_.clear();
    if (ApplicationDevice()->MbusRead(kFirst, kCount) == 0)
        block_ = ApplicationDevice()->MbusGetBlockTdx(ApplicationDevice()->OnGetCurrTdx(), kFirst,
                                                      kCount);
    show();
}

void PageParamNetwork::show() {
    const bool read = !block_.isEmpty();
    const bool dhcp = Dhcp(block_);
    // Without a block neither mode is shown chosen.
    dhcp_->group()->setExclusive(false);
    dhcp_->setChecked(read && dhcp);
    static_->setChecked(read && !dhcp);
    dhcp_->group()->setExclusive(true);
    for (auto it = numbers_.begin(); it != numbers_.end(); ++it) {
        it.value()->setText(ToolNetwork::Text(block_, it.key()));
        // The addresses are the tool's own business while it takes them from DHCP.
        it.value()->setEnabled(read && (it.key() >= kPort || !dhcp));
    }
    const int tdx = ApplicationDevice()->OnGetCurrTdx();
    ssid_->setText(read ? ApplicationDevice()->GetTdxToolSsid(tdx) : "-");
    psk_->setText(read ? ApplicationDevice()->GetTdxToolPsk(tdx) : "-");
    for (QPushButton* b : {dhcp_, static_, ssid_, psk_})
        b->setEnabled(read);
}

void PageParamNetwork::setMode(bool dhcp) {
    if (block_.isEmpty()) return;
    write(kMode, dhcp ? 1 : 0);
}

void PageParamNetwork::write(int reg, int value) {
    const int rc = ApplicationDevice()->MbusWrite(reg, value);
    Refresh();
    if (rc != 0) error(ParamTabs::kWriteFailed);
}

void PageParamNetwork::editNumber(int reg, const QString& title) {
    if (keypad_.Open()) return;
    const Field* f = FieldOf(reg);
    auto* pad =
        new UnitTextKeypad(title, ToolNetwork::Text(block_, reg), nullptr, UnitKeypad::Numeric);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, f, pad] {
        const Parsed p = Parse(pad->Text(), f->lowest, f->highest);
        if (!p.ok) {
            error(p.error); // the keypad stays for another try
            return;
        }
        Navigator::DismissModal(keypad_);
        write(f->reg, p.value);
    });
    keypad_ = Navigator::PresentModal(window(), pad, Transition::Scale);
}

void PageParamNetwork::editText(bool ssid) {
    if (keypad_.Open()) return;
    const int tdx = ApplicationDevice()->OnGetCurrTdx();
    const QString now =
        ssid ? ApplicationDevice()->GetTdxToolSsid(tdx) : ApplicationDevice()->GetTdxToolPsk(tdx);
    auto* pad = new UnitTextKeypad(ssid ? "SSID" : "Password", now);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, ssid, pad] {
        const QString text = pad->Text();
        if (ApplicationDeviceClass::ToNative(text).size() > kTextMax) {
            error(QString("Invalid length (max %1)").arg(kTextMax));
            return;
        }
        Navigator::DismissModal(keypad_);
        const int t = ApplicationDevice()->OnGetCurrTdx();
        const int rc = ssid ? ApplicationDevice()->SetTdxToolSsid(t, text)
                            : ApplicationDevice()->SetTdxToolPsk(t, text);
        Refresh();
        if (rc != 0) error(ParamTabs::kWriteFailed);
    });
    keypad_ = Navigator::PresentModal(window(), pad, Transition::Scale);
}

void PageParamNetwork::error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("pnError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
