#include "PageSettingShare.h"

#include "ApplicationDeviceClass.h"
#include "EthernetForm.h"
#include "SettingsRestarts.h"
#include "ShareForm.h"
#include "UiSound.h"
#include "UnitMessageBox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QPushButton* applyButton(QWidget* parent, const char* name) {
    auto* b = new QPushButton("Apply", parent);
    b->setObjectName(name);
    b->setProperty("role", "ok");
    return b;
}

// A row's label greys out with its field.
void setRowEnabled(QWidget* control, bool on) {
    control->setEnabled(on);
    if (auto* l = qobject_cast<QWidget*>(control->property("rowLabel").value<QObject*>()))
        l->setEnabled(on);
}
} // namespace

PageSettingShare::PageSettingShare(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingShare");
    addRow("FTP", nullptr);
    auto* ftpBox = new QWidget(this);
    auto* h = new QHBoxLayout(ftpBox);
    h->setContentsMargins(0, 0, 0, 0);
    ftpEnable_ = new QCheckBox(ftpBox);
    ftpEnable_->setObjectName("ftpEnable");
    h->addWidget(ftpEnable_);
    h->addStretch(1);
    h->addWidget(applyButton(ftpBox, "ftpApply"));
    addRow("Enable FTP", ftpBox);
    ftpUser_ = AddEntry("ftpUser", UnitKeypad::Text);
    addRow("User name", ftpUser_);
    ftpPwd_ = AddEntry("ftpPwd", UnitKeypad::Text);
    addRow("Password", ftpPwd_);

    addRow("Backup event forwarding", nullptr);
    auto* befBox = new QWidget(this);
    h = new QHBoxLayout(befBox);
    h->setContentsMargins(0, 0, 0, 0);
    befEnable_ = new QCheckBox(befBox);
    befEnable_->setObjectName("befEnable");
    h->addWidget(befEnable_);
    h->addStretch(1);
    h->addWidget(applyButton(befBox, "befApply"));
    addRow("Enable forwarding", befBox);
    auto* ipBox = new QWidget(this);
    h = new QHBoxLayout(ipBox);
    h->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        befIp_[i] =
            AddEntry(QString("befIp_%1").arg(i).toLatin1().constData(), UnitKeypad::Numeric);
        befIp_[i]->setValidator(new QIntValidator(0, 255, befIp_[i]));
        befIp_[i]->setMaxLength(3);
        befIp_[i]->setFixedWidth(110);
        befIp_[i]->setAlignment(Qt::AlignCenter);
        h->addWidget(befIp_[i]);
        if (i < 3) h->addWidget(new QLabel(".", ipBox));
    }
    h->addStretch(1);
    addRow("Server IP address", ipBox);
    befPort_ = AddEntry("befPort", UnitKeypad::Numeric);
    befPort_->setValidator(new QIntValidator(0, 65535, befPort_));
    befPort_->setMaxLength(5);
    befPort_->setFixedWidth(160);
    addRow("Server port", befPort_);

    addRow("Open Protocol", nullptr);
    auto* opBox = new QWidget(this);
    h = new QHBoxLayout(opBox);
    h->setContentsMargins(0, 0, 0, 0);
    opEnable_ = new QCheckBox(opBox);
    opEnable_->setObjectName("opEnable");
    h->addWidget(opEnable_);
    h->addStretch(1);
    h->addWidget(applyButton(opBox, "opApply"));
    addRow("Enable server", opBox);
    opPort_ = AddEntry("opPort", UnitKeypad::Numeric);
    opPort_->setValidator(new QIntValidator(0, 65535, opPort_));
    opPort_->setMaxLength(5);
    opPort_->setFixedWidth(160);
    addRow("Listening port", opPort_);

    for (QCheckBox* c : {ftpEnable_, befEnable_, opEnable_})
        connect(c, &QCheckBox::toggled, this, [this] {
            UiSound_Tap();
            enableFields();
        });
    connect(findChild<QPushButton*>("ftpApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyFtp();
    });
    connect(findChild<QPushButton*>("befApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyForward();
    });
    connect(findChild<QPushButton*>("opApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyOpen();
    });
    load();
}

UnitMessageBox* PageSettingShare::MessageDialog() const {
    return message_.As<UnitMessageBox>();
}

void PageSettingShare::load() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    QSignalBlocker a(ftpEnable_), b(befEnable_), c(opEnable_);
    ftpEnable_->setChecked(dev->OnGetFtpEnable());
    ftpUser_->setText(dev->OnGetFtpUser());
    ftpPwd_->setText(dev->OnGetFtpPwd());
    befEnable_->setChecked(dev->OnGetBefEnable());
    uint ip = dev->OnGetBefServerIp();
    for (int i = 0; i < 4; ++i)
        befIp_[i]->setText(QString::number((ip >> (24 - 8 * i)) & 0xff));
    befPort_->setText(QString::number(dev->OnGetBefServerPort()));
    opEnable_->setChecked(dev->OnGetOpEnable());
    opPort_->setText(QString::number(dev->OnGetOpPort()));
    enableFields();
}

void PageSettingShare::enableFields() {
    for (QWidget* w : {static_cast<QWidget*>(ftpUser_), static_cast<QWidget*>(ftpPwd_)})
        setRowEnabled(w, ftpEnable_->isChecked());
    setRowEnabled(befIp_[0]->parentWidget(), befEnable_->isChecked());
    setRowEnabled(befPort_, befEnable_->isChecked());
    setRowEnabled(opPort_, opEnable_->isChecked());
}

void PageSettingShare::message(const QString& title, const QString& text) {
    if (message_.Open()) return; // one message at a time
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageSettingShare::applyFtp() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    FtpSettings stored{dev->OnGetFtpEnable(), dev->OnGetFtpUser(), dev->OnGetFtpPwd()};
    FtpSettings e{ftpEnable_->isChecked(), ftpUser_->text(), ftpPwd_->text()};
    SharePlan p = ShareForm::PlanFtp(stored, e);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    if (e.Enable != stored.Enable) dev->OnSetFtpEnable(e.Enable);
    if (e.User != stored.User) dev->OnSetFtpUser(e.User);
    if (e.Password != stored.Password) dev->OnSetFtpPwd(e.Password);
    dev->KillFtpd();
    // Off: a restart still pending from an earlier apply must not start it again.
    if (p.Restart)
        SettingsRestarts::Instance().Schedule(SettingsRestarts::Ftp);
    else
        SettingsRestarts::Instance().Cancel(SettingsRestarts::Ftp);
    if (dev->SaveSetting() != 0) return message("Error", "Failed to save.");
    message("Message", "Changes have been applied.");
}

void PageSettingShare::applyForward() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    ForwardSettings stored{dev->OnGetBefEnable(), dev->OnGetBefServerIp(),
                           uint32_t(dev->OnGetBefServerPort())};
    QStringList octets;
    for (QLineEdit* o : befIp_)
        octets << o->text();
    ForwardSettings e;
    SharePlan p =
        ShareForm::PlanForward(stored, befEnable_->isChecked(), octets, befPort_->text(), &e);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    // Stored in the record and the link closed with "Change setting"; the file is
    // written when the operator leaves the settings screens.
    dev->BefApplySetting(e.Enable, e.Address, e.Port);
    message("Message", "Changes have been applied.");
}

void PageSettingShare::applyOpen() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    uint32_t port = 0;
    SharePlan p = ShareForm::PlanOpen(dev->OnGetOpEnable(), uint32_t(dev->OnGetOpPort()),
                                      opEnable_->isChecked(), opPort_->text(), &port);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    // Stored in the record and the listener restarted; the file is written when the
    // operator leaves the settings screens, as for forwarding.
    dev->OpApplySetting(opEnable_->isChecked(), port);
    message("Message", "Changes have been applied.");
}
