// The monitor screen: the graph, I/O and error tabs. While it is shown every tool runs unlocked
// with auto-lock off, and the screen code 4 leaves tools that connect meanwhile unlocked;
// when it goes every connected tool is locked again with its auto-lock as it was.
#pragma once

#include "PageTabs.h"
#include "page/tools/ToolHandback.h"

class PageMonitorGraph;
class PageMonitorIo;
class PageMonitorError;

class PageMonitor : public PageTabs {
    Q_OBJECT
  public:
    static constexpr int kScreenCode = 4;
    explicit PageMonitor(QWidget* parent = nullptr);
    ~PageMonitor() override;
    void Init() override;
    void Leave() override;
    PageMonitorGraph* GraphTab() const { return graph_; }
    PageMonitorIo* IoTab() const { return io_; }
    PageMonitorError* ErrorTab() const { return error_; }

  private:
    PageMonitorGraph* graph_;
    PageMonitorIo* io_;
    PageMonitorError* error_;
    ToolHandback handback_{ToolHandback::Device()};
    bool shown_ = false; // the screen code is ours
};
