// The parameters screen: the current tool's settings edited in its registers, one tab per
// list ("Fastening", "Advanced", "Contoller", "Multi\nSequence", "Network", "Barcode"),
// and "Back\nHome". With no current tool, or a controller (edited on its own display), a
// notice covers the tabs and no tab is shown, so nothing is read or written.
// Tab buttons are named "PageParametersTab<i>", the home button "PageParametersHome", the
// notice "PageParametersNotice".
#pragma once

#include "PageTabs.h"

class PageParamFastening;
class PageParamAdvanced;
class PageParamController;

class PageParameters : public PageTabs {
    Q_OBJECT
  public:
    explicit PageParameters(QWidget* parent = nullptr);
    // The notice the current tool calls for, empty when the tabs are usable.
    static QString NoticeForCurrentTool();

    PageParamFastening* FasteningTab() const { return fastening_; }
    PageParamAdvanced* AdvancedTab() const { return advanced_; }
    PageParamController* ControllerTab() const { return controller_; }

    void Init() override;

  private:
    PageParamFastening* fastening_;
    PageParamAdvanced* advanced_;
    PageParamController* controller_;
};
