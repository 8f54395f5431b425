// Barcode module: the scanner reader on the barcode worker, the current barcode, and the
// table operations by table index (8 = job table, 0..7 = the tools' tables).
#include "barcode.h"

#include "common.h"
#include "debug.h"
#include "ew_driver.h"
#include "threads.h"
#include "tools_private.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <glib.h>
#include <linux/input.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kDevice = "/dev/input/event1";
constexpr const char* kJobFile = "./files/barcode.kest";

struct BarcodeState {
    int fd = -1;
    size_t eventSize = BARCODE_EVENT_SIZE;
    GIOChannel* channel = nullptr;
    GSource* watch = nullptr;
    std::mutex codeLock; // the current barcode: reader, fastening reader, GUI
    BarcodeKeyState key{};
    std::mutex jobLock;
    BarcodeTable bcds; // the job table
    std::atomic<const BarcodeToolAccess*> tools{nullptr};
};
BarcodeState barcodeCtx;
std::atomic<BarcodeCodeHook> codeHook{nullptr};

void closeDev() {
    if (barcodeCtx.watch) {
        g_source_destroy(barcodeCtx.watch);
        g_source_unref(barcodeCtx.watch);
        barcodeCtx.watch = nullptr;
    }
    if (barcodeCtx.channel) {
        g_io_channel_unref(barcodeCtx.channel);
        barcodeCtx.channel = nullptr;
    }
    if (barcodeCtx.fd >= 0) close(barcodeCtx.fd);
    barcodeCtx.fd = -1;
}

gboolean onKey(GIOChannel*, GIOCondition cond, gpointer) {
    uint8_t ev[64];
    ssize_t n = read(barcodeCtx.fd, ev, barcodeCtx.eventSize);
    if (n < ssize_t(barcodeCtx.eventSize)) {
        if ((cond & (G_IO_HUP | G_IO_ERR)) && n <= 0) {
            // The scanner went away; a later refresh reopens it.
            DBG_ERR("%s closed", kDevice);
            g_source_unref(barcodeCtx.watch);
            barcodeCtx.watch = nullptr;
            g_io_channel_unref(barcodeCtx.channel);
            barcodeCtx.channel = nullptr;
            close(barcodeCtx.fd);
            barcodeCtx.fd = -1;
            return G_SOURCE_REMOVE;
        }
        return G_SOURCE_CONTINUE;
    }
    uint16_t type, code;
    int32_t value;
    BarcodeKey_ParseEvent(ev, size_t(n), barcodeCtx.eventSize, &type, &code, &value);
    char text[BARCODE_MAX + 1];
    {
        std::lock_guard<std::mutex> g(barcodeCtx.codeLock);
        if (BarcodeKey_Feed(&barcodeCtx.key, type, code, value) != 1) return G_SOURCE_CONTINUE;
        memcpy(text, barcodeCtx.key.buf, sizeof text);
    }
    DBG_LOG_PLAIN(DEBUG_FLAG_BARCODE, "barcode : %s", text);
    EwDriver_PushMsgQ_RecvBarcode(text);
    if (BarcodeCodeHook hook = codeHook.load()) hook(text);
    return G_SOURCE_CONTINUE;
}

void openDev(const std::string& path) {
    int fd;
    do {
        // Non-blocking so that a simulated node (a FIFO) opens without a writer.
        fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        DBG_ERR("%s open fail, %s", path.c_str(), strerror(errno));
        return;
    }
    struct stat st;
    bool chr = fstat(fd, &st) == 0 && S_ISCHR(st.st_mode);
    barcodeCtx.eventSize = chr ? sizeof(struct input_event) : BARCODE_EVENT_SIZE;
    barcodeCtx.fd = fd;
    barcodeCtx.channel = g_io_channel_unix_new(fd);
    barcodeCtx.watch =
        g_io_create_watch(barcodeCtx.channel, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(barcodeCtx.watch,
                          reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(onKey)),
                          nullptr, nullptr);
    g_source_attach(barcodeCtx.watch, Threads_GetContext(LOOP_BARCODE));
}

// The tool tables in the registry records, under the registered-table lock.
const char* registryName(int tdx) {
    RegToolRecord* rec = ToolManager_RegTool(tdx);
    return rec ? rec->name : nullptr;
}
const BarcodeToolAccess registryAccess = {ToolManager_LockRegTools, ToolManager_UnlockRegTools,
                                          ToolManager_RegToolsLen_Unlocked, ToolManager_BarcodeSlot,
                                          registryName};
// What the registry uses to create, free and fill a tool's table.
const ToolBarcodeOps registryOps = {BarcodeTable_Create, BarcodeTable_Destroy,
                                    BarcodeTable_AppendPreset};

// Runs `fn` on the table of that index with its lock held; -1 for a bad index, logged
// unless the caller treats a missing tool as normal (`quiet`).
int withTable(int table, const std::function<int(BarcodeTable*, int kind, int tdx)>& fn,
              bool quiet = false) {
    if (table == BARCODE_JOB_TABLE) {
        std::lock_guard<std::mutex> g(barcodeCtx.jobLock);
        return fn(&barcodeCtx.bcds, BARCODE_KIND_JOB, -1);
    }
    const BarcodeToolAccess* a = barcodeCtx.tools.load();
    if (table < 0 || table >= BARCODE_TOOL_TABLES || !a) {
        if (!quiet) DBG_ERR("invalid barcode table %d", table);
        return -1;
    }
    a->lock();
    int rc = -1;
    BarcodeTable** slot = table < a->count() ? a->slot(table) : nullptr;
    if (slot) {
        if (!*slot) *slot = BarcodeTable_Create();
        rc = fn(*slot, BARCODE_KIND_TOOL, table);
    } else if (!quiet) {
        DBG_ERR("invalid barcode table %d", table);
    }
    a->unlock();
    return rc;
}
} // namespace

void Barcode_SetToolAccess(const BarcodeToolAccess* access) {
    barcodeCtx.tools.store(access);
}

int Barcode_Init() {
    // The registry's records hold the tool tables unless another access was installed.
    ToolManager_SetBarcodeOps(&registryOps);
    const BarcodeToolAccess* none = nullptr;
    barcodeCtx.tools.compare_exchange_strong(none, &registryAccess);
    {
        std::lock_guard<std::mutex> g(barcodeCtx.codeLock);
        BarcodeKey_Reset(&barcodeCtx.key);
    }
    Barcode_Load();
    Barcode_RefreshDev();
    return 0;
}

int Barcode_Load() {
    if (Common_Exists("barcode")) Common_System("mv barcode ./files/barcode.kest");
    {
        std::lock_guard<std::mutex> g(barcodeCtx.jobLock);
        barcodeCtx.bcds.rows.clear();
        std::string text;
        if (Common_Exists(kJobFile)) {
            if (Common_ReadFile(kJobFile, text) == 0)
                BarcodeTable_Parse(&barcodeCtx.bcds, text.data(), text.size(), BARCODE_KIND_JOB);
            else // the empty table's next save must not replace it
                Common_MoveAsideUnreadable(kJobFile);
        }
    }
    const BarcodeToolAccess* a = barcodeCtx.tools.load();
    if (!a) return 0;
    a->lock();
    for (int tdx = 0; tdx < a->count() && tdx < BARCODE_TOOL_TABLES; ++tdx) {
        BarcodeTable** slot = a->slot(tdx);
        const char* name = a->name(tdx);
        if (!slot || !name) continue;
        if (!*slot) *slot = BarcodeTable_Create();
        BarcodeTable_LoadTool(*slot, name);
    }
    a->unlock();
    return 0;
}

int Barcode_RefreshDev() {
    // Open and close on the barcode worker, which owns the watch.
    Threads_RunSync(LOOP_BARCODE, [] {
        closeDev();
        std::string path = Common_SysPath(kDevice);
        if (Common_Exists(path)) openDev(path);
    });
    return 0;
}

bool Barcode_IsOpen() {
    return barcodeCtx.fd >= 0;
}

bool Barcode_DevicePresent() {
    return Common_Exists(Common_SysPath(kDevice));
}

void Barcode_GetCurrCode(char* out, size_t size) {
    if (!out || !size) return;
    std::lock_guard<std::mutex> g(barcodeCtx.codeLock);
    {
        size_t n = strnlen(barcodeCtx.key.buf, sizeof barcodeCtx.key.buf);
        if (n >= size) n = size - 1;
        memcpy(out, barcodeCtx.key.buf, n);
        out[n] = '\0';
    }
}

std::string Barcode_GetCurrCode() {
    char buf[BARCODE_MAX + 1];
    Barcode_GetCurrCode(buf, sizeof buf);
    return buf;
}

void Barcode_SetCurrCode(const char* text) {
    if (!text || strnlen(text, BARCODE_MAX + 1) > BARCODE_MAX) return;
    {
        std::lock_guard<std::mutex> g(barcodeCtx.codeLock);
        memset(barcodeCtx.key.buf, 0, sizeof barcodeCtx.key.buf);
        memcpy(barcodeCtx.key.buf, text, strlen(text));
    }
    if (BarcodeCodeHook hook = codeHook.load(); hook && *text) hook(text);
}

void Barcode_SetCodeHook(BarcodeCodeHook hook) {
    codeHook.store(hook);
}

int Barcode_Len(int table) {
    // Lists ask for every tool slot: an unregistered one is simply empty.
    int n = withTable(
        table, [](BarcodeTable* t, int, int) { return int(t->rows.size()); }, true);
    return n < 0 ? 0 : n;
}

int Barcode_GetEntry(int table, int row, BarcodeEntry* out) {
    return withTable(table, [&](BarcodeTable* t, int, int) {
        if (!out || row < 0 || size_t(row) >= t->rows.size()) return -1;
        *out = t->rows[size_t(row)];
        return 0;
    });
}

int Barcode_Append(int table, const char* code, int32_t partial, int32_t start, int32_t end,
                   const void* target) {
    return withTable(table, [&](BarcodeTable* t, int kind, int) {
        return BarcodeTable_Append(t, kind, code, partial, start, end, target);
    });
}

int Barcode_Edit(int table, int row, const char* code, int32_t partial, int32_t start, int32_t end,
                 const void* target) {
    return withTable(table, [&](BarcodeTable* t, int kind, int) {
        return BarcodeTable_Edit(t, kind, row, code, partial, start, end, target);
    });
}

#define BARCODE_ROW_OP(Name, Fn)                                                                   \
    int Name(int table, int row) {                                                                 \
        return withTable(table, [&](BarcodeTable* t, int, int) { return Fn(t, row); });            \
    }
BARCODE_ROW_OP(Barcode_Delete, BarcodeTable_Delete)
BARCODE_ROW_OP(Barcode_MoveUp, BarcodeTable_MoveUp)
BARCODE_ROW_OP(Barcode_MoveDown, BarcodeTable_MoveDown)
BARCODE_ROW_OP(Barcode_MoveTop, BarcodeTable_MoveTop)
BARCODE_ROW_OP(Barcode_MoveBottom, BarcodeTable_MoveBottom)
#undef BARCODE_ROW_OP

int Barcode_Delete_Selected(int table) {
    return withTable(table,
                     [](BarcodeTable* t, int, int) { return BarcodeTable_DeleteSelected(t); });
}

int Barcode_SetSelected(int table, int row, int selected) {
    return withTable(table, [&](BarcodeTable* t, int, int) {
        if (row == -1) {
            for (auto& e : t->rows)
                e.selected = selected ? 1 : 0;
            return 0;
        }
        if (row < 0 || size_t(row) >= t->rows.size()) return -1;
        t->rows[size_t(row)].selected = selected ? 1 : 0;
        return 0;
    });
}

int Barcode_Save(int table) {
    const BarcodeToolAccess* a = barcodeCtx.tools.load();
    return withTable(table, [&](BarcodeTable* t, int kind, int tdx) {
        if (kind == BARCODE_KIND_TOOL) return BarcodeTable_SaveTool(t, a->name(tdx));
        std::string text = BarcodeTable_Format(t, kind);
        if (Common_WriteFileAtomic(kJobFile, text.data(), text.size()) != 0) {
            DBG_ERR("%s write fail", kJobFile);
            return -1;
        }
        return 0;
    });
}

std::string Barcode_FindJob(const char* code) {
    std::string job;
    withTable(BARCODE_JOB_TABLE, [&](BarcodeTable* t, int, int) {
        int row = BarcodeTable_Match(t, code);
        if (row >= 0) job = t->rows[size_t(row)].target;
        return 0;
    });
    return job;
}

int32_t Barcode_FindPreset(int tdx, const char* code) {
    int32_t preset = -1;
    if (tdx < 0 || tdx >= BARCODE_TOOL_TABLES) return -1;
    withTable(tdx, [&](BarcodeTable* t, int, int) {
        int row = BarcodeTable_Match(t, code);
        if (row >= 0) preset = BarcodeEntry_Preset(&t->rows[size_t(row)]);
        return 0;
    });
    return preset;
}
