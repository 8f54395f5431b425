// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitEwEventRegtool : public QObject {
    Q_OBJECT
  public:
    int32_t Tdx = -1;
    int32_t State = -1;
};
