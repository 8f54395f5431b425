// The Ethernet half of the network tab without widgets: what its apply button does with
// the entries (DHCP or static, twelve octet fields) against the stored settings.
#pragma once

#include "UnitIF_ADDR_T.h"

#include <QString>
#include <QStringList>

struct EthernetEntry {
    bool Dhcp = true;
    QStringList Octets; // ip, netmask, gateway: 12 decimal fields
};

struct EthernetPlan {
    QString Error;      // shown under "Error"; nothing else happens then
    int SetDhcp = -1;   // the flag to store (0 or 1), -1 for none
    bool Apply = false; // store Addrs, cycle eth0, save, "Changes have been applied."
    UnitIF_ADDR_T Addrs;
};

class EthernetForm {
  public:
    static EthernetPlan Plan(bool storedDhcp, const UnitIF_ADDR_T& stored,
                             const EthernetEntry& entry);
    // Four fields as one address, first octet most significant; a field that is not an
    // octet counts as 0.
    static uint32_t Pack(const QStringList& octets, int first);
    // Whether the four fields can be packed as typed: each empty or a decimal up to 255
    // (the fields' validators let "300" through as an unfinished entry).
    static bool Octets(const QStringList& octets, int first);
    static QStringList Fields(const UnitIF_ADDR_T& addrs);
};
