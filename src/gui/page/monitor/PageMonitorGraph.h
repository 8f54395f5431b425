// The graph tab of the monitor: the torque curve of the current tool's next fastening,
// one chart per channel and the fastening's values. Start arms the tool and re-arms it
// every 5 s; Stop, a change of the current tool and leaving the tab end the capture.
// The rules are MonitorGraph's; this tab is its port.
#pragma once

#include "MonitorGraph.h"
#include "Navigator.h"
#include "PageTabs.h"

class QLabel;
class QPushButton;
class Timer;
class UnitLineChart;

class PageMonitorGraph : public TabPage, private MonitorGraphPort {
    Q_OBJECT
  public:
    explicit PageMonitorGraph(QWidget* parent = nullptr);
    ~PageMonitorGraph() override;
    void Shown() override;
    void Hidden() override;
    MonitorGraph& Graph() { return graph_; }
    UnitLineChart* Chart(int i) const { return charts_[i]; }
    // A frame drawn as if the tool had sent it (the graph event's second half).
    void ShowFrame(const GraphFrame& f);

  private:
    void openSettings();
    void layoutCharts(bool two);
    void showNotice();
    // MonitorGraphPort
    int32_t CurrTdx() override;
    int32_t ToolType(int32_t tdx) override;
    int32_t Write(int32_t addr, int32_t value) override;
    void SetTriggerResCnt(int n) override;
    int32_t WatchOn(int32_t tdx) override;
    void WatchOff(int32_t tdx) override;
    void WatchOffAll() override;
    void Trigger() override;
    void Rearm(bool on) override;
    bool ReadFrame(int32_t tdx, GraphFrame* out) override;
    void ShowRunning(bool running) override;
    void ShowSettings(const GraphSettings& s) override;
    void ShowEmpty() override;
    void Show(const GraphView& v) override;

    MonitorGraph graph_;
    Timer* rearm_;
    QLabel* notice_;
    QWidget* controls_;
    QPushButton* start_;
    QPushButton* settingsButton_;
    QLabel* summary_;
    UnitLineChart* charts_[2];
    QLabel* names_[2];
    QLabel* peaks_[2];
    QWidget* boxes_[2];
    QLabel* values_[MonitorGraph::kValueLines];
    ModalHandle dialog_;
    QMetaObject::Connection live_[2]; // current tool, graph event: while shown
};
