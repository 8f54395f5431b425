#include "panel_cell.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <unistd.h>

namespace harness {

static int sh(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

static std::string script() {
    return std::string(KEST_SOURCE_DIR) + "/sim/cell/cell.sh";
}

bool PanelCell::up() {
    if (geteuid() != 0) return false;
    char tmpl[] = "/tmp/kest-panel-cell-XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    dir_ = tmpl;
    tag_ = "pc" + std::to_string(getpid());
    if (sh(script() + " up " + dir_ + " --name " + tag_ + " >/dev/null") != 0) return false;
    self_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    panel_ = open(("/var/run/netns/kest-p-" + tag_).c_str(), O_RDONLY | O_CLOEXEC);
    tools_ = open(("/var/run/netns/kest-t-" + tag_).c_str(), O_RDONLY | O_CLOEXEC);
    return self_ >= 0 && panel_ >= 0 && tools_ >= 0 && setns(panel_, CLONE_NEWNET) == 0;
}

void PanelCell::down() {
    if (self_ >= 0) {
        setns(self_, CLONE_NEWNET);
        close(self_);
        self_ = -1;
    }
    for (int* fd : {&panel_, &tools_})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    if (!dir_.empty()) {
        sh(script() + " down " + dir_ + " >/dev/null 2>&1");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        dir_.clear();
    }
}

std::unique_ptr<Toolsim> PanelCell::startToolsim(const std::vector<std::string>& args) {
    if (tools_ < 0 || setns(tools_, CLONE_NEWNET) != 0) return nullptr;
    auto sim = std::make_unique<Toolsim>(args);
    setns(panel_, CLONE_NEWNET);
    return sim;
}

} // namespace harness
