#include "ToolBarcode.h"

#include "debug.h"

namespace ToolBarcode {

int ReadEntry(const ToolBarcodeLink& link, int index, ToolBarcodeEntry* out) {
    *out = ToolBarcodeEntry{};
    int rc = link.write(kIndex, index);
    if (rc == 0) rc = link.read(kIndex, kEnd - kIndex + 1);
    if (rc == 0) rc = link.read(kCode, kCodeMax);
    if (rc != 0) {
        DBG_ERR("barcode entry %d not read (%d)", index, rc);
        return rc;
    }
    const QVector<uint16_t> head = link.block(kIndex, kEnd - kIndex + 1);
    const QVector<uint16_t> code = link.block(kCode, kCodeMax);
    if (head.size() != 4 || code.size() != kCodeMax) return -1;
    if (head[0] != index) {
        DBG_ERR("barcode window shows entry %d, not %d", head[0], index);
        return -1;
    }
    out->preset = head[1];
    out->start = head[2];
    out->end = head[3];
    QByteArray bytes;
    for (uint16_t c : code) {
        if ((c & 0xff) == 0) break; // 0 after the last character
        bytes.append(char(c & 0xff));
    }
    out->code = QString::fromLatin1(bytes);
    out->valid = true;
    return 0;
}

QString Refusal(const ToolBarcodeEntry& e, bool partial) {
    if (e.code.isEmpty()) return {};
    if (e.code.size() > kCodeMax) return QString("The code is longer than %1.").arg(kCodeMax);
    for (QChar c : e.code)
        if (c.unicode() == 0 || c.unicode() > 0xff)
            return "The code holds a character the tool cannot store.";
    if (e.preset < kPresetLowest || e.preset > kPresetHighest) return "Please select a preset.";
    if (partial && (e.start < 1 || e.end < e.start || e.end > e.code.size()))
        return "Please select the compared part of the code.";
    return {};
}

int WriteEntry(const std::function<int(int addr, int value)>& write, int index,
               const ToolBarcodeEntry& e, bool partial) {
    if (index < 0 || index >= kEntries || !Refusal(e, partial).isEmpty()) {
        DBG_ERR("barcode entry %d refused", index);
        return -1;
    }
    const bool clear = e.code.isEmpty();
    const QByteArray bytes = e.code.toLatin1();
    QVector<QPair<int, int>> seq;
    seq.append({kIndex, index});
    seq.append({kPreset, clear ? 0 : e.preset});
    seq.append({kStart, clear || !partial ? 0 : e.start});
    seq.append({kEnd, clear || !partial ? 0 : e.end});
    for (int i = 0; i < kCodeMax; ++i)
        seq.append({kCode + i, i < bytes.size() ? uint8_t(bytes[i]) : 0});
    seq.append({kStore, kStoreValue});
    for (const auto& [addr, value] : seq)
        if (const int rc = write(addr, value); rc != 0) {
            DBG_ERR("barcode entry %d: %d := %d failed (%d)", index, addr, value, rc);
            return rc;
        }
    return 0;
}

int ClearAll(const std::function<int(int addr, int value)>& write) {
    return write(kClearAll, kClearAllValue);
}

QString Number(int index) {
    return QString::number(index + 1);
}

CodeParts Parts(const ToolBarcodeEntry& e) {
    CodeParts p;
    if (e.end == 0 || e.end < e.start || e.start < 1) {
        p.before = e.code;
        return p;
    }
    p.before = e.code.left(e.start - 1);
    p.compared = e.code.mid(e.start - 1, e.end - e.start + 1);
    p.after = e.code.mid(e.end);
    return p;
}

QString Range(const ToolBarcodeEntry& e) {
    if (!e.valid || e.code.isEmpty() || (e.start == 0 && e.end == 0)) return "-";
    return QString("%1 / %2").arg(e.start).arg(e.end);
}

QString Preset(const ToolBarcodeEntry& e) {
    if (!e.valid || e.code.isEmpty()) return "-"; // an unused entry
    return "P." + QString::number(e.preset);
}

QString CodeHtml(const ToolBarcodeEntry& e) {
    if (!e.valid) return "-";
    const CodeParts p = Parts(e);
    QString html = p.before.toHtmlEscaped();
    if (!p.compared.isEmpty())
        html += "<span style=\"color:#f2a71b; text-decoration:underline;\">" +
                p.compared.toHtmlEscaped() + "</span>";
    return html + p.after.toHtmlEscaped();
}

} // namespace ToolBarcode
