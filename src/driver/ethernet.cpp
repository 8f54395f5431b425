#include "ethernet.h"

#include "common.h"
#include "debug.h"
#include "setting.h"
#include "wire_util.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

void ifconfig_eth0_up() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifup eth0");
    Common_System("ifconfig eth0 up");
}

void ifconfig_eth0_down() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifdown eth0");
    Common_System("ifconfig eth0 down");
}

namespace {
struct EthCtx {
    std::atomic<int> is_dhcpd_run{0};
    int dhcpdPid = -1;
};
EthCtx ethCtx;
} // namespace

void dhcpd_run() {
    if (ethCtx.is_dhcpd_run) {
        // A client that ended by itself (a crash, a refused start) is reaped here and
        // started again; one still running is left alone.
        int status = 0;
        if (waitpid(ethCtx.dhcpdPid, &status, WNOHANG) != ethCtx.dhcpdPid) return;
        DBG_ERR("dhcpcd ended by itself (status 0x%x), started again", status);
        ethCtx.dhcpdPid = -1;
        ethCtx.is_dhcpd_run = 0;
    }
    // An address set while static stays beside the lease (the client removes only its
    // own), so it goes first.
    Common_System("ifconfig eth0 0.0.0.0");
    // Started without a shell and kept in the foreground (-B): the process started is the
    // client itself, so the stop below ends exactly it and nothing else named dhcpcd.
    ethCtx.dhcpdPid = Common_Spawn({"dhcpcd", "-B", "eth0"});
    if (ethCtx.dhcpdPid < 0) {
        DBG_ERR("dhcpcd start fail");
        return;
    }
    ethCtx.is_dhcpd_run = 1;
}

void dhcpd_kill() {
    if (!ethCtx.is_dhcpd_run) return;
    Common_StopChild(ethCtx.dhcpdPid);
    ethCtx.dhcpdPid = -1;
    ethCtx.is_dhcpd_run = 0;
}

int dhcpd_is_run() {
    return ethCtx.is_dhcpd_run.load();
}

void set_ifconfig_eth0() {
    const SettingNetwork* n = get_setting_network();
    const uint32_t ip = n->ip, mask = n->netmask, gw = n->gateway;
    if (ip == 0) return;
    char cmd[128];
    snprintf(cmd, sizeof cmd, "ifconfig eth0 %d.%d.%d.%d netmask %d.%d.%d.%d up", IP4(ip),
             IP4(mask));
    Common_System(cmd);
    if (gw == 0) return;
    snprintf(cmd, sizeof cmd, "route add default gw %d.%d.%d.%d", IP4(gw));
    Common_System(cmd);
}

namespace {
// "a.b.c.d" at the start of `text`; 0 when it is not one.
uint32_t parseDotted(const char* text) {
    in_addr a{};
    char buf[32];
    size_t n = strcspn(text, " \t\r\n");
    if (n >= sizeof buf) return 0;
    memcpy(buf, text, n);
    buf[n] = 0;
    return inet_pton(AF_INET, buf, &a) == 1 ? ntohl(a.s_addr) : 0;
}
} // namespace

int get_ifaddr(const char* ifname, IfAddr* out) {
    if (!out || !ifname) return -1;
    *out = IfAddr{};
    int ret = 0;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        DBG_ERR("getifaddrs error : %s", strerror(errno));
        ret = -1;
    } else {
        for (ifaddrs* a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
            if (strcmp(a->ifa_name, ifname) != 0) continue;
            out->ip = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
            if (a->ifa_netmask)
                out->netmask =
                    ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
            break;
        }
        freeifaddrs(list);
    }

    FILE* p = popen("route -n | grep eth0 | grep 'UG[ \t]' | awk '{print $2}'", "r");
    if (!p) {
        DBG_ERR("popen error : %s", strerror(errno));
        ret = -1;
    } else {
        char line[64];
        if (fgets(line, sizeof line, p)) out->gateway = parseDotted(line);
        pclose(p);
    }

    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        DBG_ERR("netlink socket open fail : %s", strerror(errno));
        return -1;
    }
    ifreq req{};
    snprintf(req.ifr_name, sizeof req.ifr_name, "%s", ifname);
    if (ioctl(s, SIOCGIFHWADDR, &req) == 0) memcpy(out->mac, req.ifr_hwaddr.sa_data, 6);
    close(s);
    return ret;
}
