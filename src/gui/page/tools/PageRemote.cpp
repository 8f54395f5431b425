#include "PageRemote.h"

#include "PageRemoteOutput.h"
#include "PageRemoteTool.h"

PageRemote::PageRemote(QWidget* parent) : PageTabs("Remote", "PageRemote", parent) {
    tool_ = new PageRemoteTool;
    output_ = new PageRemoteOutput;
    AddTab("Tool", tool_);
    AddTab("Output", output_);
}
