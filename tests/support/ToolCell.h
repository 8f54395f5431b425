// Where the tool-link tests run the panel's driver layer against virtual tools: over
// loopback with FakeTool in this process (always), or across the simulated cell's network
// namespaces with the toolsim program (root only). Tests reach both the same way.
#pragma once

#include "ChildProcess.h"
#include "FakeTool.h"
#include "RecordingSink.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct FastenResult;

class ToolCell {
  public:
    enum Kind { Loopback, Namespaces };
    static std::unique_ptr<ToolCell> make(Kind kind);
    virtual ~ToolCell() = default;
    // Prepares the cell; false when it cannot exist here (the test skips). The namespace
    // cell moves the calling thread to the panel's side: start the driver afterwards so
    // its worker threads live there too.
    virtual bool up() = 0;
    // toolsim serving one tool per entry of `types` (tool i at toolIp(i), port()) with
    // further toolsim options; null when it did not come up.
    virtual std::unique_ptr<Toolsim> startTools(const std::vector<int>& types,
                                                const std::vector<std::string>& extra) = 0;
    // Namespace cell, set before up(): a Wi-Fi leg as well, the panel's wlan0 with the
    // access point's address 192.168.131.1/24 joined by a second veth pair to the tools'
    // side (wifi0, 192.168.131.11 to .18), where the panel's Wi-Fi discovery socket binds
    // as on the board. Without it the Wi-Fi endpoint stays on loopback.
    bool wifiLeg = false;
    // toolsim on the Wi-Fi leg, discovery through the group only, tool i at wifiToolIp(i)
    // with a MAC and serial of its own (mac(type, 16 + i)); null without the leg.
    virtual std::unique_ptr<Toolsim> startWifiTools(const std::vector<int>&) { return nullptr; }
    static std::string wifiToolIp(int i) { return "192.168.131." + std::to_string(11 + i); }
    virtual std::string toolIp(int i) const = 0;
    virtual std::string spareIp(int i) const = 0;
    virtual uint16_t port() const = 0;
    // Scan requests reaching the tools per Disco_Send_ScanReq: on loopback both endpoints'
    // scans arrive; in the namespace cell the Wi-Fi endpoint's (from 127.0.0.1) stay home.
    virtual int scansReachingTools() const = 0;
    // After EwDriver_Initialize. In the namespace cell, with `autoLink`, the panel brings
    // eth0 up as on the board (static 10.77.0.1/24: the link monitor applies it and joins
    // the group) and this waits for the membership.
    virtual void driverStarted() {}
    bool autoLink = true;
    // Namespace cell: the panel's eth0 down and without address, for a panel to raise with
    // its own link handling (a zqcapp process with CellStaticSettings, or the link tests).
    virtual bool handLinkToPanel() { return false; }
    // The tools' side (namespace cell only): a shell command there (its exit status, -1
    // without namespaces) and a program there.
    virtual int onToolsSide(const std::string&) { return -1; }
    virtual std::unique_ptr<ChildProcess> startOnToolsSide(const std::vector<std::string>&) {
        return nullptr;
    }
};

// Interfaces of the calling thread's network namespace that are members of the discovery
// group, as the kernel's membership table (/proc/.../net/igmp) lists them.
std::set<std::string> discoGroupMembers();

// Runs a no-op on every worker loop: what they did before is finished and visible.
void quiesceLoops();

// Fixture of the tool-link tests: a cell, its tools, the driver layer with a sink.
class ToolCellTest : public ::testing::Test {
  protected:
    explicit ToolCellTest(ToolCell::Kind kind = ToolCell::Loopback) : cell(ToolCell::make(kind)) {}
    void SetUp() override;
    void TearDown() override;

    using Result = ::testing::AssertionResult;
    // Tools of these types (1 XWC, 2 ZQ, 3 ZQT, 4 XWTC); tool i has MAC mac(type, i).
    Result startTools(const std::vector<int>& types, const std::vector<std::string>& extra = {});
    // The driver layer as at start-up (the board's files in the sysroot), discovery
    // notes on, the Ethernet endpoint joined. After startTools: they set where scans go.
    Result startDriver();
    // Scans, registers every tool in the tools' order, waits until all are connected.
    Result registerAll();
    // All three.
    Result bringUp(const std::vector<int>& types);
    // bringUp, and every tool unlocked (as the working screens do).
    Result bringUpUnlocked(const std::vector<int>& types);
    // Waits for the next "fastening" of tool `tdx`, takes its record and acknowledges it
    // as the screens do.
    bool nextResult(int tdx, FastenResult* r);
    // Bytes waiting unread in the panel's end of the tool's event connection, -1 without one.
    static int unreadEventBytes(int tdx);
    // Disco_Send_ScanReq(keepAlive) as the scan timer sends it; true once the tools have
    // answered it and the panel has handled every answer (a "scan ack" note per answer).
    Result scan(int keepAlive = 0);
    Result tick() { return scan(1); }
    // State of registered tool tdx, 99 for none.
    uint32_t state(int tdx);
    bool waitState(int tdx, uint32_t want, int ms = 6000);
    std::string macOf(int tdx);
    static std::string mac(int type, int index);
    static std::string str(int v) { return std::to_string(v); }

    TestEnv env;
    LogCapture log;
    RecordingSink sink;
    std::unique_ptr<ToolCell> cell;
    std::unique_ptr<Toolsim> tools;

  private:
    bool driver_ = false;
    int toolCount_ = 0;
    long scansSent_ = 0;
};

// Value-parametrised tool-link suites run once per cell: "Cell/Suite.Test/Loopback".
class ToolLinkTest : public ToolCellTest, public ::testing::WithParamInterface<ToolCell::Kind> {
  protected:
    ToolLinkTest() : ToolCellTest(GetParam()) {}
};
std::string cellName(const ::testing::TestParamInfo<ToolCell::Kind>& info);
#define TOOL_CELLS(suite)                                                                          \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Cell, suite, ::testing::Values(ToolCell::Loopback, ToolCell::Namespaces), cellName)

// DHCP in the namespace cell: a "dhcpcd" in `dir` that records its line as the stubs do
// and runs the real client in a mount namespace of its own (its lease, pid and resolver
// files land on scratch file systems), and the arguments of a real dnsmasq serving
// 10.77.0.100..150 on the tools' side (leases in `dir`; it logs "DHCP, IP range" when up).
void WriteDhcpClient(const std::string& dir);
std::vector<std::string> DhcpServerArgs(const std::string& dir);
bool DhcpPeersInstalled();
// The panel's static address in the cell (10.77.0.1/24, no gateway) in the settings record.
void CellStaticSettings();
