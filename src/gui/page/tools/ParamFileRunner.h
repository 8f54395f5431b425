// Saving a driver's parameters to a parameter data file and loading one back, over the
// device object's Modbus access, on the caller's (GUI) thread. They return the message to
// show, empty when all went well; a load can also be written a slice at a time.
#pragma once

#include "ParamFile.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace ParamFileRunner {
// Reads the blocks and the barcode entries of tool `tdx`, then writes `path`. Nothing is
// written unless every read succeeded.
QString Save(int32_t tdx, const QString& path);
// A load of `path` into tool `tdx`: the whole file and every value against the tool's
// limits are checked when it is made, before the first write; Next() then writes a slice,
// so the results of other tools are taken between slices.
class Loading {
  public:
    static constexpr size_t kSlice = 16; // writes per slice
    Loading(int32_t tdx, const QString& path, bool barcodeOnly);
    // Writes the next slice; true once the load has ended (Message() then holds its text).
    bool Next();
    QString Message() const;
    size_t Written() const { return next_; }
    size_t Total() const { return writes_.size(); }

  private:
    int32_t tdx_;
    QString path_;
    int lines_ = 0;
    ParamFile::End end_ = ParamFile::End::Done;
    std::vector<ParamFile::Step> writes_;
    size_t next_ = 0;
};
// The whole load at once.
QString Load(int32_t tdx, const QString& path, bool barcodeOnly);
} // namespace ParamFileRunner
