// Ethernet (eth0): the interface commands, DHCP or static addressing, and the address
// record of an interface for the status screen.
#pragma once

#include <cstdint>

// Interface address record: all addresses first octet most significant.
struct IfAddr {
    uint32_t ip;
    uint32_t netmask;
    uint32_t gateway;
    uint8_t mac[6];
};

void ifconfig_eth0_up();
void ifconfig_eth0_down();

// Fills `out` for the named interface; 0, or -1 (the record is filled as far as possible).
// The gateway is eth0's default gateway whatever interface is asked for.
int get_ifaddr(const char* ifname, IfAddr* out);
