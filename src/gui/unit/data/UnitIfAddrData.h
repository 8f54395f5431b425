// Addresses of a network interface for the status screen: address, netmask and gateway
// (first dotted octet in the most significant byte) and the hardware address.
#pragma once

#include <cstdint>

struct UnitIfAddrData {
    uint32_t Ip = 0;
    uint32_t Netmask = 0;
    uint32_t Gateway = 0;
    uint8_t Mac[6] = {};
};
