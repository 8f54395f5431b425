// Device-object family "job execution and result log": the CSV result log writer.
#include "ApplicationDeviceClass.h"
#include "UnitFastenEventData.h"
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "job.h"
#include "operation.h"
#include "setting.h"
#include "tools.h"

#include <cstring>
#include <string>

namespace {
struct LogTexts {
    std::string job, step, barcode, tool;
};

// The texts of a result line as they are at the call. Names are copied at once: both
// getters hand out static buffers.
LogTexts logTexts(int32_t jdx, int32_t sdx, int32_t tdx, const FastenResult& record,
                  int32_t barcodeSource) {
    LogTexts t;
    if (jdx != -1)
        if (const char* n = get_jobname_jdx(jdx)) t.job = n;
    if (sdx != -1)
        if (const char* n = get_stepname_sdx(sdx)) t.step = n;
    if (barcodeSource == 1)
        t.barcode.assign(record.Barcode, strnlen(record.Barcode, sizeof record.Barcode));
    else
        t.barcode = EventLog_ScannerCode();
    t.tool = EventLog_ToolName(tdx);
    return t;
}

// What the result store keeps beside the line: the positions, and the sending tool's
// frame when the one it last gave is this record's (a stored result sent again may not be).
ResultExtra logExtra(int32_t jdx, int32_t sdx, int32_t tdx, int32_t ackTdx,
                     const FastenResult& record) {
    ResultExtra e;
    e.jobIndex = jdx;
    e.stepIndex = sdx;
    const int32_t sender = ackTdx >= 0 ? ackTdx : tdx;
    e.tdx = sender;
    ToolView view;
    if (ToolManager_GetToolView(sender, &view) == 0) e.unit = int(view.torqueUnit);
    // The step's batch: its screws, and the screw the tool counts this result as.
    if (const StepRecord* s = sdx >= 0 ? job_step(sdx) : nullptr;
        s && step_type(*s) == STEP_FASTENING) {
        StepFasten f;
        step_get_fasten(*s, &f);
        if (f.screws > 0) {
            e.batchSize = int(f.screws);
            e.batchCount = record.ScrewNo;
        }
    }
    uint8_t frame[320]; // a Modbus/TCP frame at most
    const int n = Operation_LastTakenFrame(sender, frame, sizeof frame);
    FastenResult decoded;
    if (n > 0 && Operation_DecodeFrame(frame, n, &decoded) == 0 &&
        SameFastenResult(decoded, record))
        e.frame.assign(frame, frame + n);
    return e;
}
} // namespace

int32_t ApplicationDeviceClass::WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx,
                                              const FastenResult& record, int32_t barcodeSource) {
    LogTexts t = logTexts(jdx, sdx, tdx, record, barcodeSource);
    return EventLog_Write(t.job.c_str(), t.step.c_str(), t.barcode.c_str(), t.tool.c_str(), record);
}

int32_t ApplicationDeviceClass::LogAndAcknowledge(int32_t jdx, int32_t sdx, int32_t tdx,
                                                  const FastenResult& record, int32_t barcodeSource,
                                                  int32_t ackTdx) {
    if (tdx < 0 || tdx > 7 || ackTdx < -1 || ackTdx > 7) {
        DBG_ERR("invalid tdx %d / ack tdx %d", tdx, ackTdx);
        return -1;
    }
    LogTexts t = logTexts(jdx, sdx, tdx, record, barcodeSource);
    struct tm now;
    Common_LocalTime(&now);
    std::string line = EventLog_FormatLine(now, t.job.c_str(), t.step.c_str(), t.barcode.c_str(),
                                           t.tool.c_str(), record);
    return EventLog_Queue(line, ackTdx, logExtra(jdx, sdx, tdx, ackTdx, record));
}

int32_t ApplicationDeviceClass::AcknowledgeResend(int32_t tdx) {
    if (tdx < 0 || tdx > 7) {
        DBG_ERR("invalid tdx %d", tdx);
        return -1;
    }
    return EventLog_Queue(std::string(), tdx);
}

void ApplicationDeviceClass::FlushEventLog() {
    EventLog_Flush();
}

int32_t ApplicationDeviceClass::WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx,
                                              const UnitFastenEventData* data,
                                              int32_t barcodeSource) {
    if (!data) return -1;
    return WriteEventLog(jdx, sdx, tdx, static_cast<const FastenResult&>(*data), barcodeSource);
}

QString ApplicationDeviceClass::CheckLogLocation() {
    // Without the card the folders would be made in the empty mount point, on the internal
    // flash, and hidden as soon as a card is mounted over them.
    if (get_setting_log()->path != 1 || Common_Exists(Common_SysPath("/dev/mmcblk1p1")))
        return QString();
    OnSetLogPath(0);
    SaveSetting();
    return "Micro SD does not exist.\nThe log location has been changed\nto internal "
           "automatically.";
}
