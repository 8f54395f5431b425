#include "ParamDevice.h"

#include "ApplicationDeviceClass.h"

int ParamDevice::Read(int addr, int count) {
    return ApplicationDevice()->MbusRead(addr, count);
}
QVector<uint16_t> ParamDevice::Block(int addr, int count) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    return dev->MbusGetBlockTdx(dev->OnGetCurrTdx(), addr, count);
}
int ParamDevice::Write(int addr, int value) {
    return ApplicationDevice()->MbusWrite(addr, value);
}
void ParamDevice::TorqueUnitWritten() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->RefreshTorqueUnit(dev->OnGetCurrTdx());
}
void ParamDevice::ToolLost() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->ToolLost(dev->OnGetCurrTdx());
}
