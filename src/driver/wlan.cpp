#include "wlan.h"

#include "common.h"
#include "debug.h"
#include "disco.h"
#include "ew_driver.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"

#include <glib.h>
#include <wpa_ctrl.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The daemon is started with -B: it forks and its parent returns before the control socket
// exists, so the socket is waited for, paced, for at most this long (and not at all once
// the daemon is known to have gone).
constexpr int kCtrlOpenTries = 100;
constexpr int kCtrlOpenPaceMs = 100;
// A daemon that has written no pid file after this many tries did not start.
constexpr int kPidFileTries = 10;
// How long a stopped daemon gets to leave before it is killed outright.
constexpr int kStopTries = 150;
constexpr int kStopPaceMs = 20;

struct HostapdCtx {
    // Start, stop and the receive callback's use of the connection run under this lock.
    std::mutex lock;
    std::atomic<uint32_t> hostapdRunState{0};
    // Counts stop requests, so that a start in progress sees one that came after it began.
    std::atomic<uint32_t> stopGen{0};
    bool daemonStarted = false;
    wpa_ctrl* ctrl = nullptr;
    GIOChannel* channel = nullptr;
    GSource* watch = nullptr;
};
HostapdCtx hostapdCtx;

std::string pidPath() {
    return Common_SysPath("/var/run/hostapd.pid");
}

bool stopRequested(uint32_t gen) {
    return hostapdCtx.stopGen.load() != gen;
}

// A copy fit for one log line: control characters would forge or split lines.
std::string printable(const char* text) {
    std::string s(text);
    for (char& c : s)
        if (uint8_t(c) < 0x20 || c == 0x7f) c = '?';
    return s;
}

pid_t readPid() {
    std::string text;
    if (Common_ReadFile(pidPath(), text, 64) != 0) return -1;
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || v <= 1 || v > INT_MAX) return -1;
    return pid_t(v);
}

// The process is alive (not a zombie) and is a hostapd. The pid is a real process, so this
// is the machine's own /proc, never the sysroot's.
bool isLiveHostapd(pid_t pid) {
    std::string comm, stat;
    std::string dir = "/proc/" + std::to_string(pid);
    if (Common_ReadFile(dir + "/comm", comm, 64) != 0 || comm != "hostapd\n") return false;
    if (Common_ReadFile(dir + "/stat", stat, 4096) != 0) return false;
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// 1: the pid file names a live hostapd; 0: it names none; -1: there is no pid file.
int daemonState() {
    pid_t pid = readPid();
    if (pid < 0) return -1;
    return isLiveHostapd(pid) ? 1 : 0;
}

// Ends the daemon of the pid file, and only if it is still a hostapd: a stale file may name
// a process that took the number over.
void stopDaemon() {
    pid_t pid = readPid();
    if (pid < 0) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "no hostapd pid file");
        return;
    }
    if (!isLiveHostapd(pid)) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "pid %d of the pid file is not a running hostapd", int(pid));
        unlink(pidPath().c_str());
        return;
    }
    if (kill(pid, SIGTERM) != 0) {
        DBG_ERR("kill hostapd %d fail : %s", int(pid), strerror(errno));
        return;
    }
    int i = 0;
    while (isLiveHostapd(pid) && i++ < kStopTries)
        g_usleep(kStopPaceMs * 1000);
    if (isLiveHostapd(pid)) {
        DBG_ERR("hostapd %d did not stop, killed", int(pid));
        kill(pid, SIGKILL);
    }
    unlink(pidPath().c_str());
}

int writeConf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    // It holds the pass phrase: readable by the owner only, and never through a link.
    int fd = open("hostapd.conf", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        DBG_ERR("hostapd.conf open fail : %s", strerror(errno));
        return -1;
    }
    fchmod(fd, 0600); // a file left by an older version may be readable by all
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            DBG_ERR("hostapd.conf write fail : %s", strerror(errno));
            break;
        }
        p += n;
        left -= size_t(n);
    }
    close(fd);
    return left == 0 ? 0 : -1;
}

void closeWatch() {
    if (hostapdCtx.watch && hostapdCtx.channel) {
        g_source_destroy(hostapdCtx.watch);
        g_source_unref(hostapdCtx.watch);
        g_io_channel_unref(hostapdCtx.channel);
    } else {
        DBG_ERR("handler is null");
    }
    hostapdCtx.watch = nullptr;
    hostapdCtx.channel = nullptr;
}

void closeCtrl() {
    if (hostapdCtx.ctrl) {
        wpa_ctrl_detach(hostapdCtx.ctrl);
        wpa_ctrl_close(hostapdCtx.ctrl);
        hostapdCtx.ctrl = nullptr;
    } else {
        DBG_ERR("handler is null");
    }
}

// Everything a start left behind: the watch, the connection, the daemon. Lock held.
void stopLocked() {
    hostapdCtx.hostapdRunState = 0;
    closeWatch();
    closeCtrl();
    stopDaemon();
    hostapdCtx.daemonStarted = false;
}

gboolean onCtrlReadable(GIOChannel*, GIOCondition, gpointer) {
    return Hostapd_RecvCB() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

wpa_ctrl* openCtrl(uint32_t gen) {
    std::string path = Common_SysPath("/var/run/hostapd/wlan0");
    for (int i = 0; i < kCtrlOpenTries && !stopRequested(gen); ++i) {
        if (wpa_ctrl* c = wpa_ctrl_open(path.c_str())) return c;
        int state = daemonState();
        if (state == 0 || (state < 0 && i + 1 >= kPidFileTries)) break; // no daemon to wait for
        g_usleep(kCtrlOpenPaceMs * 1000);
    }
    DBG_ERR("wpa_ctrl_open fail");
    return nullptr;
}

bool hasControlChar(const char* s) {
    for (; *s; ++s)
        if (uint8_t(*s) < 0x20 || *s == 0x7f) return true;
    return false;
}

// Decimal with optional blanks around it, the whole text; false otherwise.
bool parseDecimal(std::string_view s, long* out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    if (s.empty() || s.size() > 11) return false;
    std::string t(s);
    char* end = nullptr;
    errno = 0;
    long v = strtol(t.c_str(), &end, 10);
    if (errno || *end || v < INT_MIN || v > INT_MAX) return false;
    *out = v;
    return true;
}

bool admitted5(uint32_t country, long channel) {
    bool low = channel >= 36 && channel <= 48;
    return country == 0 ? low || (channel >= 149 && channel <= 165) : low;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
} // namespace

void Hostapd_Ifup_Wlan() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifup wlan0");
    Common_System("ifconfig wlan0 192.168.131.1 netmask 255.255.255.0 up");
}

void Hostapd_Ifup_Down() {
    DBG_LOG(DEBUG_FLAG_NETLINK, "ifdown wlan0");
    Common_System("ifconfig wlan0 down");
}

int check_wlan_access() {
    FILE* f = fopen(Common_SysPath("/proc/net/wireless").c_str(), "r");
    if (!f) return -1;
    char line[512];
    int found = -1;
    while (found != 0 && fgets(line, sizeof line, f))
        if (strstr(line, "wlan0")) found = 0;
    fclose(f);
    return found;
}

// ---- pure helpers ----

void Hostapd_ParseBestChannel(const char* text, size_t len, uint32_t country, int* best24,
                              int* best5) {
    long value24 = INT_MAX, value5 = INT_MAX;
    std::string_view all(text, len);
    while (!all.empty()) {
        size_t nl = all.find('\n');
        std::string_view line = all.substr(0, nl);
        all.remove_prefix(nl == std::string_view::npos ? all.size() : nl + 1);
        if (line.size() > 1000 || line.size() < 23) continue;
        if (line.find("best_channel") != std::string_view::npos) continue;
        std::string_view rest = line.substr(22);
        size_t eq = rest.find(" = ");
        long channel, value;
        if (eq == std::string_view::npos || !parseDecimal(rest.substr(0, eq), &channel) ||
            !parseDecimal(rest.substr(eq + 3), &value))
            continue;
        if (channel >= 1 && channel <= 13) {
            if ((channel == 1 || channel == 5 || channel == 9) && value < value24) {
                value24 = value;
                *best24 = int(channel);
            }
        } else if (country > 2) {
            *best5 = 48;
        } else if (admitted5(country, channel) && value < value5) {
            value5 = value;
            *best5 = int(channel);
        }
    }
}

int Hostapd_ConfChannel(const HostapdConfInput& in, int* wanted) {
    const int channel = in.channelMode == 1 ? in.manualChannel
                        : in.band == 1      ? in.best5
                                            : in.best24;
    if (wanted) *wanted = channel;
    int admitted[16];
    const int n = Hostapd_ManualChannels(in.band, in.country, admitted, int(std::size(admitted)));
    for (int i = 0; i < n; ++i)
        if (admitted[i] == channel) return channel;
    return admitted[0];
}

std::vector<std::string> Hostapd_ConfLines(const HostapdConfInput& in) {
    const char* country = in.country == 1 ? "FR" : in.country == 2 ? "JP" : "US";
    const int channel = Hostapd_ConfChannel(in);
    return {
        "interface=wlan0",
        "driver=nl80211",
        "ctrl_interface=/var/run/hostapd",
        "ctrl_interface_group=0",
        std::string("ssid=") + (in.ssid ? in.ssid : ""),
        std::string("country_code=") + country,
        std::string("hw_mode=") + (in.band == 1 ? "a" : "g"),
        "channel=" + std::to_string(channel),
        "max_num_sta=8",
        "ieee80211n=1",
        "ieee80211ac=1",
        "ieee80211d=1",
        "ieee80211h=1",
        "wpa=2",
        std::string("wpa_passphrase=") + (in.passphrase ? in.passphrase : ""),
        "wpa_key_mgmt=WPA-PSK",
        "wpa_pairwise=CCMP",
    };
}

int Hostapd_CheckWifiConf(const char* ssid, const char* psk) {
    if (!ssid || !*ssid) return HOSTAPD_CONF_NO_SSID;
    if (!psk || !*psk) return HOSTAPD_CONF_NO_PSK;
    if (strlen(ssid) > HOSTAPD_SSID_MAX) return HOSTAPD_CONF_SSID_LENGTH;
    size_t n = strlen(psk);
    if (n < HOSTAPD_PSK_MIN || n > HOSTAPD_PSK_MAX) return HOSTAPD_CONF_PSK_LENGTH;
    if (hasControlChar(ssid)) return HOSTAPD_CONF_SSID_CHAR;
    if (hasControlChar(psk)) return HOSTAPD_CONF_PSK_CHAR;
    return HOSTAPD_CONF_OK;
}

const char* Hostapd_CheckWifiConfMessage(int check) {
    switch (check) {
    case HOSTAPD_CONF_NO_SSID:
        return "Please input the SSID";
    case HOSTAPD_CONF_NO_PSK:
        return "Please input the Password";
    case HOSTAPD_CONF_SSID_LENGTH:
        return "Invalid SSID length (max 32)";
    case HOSTAPD_CONF_PSK_LENGTH:
        return "Invalid password length (expected 8..31)";
    case HOSTAPD_CONF_SSID_CHAR:
        return "Invalid character in SSID";
    case HOSTAPD_CONF_PSK_CHAR:
        return "Invalid character in Password";
    default:
        return "";
    }
}

int Hostapd_ManualChannels(uint32_t band, uint32_t country, int* out, int max) {
    static const int k24[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    static const int k5us[] = {36, 40, 44, 48, 149, 153, 157, 161, 165};
    static const int k5eu[] = {36, 40, 44, 48};
    const int* list = k24;
    int n = int(std::size(k24));
    if (band == 1 && (country == 1 || country == 2)) {
        list = k5eu;
        n = int(std::size(k5eu));
    } else if (band == 1) {
        list = k5us;
        n = int(std::size(k5us));
    }
    int i = 0;
    for (; i < n && i < max && out; ++i)
        out[i] = list[i];
    return i;
}

int Hostapd_ParseLine(const char* line, size_t len, uint8_t mac[6]) {
    std::string_view msg(line, line ? len : 0);
    size_t gt = msg.find('>');
    if (gt != std::string_view::npos) msg.remove_prefix(gt + 1);
    constexpr std::string_view kLeft = "AP-STA-DISCONNECTED";
    constexpr std::string_view kEnabled = "AP-ENABLED";
    // A word ends at the end of the message or at a blank; hostapd sends no line breaks.
    auto endsWord = [](std::string_view s, size_t at) { return at == s.size() || s[at] == ' '; };
    if (msg.substr(0, kEnabled.size()) == kEnabled && endsWord(msg, kEnabled.size()))
        return HOSTAPD_LINE_AP_ENABLED;
    if (msg.substr(0, kLeft.size()) != kLeft || !endsWord(msg, kLeft.size()))
        return HOSTAPD_LINE_OTHER;
    std::string_view addr = msg.substr(kLeft.size());
    while (!addr.empty() && addr.front() == ' ')
        addr.remove_prefix(1);
    if (addr.empty()) return HOSTAPD_LINE_NO_MAC;
    // Exactly six two-digit hexadecimal groups, then the end of the word.
    if (addr.size() < 17 || !endsWord(addr, 17)) return HOSTAPD_LINE_BAD_MAC;
    for (size_t i = 0; i < 17; ++i)
        if (i % 3 == 2 ? addr[i] != ':' : !isHex(addr[i])) return HOSTAPD_LINE_BAD_MAC;
    std::string text(addr.substr(0, 17));
    return MacAddr_Atoi(text.c_str(), mac) == 0 ? HOSTAPD_LINE_STA_LEFT : HOSTAPD_LINE_BAD_MAC;
}

// ---- the access point ----

void Hostapd_Scan_BestChannel(int* best24, int* best5) {
    std::string text;
    std::string path = Common_SysPath("/proc/net/rtl88x2bu/wlan0/best_channel");
    if (Common_ReadFile(path, text, 1 << 20) != 0) {
        DBG_ERR("%s open fail : %s", path.c_str(), strerror(errno));
        return;
    }
    Hostapd_ParseBestChannel(text.data(), text.size(), get_setting_network()->country, best24,
                             best5);
}

namespace {
// What the daemon said while a request waited for its reply (the control interface hands
// unsolicited lines to this callback, which has no context of its own).
std::vector<std::string>* saidDuringRequest = nullptr;
void keepSaid(char* msg, size_t len) {
    if (saidDuringRequest) saidDuringRequest->emplace_back(msg, len);
}

// hostapd raises the interface before it goes to the background and can say "AP-ENABLED"
// before anyone attached: ask its state once attached. Lines said meanwhile go to `said`.
bool askEnabled(wpa_ctrl* ctrl, std::vector<std::string>* said) {
    char reply[2048];
    size_t len = sizeof reply - 1;
    saidDuringRequest = said;
    const int rc = wpa_ctrl_request(ctrl, "STATUS", 6, reply, &len, keepSaid);
    saidDuringRequest = nullptr;
    if (rc != 0) {
        DBG_ERR("hostapd STATUS fail (%d)", rc);
        return false;
    }
    reply[len] = '\0';
    const std::string_view r(reply, len);
    return r.rfind("state=ENABLED", 0) == 0 || r.find("\nstate=ENABLED") != std::string_view::npos;
}

// Acts on the daemon's lines: a station that left marks its tool, "AP-ENABLED" joins the
// group on wlan0. Called without the module's lock: the registry and discovery take theirs.
void actOnLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        DBG_LOG_PLAIN(DEBUG_FLAG_NETLINK, "hostapd say : %s", printable(line.c_str()).c_str());
        uint8_t mac[6] = {};
        const int kind = Hostapd_ParseLine(line.data(), line.size(), mac);
        if (kind == HOSTAPD_LINE_NO_MAC)
            DBG_ERR("mac is null");
        else if (kind == HOSTAPD_LINE_BAD_MAC)
            DBG_ERR("malformed mac : %s", printable(line.c_str()).c_str());
        else if (kind == HOSTAPD_LINE_STA_LEFT)
            ToolManager_UpdateToolState_ByHostapd(mac);
        else if (kind == HOSTAPD_LINE_AP_ENABLED)
            Disco_Join_McGroup(Disco_GetSocket_Wlan(), HOSTAPD_AP_ADDR);
    }
}

void startLocked(std::vector<std::string>* said, bool* enabled);
} // namespace

void Hostapd_Run() {
    std::vector<std::string> said;
    bool enabled = false;
    startLocked(&said, &enabled);
    actOnLines(said);
    if (enabled) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "hostapd enabled before the attach");
        Disco_Join_McGroup(Disco_GetSocket_Wlan(), HOSTAPD_AP_ADDR);
    }
}

namespace {
void startLocked(std::vector<std::string>* said, bool* enabled) {
    uint32_t gen = hostapdCtx.stopGen.load();
    std::lock_guard<std::mutex> g(hostapdCtx.lock);
    if (hostapdCtx.hostapdRunState == 1) return;
    // A start that did not reach running (wlan0 missing) left its daemon and connection.
    if (hostapdCtx.daemonStarted || hostapdCtx.ctrl) stopLocked();
    // A daemon of an earlier run of the panel would hold the interface.
    if (daemonState() == 1) stopDaemon();

    const SettingNetwork* n = get_setting_network();
    std::string ssid = setting_get_str(n->ssid);
    std::string psk = setting_get_str(n->wifi_password);
    if (hasControlChar(ssid.c_str()) || hasControlChar(psk.c_str())) {
        DBG_ERR("SSID or pass phrase holds a control character, hostapd not started");
        EwDriver_PushMsgQ_WlanScan(0);
        return;
    }
    int best24 = -1, best5 = -1;
    if (n->channel_mode == 0) {
        EwDriver_PushMsgQ_WlanScan(1);
        // The driver surveys the channels while it scans.
        for (int i = 0; i < 3 && !stopRequested(gen); ++i)
            Common_System("iwlist wlan0 scan > scan");
        Hostapd_Scan_BestChannel(&best24, &best5);
    }
    if (stopRequested(gen)) {
        DBG_LOG(DEBUG_FLAG_NETLINK, "hostapd start given up: stop requested");
        EwDriver_PushMsgQ_WlanScan(0);
        return;
    }
    HostapdConfInput in{ssid.c_str(),    psk.c_str(),       n->band, n->country,
                        n->channel_mode, n->manual_channel, best24,  best5};
    int wanted = 0;
    const int channel = Hostapd_ConfChannel(in, &wanted);
    if (channel != wanted)
        DBG_ERR("no usable %s channel (%d, %s mode), channel %d instead",
                n->band == 1 ? "5 GHz" : "2.4 GHz", wanted,
                n->channel_mode == 1 ? "manual" : "auto", channel);
    writeConf(Hostapd_ConfLines(in));

    unlink(pidPath().c_str());
    hostapdCtx.daemonStarted = true;
    int rc = Common_Run({"hostapd", "-B", "-P", pidPath(), "hostapd.conf"});
    if (rc != 0) DBG_ERR("hostapd start fail (exit %d)", rc);

    wpa_ctrl* ctrl = rc == 0 ? openCtrl(gen) : nullptr;
    if (ctrl && wpa_ctrl_attach(ctrl) != 0)
        DBG_ERR("wpa_ctrl_attach fail");
    else if (ctrl)
        *enabled = askEnabled(ctrl, said);
    hostapdCtx.ctrl = ctrl;
    if (ctrl) {
        hostapdCtx.channel = g_io_channel_unix_new(wpa_ctrl_get_fd(ctrl));
        hostapdCtx.watch = g_io_create_watch(hostapdCtx.channel, G_IO_IN);
        g_source_set_callback(
            hostapdCtx.watch,
            reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(onCtrlReadable)), nullptr,
            nullptr);
        g_source_attach(hostapdCtx.watch, Threads_GetContext(LOOP_HOSTAPD));
    } else {
        DBG_ERR("ctrl is null");
    }
    EwDriver_PushMsgQ_WlanScan(0);
    if (check_wlan_access() == 0) hostapdCtx.hostapdRunState = 1;
}
} // namespace

void Hostapd_Kill() {
    hostapdCtx.stopGen.fetch_add(1);
    std::lock_guard<std::mutex> g(hostapdCtx.lock);
    if (hostapdCtx.hostapdRunState == 0 && !hostapdCtx.daemonStarted && !hostapdCtx.ctrl &&
        !hostapdCtx.watch)
        return;
    stopLocked();
}

void Hostapd_CutStart() {
    hostapdCtx.stopGen.fetch_add(1);
}

int Hostapd_IsRunning() {
    return int(hostapdCtx.hostapdRunState.load());
}

int Hostapd_RecvCB() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> g(hostapdCtx.lock);
        if (!hostapdCtx.ctrl) {
            DBG_ERR("ctrl is null");
            return 1;
        }
        while (wpa_ctrl_pending(hostapdCtx.ctrl) > 0) {
            char buf[256];
            size_t len = sizeof buf - 1;
            if (wpa_ctrl_recv(hostapdCtx.ctrl, buf, &len) < 0) {
                DBG_ERR("wpa_ctrl_recv fail : %s", strerror(errno));
                break;
            }
            lines.emplace_back(buf, len);
        }
    }
    actOnLines(lines);
    return 1;
}
