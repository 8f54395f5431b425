// The job screen end to end in the simulated cell: the zqcapp process in the panel's
// namespace starts its default job at start-up and runs it on two toolsim tools in the
// tools' namespace; the register traffic, the acknowledgements against the result log
// and the output pulses in the GPIO tree are checked from outside. Root only.
#include "FakeTool.h"
#include "TestEnv.h"
#include "ToolCell.h"
#include "Wait.h"
#include "io.h"
#include "job.h"
#include "setting.h"
#include "tools_private.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;
namespace fs = std::filesystem;

namespace {
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
    int highs(int o) {
        const std::string l = levels(o);
        return int(std::count(l.begin(), l.end(), '1'));
    }

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

// Result lines in the day's CSV files of the data home (the header line not counted).
int logLines(const std::string& home) {
    int lines = 0;
    std::error_code ec;
    for (auto& f : fs::recursive_directory_iterator(home + "/files/log", ec)) {
        if (f.path().extension() != ".csv") continue;
        std::ifstream in(f.path());
        std::string l;
        int n = 0;
        while (std::getline(in, l))
            ++n;
        lines += std::max(0, n - 1);
    }
    return lines;
}

// Positions of the writes in a toolsim trace, in this order; false when one is missing.
bool inOrder(const std::string& trace, const std::vector<std::string>& writes) {
    size_t at = 0;
    for (const std::string& w : writes) {
        at = (" " + trace + " ").find(" " + w + " ", at);
        if (at == std::string::npos) return false;
        at += w.size();
    }
    return true;
}

void putStep(StepRecord* s, const char* tool, uint32_t preset, uint32_t screws) {
    job_put_text(s->b + SF_TOOL, JOB_TOOLNAME_SIZE, tool);
    job_put_u32(s->b + SF_PRESET, preset);
    job_put_u32(s->b + SF_SCREWS, screws);
}

class JobRunCell : public ::testing::Test {
  protected:
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
        tools.reset();
        cell.reset();
    }
    void startPanel() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string xdg = env.root() + "/xdg";
        fs::create_directories(xdg);
        fs::permissions(xdg, fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
        int pout[2], pin[2];
        ASSERT_EQ(pipe(pout), 0);
        ASSERT_EQ(pipe(pin), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, pin[0], 0);
        posix_spawn_file_actions_adddup2(&fa, pout[1], 1);
        posix_spawn_file_actions_adddup2(&fa, pout[1], 2);
        std::string home = env.home();
        std::vector<char*> argv = {const_cast<char*>(ZQCAPP_PATH), const_cast<char*>("--home"),
                                   home.data(), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        close(pin[0]);
        close(pout[1]);
        in_ = pin[1];
        out_ = pout[0];
        // Its output is read (and dropped) so a full pipe never stalls it.
        reader_ = std::thread([fd = out_] {
            char buf[4096];
            while (read(fd, buf, sizeof buf) > 0) {
            }
        });
        reader_.detach();
    }
    TestEnv env;
    std::unique_ptr<ToolCell> cell = ToolCell::make(ToolCell::Namespaces);
    std::unique_ptr<Toolsim> tools;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::thread reader_;
};

TEST_F(JobRunCell, ThreeStepJobOnTwoToolsRunsTwice) {
    if (!cell->up()) GTEST_SKIP() << "needs root for the cell's network namespaces";
    const std::string sys = env.sysroot();
    ASSERT_EQ(
        std::system((std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + sys).c_str()), 0);
    const std::string regtools = env.home() + "/regtools";
    tools = cell->startTools({2, 1}, {"--reply-unicast", "--write-regtools", regtools});
    ASSERT_TRUE(tools && tools->ok());
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(regtools) && fs::file_size(regtools) >= 160; }));
    ASSERT_EQ(ToolManager_LoadRegTools(), 0);
    const std::string a = ToolManager_RegTool(0)->name, b = ToolManager_RegTool(1)->name;

    // Settings: the job starts at start-up; output 1 "Fastening OK", 2 "Job OK".
    load_setting();
    get_setting_operation()->operation_mode = 0;
    get_setting_operation()->auto_start_job = 1;
    get_setting_operation()->auto_job_restart = 1;
    setting_set_str(get_setting_operation()->default_job_name,
                    sizeof get_setting_operation()->default_job_name, "cell");
    get_setting_io()->output[0] = IO_OUT_FASTEN_OK;
    get_setting_io()->output[1] = IO_OUT_JOB_OK;
    ASSERT_EQ(save_setting(), 0);
    // The job: tool A 2 screws preset 1, tool B 1 screw preset 3, an impulse on output 3.
    fs::create_directories("files/job");
    load_job();
    ASSERT_EQ(job_new("cell"), 0);
    ASSERT_EQ(job_load(0), 0);
    for (uint32_t type : {0u, 0u, 2u})
        ASSERT_EQ(step_new(type), 0);
    putStep(job_step(0), a.c_str(), 0, 2);
    putStep(job_step(1), b.c_str(), 2, 1);
    StepOutput o;
    o.used[2] = 1;
    o.mode[2] = 0;
    o.width = 150;
    step_put_output(job_step(2), o);
    ASSERT_EQ(job_save(0), 0);
    job_free();

    OutputWatch outputs(sys, {1, 2, 3});
    startPanel();
    // Step 1 is on tool A once the tools are connected at the panel's first scan.
    ASSERT_TRUE(tools->wait(0, "r4001=0 r4004=1 r262=2 r264=1", 30000));
    ASSERT_TRUE(tools->wait(1, "r4001=1", 10000));

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const int before = logLines(env.home());
        if (run == 1) {
            // The restart enters step 1: all locked, preset, screw count, auto lock, unlock.
            ASSERT_TRUE(tools->wait(0, "r4001=0 r262=2", 20000));
            EXPECT_TRUE(inOrder(tools->trace(0), {"4001=1", "4004=1", "262=2", "264=1", "4001=0"}));
        }
        tools->trace(1);
        for (int screw = 0; screw < 2; ++screw) {
            ASSERT_EQ(tools->cmd("fasten 0 ok"), "ok " + std::to_string(run * 2 + screw + 1));
            ASSERT_TRUE(tools->wait(0, "acked>=" + std::to_string(run * 2 + screw + 1), 20000));
            // The tool saw its acknowledgement: the result's line is in the log already.
            EXPECT_GE(logLines(env.home()), before + screw + 1);
        }
        // Step 2 on tool B: tool A locked, B selected and unlocked, 247 on a controller.
        ASSERT_TRUE(tools->wait(1, "r4001=0 r4004=3 r247=1", 20000));
        EXPECT_TRUE(inOrder(tools->trace(1), {"4001=1", "4004=3", "247=1", "264=1", "4001=0"}));
        EXPECT_EQ(tools->reg(0, 4001), 1);
        tools->trace(0);
        ASSERT_EQ(tools->cmd("fasten 1 ok"), "ok " + std::to_string(run + 1));
        ASSERT_TRUE(tools->wait(1, "acked>=" + std::to_string(run + 1), 20000));
        EXPECT_GE(logLines(env.home()), before + 3);
        // The output step's impulse and the Job OK pulse.
        ASSERT_TRUE(WaitUntil([&] { return outputs.highs(3) == run + 1; }));
        ASSERT_TRUE(WaitUntil([&] { return outputs.highs(2) == run + 1; }));
    }
    EXPECT_EQ(logLines(env.home()), 6);
    // Six "Fastening OK" pulses, each ended by a 0; the last Job OK pulse ends too.
    ASSERT_TRUE(WaitUntil([&] { return outputs.highs(1) == 6 && outputs.levels(1).back() == '0'; }))
        << outputs.levels(1);
    EXPECT_EQ(outputs.levels(1).find("11"), std::string::npos) << outputs.levels(1);
    ASSERT_TRUE(WaitUntil([&] { return outputs.levels(2).back() == '0'; }));
    EXPECT_EQ(outputs.highs(2), 2) << outputs.levels(2);
    EXPECT_EQ(outputs.highs(3), 2) << outputs.levels(3);
    ASSERT_EQ(write(in_, "p", 1), 1);
}
} // namespace
