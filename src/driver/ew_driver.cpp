#include "ew_driver.h"

#include "backup.h"
#include "barcode.h"
#include "bef.h"
#include "browser.h"
#include "bst.h"
#include "debug.h"
#include "disco.h"
#include "eventlog.h"
#include "io.h"
#include "job.h"
#include "mqttpub.h"
#include "net.h"
#include "operation.h"
#include "opsrv.h"
#include "setting.h"
#include "share.h"
#include "sound.h"
#include "threads.h"
#include "tools_private.h"
#include "usb.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

const char* const ew_event_name[EW_EVENT_COUNT] = {"update_discotools",
                                                   "update_regtools",
                                                   "update_curr_tdx",
                                                   "trigger",
                                                   "fastening",
                                                   "input",
                                                   "update_drvs",
                                                   "barcode",
                                                   "debug",
                                                   "init_done",
                                                   "image too large",
                                                   "wlan scan",
                                                   "disconn flag",
                                                   "tty",
                                                   "processing",
                                                   "bst_hotplug",
                                                   "bst_event",
                                                   "bst_commfail",
                                                   "update_devs",
                                                   "log_fail",
                                                   "plant_command",
                                                   "op_connected",
                                                   "plant_dropped",
                                                   "mqtt_state"};

namespace {
struct EwMsg {
    int32_t kind;
    int32_t w[4];
    char* text; // kinds 7, 8 and 20
};

struct EwDriverState {
    std::mutex lock;
    std::deque<EwMsg*> queue;
    bool created = false;
    int wakeFd = -1;
    EwDriverSink* deviceObject = nullptr;
    EwMsg* ew_event = nullptr;
    EwDriverUsbPump usbPump = nullptr;
    EwDriverCurrTdxSource currTdx = nullptr;
    int lastDelivered = 0;
};
// Never destroyed: worker threads may still post while the process exits, and
// undelivered messages stay reachable in it.
EwDriverState& ewDriver_MsgQ = *new EwDriverState;

void push(int32_t kind, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0,
          char* text = nullptr) {
    auto* m = static_cast<EwMsg*>(malloc(sizeof(EwMsg)));
    if (!m) abort(); // allocation failure ends the process
    m->kind = kind;
    m->w[0] = a;
    m->w[1] = b;
    m->w[2] = c;
    m->w[3] = d;
    m->text = text;
    int fd = -1;
    {
        std::lock_guard<std::mutex> g(ewDriver_MsgQ.lock);
        if (!ewDriver_MsgQ.created) {
            free(m->text);
            free(m);
            return;
        }
        // Only the first message of a batch wakes the GUI: it drains until the queue is
        // empty, so later ones are taken in the same pass.
        if (ewDriver_MsgQ.queue.empty()) fd = ewDriver_MsgQ.wakeFd;
        ewDriver_MsgQ.queue.push_back(m);
    }
    uint64_t one = 1;
    if (fd >= 0) (void)!write(fd, &one, sizeof one);
}

EwMsg* pop() {
    std::lock_guard<std::mutex> g(ewDriver_MsgQ.lock);
    if (ewDriver_MsgQ.queue.empty()) return nullptr;
    EwMsg* m = ewDriver_MsgQ.queue.front();
    ewDriver_MsgQ.queue.pop_front();
    return m;
}

void deliver(EwDriverSink* d, const EwMsg* m) {
    const int32_t* w = m->w;
    switch (m->kind) {
    case EW_EVENT_UPDATE_DISCOTOOLS:
        d->UpdateDiscotools();
        break;
    case EW_EVENT_UPDATE_REGTOOLS:
        d->UpdateRegtools(w[0], w[1]);
        break;
    case EW_EVENT_UPDATE_CURR_TDX:
        d->UpdateCurrTdx(ewDriver_MsgQ.currTdx ? ewDriver_MsgQ.currTdx() : -1);
        break;
    case EW_EVENT_TRIGGER:
        d->TriggerGraphEvent(w[0]);
        break;
    case EW_EVENT_FASTENING:
        d->TriggerFastenEvent(w[0]);
        break;
    case EW_EVENT_INPUT:
        d->TriggerInput(w[0], w[1]);
        break;
    case EW_EVENT_UPDATE_DRVS:
        d->TriggerDrvsUpdate();
        break;
    case EW_EVENT_BARCODE:
        d->TriggerBcode(m->text ? m->text : "");
        break;
    case EW_EVENT_DEBUG:
        d->TriggerEwDebug(m->text ? m->text : "");
        break;
    case EW_EVENT_INIT_DONE:
        d->TriggerEwInitDone();
        break;
    case EW_EVENT_IMG_TOO_LARGE:
        d->TriggerImgTooLarge(w[0], w[1]);
        break;
    case EW_EVENT_WLAN_SCAN:
        d->TriggerWlanScanEvent(w[0]);
        break;
    case EW_EVENT_DISCONN_FLAG:
        d->TriggerWithJobDisconnFlagSet(w[0], w[1]);
        break;
    case EW_EVENT_TTY:
        d->TriggerTTY(w[0]);
        break;
    case EW_EVENT_PROCESSING:
        d->TriggerProcessing(w[0]);
        break;
    case EW_EVENT_BST_HOTPLUG:
        d->TriggerBstHotplug(w[0]);
        break;
    case EW_EVENT_BST_EVENT:
        d->TriggerBstEvent(w[0], w[1], w[2], w[3]);
        break;
    case EW_EVENT_BST_COMMFAIL:
        d->TriggerBstCommFail(w[0]);
        break;
    case EW_EVENT_UPDATE_DEVS:
        d->TriggerUpdateDevs();
        break;
    case EW_EVENT_LOG_FAIL:
        d->TriggerLogFail();
        break;
    case EW_EVENT_PLANT_COMMAND:
        d->TriggerPlantCommand(w[0], w[1], w[2], m->text ? m->text : "");
        break;
    case EW_EVENT_OP_CONNECTED:
        d->TriggerOpConnected(w[0]);
        break;
    case EW_EVENT_PLANT_DROPPED:
        d->TriggerPlantDropped(m->text ? m->text : "");
        break;
    case EW_EVENT_MQTT_STATE:
        d->TriggerMqttState(w[0]);
        break;
    default:
        Debug_WriteLog(1, "unknown ew event type (%d)", m->kind);
        break;
    }
}
} // namespace

void EwDriver_CreateQueue() {
    std::lock_guard<std::mutex> g(ewDriver_MsgQ.lock);
    if (ewDriver_MsgQ.created) return;
    ewDriver_MsgQ.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (ewDriver_MsgQ.wakeFd < 0) // the GUI would only see events when something else wakes it
        DBG_ERR("fail to create the wake eventfd, %s", strerror(errno));
    ewDriver_MsgQ.created = true;
}

int EwDriver_GetWakeFd() {
    std::lock_guard<std::mutex> g(ewDriver_MsgQ.lock);
    return ewDriver_MsgQ.wakeFd;
}

void EwDriver_SetUsbPump(EwDriverUsbPump pump) {
    ewDriver_MsgQ.usbPump = pump;
}
void EwDriver_SetCurrTdxSource(EwDriverCurrTdxSource source) {
    ewDriver_MsgQ.currTdx = source;
}
int EwDriver_LastDelivered() {
    return ewDriver_MsgQ.lastDelivered;
}

// The tool barcode tables live in the registry records: the registry creates, frees
// and (on a rename merge) fills them through the barcode module; the module reaches
// them under the registry lock.
void EwDriver_WireToolBarcodes() {
    static const ToolBarcodeOps toolBarcodeOps = {BarcodeTable_Create, BarcodeTable_Destroy,
                                                  BarcodeTable_AppendPreset};
    static const BarcodeToolAccess barcodeToolAccess = {
        ToolManager_LockRegTools, ToolManager_UnlockRegTools, ToolManager_RegToolsLen_Unlocked,
        ToolManager_BarcodeSlot, ToolManager_GetToolName_ByTdx};
    ToolManager_SetBarcodeOps(&toolBarcodeOps);
    Barcode_SetToolAccess(&barcodeToolAccess);
}

// The result log names the tool and the scanner's code through these.
void EwDriver_WireLogSources() {
    EventLog_SetToolNameSource([](int tdx) {
        std::string name;
        ToolManager_LockRegTools();
        if (const char* n = ToolManager_GetToolName_ByTdx(tdx)) name = n;
        ToolManager_UnlockRegTools();
        return name;
    });
    EventLog_SetScannerCodeSource([] { return Barcode_GetCurrCode(); });
}

int EwDriver_Initialize(EwDriverSink* deviceObject) {
    ewDriver_MsgQ.deviceObject = deviceObject;
    EwDriver_CreateQueue();
    Debug_Init();
    load_setting();
    // Module start-up in its fixed order (each module's call stands at its place).

    load_job();

    ToolManager_LoadRegTools();

    Sound_Init();

    Usb_Init(); // hot-plug handlers run in the GUI cycle, before the queue is drained

    Operation_Init();

    FtpServer_Init();

    Bef_init();
    OpSrv_Init();
    Mqtt_Init();

    Browser_Refresh_Drvs();

    Bst_Start(); // the tray worker: bst_init, then bst_main every 200 ms

    EventLog_StartWriter(); // a spool left by the last run is written first
    ResultStore_Init();     // what the day files got after the store's last commit, first

    // The link and card monitors are opened by their own workers before their loops run,
    // and the network message queue is created on the access point's worker.
    Net_Start();
    Backup_Start(); // backup save and load messages of that queue

    Threads_Init();

    Gpio_Init();

    EwDriver_WireToolBarcodes();
    // Status-7 events set the reader's current code.
    Operation_SetBarcodeHooks(Barcode_SetCurrCode,
                              static_cast<void (*)(char*, size_t)>(Barcode_GetCurrCode));
    Barcode_Init();
    EwDriver_WireLogSources();

    Disco_Init();

    EwDriver_PushMsgQ_InitDone();
    return 0;
}

void EwDriver_SetDeviceObject(EwDriverSink* deviceObject) {
    EwDriver_CreateQueue();
    ewDriver_MsgQ.deviceObject = deviceObject;
}

void EwDriver_Deinitialize() {
    EventLog_Shutdown();    // every queued result reaches the file and its tool before exit
    ResultStore_Shutdown(); // then the rows the log writer handed over
    ewDriver_MsgQ.deviceObject = nullptr;
}

int EwDriver_ProcessData() {
    ewDriver_MsgQ.lastDelivered = 0;
    EwDriverSink* d = ewDriver_MsgQ.deviceObject;
    if (!d) return 0;
    if (ewDriver_MsgQ.usbPump) ewDriver_MsgQ.usbPump();
    int fd = EwDriver_GetWakeFd();
    if (fd >= 0) {
        uint64_t v;
        (void)!read(fd, &v, sizeof v); // re-arm before draining so no post is missed
    }
    while (EwMsg* m = pop()) {
        ewDriver_MsgQ.ew_event = m;
        if (m->kind != EW_EVENT_DEBUG)
            DBG_LOG_PLAIN(
                DEBUG_FLAG_EWEVENT, "ew event : %s",
                ew_event_name[((m->kind % EW_EVENT_COUNT) + EW_EVENT_COUNT) % EW_EVENT_COUNT]);
        deliver(d, m);
        free(m->text);
        free(m);
        ewDriver_MsgQ.ew_event = nullptr;
        ++ewDriver_MsgQ.lastDelivered;
    }
    return 0;
}

void EwDriver_PushMsgQ_UpdateDiscoTools() {
    push(EW_EVENT_UPDATE_DISCOTOOLS);
}
void EwDriver_PushMsgQ_UpdateRegTools(int32_t tdx, int32_t state) {
    push(EW_EVENT_UPDATE_REGTOOLS, tdx, state);
}
void EwDriver_PushMsgQ_UpdateCurrTdx() {
    push(EW_EVENT_UPDATE_CURR_TDX);
}
void EwDriver_PushMsgQ_RecvGraphData(int32_t tdx) {
    push(EW_EVENT_TRIGGER, tdx);
}
void EwDriver_PushMsgQ_RecvBackupData(int32_t tdx) {
    push(EW_EVENT_FASTENING, tdx);
}
void EwDriver_PushMsgQ_RecvInput(int32_t port, int32_t value) {
    push(EW_EVENT_INPUT, port, value);
}
void EwDriver_PushMsgQ_UpdateDrvs() {
    push(EW_EVENT_UPDATE_DRVS);
}
void EwDriver_PushMsgQ_RecvBarcode(const char* text) {
    if (!text || !*text) return;
    char* copy = strdup(text);
    if (!copy) abort();
    push(EW_EVENT_BARCODE, 0, 0, 0, 0, copy);
}
void EwDriver_PushMsgQ_PrintDebug(char* text) {
    if (!text || !*text) return;
    push(EW_EVENT_DEBUG, 0, 0, 0, 0, text);
}
void EwDriver_PushMsgQ_InitDone() {
    push(EW_EVENT_INIT_DONE);
}
void EwDriver_PushMsgQ_NotifyImgTooLarge(int32_t width, int32_t height) {
    push(EW_EVENT_IMG_TOO_LARGE, width, height);
}
void EwDriver_PushMsgQ_WlanScan(int32_t scanning) {
    push(EW_EVENT_WLAN_SCAN, scanning);
}
void EwDriver_PushMsgQ_SetDisconnFlag(int32_t tdx, int32_t flag) {
    push(EW_EVENT_DISCONN_FLAG, tdx, flag & 0xff);
}
void EwDriver_PushMsgQ_TTY(int32_t connected) {
    push(EW_EVENT_TTY, connected);
}
void EwDriver_PushMsgQ_Processing(int32_t done) {
    push(EW_EVENT_PROCESSING, done);
}
void EwDriver_PushMsgQ_BstHotplug(int32_t present) {
    push(EW_EVENT_BST_HOTPLUG, present);
}
void EwDriver_PushMsgQ_BstEvent(int32_t mask, int32_t preset, int32_t alarm, int32_t opmode) {
    push(EW_EVENT_BST_EVENT, mask, preset, alarm, opmode);
}
void EwDriver_PushMsgQ_BstCommFail(int32_t failed) {
    push(EW_EVENT_BST_COMMFAIL, failed);
}
void EwDriver_PushMsgQ_UpdateDevs() {
    push(EW_EVENT_UPDATE_DEVS);
}
void EwDriver_PushMsgQ_LogFail() {
    push(EW_EVENT_LOG_FAIL);
}
void EwDriver_PushMsgQ_PlantCommand(int32_t requestId, int32_t mid, int32_t arg, const char* text) {
    char* copy = nullptr;
    if (text && *text && !(copy = strdup(text))) abort();
    push(EW_EVENT_PLANT_COMMAND, requestId, mid, arg, 0, copy);
}
void EwDriver_PushMsgQ_OpConnected(int32_t connected) {
    push(EW_EVENT_OP_CONNECTED, connected);
}
void EwDriver_PushMsgQ_PlantDropped(const char* text) {
    char* copy = strdup(text ? text : "");
    if (!copy) abort(); // allocation failure ends the process
    push(EW_EVENT_PLANT_DROPPED, 0, 0, 0, 0, copy);
}
void EwDriver_PushMsgQ_MqttState(int32_t state) {
    push(EW_EVENT_MQTT_STATE, state);
}
