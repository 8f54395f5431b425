#include "ShellStartup.h"

#include "ApplicationDeviceClass.h"
#include "PageHome.h"
#include "Timer.h"
#include "UnitScanEventData.h"
#include "UnitScanning.h"
#include "page/Screens.h"
#include "page/operation/PageOperationWithJob.h"

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
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->NetInit();
    run(checks_.InitDone(dev->IsWifiConnected()));
    // Fill the status bar and the drive list.
    dev->TriggerUpdateDevs();
    dev->TriggerDrvsUpdate();
}

void ShellStartup::OnWlanScan(int scanning) {
    run(scanning ? checks_.ScanStarted() : checks_.ScanEnded());
}

void ShellStartup::OnScanTimeout() {
    run(checks_.TimedOut());
}

void ShellStartup::run(const StartupChecks::Steps& steps) {
    for (StartupChecks::Step step : steps) {
        switch (step) {
        case StartupChecks::LowSpaceCheck:
            LowSpaceCheck();
            break;
        case StartupChecks::AutoStartCheck:
            AutoStartCheck();
            break;
        case StartupChecks::ShowScanning:
            scanning_ = Navigator::PresentModal(home_, new UnitScanning, Transition::Fade);
            timeout_->SetEnabled(false);
            timeout_->SetEnabled(true);
            break;
        case StartupChecks::CloseScanning:
            Navigator::DismissModal(scanning_);
            break;
        case StartupChecks::StopTimeout:
            timeout_->SetEnabled(false);
            break;
        case StartupChecks::ScanFailed:
            home_->ShowMessage("Error", "Scanning failed.");
            break;
        }
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
    if (dev->IsMicroSdPresent()) check("/media/mmcblk1p1", "micro sd storage ");
    if (!text.isEmpty()) home_->ShowMessage("Warning", "Low disk space !!!\n\n" + text);
}

void ShellStartup::AutoStartCheck() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    if (!dev->OnGetAutoStartJobOnBoot() || dev->OnGetOpmode() != 0) return;
    int jdx = dev->FindJdxByName(dev->GetDefaultJobName());
    if (jdx < 0) return;
    // The job screen (opened if it is not) runs the job from its first step.
    if (auto* page =
            qobject_cast<PageOperationWithJob*>(Screens::Open(ScreenId::OperationWithJob, home_)))
        page->Run().JobLoad(jdx);
}
