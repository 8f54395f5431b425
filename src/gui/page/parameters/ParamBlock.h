// A parameter list's registers as one refresh read them, free of widgets: the value block
// and its limit blocks (three reads of the same length), or nothing when any read failed,
// so a line never shows a value older than the last refresh. And the write of one line:
// the value goes to the tool, then the list is read again, or the tool is dismissed after
// its parameters were initialised.
#pragma once

#include "ParameterMap.h"

#include <QVector>
#include <cstdint>

class ParamPort {
  public:
    virtual ~ParamPort() = default;
    virtual int Read(int addr, int count) = 0;                // 0 read
    virtual QVector<uint16_t> Block(int addr, int count) = 0; // the mirror as that read left it
    virtual int Write(int addr, int value) = 0;               // 0 written
    virtual void ToolLost() = 0;                              // the current tool
    virtual void TorqueUnitWritten() = 0; // the registry reads the current tool's unit again
};

struct ParamValue {
    bool Valid = false; // false: the read failed, the line shows "-"
    int Value = 0, Lower = 0, Upper = 0;
};

class ParamBlock {
  public:
    // The three reads; false (and every register invalid) when one of them failed.
    bool Refresh(ParamPort& port, ParameterMap::Block block);
    void Clear() { values_.clear(); }
    ParamValue At(int reg) const;
    bool Valid() const { return !values_.isEmpty(); }

  private:
    ParameterMap::Block block_;
    QVector<uint16_t> values_, lower_, upper_;
};

enum class WriteOutcome { Written, Failed, ToolDismissed };
// Writes a line's new value (with its type code) to the tool. After 252 := 77 the tool
// restarts with its defaults: it is dismissed and comes back through discovery. After the
// torque unit the screens' unit is read again.
WriteOutcome WriteParam(ParamPort& port, int reg, int value, int typeCode = 0);
