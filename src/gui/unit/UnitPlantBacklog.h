// The plant backlog of an operation screen: the results each enabled plant peer has not
// acknowledged yet ("Plant: OP 3  BEF 0"), hidden while no peer is enabled.
#pragma once

#include <QLabel>
#include <QList>
#include <QPair>

class Timer;

class UnitPlantBacklog : public QLabel {
    Q_OBJECT
  public:
    explicit UnitPlantBacklog(QWidget* parent = nullptr);
    static QString Text(const QList<QPair<QString, int>>& peers);
    void Refresh();

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    Timer* timer_;
};
