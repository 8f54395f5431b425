// The share tab without widgets: the checks of the FTP, forwarding, Open Protocol and MQTT parts
// and what each apply button does against the stored settings.
#pragma once

#include <QString>
#include <QStringList>

struct FtpSettings {
    bool Enable = false;
    QString User, Password;
};

struct ForwardSettings {
    bool Enable = false;
    uint32_t Address = 0;
    uint32_t Port = 0;
};

struct MqttSettings {
    bool Enable = false;
    uint32_t Broker = 0; // IPv4, first octet high
    uint32_t Port = 0;
    QString Topic, User, Password;
};

// The MQTT entries as typed; the broker is one dotted field.
struct MqttEntry {
    bool Enable = false;
    QString Broker, Port, Topic, User, Password;
};

struct SharePlan {
    QString Error;      // shown under "Error"; nothing else happens then
    bool Apply = false; // store, then FTP: stop the daemon (restart after 1 s when on),
                        // save; forwarding: close with "Change setting". Then the message.
    bool Restart = false;
};

class ShareForm {
  public:
    static SharePlan PlanFtp(const FtpSettings& stored, const FtpSettings& entry);
    // The entries as typed: four address fields and the port field.
    static SharePlan PlanForward(const ForwardSettings& stored, bool enable,
                                 const QStringList& octets, const QString& port,
                                 ForwardSettings* entered);
    // The Open Protocol server: the switch and its listening port (1..65535).
    static SharePlan PlanOpen(bool storedEnable, uint32_t storedPort, bool enable,
                              const QString& port, uint32_t* enteredPort);
    // The broker's address, port, the topic results and status go under, and the account.
    static SharePlan PlanMqtt(const MqttSettings& stored, const MqttEntry& entry,
                              MqttSettings* entered);
};
