// Default shell services. A method that still answers "nothing" does so because its
// module has not joined the device object yet; each carries the one line to wire
// (marked WIRE) when it does.
#include "ShellServices.h"

#include "ApplicationDeviceClass.h"
#include "common.h"
#include "disco.h"

#include <memory>

namespace {
std::unique_ptr<ShellServices>& current() {
    static std::unique_ptr<ShellServices> s;
    return s;
}
} // namespace

ShellServices* ShellServices::Get() {
    if (!current()) Set(nullptr);
    return current().get();
}

void ShellServices::Set(ShellServices* services) {
    current().reset(services ? services : new ShellServices());
    UiSound_SetSink([](UiSoundKind k) { ShellServices::Get()->Sound(k); });
}

int ShellServices::RegtoolsLen() {
    return ApplicationDevice()->GetRegtoolsLen();
}

int ShellServices::ToolState(int tdx) {
    return ApplicationDevice()->GetTdxToolState(tdx);
}

int ShellServices::ToolType(int tdx) {
    return ApplicationDevice()->GetToolType_ByTdx(tdx);
}

QString ShellServices::ToolName(int tdx) {
    return ApplicationDevice()->GetTdxToolName(tdx);
}

void ShellServices::Sound(UiSoundKind kind) {
    switch (kind) {
    case UiSoundKind::Tap:
        ApplicationDevice()->SoundTap();
        break;
    case UiSoundKind::Ok:
        ApplicationDevice()->SoundOk();
        break;
    case UiSoundKind::Ng:
        ApplicationDevice()->SoundNg();
        break;
    }
}

void ShellServices::DiscoScan() {
    Disco_Send_ScanReq(1);
}

void ShellServices::NetInit() {
    // WIRE(network): ApplicationDevice()->NetInit();
}

bool ShellServices::IsWifiConnected() {
    // WIRE(USB hot-plug): return ApplicationDevice()->IsWifiConnected();
    return false;
}

int ShellServices::RefreshDrvs() {
    // WIRE(storage browser): return ApplicationDevice()->RefreshDrvs();
    return 0;
}

QStringList ShellServices::Drives() {
    // WIRE(storage browser): names from ApplicationDevice()->GetDrvsLen() / GetDrvDev(i).
    return {};
}

void ShellServices::BarcodeRefreshDev() {
    ApplicationDevice()->BarcodeRefreshDev();
}

bool ShellServices::BarcodeScannerPresent() {
    return Common_Exists(Common_SysPath("/dev/input/event1"));
}

bool ShellServices::IsBstConnect() {
    return ApplicationDevice()->IsBstConnect();
}

int ShellServices::FindJob(const QString& name) {
    return ApplicationDevice()->FindJdxByName(name);
}

void ShellServices::LoadJob(int jdx) {
    // The job is loaded into the store; the operation screen, once it exists, runs it.
    ApplicationDevice()->JobLoad(jdx);
}
