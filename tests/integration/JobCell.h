// The zqcapp process in the simulated cell with its tools: the fixture of the job screen's
// end-to-end tests, output levels read through FIFOs in the GPIO tree, log and trace checks.
#pragma once

#include "ChildProcess.h"

#include "CsvRead.h"
#include "FakeTool.h"
#include "TestEnv.h"
#include "ToolCell.h"
#include "Wait.h"
#include "io.h"
#include "job.h"
#include "setting.h"
#include "tools_private.h"
#include <iostream>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace jobcell {
namespace fs = std::filesystem;
using kest_test::WaitUntil;

// Every level the panel writes to an output, in order: the output's value file is a FIFO
// held open here (the panel opens, writes and closes it for each level), so no write is
// lost or merged however late this reader runs.
class OutputWatch {
  public:
    OutputWatch(const std::string& sysroot, const std::vector<int>& outputs) {
        for (int o : outputs) {
            const std::string path =
                sysroot + "/sys/class/gpio/gpio" + std::to_string(gpio_out_no[o - 1]) + "/value";
            unlink(path.c_str());
            if (mkfifo(path.c_str(), 0644) != 0) continue;
            fds_[o] = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~OutputWatch() {
        stop_ = true;
        thread_.join();
        for (auto& [o, fd] : fds_)
            close(fd);
    }
    // The levels written, e.g. "0100".
    std::string levels(int o) {
        std::lock_guard<std::mutex> g(lock_);
        return levels_[o];
    }
    int highs(int o) { return int(std::ranges::count(levels(o), '1')); }

  private:
    void run() {
        while (!stop_) {
            std::vector<pollfd> p;
            std::vector<int> outs;
            for (auto& [o, fd] : fds_) {
                p.push_back({fd, POLLIN, 0});
                outs.push_back(o);
            }
            if (poll(p.data(), p.size(), 50) <= 0) continue;
            for (size_t i = 0; i < p.size(); ++i) {
                char buf[256];
                const ssize_t n = read(p[i].fd, buf, sizeof buf);
                std::lock_guard<std::mutex> g(lock_);
                for (ssize_t k = 0; k < n; ++k)
                    if (buf[k] == '0' || buf[k] == '1') levels_[outs[i]] += buf[k];
            }
        }
    }
    std::map<int, int> fds_;
    std::map<int, std::string> levels_;
    std::mutex lock_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Result records in the day's CSV files of the data home.
inline std::vector<std::vector<std::string>> logRows(const std::string& home) {
    return LogRecords(home + "/files/log");
}
inline int logLines(const std::string& home) {
    return int(logRows(home).size());
}

// Positions of the writes in a toolsim trace, in this order; false when one is missing.
inline bool inOrder(const std::string& trace, const std::vector<std::string>& writes) {
    size_t at = 0;
    for (const std::string& w : writes) {
        at = (" " + trace + " ").find(" " + w + " ", at);
        if (at == std::string::npos) return false;
        at += w.size();
    }
    return true;
}

class JobRunCell : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!cell->up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
    }
    void TearDown() override {
        panel.stop();
        // The panel's own log says which step of the link, discovery or run fell behind.
        if (HasFailure()) std::cerr << "---- panel output\n" << panel.output() << "----\n";
        tools.reset();
        cell.reset();
    }
    void startPanel() {
        SetPanelEnvironment(env.root());
        ASSERT_TRUE(panel.start({ZQCAPP_PATH, "--home", env.home()}));
    }
    // The GPIO tree, toolsim with one tool per type and the panel's registry naming them;
    // the tools' registered names in `names`.
    void startCellTools(const std::vector<int>& types) {
        ASSERT_EQ(
            std::system((std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + env.sysroot())
                            .c_str()),
            0);
        const std::string regtools = env.home() + "/regtools";
        // The panel raises eth0 with its static address and joins the group itself.
        ASSERT_TRUE(cell->handLinkToPanel());
        tools = cell->startTools(types, {"--write-regtools", regtools});
        ASSERT_TRUE(tools && tools->ok());
        ASSERT_TRUE(WaitUntil(
            [&] { return fs::exists(regtools) && fs::file_size(regtools) >= 80 * types.size(); }));
        ASSERT_EQ(ToolManager_LoadRegTools(), 0);
        names.clear();
        for (size_t i = 0; i < types.size(); ++i)
            names.push_back(ToolManager_RegTool(int(i))->name);
    }
    // Loads the settings for a run: operation with a job, `job` started at start-up,
    // restarted automatically or not. The caller changes more and saves.
    static void startupJob(const char* job, uint32_t autoRestart) {
        load_setting();
        SettingOperation* op = get_setting_operation();
        op->operation_mode = 0;
        op->auto_start_job = 1;
        op->auto_job_restart = autoRestart;
        setting_set_str(op->default_job_name, sizeof op->default_job_name, job);
        CellStaticSettings();
    }
    struct Fasten {
        std::string tool;
        uint32_t preset, screws;
        int output = 0; // an output step instead: a 150 ms impulse on this output (1-based)
    };
    // A job of fastening steps appended to the store (a message step where the tool name is
    // empty, an output step where an output is given).
    static void addJob(const char* name, const std::vector<Fasten>& steps) {
        fs::create_directories("files/job");
        load_job();
        ASSERT_EQ(job_new(name), 0);
        const int jdx = job_list_len() - 1;
        ASSERT_EQ(job_load(jdx), 0);
        for (const Fasten& f : steps) {
            const int sdx = job_steps_len();
            const uint32_t type = f.output         ? STEP_OUTPUT
                                  : f.tool.empty() ? STEP_MESSAGE
                                                   : STEP_FASTENING;
            ASSERT_EQ(step_new(type), 0);
            StepRecord* s = job_step(sdx);
            if (type == STEP_FASTENING) {
                job_put_text(s->b + SF_TOOL, JOB_TOOLNAME_SIZE, f.tool.c_str());
                job_put_u32(s->b + SF_PRESET, f.preset);
                job_put_u32(s->b + SF_SCREWS, f.screws);
            }
            if (type != STEP_OUTPUT) continue;
            StepOutput o;
            o.used[f.output - 1] = 1;
            o.mode[f.output - 1] = 0;
            o.width = 150;
            step_put_output(s, o);
        }
        ASSERT_EQ(job_save(jdx), 0);
        job_free();
    }
    std::vector<std::string> names;
    TestEnv env;
    std::unique_ptr<ToolCell> cell = ToolCell::make(ToolCell::Namespaces);
    std::unique_ptr<Toolsim> tools;
    ChildProcess panel;
};

} // namespace jobcell
