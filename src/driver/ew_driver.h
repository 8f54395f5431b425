// Driver-to-GUI event queue: worker threads post small typed events; the GUI thread
// drains them once per cycle and hands each to the device object (EwDriverSink).
#pragma once

#include <cstdint>

enum EwEventKind {
    EW_EVENT_UPDATE_DISCOTOOLS = 0,
    EW_EVENT_UPDATE_REGTOOLS = 1,
    EW_EVENT_UPDATE_CURR_TDX = 2,
    EW_EVENT_TRIGGER = 3,
    EW_EVENT_FASTENING = 4,
    EW_EVENT_INPUT = 5,
    EW_EVENT_UPDATE_DRVS = 6,
    EW_EVENT_BARCODE = 7,
    EW_EVENT_DEBUG = 8,
    EW_EVENT_INIT_DONE = 9,
    EW_EVENT_IMG_TOO_LARGE = 10,
    EW_EVENT_WLAN_SCAN = 11,
    EW_EVENT_DISCONN_FLAG = 12,
    EW_EVENT_TTY = 13,
    EW_EVENT_PROCESSING = 14,
    EW_EVENT_BST_HOTPLUG = 15,
    EW_EVENT_BST_EVENT = 16,
    EW_EVENT_BST_COMMFAIL = 17,
    EW_EVENT_UPDATE_DEVS = 18,
    EW_EVENT_LOG_FAIL = 19,
    EW_EVENT_PLANT_COMMAND = 20,
    EW_EVENT_OP_CONNECTED = 21,
    EW_EVENT_PLANT_DROPPED = 22,
    EW_EVENT_MQTT_STATE = 23,
    EW_EVENT_COUNT = 24
};

extern const char* const ew_event_name[EW_EVENT_COUNT];

// The receiving side: implemented by the GUI's device object. Strings are 8-bit
// (Latin-1) and valid only during the call.
class EwDriverSink {
  public:
    virtual ~EwDriverSink() = default;
    virtual void UpdateDiscotools() = 0;
    virtual void UpdateRegtools(int32_t tdx, int32_t state) = 0;
    virtual void UpdateCurrTdx(int32_t tdx) = 0;
    virtual void TriggerGraphEvent(int32_t tdx) = 0;
    virtual void TriggerFastenEvent(int32_t tdx) = 0;
    virtual void TriggerInput(int32_t port, int32_t value) = 0;
    virtual void TriggerDrvsUpdate() = 0;
    virtual void TriggerBcode(const char* text) = 0;
    virtual void TriggerEwDebug(const char* text) = 0;
    virtual void TriggerEwInitDone() = 0;
    virtual void TriggerImgTooLarge(int32_t width, int32_t height) = 0;
    virtual void TriggerWlanScanEvent(int32_t scanning) = 0;
    virtual void TriggerWithJobDisconnFlagSet(int32_t tdx, int32_t flag) = 0;
    virtual void TriggerTTY(int32_t connected) = 0;
    virtual void TriggerProcessing(int32_t done) = 0;
    virtual void TriggerBstHotplug(int32_t present) = 0;
    virtual void TriggerBstEvent(int32_t mask, int32_t preset, int32_t alarm, int32_t opmode) = 0;
    virtual void TriggerBstCommFail(int32_t failed) = 0;
    virtual void TriggerUpdateDevs() = 0;
    // A result line could not be written to the log (it was kept in the spool).
    virtual void TriggerLogFail() {}
    // A plant peer asks the panel to act as the operator would: `mid` 42 lock / 43 unlock the
    // current step's tool, 38 select job number `arg`, 18 preset `arg` for the screen without
    // a job, 50 take `text` as the current barcode. The GUI answers with
    // OpSrv_CommandDone(requestId, error) (0 done, else the code to report).
    virtual void TriggerPlantCommand(int32_t requestId, int32_t mid, int32_t arg,
                                     const char* text) {
        (void)requestId, (void)mid, (void)arg, (void)text;
    }
    // The Open Protocol client's session began (1) or ended (0).
    virtual void TriggerOpConnected(int32_t connected) { (void)connected; }
    // The result store's bound dropped results a plant peer had not received; the text
    // tells the operator how many and whose.
    virtual void TriggerPlantDropped(const char* text) { (void)text; }
    // The MQTT publisher's state changed (Mqtt_State(): 0 off, 1 connecting, 2 connected,
    // 3 refused; Mqtt_StateText() says why).
    virtual void TriggerMqttState(int32_t state) { (void)state; }
};

// Start-up of the driver layer in its fixed order; takes the device object.
int EwDriver_Initialize(EwDriverSink* deviceObject);
// The tool barcode tables live in the registry records, reached by the barcode module.
void EwDriver_WireToolBarcodes();
// The result log takes tool names from the registry and codes from the scanner.
void EwDriver_WireLogSources();
// Waits until the result log writer has written and acknowledged what it was given, then
// detaches the device object.
void EwDriver_Deinitialize();
// Hands the queue to a device object without running the module start-up (tests and
// tools that drive single modules).
void EwDriver_SetDeviceObject(EwDriverSink* deviceObject);
// Called once per GUI cycle on the GUI thread; returns 0.
int EwDriver_ProcessData();
// Number of messages delivered by the last EwDriver_ProcessData (activity accounting).
int EwDriver_LastDelivered();
// An eventfd that becomes readable when a message is queued, so the GUI loop can sleep
// until there is work. Read it (8 bytes) to re-arm; -1 before the queue exists.
int EwDriver_GetWakeFd();
// Creates the queue if needed (done by EwDriver_Initialize; tests may call it alone).
void EwDriver_CreateQueue();
// Optional hook run at each drain, before the queue: USB events are handled first.
using EwDriverUsbPump = void (*)();
void EwDriver_SetUsbPump(EwDriverUsbPump pump);
// Where the registry answers "current tool index" for kind 2 (set by the tool registry).
using EwDriverCurrTdxSource = int32_t (*)();
void EwDriver_SetCurrTdxSource(EwDriverCurrTdxSource source);

// Posting operations; callable from any thread, never block.
void EwDriver_PushMsgQ_UpdateDiscoTools();
void EwDriver_PushMsgQ_UpdateRegTools(int32_t tdx, int32_t state);
void EwDriver_PushMsgQ_UpdateCurrTdx();
void EwDriver_PushMsgQ_RecvGraphData(int32_t tdx);
void EwDriver_PushMsgQ_RecvBackupData(int32_t tdx);
void EwDriver_PushMsgQ_RecvInput(int32_t port, int32_t value);
void EwDriver_PushMsgQ_UpdateDrvs();
void EwDriver_PushMsgQ_RecvBarcode(const char* text); // copies the text
void EwDriver_PushMsgQ_PrintDebug(char* text);        // takes ownership (malloc'd)
void EwDriver_PushMsgQ_InitDone();
void EwDriver_PushMsgQ_NotifyImgTooLarge(int32_t width, int32_t height);
void EwDriver_PushMsgQ_WlanScan(int32_t scanning);
void EwDriver_PushMsgQ_SetDisconnFlag(int32_t tdx, int32_t flag);
void EwDriver_PushMsgQ_TTY(int32_t connected);
void EwDriver_PushMsgQ_Processing(int32_t done);
void EwDriver_PushMsgQ_BstHotplug(int32_t present);
void EwDriver_PushMsgQ_BstEvent(int32_t mask, int32_t preset, int32_t alarm, int32_t opmode);
void EwDriver_PushMsgQ_BstCommFail(int32_t failed);
void EwDriver_PushMsgQ_UpdateDevs();
void EwDriver_PushMsgQ_LogFail();
void EwDriver_PushMsgQ_PlantCommand(int32_t requestId, int32_t mid, int32_t arg,
                                    const char* text); // copies the text (may be null)
void EwDriver_PushMsgQ_OpConnected(int32_t connected);
void EwDriver_PushMsgQ_PlantDropped(const char* text); // copies the text
void EwDriver_PushMsgQ_MqttState(int32_t state);
