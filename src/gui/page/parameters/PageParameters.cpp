#include "PageParameters.h"

#include "ApplicationDeviceClass.h"
#include "PageParamAdvanced.h"
#include "PageParamBarcode.h"
#include "PageParamController.h"
#include "PageParamFastening.h"
#include "PageParamMultiSeq.h"
#include "PageParamNetwork.h"
#include "page/tools/ToolNotice.h"

PageParameters::PageParameters(QWidget* parent)
    : PageTabs("Parameter", "PageParameters", parent, "Back\nHome") {
    fastening_ = new PageParamFastening;
    advanced_ = new PageParamAdvanced;
    controller_ = new PageParamController;
    AddTab("Fastening", fastening_);
    AddTab("Advanced", advanced_);
    AddTab("Contoller", controller_);
    AddTab("Multi\nSequence", new PageParamMultiSeq);
    AddTab("Network", new PageParamNetwork);
    AddTab("Barcode", new PageParamBarcode);
    // The current tool (or its family) decides whether the tabs may talk to it; the tab
    // shown reads the new tool.
    connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this, [this] {
        if (CurrentTab() >= 0) SetNotice(NoticeForCurrentTool());
    });
}

QString PageParameters::NoticeForCurrentTool() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int tdx = dev->OnGetCurrTdx();
    return ToolNotice::For(tdx, dev->GetToolType_ByTdx(tdx));
}

void PageParameters::Init() {
    SetNotice(NoticeForCurrentTool());
    PageTabs::Init();
}
