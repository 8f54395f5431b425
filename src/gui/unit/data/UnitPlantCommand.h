// Payload of a device-object system event: a plant system's command, answered with
// ApplicationDeviceClass::PlantCommandDone(RequestId, code); or a plant message (Text).
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitPlantCommand : public QObject {
    Q_OBJECT
  public:
    int32_t RequestId = 0;
    int32_t Mid = 0; // 42 lock, 43 unlock, 38 select job Arg, 18 preset Arg, 50 identifier
    int32_t Arg = 0;
    QString Text;
};
