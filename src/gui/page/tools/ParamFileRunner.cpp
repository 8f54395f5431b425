#include "ParamFileRunner.h"

#include "ApplicationDeviceClass.h"
#include "ParamFile.h"
#include "UnitToolInfo.h"
#include "debug.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace ParamFileRunner {
namespace {
const char* const kCommFail = "Communication fail";
} // namespace

QString Save(int32_t tdx, const QString& path) {
    const UnitToolInfo info = ApplicationDevice()->GetTdxToolInfo(tdx);
    std::vector<ParamFile::Block> blocks = ParamFile::ReadBlocks();
    if (info.Type == 3) blocks.push_back(ParamFile::Type3Block);
    for (const ParamFile::Block& b : blocks)
        if (int rc = ApplicationDevice()->MbusReadTdx(tdx, b.Start, b.Count); rc != 0) {
            DBG_ERR("read %d-%d failed (%d)", b.Start, b.Count, rc);
            return kCommFail;
        }
    auto image = [tdx](int addr) {
        return uint16_t(ApplicationDevice()->MbusGetDataTdx(tdx, addr));
    };
    std::string text = ParamFile::Header(info.Type, info.ModelNo, info.Version);
    for (int addr : ParamFile::Registers(info.Type))
        text += ParamFile::Line(addr, image(addr));
    // A barcode entry that cannot be read would go into the file as zeros, and a later
    // load would then clear the tool's entry: a failed entry fails the save instead.
    for (int i = 0; i < ParamFile::BarcodeEntries; ++i) {
        int rc = ApplicationDevice()->MbusWriteTdx(tdx, ParamFile::BarcodeSelect, i);
        for (const ParamFile::Block& b : ParamFile::BarcodeBlocks)
            if (rc == 0) rc = ApplicationDevice()->MbusReadTdx(tdx, b.Start, b.Count);
        if (rc != 0) {
            DBG_ERR("barcode entry %d failed (%d)", i, rc);
            return kCommFail;
        }
        text += ParamFile::BarcodeLines(i, image);
    }
    // Written aside and renamed: a full stick leaves no half file behind.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        DBG_ERR("%s: %s", qPrintable(path), qPrintable(f.errorString()));
        return "File open fail";
    }
    f.write(text.data(), qint64(text.size()));
    if (!f.commit()) {
        DBG_ERR("%s: %s", qPrintable(path), qPrintable(f.errorString()));
        return "File write fail";
    }
    return {};
}

namespace {
// Every value against the tool's limits at +1000 (lower) and +2000 (upper), read block by
// block; a register whose limits both read 0 has none. The loader takes no other register
// than those of these blocks and the barcode window, so no value goes unchecked. Done: all
// fit.
ParamFile::End checkLimits(int32_t tdx, int32_t type, const std::vector<ParamFile::Step>& writes) {
    std::vector<ParamFile::Block> blocks = ParamFile::ReadBlocks();
    if (type == 3) blocks.push_back(ParamFile::Type3Block);
    for (const ParamFile::Block& b : blocks) {
        const bool used = std::any_of(writes.begin(), writes.end(), [&](const ParamFile::Step& w) {
            return w.Address >= b.Start && w.Address < b.Start + b.Count;
        });
        if (!used) continue;
        for (int off : {1000, 2000})
            if (int rc = ApplicationDevice()->MbusReadTdx(tdx, b.Start + off, b.Count); rc != 0) {
                DBG_ERR("limits %d-%d failed (%d)", b.Start + off, b.Count, rc);
                return ParamFile::End::Communication;
            }
        for (const ParamFile::Step& w : writes) {
            if (w.Address < b.Start || w.Address >= b.Start + b.Count) continue;
            const int lower = ApplicationDevice()->MbusGetDataTdx(tdx, w.Address + 1000);
            const int upper = ApplicationDevice()->MbusGetDataTdx(tdx, w.Address + 2000);
            if ((lower != 0 || upper != 0) && (w.Value < lower || w.Value > upper)) {
                DBG_ERR("A%04d,%d outside %d..%d", w.Address, w.Value, lower, upper);
                return ParamFile::End::Invalid;
            }
        }
    }
    return ParamFile::End::Done;
}
} // namespace

// The whole file is judged, and every value checked against the tool's limits, before the
// first write: a bad line late in the file leaves the tool as it was, and only a lost link
// can stop a load half-way.
Loading::Loading(int32_t tdx, const QString& path, bool barcodeOnly) : tdx_(tdx), path_(path) {
    const UnitToolInfo info = ApplicationDevice()->GetTdxToolInfo(tdx);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        DBG_ERR("%s: %s", qPrintable(path), qPrintable(f.errorString()));
        end_ = ParamFile::End::OpenFail;
        return;
    }
    ParamFile::Loader loader(info.Type, info.ModelNo, barcodeOnly);
    while (end_ == ParamFile::End::Done && !f.atEnd()) {
        // At most one character past the limit is read, so a huge line costs nothing.
        QByteArray line = f.readLine(ParamFile::MaxLine + 2);
        if (line.endsWith('\n')) line.chop(1);
        ++lines_;
        const ParamFile::Step s = loader.Feed(line.toStdString());
        if (s.Kind == ParamFile::Step::Invalid) end_ = ParamFile::End::Invalid;
        if (s.Kind == ParamFile::Step::Mismatch) end_ = ParamFile::End::Mismatch;
        if (s.Kind == ParamFile::Step::Write) writes_.push_back(s);
    }
    // A file that ends inside its header loaded nothing: not a success.
    if (end_ == ParamFile::End::Done && lines_ < 3) end_ = ParamFile::End::Invalid;
    if (end_ == ParamFile::End::Done) {
        std::vector<ParamFile::Step> limited;
        for (const ParamFile::Step& w : writes_)
            if (!ParamFile::BarcodeLine(w.Address)) limited.push_back(w);
        end_ = checkLimits(tdx, info.Type, limited);
    }
}

bool Loading::Next() {
    for (size_t n = 0; end_ == ParamFile::End::Done && next_ < writes_.size() && n < kSlice; ++n) {
        const ParamFile::Step& w = writes_[next_];
        const int rc = ApplicationDevice()->MbusWriteTdx(tdx_, w.Address, w.Value);
        if (rc == 5)
            end_ = ParamFile::End::Invalid; // the tool refused the value
        else if (rc != 0)
            end_ = ParamFile::End::Communication;
        else
            ++next_;
    }
    const bool ended = end_ != ParamFile::End::Done || next_ == writes_.size();
    if (ended && end_ != ParamFile::End::Done)
        DBG_ERR("%s line %d, write %zu of %zu: %s", qPrintable(path_), lines_, next_,
                writes_.size(), ParamFile::Message(end_).c_str());
    return ended;
}

QString Loading::Message() const {
    return QString::fromStdString(ParamFile::Message(end_));
}

QString Load(int32_t tdx, const QString& path, bool barcodeOnly) {
    Loading l(tdx, path, barcodeOnly);
    while (!l.Next()) {
    }
    return l.Message();
}
} // namespace ParamFileRunner
