// The scanning indicator shown while the access point looks for a free channel.
#pragma once

#include <QFrame>

class QTimer;

class UnitScanning : public QFrame {
    Q_OBJECT
  public:
    explicit UnitScanning(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QTimer* spin_;
    int step_ = 0;
};
