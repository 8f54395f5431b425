// Device-object family "torque curves": trigger requests, the curve watch of a tool and
// the copy of its last curve.
#include "ApplicationDeviceClass.h"
#include "graph.h"

int ApplicationDeviceClass::TriggerEventEnable() {
    return Modbus_WriteRaw_EnableGraphTrigger(OnGetCurrTdx());
}

int ApplicationDeviceClass::GraphEnable(int tdx) {
    return Graph_EnableCB_ByTdx(tdx);
}

int ApplicationDeviceClass::GraphDisable(int tdx) {
    return Graph_DisableCB_ByTdx(tdx);
}

void ApplicationDeviceClass::GraphDisableAll() {
    Graph_DisableCB_All();
}

int ApplicationDeviceClass::OnGetTriggerEventEnableResCnt() {
    return Graph_EnableTrigger_RefCnt.load();
}

void ApplicationDeviceClass::OnSetTriggerEventEnableResCnt(int n) {
    Graph_EnableTrigger_RefCnt.store(n);
}

bool ApplicationDeviceClass::GraphFrameOf(int tdx, GraphFrameCopy* out) {
    return out && Graph_GetFrame(tdx, out) == 0;
}
