// Device-object family "tool registry": tool tables, names, types and connection
// states for the screens, each from a copy the registry takes under its table's lock.
#include "ApplicationDeviceClass.h"
#include "debug.h"
#include "setting.h"
#include "tools.h"

#include <cstring>

namespace {
// `f` on a copy of the registered tool; `fallback` for a bad index.
template <typename R, typename F> R withRegTool(int32_t tdx, R fallback, F f) {
    ToolView v;
    return ToolManager_GetToolView(tdx, &v) == 0 ? f(v) : fallback;
}
template <typename R, typename F> R withDiscoTool(int32_t index, R fallback, F f) {
    DiscoToolView v;
    return ToolManager_GetDiscoToolView(index, &v) == 0 ? f(v) : fallback;
}
QString serialText(const char* serial) {
    return ApplicationDeviceClass::FromNative(
        std::string(serial, strnlen(serial, TOOL_SERIAL_SIZE)).c_str());
}
} // namespace

QString ApplicationDeviceClass::ToolTypeName(int32_t type) {
    static const char* const names[] = {"", "XWC", "ZQ", "ZQT", "XWTC"};
    return QString::fromLatin1(type >= 1 && type <= 4 ? names[type] : "");
}

QString ApplicationDeviceClass::ModelText(int32_t type, uint32_t model) {
    return ToolTypeName(type) + QString::number(model);
}

int32_t ApplicationDeviceClass::GetRegtoolsLen() {
    return ToolManager_GetRegToolsLen();
}
int32_t ApplicationDeviceClass::GetDiscotoolsLen() {
    return ToolManager_GetDiscoToolsLen();
}

int32_t ApplicationDeviceClass::GetTdxToolState(int32_t tdx) {
    return withRegTool<int32_t>(tdx, -1, [](const ToolView& r) { return int32_t(r.state); });
}

int32_t ApplicationDeviceClass::GetTdxToolConn(int32_t tdx) {
    return GetTdxToolState(tdx) == TOOL_STATE_CONNECTED ? 1 : 0;
}

int32_t ApplicationDeviceClass::GetSelToolConn() {
    int32_t tdx = ToolManager_GetCurrTdx();
    return tdx < 0 ? 0 : GetTdxToolConn(tdx);
}

QString ApplicationDeviceClass::GetTdxToolName(int32_t tdx) {
    return withRegTool<QString>(tdx, QString(),
                                [](const ToolView& r) { return FromNative(r.name); });
}

int32_t ApplicationDeviceClass::SetTdxToolName(int32_t tdx, const QString& name) {
    return ToolManager_SetToolName_ByTdx(tdx, ToNative(name).constData());
}

int32_t ApplicationDeviceClass::FindRegTdxByName(const QString& name) {
    return ToolManager_FindTdx_ByName(ToNative(name).constData());
}

int32_t ApplicationDeviceClass::GetToolType_ByTdx(int32_t tdx) {
    return withRegTool<int32_t>(tdx, 255, [](const ToolView& r) { return int32_t(r.type); });
}

int32_t ApplicationDeviceClass::GetToolType() {
    return GetToolType_ByTdx(ToolManager_GetCurrTdx());
}

void ApplicationDeviceClass::ToolLost(int32_t tdx) {
    ToolManager_DismissTool_ByTdx(tdx, 1);
}

void ApplicationDeviceClass::ToolLostByNetif(int32_t netif) {
    ToolManager_DismissTool_ByNetIf(uint32_t(netif));
}

QString ApplicationDeviceClass::GetTdxToolSerial(int32_t tdx) {
    return withRegTool<QString>(tdx, QString(),
                                [](const ToolView& r) { return serialText(r.serial); });
}

QString ApplicationDeviceClass::GetTdxToolModel(int32_t tdx) {
    return withRegTool<QString>(tdx, QString(),
                                [](const ToolView& r) { return ModelText(r.type, r.model); });
}

QString ApplicationDeviceClass::GetTdxToolMac(int32_t tdx) {
    return withRegTool<QString>(tdx, QString(), [](const ToolView& r) {
        const uint8_t* m = r.mac;
        return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                                 m[5]);
    });
}

QString ApplicationDeviceClass::GetDiscoToolSerial(int32_t index) {
    return withDiscoTool<QString>(index, QString(),
                                  [](const DiscoToolView& r) { return serialText(r.info.serial); });
}

QString ApplicationDeviceClass::GetDiscoToolMac(int32_t index) {
    return withDiscoTool<QString>(index, QString(), [](const DiscoToolView& r) {
        const uint8_t* m = r.info.mac;
        return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                                 m[5]);
    });
}

QString ApplicationDeviceClass::GetDiscoToolModel(int32_t index) {
    return withDiscoTool<QString>(index, QString(), [](const DiscoToolView& r) {
        return ModelText(r.info.type, r.info.model);
    });
}

int32_t ApplicationDeviceClass::RegisterDiscoTool(int32_t index) {
    return ToolManager_MoveTool_DiscoToReg(index);
}

int32_t ApplicationDeviceClass::ReleaseRegTool(int32_t tdx) {
    if (tdx == CurrTdx_) OnSetCurrTdx(-1);
    return ToolManager_MoveTool_RegToDisco(tdx);
}

int32_t ApplicationDeviceClass::SaveRegTools() {
    // After a factory reset the file would bring back the tools it removed.
    if (const char* why = setting_saves_refused()) {
        DBG_ERR("registered tools not saved : %s", why);
        return -1;
    }
    return ToolManager_SaveRegTools();
}
