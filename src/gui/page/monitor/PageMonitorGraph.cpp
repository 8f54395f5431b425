#include "PageMonitorGraph.h"

#include "ApplicationDeviceClass.h"
#include "PageMonitorGraphSetting.h"
#include "Timer.h"
#include "UiSound.h"
#include "UnitLineChart.h"
#include "data/UnitTdxData.h"
#include "graph.h"
#include "page/tools/ToolNotice.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QColor kLines[2] = {QColor(0x2f, 0x8f, 0xe8), QColor(0xf2, 0xa7, 0x1b)};
} // namespace

PageMonitorGraph::PageMonitorGraph(QWidget* parent) : TabPage(parent), graph_(*this) {
    setObjectName("PageMonitorGraph");
    rearm_ = new Timer(this);
    rearm_->SetPeriod(MonitorGraph::kRearmMs);
    rearm_->SetBegin(MonitorGraph::kRearmMs);
    connect(rearm_, &Timer::trigger, this, [this] { graph_.OnRearm(); });

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 8, 12, 8);
    notice_ = ToolNotice::Label(this, "graphNotice");
    notice_->hide();
    outer->addWidget(notice_, 1);
    controls_ = new QWidget(this);
    outer->addWidget(controls_, 1);
    auto* v = new QVBoxLayout(controls_);
    v->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    summary_ = new QLabel(this);
    summary_->setObjectName("graphSummary");
    summary_->setStyleSheet("font-size: 17px;");
    bar->addWidget(summary_, 1);
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(150);
        bar->addWidget(b);
        return b;
    };
    settingsButton_ = button("Settings", "graphSettings");
    QPushButton* clear = button("Clear", "graphClear");
    start_ = button("Start", "graphStart");
    v->addLayout(bar);

    auto* body = new QHBoxLayout;
    auto* chartsColumn = new QVBoxLayout;
    for (int i = 0; i < 2; ++i) {
        boxes_[i] = new QWidget(this);
        auto* c = new QVBoxLayout(boxes_[i]);
        c->setContentsMargins(0, 0, 0, 0);
        c->setSpacing(2);
        auto* head = new QHBoxLayout;
        names_[i] = new QLabel(boxes_[i]);
        names_[i]->setObjectName(QString("graphName%1").arg(i + 1));
        peaks_[i] = new QLabel(boxes_[i]);
        peaks_[i]->setObjectName(QString("graphPeak%1").arg(i + 1));
        peaks_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        head->addWidget(names_[i]);
        head->addWidget(peaks_[i], 1);
        c->addLayout(head);
        charts_[i] = new UnitLineChart(boxes_[i]);
        charts_[i]->setObjectName(QString("graphChart%1").arg(i + 1));
        charts_[i]->setLineColor(kLines[i]);
        c->addWidget(charts_[i], 1);
        chartsColumn->addWidget(boxes_[i], 1);
    }
    body->addLayout(chartsColumn, 1);
    auto* table = new QGridLayout;
    table->setVerticalSpacing(4);
    for (int i = 0; i < MonitorGraph::kValueLines; ++i) {
        auto* t = new QLabel(MonitorGraph::ValueTitle(i), this);
        t->setStyleSheet("color: #9aa8b4; font-size: 15px;");
        values_[i] = new QLabel(this);
        values_[i]->setObjectName(QString("graphValue%1").arg(i));
        values_[i]->setMinimumWidth(150);
        values_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[i]->setStyleSheet("font-size: 18px;");
        table->addWidget(t, i, 0);
        table->addWidget(values_[i], i, 1);
    }
    table->setRowStretch(MonitorGraph::kValueLines, 1);
    body->addLayout(table);
    v->addLayout(body, 1);

    connect(start_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        graph_.StartStop();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        graph_.Clear();
    });
    connect(settingsButton_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openSettings();
    });
    ShowSettings(graph_.Settings());
    ShowEmpty();
}

PageMonitorGraph::~PageMonitorGraph() {
    // Taken away while running (its screen went away): the tool is disarmed all the same.
    graph_.Leave();
    Navigator::DismissModal(dialog_);
}

void PageMonitorGraph::Shown() {
    live_[0] = connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this, [this] {
        graph_.OnToolChanged();
        showNotice();
    });
    live_[1] = connect(&ApplicationDevice()->GraphEvent, &SystemEvent::triggered, this,
                       [this](QObject* ctx) {
                           auto* p = qobject_cast<UnitTdxData*>(ctx);
                           if (!p) return;
                           UiSound_Tap();
                           graph_.OnGraphEvent(p->Tdx);
                       });
    showNotice();
}

void PageMonitorGraph::showNotice() {
    const QString notice = graph_.Notice();
    ToolNotice::Show(notice_, controls_, notice);
}

void PageMonitorGraph::Hidden() {
    for (auto& c : live_)
        disconnect(c);
    graph_.Leave();
    Navigator::DismissModal(dialog_);
}

void PageMonitorGraph::openSettings() {
    if (dialog_.Open() || !graph_.CanEditSettings()) return;
    auto* dlg = new PageMonitorGraphSetting(graph_.Settings());
    connect(dlg, &PageMonitorGraphSetting::confirmed, this,
            [this](GraphSettings s) { graph_.SetSettings(s); });
    connect(dlg, &PageMonitorGraphSetting::closed, this,
            [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(window(), dlg, Transition::Scale);
}

void PageMonitorGraph::ShowFrame(const GraphFrame& f) {
    GraphView v;
    if (MonitorGraph::Compute(f, &v)) Show(v);
}

void PageMonitorGraph::layoutCharts(bool two) {
    boxes_[1]->setVisible(two);
}

int32_t PageMonitorGraph::CurrTdx() {
    return ApplicationDevice()->OnGetCurrTdx();
}

int32_t PageMonitorGraph::ToolType(int32_t tdx) {
    return ApplicationDevice()->GetToolType_ByTdx(tdx);
}

int32_t PageMonitorGraph::Write(int32_t addr, int32_t value) {
    return ApplicationDevice()->MbusWrite(addr, value);
}

void PageMonitorGraph::SetTriggerResCnt(int n) {
    ApplicationDevice()->OnSetTriggerEventEnableResCnt(n);
}

int32_t PageMonitorGraph::WatchOn(int32_t tdx) {
    return ApplicationDevice()->GraphEnable(tdx);
}

void PageMonitorGraph::WatchOff(int32_t tdx) {
    ApplicationDevice()->GraphDisable(tdx);
}

void PageMonitorGraph::WatchOffAll() {
    ApplicationDevice()->GraphDisableAll();
}

void PageMonitorGraph::Trigger() {
    ApplicationDevice()->TriggerEventEnable();
}

void PageMonitorGraph::Rearm(bool on) {
    rearm_->SetEnabled(on);
}

bool PageMonitorGraph::ReadFrame(int32_t tdx, GraphFrame* out) {
    GraphFrameCopy c;
    if (!ApplicationDevice()->GraphFrameOf(tdx, &c)) return false;
    const int len = std::clamp(c.len, 0, int(sizeof c.bytes));
    out->Bytes.assign(c.bytes, c.bytes + len);
    out->TorqueUnit = c.torqueUnit;
    out->TorqueMin = c.torqueMin;
    return true;
}

void PageMonitorGraph::ShowRunning(bool running) {
    start_->setText(running ? "Stop" : "Start");
    settingsButton_->setEnabled(!running);
}

void PageMonitorGraph::ShowSettings(const GraphSettings& s) {
    summary_->setText(
        QString("Channel #1: %1    Channel #2: %2    Direction: %3    Sampling: %4")
            .arg(MonitorGraph::ChannelName(s.Channel1), MonitorGraph::ChannelName(s.Channel2),
                 MonitorGraph::DirectionName(s.Direction), MonitorGraph::SamplingName(s.Sampling)));
    names_[0]->setText(MonitorGraph::ChannelName(s.Channel1));
    names_[1]->setText(MonitorGraph::ChannelName(s.Channel2));
    layoutCharts(s.Channel2 != 0);
}

void PageMonitorGraph::ShowEmpty() {
    for (int i = 0; i < 2; ++i) {
        charts_[i]->clear();
        charts_[i]->setUpperLimit(5);
        peaks_[i]->clear();
    }
    for (QLabel* l : values_)
        l->clear();
    layoutCharts(graph_.Settings().Channel2 != 0);
}

void PageMonitorGraph::Show(const GraphView& v) {
    for (int i = 0; i < MonitorGraph::kValueLines; ++i)
        values_[i]->setText(v.Values.value(i));
    for (int i = 0; i < 2; ++i) {
        const GraphChart& c = v.Charts[i];
        charts_[i]->setUpperLimit(c.Upper);
        charts_[i]->setPoints(c.Points);
        charts_[i]->setZeroLevel(c.Shown ? c.Zero : -1);
        peaks_[i]->setText(c.Peak);
        if (c.Shown) names_[i]->setText(MonitorGraph::ChannelName(c.Code));
    }
    layoutCharts(v.Charts[1].Shown);
}
