// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitImgResData : public QObject {
    Q_OBJECT
  public:
    int32_t Width = 0;
    int32_t Height = 0;
};
