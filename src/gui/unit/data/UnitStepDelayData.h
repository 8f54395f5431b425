// Fields of a delay step; only the fields of the stored mode are filled.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitStepDelayData : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    int32_t Mode = 0; // 0 time, 1 confirmation message, 2 barcode
    int32_t TimeValue = 0;
    int32_t TimeUnit = 0; // 0 seconds, 1 milliseconds
    QString Line1, Line2, Line3;
    QString Barcode;
    int32_t Partial = 0;
    int32_t RangeStart = 0; // 1-based, inclusive
    int32_t RangeEnd = 0;
};
