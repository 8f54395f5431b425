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
    // Taken away without leaving (its host went away): the tools are locked all the same.
    if (shown_) {
        ApplicationDevice()->SetScreenCode(0);
        handback_.Release();
    }
}

void PageMonitor::Init() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    // The code first: a tool connecting during the unlocking stays unlocked too.
    dev->SetScreenCode(kScreenCode);
    shown_ = true;
    handback_.UnlockAll();
    PageTabs::Init();
}

void PageMonitor::Leave() {
    // The code first, so that a tool connecting from now on is locked at its connection,
    // then the tools unlocked so far.
    if (shown_) {
        ApplicationDevice()->SetScreenCode(0);
        handback_.Release();
    }
    shown_ = false;
    PageTabs::Leave();
}
