// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitBstHotplug : public QObject {
    Q_OBJECT
  public:
    uint8_t Value = 0;
};
