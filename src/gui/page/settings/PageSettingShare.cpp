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
#include <QStyle>

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
    ftpEnable_ = switchRow("Enable FTP", "ftpEnable", "ftpApply");
    ftpUser_ = AddEntry("ftpUser", UnitKeypad::Text);
    addRow("User name", ftpUser_);
    ftpPwd_ = AddEntry("ftpPwd", UnitKeypad::Text);
    addRow("Password", ftpPwd_);

    addRow("Backup event forwarding", nullptr);
    befEnable_ = switchRow("Enable forwarding", "befEnable", "befApply");
    auto* ipBox = new QWidget(this);
    auto* h = new QHBoxLayout(ipBox);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(4);
    for (int i = 0; i < 4; ++i) {
        befIp_[i] =
            AddEntry(QString("befIp_%1").arg(i).toLatin1().constData(), UnitKeypad::Numeric);
        befIp_[i]->setValidator(new QIntValidator(0, 255, befIp_[i]));
        befIp_[i]->setMaxLength(3);
        befIp_[i]->setFixedWidth(76);
        befIp_[i]->setAlignment(Qt::AlignCenter);
        h->addWidget(befIp_[i]);
        if (i < 3) h->addWidget(new QLabel(".", ipBox));
    }
    h->addStretch(1);
    addRow("Server IP", ipBox);
    befPort_ = portEntry("befPort");
    addRow("Server port", befPort_);

    // The plant's systems in a column of their own.
    NextColumn();
    addRow("Open Protocol", nullptr);
    opEnable_ = switchRow("Enable server", "opEnable", "opApply");
    opPort_ = portEntry("opPort");
    addRow("Listening port", opPort_);

    addRow("MQTT", nullptr);
    // The broker link's state beside its switch.
    mqttState_ = new QLabel(this);
    mqttState_->setObjectName("mqttState");
    mqttEnable_ = switchRow("Publish results", "mqttEnable", "mqttApply", mqttState_);
    mqttBroker_ = AddEntry("mqttBroker", UnitKeypad::Numeric);
    mqttBroker_->setMaxLength(15);
    addRow("Broker IP", mqttBroker_);
    mqttPort_ = portEntry("mqttPort");
    addRow("Broker port", mqttPort_);
    mqttTopic_ = AddEntry("mqttTopic", UnitKeypad::Text);
    addRow("Topic", mqttTopic_);
    mqttUser_ = AddEntry("mqttUser", UnitKeypad::Text);
    addRow("User name", mqttUser_);
    mqttPwd_ = AddEntry("mqttPwd", UnitKeypad::Text);
    addRow("Password", mqttPwd_);

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
    connect(findChild<QPushButton*>("mqttApply"), &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        applyMqtt();
    });
    connect(&ApplicationDevice()->PlantStateEvent, &SystemEvent::triggered, this,
            &PageSettingShare::showMqttState);
    load();
}

QCheckBox* PageSettingShare::switchRow(const QString& label, const char* name, const char* apply,
                                       QWidget* beside) {
    auto* box = new QWidget(this);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    auto* c = new QCheckBox(box);
    c->setObjectName(name);
    h->addWidget(c);
    if (beside) h->addWidget(beside, 1);
    h->addStretch(1);
    h->addWidget(applyButton(box, apply));
    addRow(label, box);
    connect(c, &QCheckBox::toggled, this, [this] {
        UiSound_Tap();
        enableFields();
    });
    return c;
}

QLineEdit* PageSettingShare::portEntry(const char* name) {
    QLineEdit* e = AddEntry(name, UnitKeypad::Numeric);
    e->setValidator(new QIntValidator(0, 65535, e));
    e->setMaxLength(5);
    e->setFixedWidth(160);
    return e;
}

UnitMessageBox* PageSettingShare::MessageDialog() const {
    return message_.As<UnitMessageBox>();
}

void PageSettingShare::load() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    QSignalBlocker a(ftpEnable_), b(befEnable_), c(opEnable_), d(mqttEnable_);
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
    const MqttSettings m = storedMqtt();
    mqttEnable_->setChecked(m.Enable);
    QStringList broker;
    for (int i = 0; i < 4; ++i)
        broker << QString::number((m.Broker >> (24 - 8 * i)) & 0xff);
    mqttBroker_->setText(m.Broker ? broker.join('.') : QString());
    mqttPort_->setText(QString::number(m.Port));
    mqttTopic_->setText(m.Topic);
    mqttUser_->setText(m.User);
    mqttPwd_->setText(m.Password);
    showMqttState();
    enableFields();
}

MqttSettings PageSettingShare::storedMqtt() const {
    ApplicationDeviceClass* dev = ApplicationDevice();
    return {dev->OnGetMqttEnable(), dev->OnGetMqttBroker(), uint32_t(dev->OnGetMqttPort()),
            dev->OnGetMqttTopic(),  dev->OnGetMqttUser(),   dev->OnGetMqttPassword()};
}

void PageSettingShare::showMqttState() {
    const QString text = ApplicationDevice()->MqttStateText();
    mqttState_->setText(text);
    mqttState_->setProperty("role", text.startsWith("Refused") ? "error" : "");
    mqttState_->style()->polish(mqttState_);
}

void PageSettingShare::enableFields() {
    for (QWidget* w : {static_cast<QWidget*>(ftpUser_), static_cast<QWidget*>(ftpPwd_)})
        setRowEnabled(w, ftpEnable_->isChecked());
    setRowEnabled(befIp_[0]->parentWidget(), befEnable_->isChecked());
    setRowEnabled(befPort_, befEnable_->isChecked());
    setRowEnabled(opPort_, opEnable_->isChecked());
    for (QLineEdit* w : {mqttBroker_, mqttPort_, mqttTopic_, mqttUser_, mqttPwd_})
        setRowEnabled(w, mqttEnable_->isChecked());
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

void PageSettingShare::applyMqtt() {
    const MqttEntry e{mqttEnable_->isChecked(), mqttBroker_->text(), mqttPort_->text(),
                      mqttTopic_->text(),       mqttUser_->text(),   mqttPwd_->text()};
    MqttSettings m;
    SharePlan p = ShareForm::PlanMqtt(storedMqtt(), e, &m);
    if (!p.Error.isEmpty()) return message("Error", p.Error);
    if (!p.Apply) return;
    // Stored in the record and the session restarted on its own loop; the link's state
    // follows in the row above. The file is written when the settings screens are left.
    ApplicationDevice()->MqttApplySetting(m.Enable, m.Broker, m.Port, m.Topic, m.User, m.Password);
    message("Message", "Changes have been applied.");
}
