// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitScanEventData : public QObject {
    Q_OBJECT
  public:
    uint8_t Scanning = 0;
};
