// Device-object family "job execution and result log": the CSV result log writer.
#include "ApplicationDeviceClass.h"
#include "UnitFastenEventData.h"
#include "common.h"
#include "eventlog.h"
#include "job.h"
#include "setting.h"

#include <cstring>
#include <string>

int32_t ApplicationDeviceClass::WriteEventLog(int32_t jdx, int32_t sdx, int32_t tdx,
                                              const FastenResult& record, int32_t barcodeSource) {
    // Names are copied at once: both getters hand out static buffers.
    std::string job, step;
    if (jdx != -1)
        if (const char* n = get_jobname_jdx(jdx)) job = n;
    if (sdx != -1)
        if (const char* n = get_stepname_sdx(sdx)) step = n;
    std::string barcode;
    if (barcodeSource == 1)
        barcode.assign(record.Barcode, strnlen(record.Barcode, sizeof record.Barcode));
    else
        barcode = EventLog_ScannerCode();
    std::string tool = EventLog_ToolName(tdx);
    return EventLog_Write(job.c_str(), step.c_str(), barcode.c_str(), tool.c_str(), record);
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
