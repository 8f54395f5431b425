// Static Ethernet addresses as the device object hands them to screens: address,
// netmask and gateway, first dotted octet in the most significant byte.
#pragma once

#include <cstdint>

struct UnitIF_ADDR_T {
    uint32_t Ip = 0;
    uint32_t Netmask = 0;
    uint32_t Gateway = 0;
};
