// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitIoEventData : public QObject {
    Q_OBJECT
  public:
    int32_t Value = 0;
    int32_t Port = 0;
};
