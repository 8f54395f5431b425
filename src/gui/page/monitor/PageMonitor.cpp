#include "PageMonitor.h"

#include "ApplicationDeviceClass.h"
#include "PageMonitorError.h"
#include "PageMonitorGraph.h"
#include "PageMonitorIo.h"

PageMonitor::PageMonitor(QWidget* parent) : PageTabs("Monitor", "PageMonitor", parent) {
    graph_ = new PageMonitorGraph;
    io_ = new PageMonitorIo;
    error_ = new PageMonitorError;
    AddTab("Graph", graph_);
    AddTab("I/O", io_);
    AddTab("Error", error_);
}

PageMonitor::~PageMonitor() {
    // Taken away without leaving (its host went away): tools connecting later are locked.
    if (shown_) ApplicationDevice()->SetScreenCode(0);
}

void PageMonitor::Init() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    // The code first: a tool connecting during the unlocking stays unlocked too.
    dev->SetScreenCode(kScreenCode);
    shown_ = true;
    dev->UnlockAllTools();
    PageTabs::Init();
}

void PageMonitor::Leave() {
    if (shown_) ApplicationDevice()->SetScreenCode(0);
    shown_ = false;
    PageTabs::Leave();
}
