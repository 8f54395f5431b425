// Peripheral paths against their raw counterparts, measured in one run:
//  1. input edge to queued "input" event (simulated GPIO tree, inotify watch, 1 ms
//     settling read) against a raw inotify wake-up on the same file;
//  2. barcode table match over 1000 rows against a plain strcmp loop.
// Prints ratios (panel / raw); absolute times are only context.
#include "TestPaths.h"
#include "barcode.h"
#include "common.h"
#include "ew_driver.h"
#include "io.h"
#include "threads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
class CountSink : public EwDriverSink {
  public:
    int inputs = 0;
    void UpdateDiscotools() override {}
    void UpdateRegtools(int32_t, int32_t) override {}
    void UpdateCurrTdx(int32_t) override {}
    void TriggerGraphEvent(int32_t) override {}
    void TriggerFastenEvent(int32_t) override {}
    void TriggerInput(int32_t, int32_t) override { ++inputs; }
    void TriggerDrvsUpdate() override {}
    void TriggerBcode(const char*) override {}
    void TriggerEwDebug(const char*) override {}
    void TriggerEwInitDone() override {}
    void TriggerImgTooLarge(int32_t, int32_t) override {}
    void TriggerWlanScanEvent(int32_t) override {}
    void TriggerWithJobDisconnFlagSet(int32_t, int32_t) override {}
    void TriggerTTY(int32_t) override {}
    void TriggerProcessing(int32_t) override {}
    void TriggerBstHotplug(int32_t) override {}
    void TriggerBstEvent(int32_t, int32_t, int32_t, int32_t) override {}
    void TriggerBstCommFail(int32_t) override {}
    void TriggerUpdateDevs() override {}
};

void writeValue(const std::string& path, int v) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CREAT, 0644);
    char c[2] = {char('0' + v), '\n'};
    if (fd >= 0) {
        (void)!write(fd, c, 2);
        close(fd);
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double usSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}
} // namespace

int main() {
    char tmpl[] = "/tmp/kest-bench-XXXXXX";
    std::string root = mkdtemp(tmpl);
    std::string sys = root + "/sys";
    std::string cmd = std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree init " + sys;
    if (std::system(cmd.c_str()) != 0) return 1;
    Common_SetSysroot(sys.c_str());
    Common_SetHome((root + "/home").c_str());
    CountSink sink;
    EwDriver_SetDeviceObject(&sink);
    Threads_Init();
    Gpio_Init();
    const int rounds = 200;
    std::string value = sys + "/sys/class/gpio/gpio106/value";

    // 1a. panel path: value rewrite -> handler (1 ms settle) -> event delivered.
    std::vector<double> panel;
    for (int i = 0; i < rounds; ++i) {
        int before = sink.inputs;
        auto t0 = Clock::now();
        writeValue(value, i & 1);
        while (sink.inputs == before) {
            struct pollfd p = {EwDriver_GetWakeFd(), POLLIN, 0};
            poll(&p, 1, 100);
            EwDriver_ProcessData();
        }
        panel.push_back(usSince(t0));
    }
    // 1b. raw path: inotify wake-up on a second file, read in place.
    std::string raw = root + "/raw_value";
    writeValue(raw, 0);
    int in = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(in, raw.c_str(), IN_CLOSE_WRITE);
    std::vector<double> rawUs;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        writeValue(raw, i & 1);
        char buf[256];
        (void)!read(in, buf, sizeof buf);
        int fd = open(raw.c_str(), O_RDONLY);
        (void)!read(fd, buf, sizeof buf);
        close(fd);
        rawUs.push_back(usSince(t0));
    }
    double p = median(panel), r = median(rawUs);
    printf("input edge to event (median of %d): panel %.1f us, raw inotify %.1f us, ratio %.1f "
           "(the panel sleeps 1 ms to let the line settle)\n",
           rounds, p, r, p / r);

    // 2. table match, last row wins (worst case).
    BarcodeTable t;
    std::vector<std::string> codes;
    for (int i = 0; i < 1000; ++i) {
        codes.push_back("CODE-" + std::to_string(100000 + i));
        BarcodeTable_Append(&t, BARCODE_KIND_JOB, codes.back().c_str(), 0, 0, 0, "job");
    }
    const char* probe = codes.back().c_str();
    const int n = 20000;
    volatile int sinkRow = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        sinkRow = BarcodeTable_Match(&t, probe);
    double matchUs = usSince(t0);
    t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        int r = -1;
        for (size_t k = 0; k < codes.size(); ++k)
            if (strcmp(codes[k].c_str(), probe) == 0) {
                r = int(k);
                break;
            }
        sinkRow = r;
    }
    double strcmpUs = usSince(t0);
    printf("barcode match, 1000 rows: panel %.2f us, raw strcmp loop %.2f us, ratio %.2f\n",
           matchUs / n, strcmpUs / n, matchUs / strcmpUs);
    (void)sinkRow;
    std::system(("rm -rf " + root).c_str());
    return 0;
}
