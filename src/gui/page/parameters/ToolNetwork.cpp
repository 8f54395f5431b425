#include "ToolNetwork.h"

#include "ParameterMap.h"

#include <algorithm>

namespace ToolNetwork {

const QVector<Field>& Fields() {
    static const QVector<Field> fields = [] {
        QVector<Field> f;
        const char* const names[3] = {"pnIp", "pnMask", "pnGateway"};
        const int first[3] = {kIp, kMask, kGateway};
        for (int g = 0; g < 3; ++g)
            for (int i = 0; i < 4; ++i)
                f.append({first[g] + i, QString("%1%2").arg(names[g]).arg(i), 0, 255});
        f.append({kPort, "pnPort", 1, 65535});
        f.append({kCountry, "pnCountry", 0, 65535});
        f.append({kWebPassword, "pnWebPassword", 0, 65535});
        return f;
    }();
    return fields;
}

const Field* FieldOf(int reg) {
    for (const Field& f : Fields())
        if (f.reg == reg) return &f;
    return nullptr;
}

QString Text(const QVector<uint16_t>& block, int reg) {
    const int i = reg - kFirst;
    if (block.size() != kCount || i < 0 || i >= kCount) return "-";
    return QString::number(block[i]);
}

bool Dhcp(const QVector<uint16_t>& block) {
    return block.size() == kCount && block[kMode - kFirst] == 1;
}

Parsed Parse(const QString& text, int lowest, int highest) {
    Parsed p;
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        p.error = "Please input a number.";
        return p;
    }
    // Digits only: no sign, point, exponent or base prefix, and no overflow on the way.
    for (QChar c : t)
        if (c < '0' || c > '9') {
            p.error = "Invalid number.\n\nDigits only, please.";
            return p;
        }
    qint64 v = 0;
    for (QChar c : t)
        v = std::min<qint64>(v * 10 + (c.unicode() - '0'), qint64(highest) + 1);
    if (v < lowest || v > highest) {
        p.error = ParameterMap::InvalidMessage(lowest, highest, 0);
        return p;
    }
    p.ok = true;
    p.value = int(v);
    return p;
}

} // namespace ToolNetwork
