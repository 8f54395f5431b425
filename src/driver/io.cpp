#include "io.h"

#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "threads.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glib.h>
#include <string>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

const uint32_t gpio_out_no[IO_PORT_COUNT] = {4,   3,   2,   1,   147, 146, 149, 148,
                                             158, 159, 160, 161, 162, 163, 164, 165};
const uint32_t gpio_in_no[IO_PORT_COUNT] = {106, 104, 102, 111, 107, 105, 103, 101,
                                            205, 204, 203, 9,   8,   7,   6,   5};

namespace {
constexpr long kSysfsMagic = 0x62656572;

struct IoState {
    int valueFd[IO_PORT_COUNT];
    GIOChannel* gIoCh_Input[IO_PORT_COUNT] = {};
    GSource* gSrc_Input[IO_PORT_COUNT] = {};
    std::atomic<uint8_t> in_val[IO_PORT_COUNT] = {};
    std::atomic<uint8_t> out_val[IO_PORT_COUNT] = {};
    // Simulated trees (plain files): value files are watched for rewrites instead.
    bool simulated = false;
    int inotifyFd = -1;
    int inotifyWd[IO_PORT_COUNT];
    GIOChannel* inotifyCh = nullptr;
    GSource* inotifySrc = nullptr;
    IoState() {
        for (int i = 0; i < IO_PORT_COUNT; ++i)
            valueFd[i] = inotifyWd[i] = -1;
    }
};
IoState ioCtx;

const char* const inputFuncNames[IO_INPUT_FUNC_COUNT] = {"",
                                                         "Job select.1",
                                                         "Job select.2",
                                                         "Job select.3",
                                                         "Job select.4",
                                                         "Job select.5",
                                                         "Job select.6",
                                                         "Job select.7",
                                                         "Job select.8",
                                                         "Skip",
                                                         "Back",
                                                         "Reset step",
                                                         "Reset job",
                                                         "Next job",
                                                         "Previous job",
                                                         "Alarm reset"};
const char* const outputFuncNames[IO_OUTPUT_FUNC_COUNT] = {
    "", "Fastening OK", "Fastening NG", "Step OK", "Step NG", "Job OK", "Job NG", "Ready", "Alarm"};

std::string gpioPath(uint32_t gpio, const char* leaf) {
    char rel[64];
    snprintf(rel, sizeof rel, "/sys/class/gpio/gpio%u/%s", gpio, leaf);
    return Common_SysPath(rel);
}

// Writes a short text to a sysfs attribute; -1 (errno kept) when it cannot.
int writeAttr(const std::string& path, const char* text) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return -1;
    size_t len = strlen(text);
    ssize_t n = write(fd, text, len);
    int saved = errno;
    close(fd);
    errno = saved;
    return n == ssize_t(len) ? 0 : -1;
}

void exportLine(uint32_t gpio, const char* direction) {
    char num[16];
    snprintf(num, sizeof num, "%u\n", gpio);
    // Not checked: a line that is already exported simply fails to export again.
    (void)writeAttr(Common_SysPath("/sys/class/gpio/export"), num);
    if (writeAttr(gpioPath(gpio, "direction"), direction) != 0)
        DBG_ERR("gpio%u direction fail, %s", gpio, strerror(errno));
}

// Reads a level from the start of `fd` without moving a shared offset. An empty read is a
// failure, never a level 0: a half-rewritten value must not pass for a released input.
int readLevel(int position, int fd) {
    char buf[16];
    ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) {
        DBG_ERR("input %d read fail, %s", position, n < 0 ? strerror(errno) : "empty");
        return -1;
    }
    buf[n] = '\0';
    int v = atoi(buf);
    ioCtx.in_val[position] = uint8_t(v);
    return v;
}

// The watched descriptor belongs to the GPIO loop: reading it also clears the edge notice.
int readValue(int position) {
    int fd = ioCtx.valueFd[position];
    return fd < 0 ? -1 : readLevel(position, fd);
}

// One edge of one input: let the line settle, read its level and hand it to the GUI.
void inputHandler(int position) {
    usleep(1000);
    int v = readValue(position);
    if (v < 0) return;
    EwDriver_PushMsgQ_RecvInput(position, v);
    DBG_LOG_PLAIN(DEBUG_FLAG_INPUT, "input event, port.%d = %d", position, v);
}

gboolean onPriData(GIOChannel*, GIOCondition, gpointer data) {
    inputHandler(GPOINTER_TO_INT(data));
    return G_SOURCE_CONTINUE;
}

gboolean onInotify(GIOChannel*, GIOCondition, gpointer) {
    alignas(struct inotify_event) char buf[4096];
    ssize_t n = read(ioCtx.inotifyFd, buf, sizeof buf);
    for (ssize_t off = 0; n > 0 && off + ssize_t(sizeof(struct inotify_event)) <= n;) {
        struct inotify_event ev;
        memcpy(&ev, buf + off, sizeof ev);
        for (int i = 0; i < IO_PORT_COUNT; ++i)
            if (ioCtx.inotifyWd[i] == ev.wd) inputHandler(i);
        off += ssize_t(sizeof(struct inotify_event)) + ev.len;
    }
    return G_SOURCE_CONTINUE;
}

GSource* attachWatch(GIOChannel* ch, GIOCondition cond, GIOFunc fn, int position) {
    GSource* src = g_io_create_watch(ch, cond);
    g_source_set_callback(src, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(fn)),
                          GINT_TO_POINTER(position), nullptr);
    GMainContext* ctx = Threads_GetContext(LOOP_GPIO);
    g_source_attach(src, ctx);
    return src;
}

void setupInput(int position) {
    uint32_t gpio = gpio_in_no[position];
    exportLine(gpio, "in\n");
    // Inputs are active low: a line pulled to ground reads 1.
    if (writeAttr(gpioPath(gpio, "active_low"), "1\n") != 0)
        DBG_ERR("gpio%u active_low fail, %s", gpio, strerror(errno));
    set_gpio_edge(gpio, IO_EDGE_BOTH);
    std::string path = gpioPath(gpio, "value");
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        DBG_ERR("%s open fail, %s", path.c_str(), strerror(errno));
        return;
    }
    ioCtx.valueFd[position] = fd;
    readValue(position); // also clears the pending edge notification
    struct statfs fs;
    bool sysfs = fstatfs(fd, &fs) == 0 && long(fs.f_type) == kSysfsMagic;
    if (sysfs) {
        ioCtx.gIoCh_Input[position] = g_io_channel_unix_new(fd);
        ioCtx.gSrc_Input[position] =
            attachWatch(ioCtx.gIoCh_Input[position], G_IO_PRI, onPriData, position);
        return;
    }
    // A plain file stands for the line: its rewrite is the edge.
    ioCtx.simulated = true;
    if (ioCtx.inotifyFd < 0) {
        ioCtx.inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (ioCtx.inotifyFd < 0) {
            DBG_ERR("inotify fail, %s", strerror(errno));
            return;
        }
        ioCtx.inotifyCh = g_io_channel_unix_new(ioCtx.inotifyFd);
        ioCtx.inotifySrc = attachWatch(ioCtx.inotifyCh, G_IO_IN, onInotify, -1);
    }
    ioCtx.inotifyWd[position] = inotify_add_watch(ioCtx.inotifyFd, path.c_str(), IN_CLOSE_WRITE);
    if (ioCtx.inotifyWd[position] < 0) DBG_ERR("%s watch fail, %s", path.c_str(), strerror(errno));
}
} // namespace

const char* Io_InputFuncName(int func) {
    return func >= 0 && func < IO_INPUT_FUNC_COUNT ? inputFuncNames[func] : "";
}

const char* Io_OutputFuncName(int func) {
    return func >= 0 && func < IO_OUTPUT_FUNC_COUNT ? outputFuncNames[func] : "";
}

int Gpio_Init() {
    for (int i = 0; i < IO_PORT_COUNT; ++i) {
        exportLine(gpio_out_no[i], "out\n");
        ioCtx.out_val[i] = 0; // the value file is left at the kernel's level
    }
    for (int i = 0; i < IO_PORT_COUNT; ++i)
        setupInput(i);
    exportLine(GPIO_EXTRA_OUT, "out\n");
    return 0;
}

bool Gpio_IsSimulated() {
    return ioCtx.simulated;
}

int set_gpio_out_val(int position, int level) {
    if (position < 0 || position >= IO_PORT_COUNT) {
        DBG_ERR("invalid output %d", position);
        return -1;
    }
    std::string path = gpioPath(gpio_out_no[position], "value");
    if (writeAttr(path, level ? "1\n" : "0\n") != 0) {
        DBG_ERR("%s write fail, %s", path.c_str(), strerror(errno));
        return -1;
    }
    ioCtx.out_val[position] = level ? 1 : 0;
    DBG_LOG_PLAIN(DEBUG_FLAG_OUTPUT, "output, port.%d = %d", position, level ? 1 : 0);
    return 0;
}

int get_gpio_out_val(int position) {
    if (position < 0 || position >= IO_PORT_COUNT) return 0;
    return ioCtx.out_val[position];
}

int get_gpio_in_val(int position) {
    if (position < 0 || position >= IO_PORT_COUNT) {
        DBG_ERR("invalid input %d", position);
        return -1;
    }
    // A descriptor of its own: a read on the watched one would swallow a pending edge.
    std::string path = gpioPath(gpio_in_no[position], "value");
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        DBG_ERR("%s open fail, %s", path.c_str(), strerror(errno));
        return -1;
    }
    int v = readLevel(position, fd);
    close(fd);
    return v;
}

int set_gpio_edge(uint32_t gpio, int edge) {
    static const char* const edges[] = {"none\n", "rising\n", "falling\n", "both\n"};
    if (edge < 0 || edge > 3) {
        DBG_ERR("invalid edge %d", edge);
        return -1;
    }
    std::string path = gpioPath(gpio, "edge");
    if (writeAttr(path, edges[edge]) != 0) {
        DBG_ERR("%s write fail, %s", path.c_str(), strerror(errno));
        return -1;
    }
    return 0;
}
