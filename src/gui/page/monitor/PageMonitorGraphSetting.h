// The graph settings dialog ("Graph settings"): one choice each for channel 1, channel 2,
// the direction and the sampling period. "OK" hands the four values to the graph tab;
// Torque/Angle on channel 1 disables channel 2.
#pragma once

#include "MonitorGraph.h"

#include <QFrame>

class QButtonGroup;
class QGroupBox;
class QLabel;

class PageMonitorGraphSetting : public QFrame {
    Q_OBJECT
  public:
    explicit PageMonitorGraphSetting(const GraphSettings& s, QWidget* parent = nullptr);
    GraphSettings Values() const;

  signals:
    void confirmed(GraphSettings s);
    void closed();

  private:
    QGroupBox* group(const QString& title, const QString& name, QButtonGroup** out,
                     const QList<QPair<QString, int>>& items, int columns, int checked);
    void channel1Changed();
    QButtonGroup* ch1_;
    QButtonGroup* ch2_;
    QButtonGroup* dir_;
    QButtonGroup* sampling_;
    QGroupBox* ch2Box_;
    QLabel* note_;
};
