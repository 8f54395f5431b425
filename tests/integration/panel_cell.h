// The simulated cell for tests and benchmarks that run the panel's driver layer: the
// cell script's two namespaces, toolsim started on the tools' side, and the calling
// thread (with every thread it creates afterwards) on the panel's side.
#pragma once

#include "toolsim_harness.h"

#include <memory>
#include <string>
#include <vector>

namespace harness {

class PanelCell {
  public:
    PanelCell() = default;
    ~PanelCell() { down(); }
    PanelCell(const PanelCell&) = delete;
    PanelCell& operator=(const PanelCell&) = delete;

    // Brings the cell up (root only) and moves the calling thread to the panel's side.
    // Start the driver layer only afterwards so its worker threads live there too.
    bool up();
    // Back to the original namespace, cell removed.
    void down();
    // toolsim on the tools' side; the calling thread stays on the panel's side.
    std::unique_ptr<Toolsim> startToolsim(const std::vector<std::string>& args);

    // The cell's recording stubs (reboot, ifconfig, amixer...) to put first on PATH.
    std::string stubDir() const { return dir_ + "/stubs"; }

    static constexpr uint32_t kPanelIp = 0x0A4D0001; // 10.77.0.1
    // Tool address i (0..7): 10.77.0.11 + i; spare addresses 10.77.0.31 + i.
    static std::string toolIp(int i) { return "10.77.0." + std::to_string(11 + i); }
    static std::string spareIp(int i) { return "10.77.0." + std::to_string(31 + i); }
    static uint32_t toolIpHost(int i) { return 0x0A4D000Bu + static_cast<uint32_t>(i); }

  private:
    std::string dir_, tag_;
    int self_ = -1, panel_ = -1, tools_ = -1;
};

} // namespace harness
