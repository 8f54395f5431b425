// Wakes the GUI loop on USB events: a socket notifier on each descriptor of the USB
// module (the library's and its retry timer's), following descriptors added or dropped
// later. The cycle itself handles the events (EwDriver_ProcessData runs the USB pump
// before it drains the driver queue); the notifiers only end the loop's sleep.
#pragma once

#include <QObject>
#include <map>

class QSocketNotifier;

class UsbWatch : public QObject {
    Q_OBJECT
  public:
    explicit UsbWatch(QObject* parent = nullptr);
    ~UsbWatch() override;
    int Watched() const { return int(notifiers_.size()); }

  signals:
    void woken();

  private:
    void add(int fd, short events);
    void remove(int fd);
    std::multimap<int, QSocketNotifier*> notifiers_;
};
