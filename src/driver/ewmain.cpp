#include "ewmain.h"

#include "common.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/input.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
struct ConsoleState {
    bool isTty = false;
    bool saved = false;
    struct termios old {};
    ConsoleDecoder decoder;
    bool eof = false;
};
ConsoleState console;

struct TouchShared {
    // One small lock for the whole contact state: a release read by the touch thread while
    // the GUI takes the press must land on the state the GUI left, not on a stale copy.
    std::mutex lock;
    TouchState st;
    std::atomic<bool> quit{false};
    int wakeFd = -1;
};
TouchShared touch;
} // namespace

void Console_Init() {
    console.isTty = isatty(STDIN_FILENO);
    if (console.isTty && tcgetattr(STDIN_FILENO, &console.old) == 0) {
        struct termios t = console.old;
        t.c_lflag &= ~(ICANON | ECHO);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
        console.saved = true;
    }
}

void Console_Restore() {
    if (console.saved) {
        console.old.c_lflag |= ICANON | ECHO;
        tcsetattr(STDIN_FILENO, TCSANOW, &console.old);
        console.saved = false;
    }
}

int Console_Fd() {
    return STDIN_FILENO;
}
bool Console_AtEof() {
    return console.eof;
}

int ConsoleDecoder::feed(int ch) {
    switch (state) {
    case 1:
        if (ch == '[') {
            state = 2;
            return EW_KEY_NONE;
        }
        state = 0;
        // An escape followed by something else: the escape stands alone.
        if (ch == 27) {
            state = 1;
            return EW_KEY_EXIT;
        }
        pending = feed(ch);
        return EW_KEY_EXIT;
    case 2:
        state = 0;
        switch (ch) {
        case 'A':
            return EW_KEY_UP;
        case 'B':
            return EW_KEY_DOWN;
        case 'C':
            return EW_KEY_RIGHT;
        case 'D':
            return EW_KEY_LEFT;
        default:
            return EW_KEY_NONE;
        }
    default:
        switch (ch) {
        case '\n':
            return EW_KEY_OK;
        case 27:
            state = 1;
            return EW_KEY_NONE;
        case 'm':
            return EW_KEY_MENU;
        case 'p':
            return EW_KEY_QUIT;
        default:
            return EW_KEY_NONE;
        }
    }
}

int ConsoleDecoder::flush() {
    if (state == 1) {
        state = 0;
        return EW_KEY_EXIT;
    }
    state = 0;
    return EW_KEY_NONE;
}

int Console_ReadKey() {
    if (int k = console.decoder.take(); k != EW_KEY_NONE) return k;
    if (console.eof) return EW_KEY_NONE;
    // Read what is available one byte at a time; an escape sequence arrives as one burst.
    for (;;) {
        struct pollfd p = {STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP)))
            return console.decoder.flush();
        unsigned char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n <= 0) {
            if (n == 0) console.eof = true; // a closed pipe stays quiet from now on
            return console.decoder.flush();
        }
        int k = console.decoder.feed(c);
        if (k != EW_KEY_NONE) return k;
    }
}

void Touch_ApplyRecord(TouchState& st, const unsigned char* rec, size_t size) {
    // u16 type, u16 code, s32 value (little-endian) after the time stamp.
    const unsigned char* p = rec + size - 8;
    uint16_t type = uint16_t(p[0] | (p[1] << 8));
    uint16_t code = uint16_t(p[2] | (p[3] << 8));
    int32_t value = int32_t(uint32_t(p[4]) | (uint32_t(p[5]) << 8) | (uint32_t(p[6]) << 16) |
                            (uint32_t(p[7]) << 24));
    if (type == 3) { // EV_ABS
        if (code == 53) st.x = value;
        if (code == 54) st.y = value;
    } else if (type == 1 && code == 330) { // EV_KEY, BTN_TOUCH
        if (value != 0 && st.state == 0) {
            st.state = 1;
            st.releasedEarly = false;
        } else if (value == 0 && st.state == 2) {
            st.state = 3;
        } else if (value == 0 && st.state == 1) {
            // Made and broken before the GUI saw it: complete it as press then release.
            st.releasedEarly = true;
        }
    }
}

bool Touch_QueryState(TouchState& st, TouchPoint* out) {
    if (st.state == 0) return false;
    if (out) *out = {st.x, st.y};
    if (st.state == 1)
        st.state = st.releasedEarly ? 3 : 2;
    else if (st.state == 3)
        st.state = 0;
    st.releasedEarly = false;
    return true;
}

namespace {
void touchThread(std::string path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        printf("Error: failed to open touch input device.\n");
        fflush(stdout);
        return;
    }
    // The kernel's records have the size of its struct input_event (24 bytes on a 64-bit
    // board); a simulated node (a FIFO) carries 16-byte records.
    struct stat st;
    const ssize_t size =
        fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) ? ssize_t(sizeof(struct input_event)) : 16;
    unsigned char buf[1024];
    while (!touch.quit) {
        ssize_t n = read(fd, buf, sizeof buf - sizeof buf % size_t(size));
        if (n < 0 && errno == EINTR) continue;
        if (n < size) {
            // Touch is dead from here on: say so for the maintenance log.
            if (!touch.quit)
                printf("Error: touch input ended (%s).\n", n < 0 ? strerror(errno) : "short read");
            fflush(stdout);
            break;
        }
        {
            std::lock_guard<std::mutex> g(touch.lock);
            for (ssize_t off = 0; off + size <= n; off += size)
                Touch_ApplyRecord(touch.st, buf + off, size_t(size));
        }
        uint64_t one = 1;
        if (touch.wakeFd >= 0) (void)!write(touch.wakeFd, &one, sizeof one);
    }
    close(fd);
}
} // namespace

int Touch_Start() {
    if (touch.wakeFd < 0) touch.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    touch.quit = false;
    std::thread(touchThread, Common_SysPath("/dev/input/event0")).detach();
    return 0;
}

void Touch_Stop() {
    touch.quit = true;
}
int Touch_WakeFd() {
    return touch.wakeFd;
}

void Touch_Reset() {
    std::lock_guard<std::mutex> g(touch.lock);
    touch.st = TouchState{};
}

bool Touch_Query(TouchPoint* out) {
    std::lock_guard<std::mutex> g(touch.lock);
    return Touch_QueryState(touch.st, out);
}

bool Fb_FormatFits(uint32_t bitsPerPixel) {
    return bitsPerPixel >= 32 && bitsPerPixel <= 39;
}

std::string Fb_DevicePath() {
    const char* e = getenv("KEST_FBDEV");
    return Common_SysPath(e && *e ? e : "/dev/fb0");
}

int Fb_Open(FbInfo* info) {
    std::string path = Fb_DevicePath();
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        printf("Error: failed to open framebuffer device.\n");
        return -1;
    }
    struct fb_fix_screeninfo fix {};
    struct fb_var_screeninfo var {};
    if (ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0 || ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0) {
        printf("Error: failed to open framebuffer device.\n");
        close(fd);
        return -1;
    }
    var.xoffset = 0;
    var.yoffset = 0;
    ioctl(fd, FBIOPAN_DISPLAY, &var);
    if (!Fb_FormatFits(var.bits_per_pixel)) {
        printf("Error: Color format of Graphics Engine does not fit to framebuffer!");
        fflush(stdout);
        close(fd);
        return -1;
    }
    info->fd = fd;
    info->width = var.xres;
    info->height = var.yres;
    info->bpp = var.bits_per_pixel;
    info->lineLength = fix.line_length;
    info->size = size_t(fix.line_length) * var.yres;
    void* addr = mmap(nullptr, info->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (addr == MAP_FAILED) {
        printf("Error: failed to map framebuffer, %s\n", strerror(errno));
        fflush(stdout);
        close(fd);
        *info = FbInfo{};
        return -1;
    }
    info->addr = addr;
    return 0;
}

void Fb_Close(FbInfo* info) {
    if (info->addr) munmap(info->addr, info->size);
    if (info->fd >= 0) close(info->fd);
    *info = FbInfo{};
}

std::string EwStepLabel(const char* label) {
    char buf[128];
    snprintf(buf, sizeof buf, "%-45s", label);
    return buf;
}

std::string EwSystemInfoText(uintptr_t fbAddr, uint32_t width, uint32_t height) {
    std::string out;
    const std::string dashes(45, '-');
    auto line = [&](const char* label, const std::string& value) {
        out += EwStepLabel(label) + value + "\n";
    };
    char buf[96];
    out += dashes + "\n";
    line("Target system", "Generic");
    line("Color format", "RGBA8888");
    snprintf(buf, sizeof buf, "0x%08lx", (unsigned long)fbAddr);
    line("Framebuffer address", buf);
    snprintf(buf, sizeof buf, "%u x %u", width, height);
    line("Framebuffer size", buf);
    line("Screen size", buf);
    line("Vector graphics support", "enabled");
    line("Bidirectional text support", "enabled");
    line("Toolchain", "g++ " __VERSION__);
    line("Build date and time", __DATE__ ", " __TIME__);
    line("Runtime version", KEST_VERSION);
    line("Graphics engine version", KEST_VERSION);
    line("Max surface cache size", "8388608 bytes");
    line("Glyph cache size", "512 x 512");
    line("Max issue tasks", "100");
    line("Surface rotation", "0");
    out += dashes + "\n";
    return out;
}
