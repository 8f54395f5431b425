// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitTdxData : public QObject {
    Q_OBJECT
  public:
    int32_t Tdx = -1;
};
