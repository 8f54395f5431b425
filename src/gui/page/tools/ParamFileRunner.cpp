#include "ParamFileRunner.h"

#include "ApplicationDeviceClass.h"
#include "ParamFile.h"
#include "UnitToolInfo.h"
#include "debug.h"

#include <QFile>
#include <QSaveFile>

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

QString Load(int32_t tdx, const QString& path, bool barcodeOnly) {
    const UnitToolInfo info = ApplicationDevice()->GetTdxToolInfo(tdx);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        DBG_ERR("%s: %s", qPrintable(path), qPrintable(f.errorString()));
        return QString::fromStdString(ParamFile::Message(ParamFile::End::OpenFail));
    }
    ParamFile::Loader loader(info.Type, info.ModelNo, barcodeOnly);
    ParamFile::End end = ParamFile::End::Done;
    int lines = 0;
    while (end == ParamFile::End::Done && !f.atEnd()) {
        // At most one character past the limit is read, so a huge line costs nothing.
        QByteArray line = f.readLine(ParamFile::MaxLine + 2);
        if (line.endsWith('\n')) line.chop(1);
        ++lines;
        const ParamFile::Step s = loader.Feed(line.toStdString());
        if (s.Kind == ParamFile::Step::Invalid) end = ParamFile::End::Invalid;
        if (s.Kind == ParamFile::Step::Mismatch) end = ParamFile::End::Mismatch;
        if (s.Kind != ParamFile::Step::Write) continue;
        const int rc = ApplicationDevice()->MbusWriteTdx(tdx, s.Address, s.Value);
        if (rc == 5)
            end = ParamFile::End::Invalid; // the tool refused the value
        else if (rc != 0)
            end = ParamFile::End::Communication;
    }
    // A file that ends inside its header loaded nothing: not a success.
    if (end == ParamFile::End::Done && lines < 3) end = ParamFile::End::Invalid;
    if (end != ParamFile::End::Done)
        DBG_ERR("%s line %d: %s", qPrintable(path), lines, ParamFile::Message(end).c_str());
    return QString::fromStdString(ParamFile::Message(end));
}
} // namespace ParamFileRunner
