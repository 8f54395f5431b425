#include "ParamTabs.h"

#include "ApplicationDeviceClass.h"

namespace ParamTabs {
QString Notice() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int tdx = dev->OnGetCurrTdx();
    if (tdx < 0) return "Please select a tool.";
    const int type = dev->GetToolType_ByTdx(tdx);
    if (type == 1 || type == 4) return "Please use XWC's local LCD.";
    return {};
}
} // namespace ParamTabs
