#include "net.h"

#include "bef.h"
#include "debug.h"
#include "disco.h"
#include "ethernet.h"
#include "ew_driver.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"
#include "usb.h"
#include "wire_util.h"
#include "wlan.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glib.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t kRecvMax = 4096;

struct NlinkMonitor {
    int sock = -1;
    GIOChannel* channel = nullptr;
    GSource* watch = nullptr;
    int loop = -1;
};

struct NetCtx {
    NlinkMonitor route, kobj;
    std::atomic<WorkQueue*> msgQ{nullptr};
    std::atomic<NetBackupHandler> backup{nullptr};
};
NetCtx netCtx;

uint32_t rd32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
uint16_t rd16(const uint8_t* p) {
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

void copyName(char (&out)[16], const uint8_t* p, size_t n) {
    size_t len = strnlen(reinterpret_cast<const char*>(p), n);
    if (len >= sizeof out) len = sizeof out - 1;
    memcpy(out, p, len);
    out[len] = 0;
}

// Checks the attributes of one message (`p`, `n` bytes after its fixed part) and takes the
// name attribute (type `nameType`). Returns false for a malformed attribute.
bool scanAttrs(const uint8_t* p, size_t n, uint16_t nameType, char (&name)[16]) {
    size_t off = 0;
    while (off + 4 <= n) {
        const uint16_t rlen = rd16(p + off), rtype = rd16(p + off + 2);
        if (rlen < 4 || rlen > n - off) return false;
        if (rtype == nameType) copyName(name, p + off + 4, rlen - 4u);
        off += (size_t(rlen) + 3) & ~size_t(3);
    }
    return true; // trailing bytes shorter than an attribute are padding
}

int walkAddr(const uint8_t* body, size_t n, NetNlinkItem& it, NetNlinkSink sink, void* user) {
    // struct ifaddrmsg: family, prefix length, flags, scope (1 byte each), index (4 bytes).
    if (n < 8) return NET_NL_CUT_BODY;
    it.kind = NET_NL_NEWADDR;
    it.family = body[0];
    it.ifindex = int(rd32(body + 4));
    if (!scanAttrs(body + 8, n - 8, IFA_LABEL, it.ifname)) return NET_NL_BAD_ATTR;
    // Every address attribute must hold a whole IPv4 address before any item goes out.
    const uint8_t* a = body + 8;
    const size_t an = n - 8;
    for (size_t off = 0; off + 4 <= an;) {
        const uint16_t rlen = rd16(a + off), rtype = rd16(a + off + 2);
        if (rtype == IFA_ADDRESS && it.family == AF_INET && rlen < 8) return NET_NL_BAD_ATTR;
        off += (size_t(rlen) + 3) & ~size_t(3);
    }
    sink(&it, user);
    if (it.family != AF_INET) return 0;
    for (size_t off = 0; off + 4 <= an;) {
        const uint16_t rlen = rd16(a + off), rtype = rd16(a + off + 2);
        if (rtype == IFA_ADDRESS) {
            NetNlinkItem ad = it;
            ad.kind = NET_NL_ADDRESS;
            const uint8_t* v = a + off + 4;
            ad.addr = uint32_t(v[0]) << 24 | uint32_t(v[1]) << 16 | uint32_t(v[2]) << 8 | v[3];
            sink(&ad, user);
        }
        off += (size_t(rlen) + 3) & ~size_t(3);
    }
    return 0;
}

int walkLink(const uint8_t* body, size_t n, NetNlinkItem& it, NetNlinkSink sink, void* user) {
    // struct ifinfomsg: family, pad, type (2), index (4), flags (4), change (4).
    if (n < 16) return NET_NL_CUT_BODY;
    it.kind = NET_NL_NEWLINK;
    it.ifindex = int(rd32(body + 4));
    it.flags = rd32(body + 8);
    if (!scanAttrs(body + 16, n - 16, IFLA_IFNAME, it.ifname)) return NET_NL_BAD_ATTR;
    sink(&it, user);
    return 0;
}

bool isName(const NetNlinkItem* it, const char* name) {
    return strcmp(it->ifname, name) == 0;
}

void onRouteItem(const NetNlinkItem* item, void*) {
    NetNlinkItem it = *item;
    char idxName[IF_NAMESIZE] = "";
    if (!it.ifname[0] && it.ifindex > 0 && if_indextoname(unsigned(it.ifindex), idxName))
        snprintf(it.ifname, sizeof it.ifname, "%s", idxName);
    const SettingNetwork* net = get_setting_network();
    const bool dhcp = net->dhcp != 0;
    const int ethSock = Disco_GetSocket_Eth();

    if (it.kind == NET_NL_NEWLINK) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "Netlink RTM_NEWLINK : %s", it.ifname);
        const bool up = it.flags & IFF_UP, running = it.flags & IFF_RUNNING;
        if (isName(&it, "eth0")) {
            if (!up) {
                DBG_LOG(DEBUG_FLAG_NETLINK, "%s interface down, kill dhcpd & leave MC group",
                        it.ifname);
                Disco_Leave_McGroup(ethSock);
                dhcpd_kill();
                return;
            }
            DBG_LOG(DEBUG_FLAG_NETLINK, "interface up");
            if (dhcp) {
                DBG_LOG(DEBUG_FLAG_NETLINK, "dhcp");
                if (running) {
                    DBG_LOG(DEBUG_FLAG_NETLINK, "link up, run dhcpd");
                    dhcpd_run();
                } else {
                    DBG_LOG(DEBUG_FLAG_NETLINK, "link down, kill dhcpd & leave MC group");
                    ToolManager_DismissTool_ByNetIf(TOOL_NETIF_ETH);
                    // The client may take seconds to stop (up to the grace of its stop):
                    // the group and the forwarding link go first.
                    Disco_Leave_McGroup(ethSock);
                    Bef_CloseServerStream("link down");
                    dhcpd_kill();
                }
            } else {
                DBG_LOG(DEBUG_FLAG_NETLINK, "static");
                if (running) {
                    DBG_LOG(DEBUG_FLAG_NETLINK, "link up, set static address & join MC group");
                    set_ifconfig_eth0();
                    Disco_Join_McGroup(ethSock, net->ip);
                } else {
                    DBG_LOG(DEBUG_FLAG_NETLINK, "link down, leave MC group");
                    Disco_Leave_McGroup(ethSock);
                    Bef_CloseServerStream("link down");
                }
            }
        } else if (isName(&it, "wlan0")) {
            if (up) {
                DBG_LOG(DEBUG_FLAG_NETLINK, "interface up, run hostapd");
                Net_PushMsgQ_RunHostapd();
            } else {
                DBG_LOG(DEBUG_FLAG_NETLINK, "interface down, kill hostapd & leave MC group");
                if (Hostapd_IsRunning()) Disco_Leave_McGroup(Disco_GetSocket_Wlan());
                Net_PushMsgQ_KillHostapd();
            }
        }
        return;
    }
    if (it.kind == NET_NL_NEWADDR) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "Netlink event RTM_NEWADDR : %s", it.ifname);
        if (isName(&it, "eth0") && !dhcp)
            DBG_LOG(DEBUG_FLAG_NETLINK, "%s STATIC : wait RTM_NEWLINK", it.ifname);
        else if (isName(&it, "wlan0"))
            DBG_LOG(DEBUG_FLAG_NETLINK, "%s : wait RTM_NEWLINK", it.ifname);
        return;
    }
    if (it.kind == NET_NL_ADDRESS && isName(&it, "eth0") && dhcp) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "%s DHCP : %d.%d.%d.%d", it.ifname, IP4(it.addr));
        Disco_Join_McGroup(ethSock, it.addr);
    }
}

gboolean Net_RecvCB_NlinkRoute(GIOChannel*, GIOCondition, gpointer) {
    uint8_t buf[kRecvMax];
    sockaddr_nl from{};
    socklen_t fromLen = sizeof from;
    ssize_t n = recvfrom(netCtx.route.sock, buf, sizeof buf, MSG_DONTWAIT | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
        if (errno != EAGAIN && errno != EINTR)
            DBG_ERR("netlink socket read fail : %s", strerror(errno));
        return G_SOURCE_CONTINUE;
    }
    // Only the kernel speaks for the links; a process sending to the group is not heard.
    if (from.nl_pid != 0) {
        DBG_ERR("netlink message from process %u dropped", unsigned(from.nl_pid));
        return G_SOURCE_CONTINUE;
    }
    if (size_t(n) > sizeof buf) {
        DBG_ERR("netlink message of %zd bytes cut to %zu", n, sizeof buf);
        n = ssize_t(sizeof buf);
    }
    if (n < ssize_t(NLMSG_HDRLEN)) return G_SOURCE_CONTINUE;
    Net_ProcNlinkRoute(buf, size_t(n));
    return G_SOURCE_CONTINUE;
}

gboolean Net_RecvCB_NlinkKobj(GIOChannel*, GIOCondition, gpointer) {
    char buf[kRecvMax + 1];
    ssize_t n = recv(netCtx.kobj.sock, buf, kRecvMax, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0) {
        if (errno != EAGAIN && errno != EINTR) fprintf(stderr, "recvmsg(): %s\n", strerror(errno));
        return G_SOURCE_CONTINUE;
    }
    if (size_t(n) > kRecvMax) {
        DBG_ERR("device event of %zd bytes dropped", n);
        return G_SOURCE_CONTINUE;
    }
    buf[n] = 0;
    Net_ProcNlinkKobj(buf, size_t(n));
    return G_SOURCE_CONTINUE;
}

int openMonitor(NlinkMonitor* m, int protocol, uint32_t groups, int loop, GIOFunc cb,
                const char* fn, const char* what) {
    m->sock = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, protocol);
    if (m->sock < 0) {
        DBG_ERR_AS(fn, "netlink %s socket open fail : %s", what, strerror(errno));
        return -1;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (bind(m->sock, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        DBG_ERR_AS(fn, "netlink %s socket bind error : %s", what, strerror(errno));
        close(m->sock);
        m->sock = -1;
        return -1;
    }
    m->channel = g_io_channel_unix_new(m->sock);
    m->watch = g_io_create_watch(m->channel, G_IO_IN);
    g_source_set_callback(m->watch, G_SOURCE_FUNC(cb), nullptr, nullptr);
    m->loop = loop;
    g_source_attach(m->watch, Threads_GetContext(loop));
    return 0;
}

void closeMonitor(NlinkMonitor* m) {
    auto drop = [m] {
        if (m->watch) {
            g_source_destroy(m->watch);
            g_source_unref(m->watch);
            m->watch = nullptr;
        }
        if (m->channel) {
            g_io_channel_unref(m->channel);
            m->channel = nullptr;
        }
    };
    if (m->watch && m->loop >= 0)
        Threads_RunSync(m->loop, drop);
    else
        drop();
    if (m->sock >= 0) close(m->sock);
    m->sock = -1;
}

int pushMsg(int32_t kind, const char* path) {
    WorkQueue* q = Net_GetMsgQ();
    if (!q) {
        DBG_ERR("network message queue missing, message %d dropped", kind);
        return -1;
    }
    auto* m = new NetMsg{};
    m->kind = kind;
    if (path) snprintf(m->path, sizeof m->path, "%s", path);
    WorkQueue_Push(q, m);
    return 0;
}

} // namespace

// ---- start-up ----

int Net_Start() {
    Threads_AddSetup(LOOP_NETLINK, [] { Net_OpenNlink_Route(); });
    Threads_AddSetup(LOOP_MICROSD, [] { Net_OpenNlink_Kobj(); });
    Threads_AddSetup(LOOP_HOSTAPD, [] {
        Net_SetMsgQ(
            WorkQueue_New(Threads_GetContext(LOOP_HOSTAPD), [](void* m) { Net_ProcMsgQ(m); }));
    });
    return 0;
}

namespace {
// The flags of interface `name` as they are now, -1 when there is none.
long linkFlagsNow(const char* name) {
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        DBG_ERR("socket: %s", strerror(errno));
        return -1;
    }
    ifreq r{};
    snprintf(r.ifr_name, sizeof r.ifr_name, "%s", name);
    const int rc = ioctl(s, SIOCGIFFLAGS, &r);
    close(s);
    return rc == 0 ? long(uint16_t(r.ifr_flags)) : -1;
}
} // namespace

void Net_Init() {
    // The kernel tells only changes: a link that is up already when the panel starts (a
    // service restart, an upgrade, the launcher's fallback) sends no message when raised
    // again, so its state now is handled as that message would be, on the monitor's loop.
    const long eth = linkFlagsNow("eth0");
    const bool dongle = is_wifi_dongle_connected();
    const long wlan = dongle ? linkFlagsNow("wlan0") : -1;
    ifconfig_eth0_up();
    if (dongle) Hostapd_Ifup_Wlan();
    for (auto [name, flags] : {std::pair{"eth0", eth}, std::pair{"wlan0", wlan}}) {
        if (flags < 0 || !(flags & IFF_UP)) continue; // raised now: the kernel says so
        DBG_LOG(DEBUG_FLAG_NETLINK, "%s already up at start", name);
        NetNlinkItem it{};
        it.kind = NET_NL_NEWLINK;
        it.flags = uint32_t(flags);
        snprintf(it.ifname, sizeof it.ifname, "%s", name);
        auto* copy = new NetNlinkItem(it);
        g_main_context_invoke_full(
            Threads_GetContext(LOOP_NETLINK), G_PRIORITY_DEFAULT,
            [](gpointer p) {
                onRouteItem(static_cast<NetNlinkItem*>(p), nullptr);
                return G_SOURCE_REMOVE;
            },
            copy, [](gpointer p) { delete static_cast<NetNlinkItem*>(p); });
    }
}

int Net_OpenNlink_Route() {
    return openMonitor(&netCtx.route, NETLINK_ROUTE, RTMGRP_LINK | RTMGRP_IPV4_IFADDR, LOOP_NETLINK,
                       Net_RecvCB_NlinkRoute, __func__, "route");
}

int Net_OpenNlink_Kobj() {
    return openMonitor(&netCtx.kobj, NETLINK_KOBJECT_UEVENT, 1, LOOP_MICROSD, Net_RecvCB_NlinkKobj,
                       __func__, "kobj");
}

void Net_CloseNlink() {
    closeMonitor(&netCtx.route);
    closeMonitor(&netCtx.kobj);
}

// ---- routing messages ----

int Net_WalkNlinkRoute(const uint8_t* buf, size_t len, NetNlinkSink sink, void* user) {
    size_t off = 0;
    while (off < len) {
        if (len - off < NLMSG_HDRLEN) return NET_NL_CUT_HEADER;
        const uint32_t mlen = rd32(buf + off);
        const uint16_t type = rd16(buf + off + 4);
        if (mlen < NLMSG_HDRLEN || mlen > len - off) return NET_NL_CUT_MSG;
        if (type == NLMSG_DONE) return NET_NL_DONE;
        NetNlinkItem it{};
        const uint8_t* body = buf + off + NLMSG_HDRLEN;
        const size_t n = mlen - NLMSG_HDRLEN;
        int rc = 0;
        if (type == RTM_NEWLINK)
            rc = walkLink(body, n, it, sink, user);
        else if (type == RTM_NEWADDR)
            rc = walkAddr(body, n, it, sink, user);
        if (rc != 0) return rc;
        off += (size_t(mlen) + 3) & ~size_t(3);
    }
    return NET_NL_END;
}

const char* Net_NlinkWalkEndText(int end) {
    switch (end) {
    case NET_NL_END:
        return "end";
    case NET_NL_DONE:
        return "done";
    case NET_NL_CUT_HEADER:
        return "bytes left shorter than a header";
    case NET_NL_CUT_MSG:
        return "message length out of bounds";
    case NET_NL_CUT_BODY:
        return "message shorter than its fixed part";
    case NET_NL_BAD_ATTR:
        return "malformed attribute";
    default:
        return "?";
    }
}

void Net_ProcNlinkRoute(const uint8_t* buf, size_t len) {
    const int end = Net_WalkNlinkRoute(buf, len, onRouteItem, nullptr);
    if (end < 0) DBG_ERR("netlink walk ended: %s (%zu bytes)", Net_NlinkWalkEndText(end), len);
}

// ---- kernel device events ----

int Net_KobjIsSdChange(const char* msg, size_t len) {
    if (!msg) return 0;
    // The kernel's header "ACTION@DEVPATH", NUL-terminated; the key lines follow.
    const size_t hdr = strnlen(msg, len);
    const char* at = static_cast<const char*>(memchr(msg, '@', hdr));
    if (!at) return 0;
    const size_t alen = size_t(at - msg);
    const bool change =
        (alen == 3 && memcmp(msg, "add", 3) == 0) || (alen == 6 && memcmp(msg, "remove", 6) == 0);
    if (!change) return 0;
    const char* path = at + 1;
    const size_t plen = hdr - alen - 1;
    const char* slash = static_cast<const char*>(memrchr(path, '/', plen));
    const char* last = slash ? slash + 1 : path;
    const size_t llen = plen - size_t(last - path);
    return llen == 9 && memcmp(last, "mmcblk1p1", 9) == 0;
}

void Net_ProcNlinkKobj(const char* msg, size_t len) {
    if (Net_KobjIsSdChange(msg, len)) EwDriver_PushMsgQ_UpdateDrvs();
}

// ---- network message queue ----

void Net_SetMsgQ(WorkQueue* queue) {
    netCtx.msgQ.store(queue);
}
WorkQueue* Net_GetMsgQ() {
    return netCtx.msgQ.load();
}

int Net_PushMsgQ_RunHostapd() {
    return pushMsg(NET_MSG_RUN_HOSTAPD, nullptr);
}
int Net_PushMsgQ_KillHostapd() {
    Hostapd_CutStart();
    if (!Net_GetMsgQ()) {
        Hostapd_Kill();
        return 0;
    }
    return pushMsg(NET_MSG_KILL_HOSTAPD, nullptr);
}
int Net_PushMsgQ_P2PSave(const char* path) {
    return pushMsg(NET_MSG_P2P_SAVE, path);
}
int Net_PushMsgQ_P2PLoad(const char* path) {
    return pushMsg(NET_MSG_P2P_LOAD, path);
}

void Net_SetBackupHandler(NetBackupHandler handler) {
    netCtx.backup.store(handler);
}

int Net_ProcMsgQ(void* item) {
    auto* m = static_cast<NetMsg*>(item);
    if (!m) return 1;
    switch (m->kind) {
    case NET_MSG_RUN_HOSTAPD:
        Hostapd_Run();
        break;
    case NET_MSG_KILL_HOSTAPD:
        Hostapd_Kill();
        break;
    case NET_MSG_P2P_SAVE:
    case NET_MSG_P2P_LOAD:
        if (NetBackupHandler h = netCtx.backup.load())
            h(m->kind, m->path);
        else
            DBG_ERR("no backup handler, %s of \"%s\" dropped",
                    m->kind == NET_MSG_P2P_SAVE ? "save" : "load", m->path);
        break;
    default:
        DBG_ERR("invalid network message kind %d", m->kind);
        break;
    }
    delete m;
    return 1;
}
