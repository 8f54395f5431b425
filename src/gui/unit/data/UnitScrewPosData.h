// One screw position of a fastening step: the circle drawn on the work-piece picture.
#pragma once

#include <QColor>
#include <QObject>
#include <cstdint>

class UnitScrewPosData : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Radius = 0;
    int32_t Width = 0;
    QColor PendingColor{0, 0, 0, 255}; // colours are stored without alpha: always opaque
    QColor OkColor{0, 0, 0, 255};
    QColor NgColor{0, 0, 0, 255};
    bool Enabled = false;
};
