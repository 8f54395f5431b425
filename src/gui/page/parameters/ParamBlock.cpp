#include "ParamBlock.h"

bool ParamBlock::Refresh(ParamPort& port, ParameterMap::Block block) {
    values_.clear();
    lower_.clear();
    upper_.clear();
    block_ = block;
    QVector<uint16_t> got[3];
    const int offsets[3] = {0, ParameterMap::kLower, ParameterMap::kUpper};
    for (int i = 0; i < 3; ++i) {
        if (port.Read(block.First + offsets[i], block.Count) != 0) return false;
        got[i] = port.Block(block.First + offsets[i], block.Count);
        if (got[i].size() != block.Count) return false;
    }
    values_ = got[0];
    lower_ = got[1];
    upper_ = got[2];
    return true;
}

ParamValue ParamBlock::At(int reg) const {
    const int i = reg - block_.First;
    if (values_.isEmpty() || i < 0 || i >= block_.Count) return {};
    return {true, values_[i], lower_[i], upper_[i]};
}

WriteOutcome WriteParam(ParamPort& port, int reg, int value, int typeCode) {
    const int wire = ParameterMap::WireValue(value, typeCode);
    if (port.Write(reg, wire) != 0) return WriteOutcome::Failed;
    if (reg == ParameterMap::kRegTorqueUnit) port.TorqueUnitWritten();
    if (reg == ParameterMap::kRegParamInit && wire == ParameterMap::kParamInitValue) {
        port.ToolLost();
        return WriteOutcome::ToolDismissed;
    }
    return WriteOutcome::Written;
}
