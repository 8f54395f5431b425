// The remote screen: the current tool driven by hand and the outputs switched by hand.
#pragma once

#include "PageTabs.h"

class PageRemoteTool;
class PageRemoteOutput;

class PageRemote : public PageTabs {
    Q_OBJECT
  public:
    explicit PageRemote(QWidget* parent = nullptr);
    PageRemoteTool* ToolTab() const { return tool_; }
    PageRemoteOutput* OutputTab() const { return output_; }

  private:
    PageRemoteTool* tool_;
    PageRemoteOutput* output_;
};
