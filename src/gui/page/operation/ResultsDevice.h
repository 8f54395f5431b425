// The device side of ResultsPort: settings, tool actions and the result log through the
// device object.
#pragma once

#include "ResultsPort.h"

class ResultsDevice : public virtual ResultsPort {
  public:
    bool BackupManager() override;
    int BarcodeInterface() override;
    int ToolCount() override;
    int ToolState(int tdx) override;
    int32_t GetNoPendingEvent(int32_t tdx) override;
    void AckResend(int32_t tdx) override;
    void WriteRegister(int tdx, int reg, int value) override;
    void EnableDataBackup(int tdx, int skipStored) override;
    void DisableDataBackup(int tdx) override;
    bool ReadResult(int tdx, FastenResult* out) override;
    std::string CheckLogLocation() override;
    int LogAndAcknowledge(int tdx, const FastenResult& r, int barcodeSource) override;
};
