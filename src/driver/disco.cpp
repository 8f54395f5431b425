#include "disco.h"

#include "debug.h"
#include "threads.h"
#include "wire_util.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
struct DiscoCtx {
    // Read by the link monitor's loop, which may see a link message before Disco_Init.
    std::atomic<int> sock{-1};
    GIOChannel* channel = nullptr;
    GSource* watch = nullptr;
    int loop = -1; // the loop the watch runs on
    sockaddr_in dest{};
};
// The membership of each endpoint's socket: Ethernet and Wi-Fi join and leave on their
// own, so one record per socket (a shared record would make the Ethernet leave drop the
// Wi-Fi membership, and forget the first of two joins).
// The interface is kept by index too: when the address is gone before the leave (the DHCP
// client removes it as it stops), a drop by address would forget the socket's record but
// leave the interface in the group.
struct McGroupInfo {
    int sock = -1;
    uint32_t group = 0; // network order, 0 = none recorded
    uint32_t ifaddr = 0;
    int ifindex = 0; // 0 = not known (the kernel goes by the address)
};

// Index of the interface holding IPv4 address `addr` (network order), 0 for none.
// The interface list comes from ioctls first (no netlink dump, which a busy or
// restricted netlink can refuse), then from getifaddrs.
int ifindexOf(uint32_t addr) {
    if (addr == 0) return 0;
    int index = 0;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        ifreq reqs[64];
        ifconf conf{};
        conf.ifc_len = sizeof reqs;
        conf.ifc_req = reqs;
        if (ioctl(fd, SIOCGIFCONF, &conf) == 0) {
            const int n = conf.ifc_len / int(sizeof(ifreq));
            for (int i = 0; i < n && !index; ++i) {
                if (reinterpret_cast<sockaddr_in*>(&reqs[i].ifr_addr)->sin_addr.s_addr != addr)
                    continue;
                if (ioctl(fd, SIOCGIFINDEX, &reqs[i]) == 0) index = reqs[i].ifr_ifindex;
            }
        }
        close(fd);
    }
    ifaddrs* list = nullptr;
    if (!index && getifaddrs(&list) == 0) {
        for (ifaddrs* a = list; a && !index; a = a->ifa_next)
            if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET &&
                reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr == addr)
                index = int(if_nametoindex(a->ifa_name));
        freeifaddrs(list);
    }
    return index;
}
struct DiscoState {
    DiscoConfig config{};
    bool configSet = false;
};
DiscoCtx discoCtxEth, discoCtxWlan;
McGroupInfo mcGroupInfo[2];
DiscoState disco;

// The record of `sock`, a free one when it has none (nullptr when both are taken).
McGroupInfo* mcGroupOf(int sock) {
    for (auto& m : mcGroupInfo)
        if (m.sock == sock && m.group) return &m;
    for (auto& m : mcGroupInfo)
        if (!m.group) return &m;
    return nullptr;
}

// A membership request with its interface index (ip_mreqn), sent padded to 16 bytes. The
// kernel reads the first 12 bytes of any request at least that long; qemu-user (the arm64
// test run) copies the index only from a request the size of its target's struct, where
// the index is a long, and otherwise passes the kernel an index of 0.
int setMembership(int sock, int opt, const ip_mreqn& r) {
    struct {
        ip_mreqn r;
        uint32_t pad;
    } req{r, 0};
    static_assert(sizeof req == 16);
    return setsockopt(sock, IPPROTO_IP, opt, &req, sizeof req);
}

// Drops the recorded membership of `m`; the record is cleared whatever the result.
int dropMembership(McGroupInfo* m, const char* fn) {
    ip_mreqn mreq{};
    mreq.imr_multiaddr.s_addr = m->group;
    mreq.imr_ifindex = m->ifindex;
    const int sock = m->sock;
    const uint32_t ifaddr = m->ifaddr;
    // Unknown at the join: the address may still be there to find the interface by.
    if (!mreq.imr_ifindex) mreq.imr_ifindex = ifindexOf(ifaddr);
    *m = McGroupInfo{};
    // With the index known the drop goes by index alone: some kernels check the address
    // against the interface as well, and when it is gone they forget the socket's record
    // but leave the interface in the group (and still report success).
    if (!mreq.imr_ifindex) {
        // The address is gone too. A drop by address alone would forget the socket's record
        // and leave the interface in the group, so try the interfaces one by one: only the
        // one the socket joined on accepts the drop.
        struct if_nameindex* names = if_nameindex();
        for (struct if_nameindex* n = names; n && n->if_index; ++n) {
            mreq.imr_ifindex = int(n->if_index);
            if (setMembership(sock, IP_DROP_MEMBERSHIP, mreq) == 0) {
                if_freenameindex(names);
                return 0;
            }
        }
        if (names) if_freenameindex(names);
        mreq.imr_ifindex = 0;
        mreq.imr_address.s_addr = ifaddr;
        DBG_ERR_AS(fn, "interface of %d.%d.%d.%d unknown", IP4(ntohl(ifaddr)));
    }
    if (setMembership(sock, IP_DROP_MEMBERSHIP, mreq) < 0) {
        DBG_ERR_AS(fn, "fail to leave MC group , %s", strerror(errno));
        return -1;
    }
    return 0;
}

uint32_t envAddr(const char* name, uint32_t dflt) {
    const char* v = getenv(name);
    in_addr a{};
    if (v && inet_pton(AF_INET, v, &a) == 1) return ntohl(a.s_addr);
    return dflt;
}
uint16_t envPort(const char* name, uint16_t dflt) {
    const char* v = getenv(name);
    if (!v || !*v) return dflt;
    long p = strtol(v, nullptr, 10);
    return p > 0 && p < 65536 ? uint16_t(p) : dflt;
}

// The socket bound to any address also receives the group's datagrams that arrive on
// wlan0 (the Wi-Fi socket joins there): those are the Wi-Fi tools', told by the interface
// they came in on.
gboolean recvFrom(DiscoCtx* ctx, uint32_t netif) {
    uint8_t buf[DISCO_MAX_DGRAM];
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    iovec iov{buf, sizeof buf};
    msghdr m{};
    m.msg_iov = &iov;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    ssize_t n = recvmsg(ctx->sock, &m, MSG_DONTWAIT);
    if (n < 0) return G_SOURCE_CONTINUE;
    if (netif == TOOL_NETIF_ETH) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                memcpy(&info, CMSG_DATA(c), sizeof info);
                const unsigned wlan = if_nametoindex("wlan0");
                if (wlan != 0 && unsigned(info.ipi_ifindex) == wlan) netif = TOOL_NETIF_WLAN;
            }
    }
    DBG_LOG_PLAIN(DEBUG_FLAG_DISCO,
                  netif == TOOL_NETIF_ETH ? "recv disco from eth" : "recv disco from wlan");
    if (n < DISCO_HDR_LEN) return G_SOURCE_CONTINUE;
    Disco_Proc(buf, size_t(n), netif);
    return G_SOURCE_CONTINUE;
}

gboolean Disco_RecvCB_FromEth(GIOChannel*, GIOCondition, gpointer) {
    return recvFrom(&discoCtxEth, TOOL_NETIF_ETH);
}
gboolean Disco_RecvCB_FromWlan(GIOChannel*, GIOCondition, gpointer) {
    return recvFrom(&discoCtxWlan, TOOL_NETIF_WLAN);
}

void openSocket(DiscoCtx* ctx, const char* fn, const char* ctxName, uint32_t bindAddr, int loop,
                GIOFunc cb) {
    const DiscoConfig& c = disco.config;
    ctx->dest.sin_family = AF_INET;
    ctx->dest.sin_addr.s_addr = htonl(c.group);
    ctx->dest.sin_port = htons(c.destPort);
    ctx->sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (ctx->sock < 0) {
        DBG_ERR_AS(fn, "fail to create %s socket, %s", ctxName, strerror(errno));
        return;
    }
    unsigned char loopOff = 0;
    if (setsockopt(ctx->sock, IPPROTO_IP, IP_MULTICAST_LOOP, &loopOff, sizeof loopOff) < 0)
        DBG_ERR_AS(fn, "fail to disable multicast loop , %s", strerror(errno));
    int on = 1;
    if (setsockopt(ctx->sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        DBG_ERR_AS(fn, "fail to set reuse address, %s", strerror(errno));
    if (setsockopt(ctx->sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) < 0)
        DBG_ERR_AS(fn, "fail to ask for the arriving interface, %s", strerror(errno));
    // The Wi-Fi address is given to its interface only when the access point comes up,
    // which can be after start-up: bind to it anyway and receive once it exists.
    if (setsockopt(ctx->sock, IPPROTO_IP, IP_FREEBIND, &on, sizeof on) < 0)
        DBG_ERR_AS(fn, "fail to set free bind, %s", strerror(errno));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(bindAddr);
    local.sin_port = htons(c.port);
    if (::bind(ctx->sock.load(), reinterpret_cast<sockaddr*>(&local), sizeof local) < 0)
        DBG_ERR_AS(fn, "fail to bind, %s", strerror(errno));
    ctx->channel = g_io_channel_unix_new(ctx->sock);
    ctx->watch = g_io_create_watch(ctx->channel, G_IO_IN);
    g_source_set_callback(ctx->watch, G_SOURCE_FUNC(cb), nullptr, nullptr);
    ctx->loop = loop;
    g_source_attach(ctx->watch, Threads_GetContext(loop));
}

void closeSocket(DiscoCtx* ctx) {
    // The watch goes on its own loop: destroying it from here would not wait for a receive
    // in progress, and that receive could then read a closed (or already reused) descriptor.
    auto drop = [ctx] {
        if (ctx->watch) {
            g_source_destroy(ctx->watch);
            g_source_unref(ctx->watch);
            ctx->watch = nullptr;
        }
        if (ctx->channel) {
            g_io_channel_unref(ctx->channel);
            ctx->channel = nullptr;
        }
    };
    if (ctx->watch && ctx->loop >= 0)
        Threads_RunSync(ctx->loop, drop);
    else
        drop();
    if (ctx->sock >= 0) close(ctx->sock);
    ctx->sock = -1;
}

void Disco_OpenSocket_Eth() {
    openSocket(&discoCtxEth, __func__, "discoCtxEth", disco.config.ethAddr, LOOP_DISCO_ETH,
               Disco_RecvCB_FromEth);
}
void Disco_OpenSocket_Wlan() {
    openSocket(&discoCtxWlan, __func__, "discoCtxWlan", disco.config.wlanAddr, LOOP_DISCO_WLAN,
               Disco_RecvCB_FromWlan);
}

bool sendTo(DiscoCtx* ctx, const uint8_t* msg, size_t len) {
    if (ctx->sock < 0) {
        errno = EBADF;
        return false;
    }
    ssize_t n =
        sendto(ctx->sock, msg, len, 0, reinterpret_cast<sockaddr*>(&ctx->dest), sizeof ctx->dest);
    return n == ssize_t(len);
}

} // namespace

// ---- configuration ----

void Disco_DefaultConfig(DiscoConfig* out) {
    out->group = 0xEF424D2B; // 239.66.77.43
    out->port = 53256;
    out->destPort = 53256;
    out->ethAddr = INADDR_ANY;
    out->wlanAddr = 0xC0A88301; // 192.168.131.1
}

void Disco_ConfigFromEnv(DiscoConfig* out) {
    Disco_DefaultConfig(out);
    out->group = envAddr("KEST_DISCO_GROUP", out->group);
    out->port = envPort("KEST_DISCO_PORT", out->port);
    out->destPort = envPort("KEST_DISCO_DEST_PORT", out->port);
    out->ethAddr = envAddr("KEST_DISCO_ETH_ADDR", out->ethAddr);
    out->wlanAddr = envAddr("KEST_DISCO_WLAN_ADDR", out->wlanAddr);
}

void Disco_SetConfig(const DiscoConfig* config) {
    if (!config) {
        disco.configSet = false;
        return;
    }
    disco.config = *config;
    disco.configSet = true;
}

// ---- pure wire helpers ----

void Disco_DecodeToolInfo(const uint8_t* p, ToolInfo* out) {
    memcpy(out->serial, p, TOOL_SERIAL_SIZE);
    out->model = be32(p + 16);
    out->ip = be32(p + 20);
    out->port = be16(p + 24);
    memcpy(out->mac, p + 26, 6);
    out->busy = p[32];
    out->version = be16(p + 33);
    out->type = p[35];
}

void Disco_EncodeToolInfo(const ToolInfo* in, uint8_t* p) {
    memcpy(p, in->serial, TOOL_SERIAL_SIZE);
    put32(p + 16, in->model);
    put32(p + 20, in->ip);
    put16(p + 24, in->port);
    memcpy(p + 26, in->mac, 6);
    p[32] = in->busy;
    put16(p + 33, in->version);
    p[35] = in->type;
}

size_t Disco_EncodeHeader(uint16_t type, uint8_t* out) {
    out[0] = 0x34;
    out[1] = 0x12;
    put16(out + 2, type);
    return DISCO_HDR_LEN;
}

size_t Disco_EncodeSearchReq(const char* text, uint8_t out[DISCO_SEARCH_REQ_LEN]) {
    memset(out, 0, DISCO_SEARCH_REQ_LEN);
    Disco_EncodeHeader(DISCO_SEARCH_REQ, out);
    if (text) memcpy(out + 4, text, strnlen(text, 15));
    return DISCO_SEARCH_REQ_LEN;
}

size_t Disco_EncodeAck(uint16_t type, const ToolInfo* info, uint8_t out[DISCO_ACK_LEN]) {
    Disco_EncodeHeader(type, out);
    Disco_EncodeToolInfo(info, out + 4);
    return DISCO_ACK_LEN;
}

size_t Disco_EncodeAdvertise(uint8_t cause, const ToolInfo* info,
                             uint8_t out[DISCO_ADVERTISE_LEN]) {
    Disco_EncodeHeader(DISCO_ADVERTISE, out);
    out[4] = cause;
    Disco_EncodeToolInfo(info, out + 5);
    return DISCO_ADVERTISE_LEN;
}

// ---- processing ----

int Disco_Proc(const uint8_t* buf, size_t len, uint32_t netif) {
    if (!buf || len < DISCO_HDR_LEN) return -1;
    uint16_t type = be16(buf + 2);
    ToolInfo info;
    switch (type) {
    case DISCO_SCAN_REQ:
    case DISCO_SEARCH_REQ:
        DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "recv disco req (%d) from other controller", type);
        return 0;
    case DISCO_SCAN_ACK:
    case DISCO_SEARCH_ACK:
        if (len < DISCO_ACK_LEN) {
            DBG_ERR("short disco message, type 0x%x, %zu bytes", type, len);
            return -1;
        }
        Disco_DecodeToolInfo(buf + 4, &info);
        DBG_LOG_PLAIN(DEBUG_FLAG_DISCO,
                      type == DISCO_SCAN_ACK ? "scan ack %d.%d.%d.%d" : "search ack %d.%d.%d.%d",
                      IP4(info.ip));
        ToolManager_UpdateToolState_ByDisco(&info, 0, netif);
        return 0;
    case DISCO_ADVERTISE: {
        if (len < DISCO_ADVERTISE_LEN) {
            DBG_ERR("short disco message, type 0x%x, %zu bytes", type, len);
            return -1;
        }
        uint8_t cause = buf[4];
        Disco_DecodeToolInfo(buf + 5, &info);
        DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "advertise %d.%d.%d.%d (%d)", IP4(info.ip), cause);
        if (cause < 1 || cause > 5) {
            Debug_WriteLog(1, "invalid advertise cuase (0x%02x)", cause);
            return -1;
        }
        if (cause == 3 || cause == 5)
            ToolManager_UpdateToolState_ByDisco(&info, cause, netif);
        else
            ToolManager_Readdress(&info, cause, netif);
        return 0;
    }
    default:
        DBG_ERR("invalid message type, 0x%x", type);
        return -1;
    }
}

// ---- endpoints ----

int Disco_Init() {
    if (!disco.configSet) Disco_ConfigFromEnv(&disco.config);
    Disco_OpenSocket_Eth();
    Disco_OpenSocket_Wlan();
    return 0;
}

void Disco_Deinit() {
    closeSocket(&discoCtxEth);
    closeSocket(&discoCtxWlan);
    for (auto& m : mcGroupInfo)
        m = McGroupInfo{};
}

int Disco_GetSocket_Eth() {
    return discoCtxEth.sock;
}
int Disco_GetSocket_Wlan() {
    return discoCtxWlan.sock;
}

int Disco_Send_ScanReq(int keepAlive) {
    if (keepAlive) {
        ToolManager_KeepAlive_DiscoTools();
        ToolManager_KeepAlive_RegTools();
    }
    DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "send disco scan");
    uint8_t msg[DISCO_SCAN_REQ_LEN];
    Disco_EncodeHeader(DISCO_SCAN_REQ, msg);
    int ret = 0;
    if (!sendTo(&discoCtxEth, msg, sizeof msg)) {
        DBG_LOG(DEBUG_FLAG_DISCO, "fail to send scan to eth, %s", strerror(errno));
        ret = -1;
    }
    if (!sendTo(&discoCtxWlan, msg, sizeof msg)) {
        DBG_LOG(DEBUG_FLAG_DISCO, "fail to send scan to wlan, %s", strerror(errno));
        ret = -1;
    }
    return ret;
}

int Disco_Send_SearchReq(const char* text) {
    if (!text) return 0;
    DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "send disco search");
    uint8_t msg[DISCO_SEARCH_REQ_LEN];
    Disco_EncodeSearchReq(text, msg);
    int ret = 0;
    if (!sendTo(&discoCtxEth, msg, sizeof msg)) {
        DBG_ERR("fail to send discoCtxEth search, %s", strerror(errno));
        ret = -1;
    }
    if (!sendTo(&discoCtxWlan, msg, sizeof msg)) {
        DBG_ERR("fail to send discoCtxWlan search, %s", strerror(errno));
        ret = -1;
    }
    return ret;
}

int Disco_Join_McGroup(int sock, uint32_t ifaddr) {
    DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "join MC group %d.%d.%d.%d", IP4(ifaddr));
    int ret = 0;
    // A new address (a new DHCP lease, a changed static address) replaces the socket's
    // membership: the old one would otherwise stay on the interface until the socket closes.
    McGroupInfo* m = mcGroupOf(sock);
    if (m && m->group) dropMembership(m, __func__);
    in_addr iface{};
    iface.s_addr = htonl(ifaddr);
    if (setsockopt(sock, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface) < 0) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "set multicast interface fail : %s", strerror(errno));
        ret = -1;
    }
    ip_mreqn mreq{};
    mreq.imr_multiaddr.s_addr = htonl(disco.config.group ? disco.config.group : 0xEF424D2B);
    mreq.imr_address.s_addr = htonl(ifaddr);
    mreq.imr_ifindex = ifindexOf(mreq.imr_address.s_addr);
    if (!mreq.imr_ifindex)
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "no interface holds %d.%d.%d.%d", IP4(ifaddr));
    if (m) {
        m->sock = sock;
        m->group = mreq.imr_multiaddr.s_addr;
        m->ifaddr = mreq.imr_address.s_addr;
        m->ifindex = mreq.imr_ifindex;
    }
    if (setMembership(sock, IP_ADD_MEMBERSHIP, mreq) < 0) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "fail to join MC group : %s", strerror(errno));
        ret = -1;
    }
    return ret;
}

int Disco_Leave_McGroup(int sock) {
    DBG_LOG_PLAIN(DEBUG_FLAG_DISCO, "leave MC group");
    McGroupInfo* m = mcGroupOf(sock);
    if (!m || !m->group) return 0;
    return dropMembership(m, __func__);
}
