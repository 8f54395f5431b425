// Fields of an input step: the watched inputs 1..16 and their common condition.
#pragma once

#include <QObject>
#include <cstdint>

class UnitStepInputData : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    uint8_t Used[16] = {};
    int32_t Condition = 0; // 0 active high, 1 active low, 2 status high, 3 status low
};
