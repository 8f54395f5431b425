#include "ToolCell.h"

#include "CsvRead.h"
#include "common.h"
#include "debug.h"
#include "disco.h"
#include "ethernet.h"
#include "mbus.h"
#include "net.h"
#include "operation.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"
#include "tools_private.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class LoopbackCell : public ToolCell {
  public:
    bool up() override { return true; }
    std::unique_ptr<Toolsim> startTools(const std::vector<int>& types,
                                        const std::vector<std::string>& extra) override {
        auto t = FakeTool::onLoopback(types, extra);
        if (t) port_ = t->port();
        return t;
    }
    std::string toolIp(int i) const override { return FakeTool::loopbackIp(i); }
    std::string spareIp(int i) const override { return FakeTool::spareIp(i); }
    uint16_t port() const override { return port_; }
    int scansReachingTools() const override { return 2; }

  private:
    uint16_t port_ = 0;
};

int sh(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// sim/cell/cell.sh: panel namespace (eth0 10.77.0.1) and tools namespace (10.77.0.11..18,
// spares 10.77.0.31..38) joined by a veth pair.
class NamespaceCell : public ToolCell {
  public:
    ~NamespaceCell() override {
        if (self_ >= 0) setns(self_, CLONE_NEWNET);
        for (int fd : {self_, panel_, tools_})
            if (fd >= 0) close(fd);
        if (!dir_.empty()) {
            sh(script() + " down " + dir_ + " >/dev/null 2>&1");
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }
    bool up() override {
        if (geteuid() != 0) return false;
        char tmpl[] = "/tmp/kest-panel-cell-XXXXXX";
        if (!mkdtemp(tmpl)) return false;
        dir_ = tmpl;
        tag_ = "pc" + std::to_string(getpid());
        if (sh(script() + " up " + dir_ + " --name " + tag_ + " >/dev/null") != 0) return false;
        setenv("KEST_STUB_NETNS_APPLY", "1", 1); // ifconfig and route act in the panel's side
        self_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        panel_ = open(("/var/run/netns/kest-p-" + tag_).c_str(), O_RDONLY | O_CLOEXEC);
        tools_ = open(("/var/run/netns/kest-t-" + tag_).c_str(), O_RDONLY | O_CLOEXEC);
        for (const char* v :
             {"KEST_DISCO_GROUP", "KEST_DISCO_PORT", "KEST_DISCO_DEST_PORT", "KEST_DISCO_ETH_ADDR"})
            unsetenv(v);
        if (wifiLeg && !addWifiLeg()) return false;
        // Without the leg no access point: the Wi-Fi endpoint on loopback.
        if (wifiLeg)
            unsetenv("KEST_DISCO_WLAN_ADDR");
        else
            setenv("KEST_DISCO_WLAN_ADDR", "127.0.0.1", 1);
        return self_ >= 0 && panel_ >= 0 && tools_ >= 0 && setns(panel_, CLONE_NEWNET) == 0;
    }
    std::unique_ptr<Toolsim> startWifiTools(const std::vector<int>& types) override {
        if (!wifiLeg) return nullptr;
        std::vector<std::string> args = {"--bind", wifiToolIp(0), "--ack-wait", kTestAckWaitMs,
                                         "--group-only"};
        for (size_t i = 0; i < types.size(); i++) {
            char id[64];
            snprintf(id, sizeof id, "mac=02:4b:53:00:%02x:%02x,serial=KW%d%02zu", types[i],
                     unsigned(17 + i), types[i], i);
            args.insert(args.end(), {"--tool", std::to_string(types[i]) + ",ip=" +
                                                   wifiToolIp(int(i)) + ",port=5020," + id});
        }
        if (setns(tools_, CLONE_NEWNET) != 0) return nullptr;
        auto t = std::make_unique<ToolsimProcess>(args);
        setns(panel_, CLONE_NEWNET);
        return t->ok() ? std::move(t) : nullptr;
    }
    std::unique_ptr<Toolsim> startTools(const std::vector<int>& types,
                                        const std::vector<std::string>& extra) override {
        // As real tools: discovery through the group only (unless a case asks for unicast
        // answers).
        std::vector<std::string> args = {"--bind", toolIp(0), "--ack-wait", kTestAckWaitMs};
        if (std::find(extra.begin(), extra.end(), "--reply-unicast") == extra.end())
            args.push_back("--group-only");
        for (size_t i = 0; i < types.size(); i++)
            args.insert(args.end(), {"--tool", std::to_string(types[i]) + ",ip=" + toolIp(int(i)) +
                                                   ",port=5020"});
        args.insert(args.end(), extra.begin(), extra.end());
        if (setns(tools_, CLONE_NEWNET) != 0) return nullptr;
        auto t = std::make_unique<ToolsimProcess>(args);
        setns(panel_, CLONE_NEWNET);
        return t->ok() ? std::move(t) : nullptr;
    }
    std::string toolIp(int i) const override { return "10.77.0." + std::to_string(11 + i); }
    std::string spareIp(int i) const override { return "10.77.0." + std::to_string(31 + i); }
    uint16_t port() const override { return 5020; }
    int scansReachingTools() const override { return 1; }
    bool handLinkToPanel() override {
        return sh("ip link set eth0 down && ip addr flush dev eth0") == 0;
    }
    void driverStarted() override {
        if (!autoLink) return;
        CellStaticSettings();
        EXPECT_TRUE(handLinkToPanel());
        Net_Init();
        EXPECT_TRUE(kest_test::WaitUntil([] { return discoGroupMembers().count("eth0") == 1; }))
            << "the link monitor joins the group on eth0";
    }
    int onToolsSide(const std::string& cmd) override {
        return sh("ip netns exec kest-t-" + tag_ + " sh -c " + Common_ShellQuote(cmd));
    }
    std::unique_ptr<ChildProcess> startOnToolsSide(const std::vector<std::string>& argv) override {
        if (setns(tools_, CLONE_NEWNET) != 0) return nullptr;
        auto c = std::make_unique<ChildProcess>();
        const bool ok = c->start(argv);
        setns(panel_, CLONE_NEWNET);
        return ok ? std::move(c) : nullptr;
    }

  private:
    // The second veth pair: its ends go with the namespaces at the cell's end.
    bool addWifiLeg() {
        const std::string p = "ip -n kest-p-" + tag_ + " ", t = "ip -n kest-t-" + tag_ + " ";
        std::string cmd = "ip link add kw" + tag_ + " type veth peer name kv" + tag_ +
                          " && ip link set kw" + tag_ + " netns kest-p-" + tag_ +
                          " && ip link set kv" + tag_ + " netns kest-t-" + tag_ + " && " + p +
                          "link set kw" + tag_ + " name wlan0 && " + t + "link set kv" + tag_ +
                          " name wifi0 && " + p + "addr add 192.168.131.1/24 dev wlan0";
        for (int i = 0; i < 8; ++i)
            cmd += " && " + t + "addr add " + wifiToolIp(i) + "/24 dev wifi0";
        return sh(cmd + " && " + p + "link set wlan0 up && " + t + "link set wifi0 up") == 0;
    }
    static std::string script() { return std::string(KEST_SOURCE_DIR) + "/sim/cell/cell.sh"; }
    std::string dir_, tag_;
    int self_ = -1, panel_ = -1, tools_ = -1;
};

} // namespace

std::unique_ptr<ToolCell> ToolCell::make(Kind kind) {
    if (kind == Namespaces) return std::make_unique<NamespaceCell>();
    return std::make_unique<LoopbackCell>();
}

std::string cellName(const ::testing::TestParamInfo<ToolCell::Kind>& info) {
    return info.param == ToolCell::Loopback ? "Loopback" : "Namespaces";
}

std::set<std::string> discoGroupMembers() {
    std::set<std::string> out;
    std::string dev;
    for (const auto& l : FileLines("/proc/thread-self/net/igmp")) {
        if (!l.empty() && l[0] != '\t' && l.find(':') != std::string::npos) {
            std::istringstream in(l);
            std::string idx;
            in >> idx >> dev;
        } else if (l.find("2B4D42EF") !=
                   std::string::npos) { // 239.66.77.43 as the kernel prints it
            out.insert(dev);
        }
    }
    return out;
}

void quiesceLoops() {
    // Every loop, not only ours: a loop still starting up reads the thread table, which
    // the process destroys at exit.
    for (int loop = 0; loop < LOOP_COUNT; ++loop)
        Threads_RunSync(loop, [] {});
}

void ToolCellTest::SetUp() {
    if (!cell->up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
}

void ToolCellTest::TearDown() {
    if (driver_) {
        Threads_RunSync(LOOP_NETLINK, [] { dhcpd_kill(); }); // a client started in the cell
        ToolManager_DismissTool_All();
        Disco_Deinit();
        quiesceLoops();
        EwDriver_Deinitialize();
    }
    tools.reset();
    cell.reset();
}

ToolCellTest::Result ToolCellTest::startTools(const std::vector<int>& types,
                                              const std::vector<std::string>& extra) {
    tools = cell->startTools(types, extra);
    toolCount_ = int(types.size());
    if (!tools || !tools->ok()) return ::testing::AssertionFailure() << "toolsim did not come up";
    return ::testing::AssertionSuccess();
}

ToolCellTest::Result ToolCellTest::startDriver() {
    if (!tools) return ::testing::AssertionFailure() << "tools first: they set where scans go";
    const std::string sys = env.sysroot();
    if (sh(std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + sys) != 0)
        return ::testing::AssertionFailure() << "gpio-tree failed";
    TestEnv::writeFile(sys + "/sys/class/backlight/pwm-backlight/brightness", "100\n");
    sink.recordDebug = false;
    if (EwDriver_Initialize(&sink) != 0) return ::testing::AssertionFailure() << "driver start";
    driver_ = true;
    Debug_GetFlag()[DEBUG_FLAG_DISCO] = 1; // the "scan ack" notes tell when answers are in
    cell->driverStarted();
    sink.drain();
    sink.clear();
    return ::testing::AssertionSuccess();
}

ToolCellTest::Result ToolCellTest::registerAll() {
    if (Result r = scan(); !r) return r;
    if (ToolManager_GetDiscoToolsLen() != toolCount_)
        return ::testing::AssertionFailure()
               << ToolManager_GetDiscoToolsLen() << " of " << toolCount_ << " tools discovered";
    for (int i = 0; i < toolCount_; i++)
        if (ToolManager_MoveTool_DiscoToReg(0) != 0)
            return ::testing::AssertionFailure() << "registering tool " << i;
    for (int i = 0; i < toolCount_; i++)
        if (!sink.waitFor("update_regtools " + str(i) + " 3"))
            return ::testing::AssertionFailure() << "tool " << i << " not connected";
    sink.clear();
    return ::testing::AssertionSuccess();
}

ToolCellTest::Result ToolCellTest::bringUp(const std::vector<int>& types) {
    if (Result r = startTools(types); !r) return r;
    if (Result r = startDriver(); !r) return r;
    return registerAll();
}

ToolCellTest::Result ToolCellTest::bringUpUnlocked(const std::vector<int>& types) {
    if (Result r = bringUp(types); !r) return r;
    for (int t = 0; t < toolCount_; t++)
        if (Modbus_Write(t, MBUS_REG_TOOL_LOCK, 0, 1) != MBUS_OK)
            return ::testing::AssertionFailure() << "unlocking tool " << t;
    return ::testing::AssertionSuccess();
}

bool ToolCellTest::nextResult(int tdx, FastenResult* r) {
    return sink.next("fastening " + str(tdx)) && Operation_TakeEvent(tdx, r) == 0 &&
           Modbus_Write(tdx, MBUS_REG_EVENT_ACK, 1, 1) == MBUS_OK;
}

int ToolCellTest::unreadEventBytes(int tdx) {
    RegToolsLock g;
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    int n = 0, fd = rec && rec->evConn ? ToolConn_Fd(rec->evConn) : -1;
    return fd >= 0 && ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

ToolCellTest::Result ToolCellTest::scan(int keepAlive) {
    Disco_Send_ScanReq(keepAlive);
    // toolsim counts the requests it answered and each tool's answers; the panel handles
    // the answers in order on one socket, each with a note naming the tool's address.
    scansSent_ += cell->scansReachingTools();
    if (!tools->wait(0, "requests>=" + std::to_string(scansSent_)))
        return ::testing::AssertionFailure() << "the tools did not get the scan";
    for (int i = 0; i < toolCount_; i++)
        if (!log.waitFor("scan ack " + cell->toolIp(i), size_t(tools->stat(i, "scans"))))
            return ::testing::AssertionFailure() << "answers of tool " << i << " not handled";
    // The note comes first: let the discovery loops finish what they are at.
    Threads_RunSync(LOOP_DISCO_ETH, [] {});
    Threads_RunSync(LOOP_DISCO_WLAN, [] {});
    return ::testing::AssertionSuccess();
}

uint32_t ToolCellTest::state(int tdx) {
    ToolView v;
    return ToolManager_GetToolView(tdx, &v) == 0 ? v.state : 99;
}

bool ToolCellTest::waitState(int tdx, uint32_t want, int ms) {
    return sink.waitUntil([&] { return state(tdx) == want; }, ms);
}

std::string ToolCellTest::macOf(int tdx) {
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0) return "";
    return std::string(reinterpret_cast<const char*>(v.mac), 6);
}

std::string ToolCellTest::mac(int type, int index) {
    const char m[6] = {0x02, 0x4b, 0x53, 0x00, char(type), char(index + 1)};
    return std::string(m, 6);
}

void WriteDhcpClient(const std::string& dir) {
    TestEnv::writeFile(dir + "/dhcpcd",
                       "#!/bin/sh\n"
                       "printf 'dhcpcd %s\\n' \"$*\" >>\"$KEST_STUB_LOG\"\n"
                       "exec unshare -m sh -c 'mount --make-rprivate / && "
                       "mount -t tmpfs none /run && mount -t tmpfs none /var/lib && "
                       "mkdir -p /run/dhcpcd /var/lib/dhcpcd && touch /run/resolv.conf && "
                       "mount --bind /run/resolv.conf /etc/resolv.conf && "
                       "exec /usr/sbin/dhcpcd -4 --noarp -f /dev/null -c /bin/true \"$@\"' "
                       "dhcpcd \"$@\"\n");
    chmod((dir + "/dhcpcd").c_str(), 0755);
}

std::vector<std::string> DhcpServerArgs(const std::string& dir) {
    return {"/usr/sbin/dnsmasq",
            "--keep-in-foreground",
            "--conf-file=/dev/null",
            "--port=0",
            "--interface=tools0",
            "--bind-interfaces",
            "--user=root",
            "--group=", // no group change: a user namespace (the arm64 run) refuses setgroups
            "--pid-file=" + dir + "/pid",
            "--dhcp-range=10.77.0.100,10.77.0.150,255.255.255.0,1h",
            "--dhcp-leasefile=" + dir + "/leases",
            "--log-facility=-",
            "--log-dhcp"};
}

bool DhcpPeersInstalled() {
    return access("/usr/sbin/dnsmasq", X_OK) == 0 && access("/usr/sbin/dhcpcd", X_OK) == 0;
}

void CellStaticSettings() {
    // On the link monitor's loop when it runs: its reads come before or after, never during.
    auto set = [] {
        SettingNetwork* n = get_setting_network();
        n->dhcp = 0;
        n->ip = 0x0A4D0001; // 10.77.0.1/24
        n->netmask = 0xFFFFFF00;
        n->gateway = 0;
    };
    if (Threads_GetContext(LOOP_NETLINK))
        Threads_RunSync(LOOP_NETLINK, set);
    else
        set();
}
