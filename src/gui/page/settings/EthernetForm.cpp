#include "EthernetForm.h"

uint32_t EthernetForm::Pack(const QStringList& octets, int first) {
    uint32_t v = 0;
    for (int i = first; i < first + 4; ++i) {
        bool ok = false;
        uint octet = i < octets.size() ? octets[i].trimmed().toUInt(&ok, 10) : 0;
        v = (v << 8) | (ok && octet <= 255 ? octet : 0);
    }
    return v;
}

bool EthernetForm::Octets(const QStringList& octets, int first) {
    for (int i = first; i < first + 4 && i < octets.size(); ++i) {
        const QString t = octets[i].trimmed();
        bool ok = false;
        if (!t.isEmpty() && (t.toUInt(&ok, 10) > 255 || !ok)) return false;
    }
    return true;
}

QStringList EthernetForm::Fields(const UnitIF_ADDR_T& a) {
    QStringList f;
    for (uint32_t v : {a.Ip, a.Netmask, a.Gateway})
        for (int shift = 24; shift >= 0; shift -= 8)
            f << QString::number((v >> shift) & 0xff);
    return f;
}

EthernetPlan EthernetForm::Plan(bool storedDhcp, const UnitIF_ADDR_T& stored,
                                const EthernetEntry& e) {
    EthernetPlan p;
    UnitIF_ADDR_T entered;
    entered.Ip = Pack(e.Octets, 0);
    entered.Netmask = Pack(e.Octets, 4);
    entered.Gateway = Pack(e.Octets, 8);
    if (e.Dhcp == storedDhcp && e.Dhcp) return p;
    // An address the fields cannot hold is refused even where the entries go unchecked:
    // packed, "192.168.1.300" would be applied as 192.168.1.0.
    if (!e.Dhcp) {
        if (!Octets(e.Octets, 0) || !Octets(e.Octets, 8)) {
            p.Error = "Invalid ip address.";
            return p;
        }
        if (!Octets(e.Octets, 4)) {
            p.Error = "Invalid netmask address.";
            return p;
        }
    }
    if (e.Dhcp == storedDhcp) {
        if (entered.Ip == stored.Ip && entered.Netmask == stored.Netmask &&
            entered.Gateway == stored.Gateway)
            return p;
        p.Apply = true; // static edited: taken as entered
        p.Addrs = entered;
        return p;
    }
    // The flag is stored only with the change: a refused switch to static would leave the
    // panel static with no address after the next start.
    if (e.Dhcp) {
        p.SetDhcp = 1;
        p.Apply = true; // addresses cleared
        return p;
    }
    auto firstReadsZero = [&](int i) {
        return i < e.Octets.size() && e.Octets[i].trimmed() == "0";
    };
    if (entered.Ip == 0 || firstReadsZero(0)) {
        p.Error = "Invalid ip address.";
        return p;
    }
    if (entered.Netmask == 0 || firstReadsZero(4)) {
        p.Error = "Invalid netmask address.";
        return p;
    }
    p.SetDhcp = 0;
    p.Apply = true;
    p.Addrs = entered;
    return p;
}
