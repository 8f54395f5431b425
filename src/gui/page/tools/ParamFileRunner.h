// Saving a driver's parameters to a parameter data file and loading one back, over the
// device object's Modbus access. Both run to their end on the caller's (GUI) thread and
// return the message to show, empty when all went well.
#pragma once

#include <QString>
#include <cstdint>

namespace ParamFileRunner {
// Reads the blocks and the barcode entries of tool `tdx`, then writes `path`. Nothing is
// written unless every read succeeded.
QString Save(int32_t tdx, const QString& path);
// Checks and replays `path` into tool `tdx`, line by line.
QString Load(int32_t tdx, const QString& path, bool barcodeOnly);
} // namespace ParamFileRunner
