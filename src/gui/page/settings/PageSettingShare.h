// The share tab: the FTP share (switch, user name, password), backup event forwarding
// (switch, server address, port), and in a second column the Open Protocol server (switch,
// port) and the MQTT publisher (switch and the broker link's state, broker, topic, account), each
// applied by its own button through ShareForm.
// Every button plays the tap sound.
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"
#include "ShareForm.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class UnitMessageBox;

class PageSettingShare : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingShare(QWidget* parent = nullptr);
    UnitMessageBox* MessageDialog() const;

  private:
    void load();
    void enableFields();
    void applyFtp();
    void applyForward();
    void applyOpen();
    void applyMqtt();
    void showMqttState();
    MqttSettings storedMqtt() const;
    // An "Enable" row: the switch named `name`, `beside` it, and the section's apply button.
    QCheckBox* switchRow(const QString& label, const char* name, const char* apply,
                         QWidget* beside = nullptr);
    QLineEdit* portEntry(const char* name);
    void message(const QString& title, const QString& text);
    QCheckBox* ftpEnable_;
    QLineEdit* ftpUser_;
    QLineEdit* ftpPwd_;
    QCheckBox* befEnable_;
    QLineEdit* befIp_[4];
    QLineEdit* befPort_;
    QCheckBox* opEnable_;
    QLineEdit* opPort_;
    QCheckBox* mqttEnable_;
    QLabel* mqttState_;
    QLineEdit* mqttBroker_;
    QLineEdit* mqttPort_;
    QLineEdit* mqttTopic_;
    QLineEdit* mqttUser_;
    QLineEdit* mqttPwd_;
    ModalHandle message_;
};
