// What every screen without a job that takes fastening results does to the world for them:
// settings, reading a result, logging it with its acknowledgement and the stored-results
// dialog; the event-output writes are the intake's (IntakePort). The operation screen
// without a job and the editor screens extend it; the device half is ResultsDevice.
#pragma once

#include "ResultIntake.h"
#include "fasten_result.h"

#include <string>

class ResultsPort : public IntakePort {
  public:
    // ---- settings ----
    virtual bool BackupManager() = 0;
    virtual int BarcodeInterface() = 0; // 0 local scanner, 1 the tools' scanners
    // ---- tools ----
    virtual int ToolCount() = 0;        // registered tools
    virtual int ToolState(int tdx) = 0; // connection state, 3 connected
    virtual void WriteRegister(int tdx, int reg, int value) = 0;
    // ---- results ----
    // The tool's next unread result; false when none was waiting.
    virtual bool ReadResult(int tdx, FastenResult* out) = 0;
    // A log on an absent card moves to internal storage: the message to show, or "".
    virtual std::string CheckLogLocation() = 0;
    // Hands the result line (no job, no step) to the log writer, which acknowledges it to
    // the tool once written: 0, or -1 when it was refused. A line that cannot be written
    // is reported later (the screen shows "Logging failed") and still acknowledged.
    virtual int LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) = 0;
    // ---- view ----
    virtual void Message(const std::string& title, const std::string& text) = 0;
    // ---- stored-results dialog ----
    virtual bool StoredOpen() = 0;
    virtual void StoredShow() = 0; // opens it with the pending counts
    virtual void StoredRefresh(int tdx) = 0;
    virtual void StoredProgress(int tdx, int collected) = 0;
    virtual void StoredClose() = 0;
};
