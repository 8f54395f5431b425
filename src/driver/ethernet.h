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

// The DHCP client on eth0 ("dhcpcd -B eth0", kept in the foreground so its process is the
// one started): started only when not started already, stopped only when started here,
// and then exactly that process. Called on the link monitor's loop.
void dhcpd_run();
void dhcpd_kill();
// 1 while the client started here counts as running, else 0.
int dhcpd_is_run();
// The stored static address, netmask and (when not 0) default gateway onto eth0; nothing
// at all while the stored address is 0.
void set_ifconfig_eth0();

// Fills `out` for the named interface; 0, or -1 (the record is filled as far as possible).
// The gateway is eth0's default gateway whatever interface is asked for.
int get_ifaddr(const char* ifname, IfAddr* out);
