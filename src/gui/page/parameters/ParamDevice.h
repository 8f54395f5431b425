// The parameter lists' port over the device object: reads, mirror blocks and writes of the
// current tool.
#pragma once

#include "ParamBlock.h"

class ParamDevice : public ParamPort {
  public:
    int Read(int addr, int count) override;
    QVector<uint16_t> Block(int addr, int count) override;
    int Write(int addr, int value) override;
    void ToolLost() override;
    void TorqueUnitWritten() override;
};
