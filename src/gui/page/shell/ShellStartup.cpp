#include "ShellStartup.h"

#include "ApplicationDeviceClass.h"
#include "PageHome.h"
#include "ShellServices.h"
#include "Timer.h"
#include "UnitScanEventData.h"
#include "UnitScanning.h"
#include "common.h"

ShellStartup::ShellStartup(PageHome* home) : QObject(home), home_(home) {
    timeout_ = new Timer(this);
    timeout_->SetPeriod(0);
    timeout_->SetBegin(ScanTimeoutMs);
    connect(timeout_, &Timer::trigger, this, &ShellStartup::OnScanTimeout);
    ApplicationDeviceClass* dev = ApplicationDevice();
    connect(&dev->EwInitDoneEvent, &SystemEvent::triggered, this, &ShellStartup::OnInitDone);
    connect(&dev->WlanScanEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        auto* p = qobject_cast<UnitScanEventData*>(ctx);
        if (p) OnWlanScan(p->Scanning);
    });
}

void ShellStartup::OnInitDone() {
    ShellServices* s = ShellServices::Get();
    s->NetInit();
    if (!s->IsWifiConnected()) {
        LowSpaceCheck();
        AutoStartCheck();
        done_ = true;
    }
    // Fill the status bar and the drive list.
    ApplicationDevice()->TriggerUpdateDevs();
    ApplicationDevice()->TriggerDrvsUpdate();
}

void ShellStartup::OnWlanScan(int scanning) {
    if (scanning) {
        if (scanning_.Open()) return;
        scanning_ = Navigator::PresentModal(home_, new UnitScanning, Transition::Fade);
        timeout_->SetEnabled(false);
        timeout_->SetEnabled(true);
        return;
    }
    timeout_->SetEnabled(false);
    if (scanning_.Open()) closeScanning();
    if (!scanEnded_) {
        scanEnded_ = true;
        LowSpaceCheck();
    }
}

void ShellStartup::OnScanTimeout() {
    timeout_->SetEnabled(false);
    if (scanning_.Open()) closeScanning();
    home_->ShowMessage("Error", "Scanning failed.");
}

void ShellStartup::closeScanning() {
    Navigator::DismissModal(scanning_);
    if (!done_) {
        AutoStartCheck();
        done_ = true;
    }
}

void ShellStartup::LowSpaceCheck() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    QString text;
    auto check = [&](const QString& path, const QString& label) {
        bool ok = false;
        int pct = dev->GetStorageUsage(path).UsedPercent.toInt(&ok);
        if (ok && pct > 89) text += label + QString::number(pct) + "%\n";
    };
    check("/media/mmcblk3p2", "Internal storage ");
    if (Common_Exists(Common_SysPath("/dev/mmcblk1p1")))
        check("/media/mmcblk1p1", "micro sd storage ");
    if (!text.isEmpty()) home_->ShowMessage("Warning", "Low disk space !!!\n\n" + text);
}

void ShellStartup::AutoStartCheck() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    if (!dev->OnGetAutoStartJobOnBoot() || dev->OnGetOpmode() != 0) return;
    // The job store answers through the device object (FindJdxByName) once it exists.
    int jdx = ShellServices::Get()->FindJob(dev->GetDefaultJobName());
    if (jdx < 0) return;
    home_->PresentOperation();
    ShellServices::Get()->LoadJob(jdx);
}
