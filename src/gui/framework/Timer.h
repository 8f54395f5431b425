// A framework timer: a period and a first expiry, enabled or not. Expiry signals
// `trigger`; a period of 0 makes it single-shot after the first expiry.
#pragma once

#include <QObject>
#include <QTimer>

class Timer : public QObject {
    Q_OBJECT
  public:
    explicit Timer(QObject* parent = nullptr);
    void SetPeriod(int ms) { period_ = ms; }
    void SetBegin(int ms) { begin_ = ms; }
    int Period() const { return period_; }
    int Begin() const { return begin_; }
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }

  signals:
    void trigger();

  private:
    void expired();
    QTimer timer_;
    int period_ = 0;
    int begin_ = 0;
    bool enabled_ = false;
    bool first_ = true;
};
