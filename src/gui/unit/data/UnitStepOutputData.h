// Fields of an output step: the outputs 1..16 it sets, their modes and the pulse width.
#pragma once

#include <QObject>
#include <cstdint>

class UnitStepOutputData : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    uint8_t Used[16] = {};
    int32_t Mode[16] = {};      // 0 impulse, 1 high
    int32_t ImpulseWidth = 100; // milliseconds
};
