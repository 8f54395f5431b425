// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitBstEvent : public QObject {
    Q_OBJECT
  public:
    int32_t ChangeMask = 0;
    int32_t Preset = -1;
    int32_t Alarm = -1;
    int32_t Opmode = -1;
    int32_t NoSocket = -1; // filled only by GetBstData
};
