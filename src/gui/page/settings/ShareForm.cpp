#include "ShareForm.h"

#include "EthernetForm.h"
#include "SettingText.h"

namespace {
bool hasControl(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}
} // namespace

SharePlan ShareForm::PlanFtp(const FtpSettings& stored, const FtpSettings& e) {
    SharePlan p;
    if (e.Enable) {
        if (e.User.isEmpty())
            p.Error = "Please input the User name";
        else if (e.Password.isEmpty())
            p.Error = "Please input the Password";
        // ':' separates the password file's fields and a line break starts a new entry;
        // ftpasswd reads the password up to its first line break.
        else if (e.User.contains(':') || hasControl(e.User))
            p.Error = "Invalid character in User name";
        else if (hasControl(e.Password))
            p.Error = "Invalid character in Password";
        else if (QString t = SettingText::Error("User name", e.User); !t.isEmpty())
            p.Error = t;
        else
            p.Error = SettingText::Error("Password", e.Password);
        if (!p.Error.isEmpty()) return p;
    }
    if (e.Enable == stored.Enable && e.User == stored.User && e.Password == stored.Password)
        return p;
    p.Apply = true;
    p.Restart = e.Enable;
    return p;
}

SharePlan ShareForm::PlanForward(const ForwardSettings& stored, bool enable,
                                 const QStringList& octets, const QString& port,
                                 ForwardSettings* entered) {
    SharePlan p;
    ForwardSettings e;
    e.Enable = enable;
    e.Address = EthernetForm::Pack(octets, 0);
    bool ok = false;
    uint v = port.trimmed().toUInt(&ok, 10);
    e.Port = ok && v <= 0xffff ? v : 0;
    if (entered) *entered = e;
    // Entries the record cannot hold are refused whether or not forwarding is on: packed,
    // they would be stored as something else (port 70000 as 0).
    if (!EthernetForm::Octets(octets, 0) || (enable && e.Address == 0) ||
        (enable && !octets.isEmpty() && octets[0].trimmed() == "0"))
        p.Error = "Invalid server ip address.";
    else if ((!port.trimmed().isEmpty() && !(ok && v <= 0xffff)) ||
             (enable && port.trimmed() == "0"))
        p.Error = "Invalid port number.";
    if (!p.Error.isEmpty()) return p;
    if (e.Enable == stored.Enable && e.Address == stored.Address && e.Port == stored.Port) return p;
    p.Apply = true;
    return p;
}

SharePlan ShareForm::PlanOpen(bool storedEnable, uint32_t storedPort, bool enable,
                              const QString& port, uint32_t* enteredPort) {
    SharePlan p;
    bool ok = false;
    const uint v = port.trimmed().toUInt(&ok, 10);
    // A port the server cannot listen on is refused whether or not it is on.
    if (!ok || v == 0 || v > 0xffff) {
        p.Error = "Invalid port number.";
        return p;
    }
    if (enteredPort) *enteredPort = v;
    p.Apply = enable != storedEnable || v != storedPort;
    return p;
}

SharePlan ShareForm::PlanMqtt(const MqttSettings& stored, const MqttEntry& e,
                              MqttSettings* entered) {
    SharePlan p;
    MqttSettings m;
    m.Enable = e.Enable;
    const QStringList octets = e.Broker.trimmed().split('.');
    const bool address = octets.size() == 4 && EthernetForm::Octets(octets, 0);
    m.Broker = address ? EthernetForm::Pack(octets, 0) : 0;
    bool ok = false;
    const uint port = e.Port.trimmed().toUInt(&ok, 10);
    m.Port = port;
    m.Topic = e.Topic;
    m.User = e.User;
    m.Password = e.Password;
    // What the record cannot hold is refused whether or not the publisher is on; an empty
    // address only while it is off.
    if ((!address && !(e.Broker.trimmed().isEmpty() && !e.Enable)) ||
        (e.Enable && (m.Broker == 0 || octets[0].trimmed() == "0")))
        p.Error = "Invalid broker ip address.";
    else if (!ok || port == 0 || port > 0xffff)
        p.Error = "Invalid port number.";
    else if (e.Enable && e.Topic.isEmpty())
        p.Error = "Please input the Topic";
    // The panel publishes under the topic: wildcards are for subscribers only.
    else if (e.Topic.contains('+') || e.Topic.contains('#') || hasControl(e.Topic))
        p.Error = "Invalid character in Topic";
    else if (hasControl(e.User))
        p.Error = "Invalid character in User name";
    else if (hasControl(e.Password))
        p.Error = "Invalid character in Password";
    // A broker takes no password without a user name.
    else if (!e.Password.isEmpty() && e.User.isEmpty())
        p.Error = "Please input the User name";
    else if (QString t = SettingText::Error("Topic", e.Topic); !t.isEmpty())
        p.Error = t;
    else if (QString u = SettingText::Error("User name", e.User); !u.isEmpty())
        p.Error = u;
    else
        p.Error = SettingText::Error("Password", e.Password);
    if (!p.Error.isEmpty()) return p;
    if (entered) *entered = m;
    p.Apply = m.Enable != stored.Enable || m.Broker != stored.Broker || m.Port != stored.Port ||
              m.Topic != stored.Topic || m.User != stored.User || m.Password != stored.Password;
    return p;
}
