// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitDisconnFlagData : public QObject {
    Q_OBJECT
  public:
    int32_t Tdx = -1;
    int32_t Flag = 0;
};
