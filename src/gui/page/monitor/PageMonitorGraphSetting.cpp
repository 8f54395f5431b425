#include "PageMonitorGraphSetting.h"

#include "UiSound.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PageMonitorGraphSetting::PageMonitorGraphSetting(const GraphSettings& s, QWidget* parent)
    : QFrame(parent) {
    setObjectName("PageMonitorGraphSetting");
    setProperty("role", "dialog");
    setFixedSize(1100, 700);
    setStyleSheet("QRadioButton { font-size: 18px; min-height: 44px; }"
                  "QRadioButton:disabled { color: #5a6672; }"
                  "QRadioButton::indicator { width: 18px; height: 18px; border-radius: 11px;"
                  " border: 2px solid #9aa8b4; background: #27313b; }"
                  "QRadioButton::indicator:checked { background: #2f8fe8;"
                  " border-color: #f2f5f7; }"
                  "QRadioButton::indicator:disabled { border-color: #3a4754; }"
                  "QGroupBox { font-size: 20px; font-weight: bold; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 20, 32, 20);
    v->setSpacing(10);
    auto* title = new QLabel("Graph settings", this);
    title->setProperty("role", "title");
    v->addWidget(title);

    QList<QPair<QString, int>> channels;
    for (int c = 0; c <= MonitorGraph::kTorqueAngle; ++c)
        channels.append({MonitorGraph::ChannelName(c), c});
    QList<QPair<QString, int>> directions, periods;
    for (int d = 1; d <= 3; ++d)
        directions.append({MonitorGraph::DirectionName(d), d});
    for (int p = 1; p <= 4; ++p)
        periods.append({MonitorGraph::SamplingName(p), p});
    v->addWidget(group("Channel #1", "graphCh1", &ch1_, channels, 3, s.Channel1));
    ch2Box_ = group("Channel #2", "graphCh2", &ch2_, channels, 3, s.Channel2);
    v->addWidget(ch2Box_);
    auto* row = new QHBoxLayout;
    row->addWidget(group("Direction", "graphDir", &dir_, directions, 3, s.Direction));
    row->addWidget(group("Sampling", "graphSampling", &sampling_, periods, 4, s.Sampling));
    v->addLayout(row);
    note_ = new QLabel(
        "!!! When using Torque/Angle on channel 1, channel 2 is automatically disabled.", this);
    note_->setObjectName("graphSettingNote");
    note_->setStyleSheet("color: #f2a71b; font-size: 18px;");
    v->addWidget(note_);
    v->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("graphSettingCancel");
    cancel->setProperty("role", "cancel");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("graphSettingOk");
    for (QPushButton* b : {cancel, ok}) {
        b->setMinimumWidth(200);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit closed();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit confirmed(Values());
        emit closed();
    });
    connect(ch1_, &QButtonGroup::idClicked, this, [this] {
        UiSound_Tap();
        channel1Changed();
    });
    for (QButtonGroup* g : {ch2_, dir_, sampling_})
        connect(g, &QButtonGroup::idClicked, this, [] { UiSound_Tap(); });
    channel1Changed();
}

QGroupBox* PageMonitorGraphSetting::group(const QString& title, const QString& name,
                                          QButtonGroup** out,
                                          const QList<QPair<QString, int>>& items, int columns,
                                          int checked) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(name);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(24);
    auto* g = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i].first, box);
        b->setObjectName(QString("%1_%2").arg(name).arg(items[i].second));
        g->addButton(b, items[i].second);
        grid->addWidget(b, i / columns, i % columns);
    }
    // A value outside the list (not one the tab sets) leaves no choice marked.
    if (QAbstractButton* b = g->button(checked)) b->setChecked(true);
    *out = g;
    return box;
}

void PageMonitorGraphSetting::channel1Changed() {
    const bool torqueAngle = ch1_->checkedId() == MonitorGraph::kTorqueAngle;
    note_->setVisible(torqueAngle);
    ch2Box_->setEnabled(!torqueAngle);
    if (torqueAngle && ch2_->button(0)) ch2_->button(0)->setChecked(true);
}

GraphSettings PageMonitorGraphSetting::Values() const {
    GraphSettings s;
    s.Channel1 = ch1_->checkedId();
    s.Channel2 = ch2_->checkedId();
    s.Direction = dir_->checkedId();
    s.Sampling = sampling_->checkedId();
    return s;
}
