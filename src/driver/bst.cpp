#include "bst.h"
#include "usb.h"

#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "threads.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <glib.h>
#include <modbus.h>
#include <mutex>
#include <string>

namespace {
struct BstState {
    std::atomic<uint32_t> status{BST_STATUS_NONE};
    std::mutex lock; // every use of the RTU link
    modbus_t* link = nullptr;
    std::atomic<int32_t> preset{-1};
    std::atomic<int32_t> alarm{-1};
    std::atomic<int32_t> opmode{-1};
    std::atomic<int32_t> no_socket{-1};
    std::atomic<BstUsbSearch> usbSearch{bst_usb_search_default};
};
BstState bst_ctx;
std::atomic<uint32_t> read_fail_cnt{0};

#define BST_LOG(fmt, ...) DBG_LOG_PLAIN(DEBUG_FLAG_BST, fmt __VA_OPT__(, ) __VA_ARGS__)

void closeLink() {
    std::lock_guard<std::mutex> g(bst_ctx.lock);
    if (!bst_ctx.link) return;
    modbus_close(bst_ctx.link);
    modbus_free(bst_ctx.link);
    bst_ctx.link = nullptr;
}

// Compares one polled value with the cache; logs and stores a change.
bool update(std::atomic<int32_t>& cached, int32_t value, const char* name) {
    int32_t old = cached.load();
    if (old == value) return false;
    BST_LOG("%s change 0x%x to 0x%x", name, unsigned(old), unsigned(value));
    cached.store(value);
    return true;
}

gboolean onTick(gpointer) {
    return bst_main() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}
} // namespace

void bst_set_usb_search(BstUsbSearch search) {
    bst_ctx.usbSearch.store(search ? search : bst_usb_search_default);
}

int bst_usb_search_default(uint16_t vendor, uint16_t product) {
    return usb_search_vpid(vendor, product);
}

void Bst_Start() {
    Threads_AddSetup(LOOP_BST, [] {
        bst_init();
        GSource* t = g_timeout_source_new(BST_TICK_MS);
        g_source_set_callback(t, onTick, nullptr, nullptr);
        g_source_attach(t, Threads_GetContext(LOOP_BST));
        g_source_unref(t);
    });
}

namespace {
// The tick's own transitions give way to a hot-plug report that came in meanwhile (an
// unplug during a slow open, a replug during the close): the next tick acts on it.
void moveStatus(uint32_t from, uint32_t to) {
    uint32_t expected = from;
    if (!bst_ctx.status.compare_exchange_strong(expected, to))
        BST_LOG("bst status %u kept (not %u)", expected, to);
}
} // namespace

int bst_init() {
    bst_ctx.status = BST_STATUS_NONE;
    closeLink();
    bst_ctx.preset = bst_ctx.alarm = bst_ctx.opmode = bst_ctx.no_socket = -1;
    read_fail_cnt = 0;
    if (bst_ctx.usbSearch.load()(BST_USB_VENDOR, BST_USB_PRODUCT))
        bst_ctx.status = BST_STATUS_ARRIVED;
    return 0;
}

int bst_open() {
    // A new arrival never keeps the link of an earlier one, whatever happens next.
    closeLink();
    int n = 0;
    std::string path;
    for (; n < 10; ++n) {
        char dev[32];
        snprintf(dev, sizeof dev, "/dev/ttyUSB%d", n);
        path = Common_SysPath(dev);
        if (Common_Exists(path)) break;
    }
    if (n == 10) {
        // No serial node: counted as open, with no link to poll.
        BST_LOG("BST dev_no is %d", -1);
        return 0;
    }
    BST_LOG("BST dev_no is %d", n);
    Common_System("chmod a+rw " + Common_ShellQuote(path));
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!ctx) {
        DBG_ERR("%s rtu context fail, %s", path.c_str(), modbus_strerror(errno));
        return 0;
    }
    if (modbus_set_slave(ctx, 1) != 0) {
        DBG_ERR("%s set slave fail, %s", path.c_str(), modbus_strerror(errno));
        modbus_free(ctx);
        return -1;
    }
    if (modbus_connect(ctx) != 0) {
        DBG_ERR("%s connect fail, %s", path.c_str(), modbus_strerror(errno));
        modbus_free(ctx);
        return -1;
    }
    {
        std::lock_guard<std::mutex> g(bst_ctx.lock);
        bst_ctx.link = ctx;
    }
    EwDriver_PushMsgQ_BstHotplug(1);
    return 0;
}

int bst_read(int address) {
    // Called by the tick with the lock held.
    if (!bst_ctx.link) return -1;
    uint16_t v = 0;
    if (modbus_read_input_registers(bst_ctx.link, address, 1, &v) == 1) {
        if (read_fail_cnt >= BST_COMMFAIL_COUNT) {
            read_fail_cnt = 0;
            EwDriver_PushMsgQ_BstCommFail(0);
            BST_LOG("BST comm fail set FALSE");
        }
        return v;
    }
    if (++read_fail_cnt == BST_COMMFAIL_COUNT) {
        EwDriver_PushMsgQ_BstCommFail(1);
        BST_LOG("BST comm fail set TRUE");
    }
    return -1;
}

int bst_write(int address, int value) {
    int rc;
    {
        std::lock_guard<std::mutex> g(bst_ctx.lock);
        if (!bst_ctx.link) return -1;
        rc = modbus_write_register(bst_ctx.link, address, uint16_t(value));
    }
    BST_LOG("bst write %d = %d", address, value);
    return rc;
}

int bst_main() {
    switch (bst_ctx.status.load()) {
    case BST_STATUS_ARRIVED: {
        BST_LOG("bst arrive");
        if (bst_open() < 0) {
            BST_LOG("bst open fail");
            moveStatus(BST_STATUS_ARRIVED, BST_STATUS_NONE);
            break;
        }
        BST_LOG("bst open success");
        read_fail_cnt = 0;
        moveStatus(BST_STATUS_ARRIVED, BST_STATUS_OPEN);
        EwDriver_PushMsgQ_BstHotplug(1);
        break;
    }
    case BST_STATUS_OPEN: {
        uint32_t mask = 0;
        {
            std::lock_guard<std::mutex> g(bst_ctx.lock);
            if (update(bst_ctx.preset, bst_read(BST_REG_PRESET), "preset"))
                mask |= BST_CHANGE_PRESET;
            if (update(bst_ctx.alarm, bst_read(BST_REG_ALARM), "alarm")) mask |= BST_CHANGE_ALARM;
            if (update(bst_ctx.opmode, bst_read(BST_REG_OPMODE), "opmode"))
                mask |= BST_CHANGE_OPMODE;
            update(bst_ctx.no_socket, bst_read(BST_REG_NO_SOCKET), "no_socket");
        }
        if (mask)
            EwDriver_PushMsgQ_BstEvent(int32_t(mask), bst_ctx.preset, bst_ctx.alarm,
                                       bst_ctx.opmode);
        break;
    }
    case BST_STATUS_LEFT: {
        BST_LOG("bst left");
        closeLink();
        read_fail_cnt = 0;
        moveStatus(BST_STATUS_LEFT, BST_STATUS_NONE);
        bst_ctx.preset = bst_ctx.alarm = bst_ctx.opmode = -1;
        EwDriver_PushMsgQ_BstHotplug(0);
        break;
    }
    default:
        break;
    }
    return 1;
}

void bst_arrive_proc() {
    g_usleep(100 * 1000);
    bst_ctx.status = BST_STATUS_ARRIVED;
}

void bst_left_proc() {
    bst_ctx.status = BST_STATUS_LEFT;
}

uint32_t get_bst_status() {
    return bst_ctx.status;
}
void set_bst_status(uint32_t status) {
    bst_ctx.status = status;
}
int32_t get_bst_preset() {
    return bst_ctx.preset;
}
int32_t get_bst_alarm() {
    return bst_ctx.alarm;
}
int32_t get_bst_opmode() {
    return bst_ctx.opmode;
}
int32_t get_bst_no_socket() {
    return bst_ctx.no_socket;
}
void set_bst_alarm(int32_t value) {
    bst_ctx.alarm = value;
}
uint32_t get_bst_read_fail_cnt() {
    return read_fail_cnt;
}
