// Device-object family "Modbus access": register reads and writes of the screens, the
// torque values read at connection and the tool's Wi-Fi name and pass phrase.
#include "ApplicationDeviceClass.h"
#include "mbus.h"
#include "tools.h"

namespace {
const int kSsidReg = 287;
const int kPskReg = 303;

QString textFromMirror(int32_t tdx, int first) {
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0) return QString();
    uint16_t regs[16];
    if (Modbus_GetBlock(tdx, first, 16, regs) != 0) return QString();
    char text[33];
    Mbus_DecodeText(regs, text);
    return ApplicationDeviceClass::FromNative(text);
}

// Writes the 16 registers one by one; stops at the first failed write.
int32_t textToTool(int32_t tdx, int first, const QString& text) {
    uint16_t regs[16];
    Mbus_EncodeText(ApplicationDeviceClass::ToNative(text).left(32).constData(), regs);
    int32_t ret = MBUS_OK;
    for (int i = 0; i < 16 && ret == MBUS_OK; ++i)
        ret = Modbus_Write(tdx, first + i, regs[i], 1);
    return ret;
}
} // namespace

int32_t ApplicationDeviceClass::MbusRead(int32_t addr, int32_t count) {
    return Modbus_Read(CurrTdx_, addr, count, 1);
}

int32_t ApplicationDeviceClass::MbusGetData(int32_t addr) {
    return Modbus_GetData(ToolManager_GetCurrTdx(), addr);
}

int32_t ApplicationDeviceClass::MbusWrite(int32_t addr, int32_t value) {
    return Modbus_Write(CurrTdx_, addr, uint16_t(value), 1);
}

int32_t ApplicationDeviceClass::MbusReadTdx(int32_t tdx, int32_t addr, int32_t count) {
    return Modbus_Read(tdx, addr, count, 1);
}

int32_t ApplicationDeviceClass::MbusGetDataTdx(int32_t tdx, int32_t addr) {
    return Modbus_GetData(tdx, addr);
}

QVector<uint16_t> ApplicationDeviceClass::MbusGetBlockTdx(int32_t tdx, int32_t addr,
                                                          int32_t count) {
    QVector<uint16_t> regs(count > 0 ? count : 0);
    if (Modbus_GetBlock(tdx, addr, int(regs.size()), regs.data()) != 0) return {};
    return regs;
}

int32_t ApplicationDeviceClass::MbusWriteTdx(int32_t tdx, int32_t addr, int32_t value) {
    if (tdx < 0) return MBUS_ERR_NOT_CONNECTED;
    return Modbus_Write(tdx, addr, uint16_t(value & 0xffff), 1);
}

int32_t ApplicationDeviceClass::GetTorqueUnit_ByTdx(int32_t tdx) {
    ToolView v;
    return ToolManager_GetToolView(tdx, &v) == 0 ? v.torqueUnit : -1;
}

int32_t ApplicationDeviceClass::RefreshTorqueUnit(int32_t tdx) {
    ToolView v;
    if (ToolManager_GetToolView(tdx, &v) != 0) return MBUS_ERR_TDX;
    // The controller families keep the unit at another address.
    const int reg =
        v.type == 1 || v.type == 4 ? MBUS_REG_TORQUE_UNIT_CTL : MBUS_REG_TORQUE_UNIT_DRV;
    const int rc = Modbus_Read(tdx, reg, 1, 1);
    if (rc != MBUS_OK) return rc;
    return ToolManager_SetTorqueUnit_ByTdx(tdx, Modbus_GetData(tdx, reg));
}

int32_t ApplicationDeviceClass::GetTorqueValue_ByPreset(int32_t tdx, int32_t preset) {
    int addr = preset * 15 + 2;
    if (Modbus_Read(tdx, addr, 1, 1) != MBUS_OK) return 0;
    return Modbus_GetData(tdx, addr);
}

QString ApplicationDeviceClass::GetTdxToolSsid(int32_t tdx) {
    return textFromMirror(tdx, kSsidReg);
}
QString ApplicationDeviceClass::GetTdxToolPsk(int32_t tdx) {
    return textFromMirror(tdx, kPskReg);
}

void ApplicationDeviceClass::SetScreenCode(int32_t code) {
    Modbus_SetScreenCode(code);
}
int32_t ApplicationDeviceClass::GetScreenCode() {
    return Modbus_GetScreenCode();
}

int32_t ApplicationDeviceClass::SetTdxToolSsid(int32_t tdx, const QString& text) {
    return textToTool(tdx, kSsidReg, text);
}

int32_t ApplicationDeviceClass::SetTdxToolPsk(int32_t tdx, const QString& text) {
    return textToTool(tdx, kPskReg, text);
}
