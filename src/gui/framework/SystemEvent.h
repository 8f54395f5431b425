// A system event of the device object: Trigger() schedules one delivery on the GUI
// thread's task queue; every subscribed handler then runs with the payload, which lives
// until the last handler has returned.
#pragma once

#include <QObject>
#include <memory>

class SystemEvent : public QObject {
    Q_OBJECT
  public:
    explicit SystemEvent(QObject* parent = nullptr) : QObject(parent) {}
    // Takes ownership of `payload` (may be null).
    void Trigger(QObject* payload = nullptr);
    // Number of deliveries still scheduled (tests).
    int Pending() const { return pending_; }

  signals:
    // Handlers read the payload during the call only.
    void triggered(QObject* context);

  private:
    int pending_ = 0;
};
