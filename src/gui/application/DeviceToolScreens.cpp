// Device-object family "tool screens": what the tool list editor, the pull-down tool panel
// and the remote and monitor screens read in one piece.
#include "ApplicationDeviceClass.h"
#include "UnitToolInfo.h"
#include "tools.h"

#include <cstring>

UnitToolInfo ApplicationDeviceClass::GetTdxToolInfo(int32_t tdx) {
    UnitToolInfo info;
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0) return info;
    info.Valid = true;
    info.Name = FromNative(v.name);
    info.Serial = FromNative(std::string(v.serial, strnlen(v.serial, TOOL_SERIAL_SIZE)).c_str());
    info.Model = ModelText(v.type, v.model);
    info.Mac = QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", v.mac[0], v.mac[1], v.mac[2],
                                 v.mac[3], v.mac[4], v.mac[5]);
    info.Type = v.type;
    info.ModelNo = v.model;
    info.State = int32_t(v.state);
    info.Version = v.version;
    info.Ip = v.ip;
    info.Port = v.port;
    return info;
}
