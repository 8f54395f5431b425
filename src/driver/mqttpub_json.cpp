// The MQTT publisher's pure parts: a result as JSON, the client id, the unit names. No
// outside input is parsed here (the rows come from the panel's own store).
#include "mqttpub.h"
#include "resultstore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {
const char* const kUnitNames[] = {"Kgf.cm", "Kgf.m", "N.m", "cN.m", "Lbf.in", "Ozf.in", "Lbf.ft"};

// Length of a well-formed UTF-8 sequence at `p` (2..4), or 0.
size_t utf8Length(const unsigned char* p, size_t left) {
    unsigned c = p[0];
    size_t n = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    if (c >= 0xf5 || n == 0 || n > left) return 0;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xc0) != 0x80) return 0;
    unsigned c1 = p[1];
    if (n == 3 && ((c == 0xe0 && c1 < 0xa0) || (c == 0xed && c1 >= 0xa0))) return 0;
    if (n == 4 && ((c == 0xf0 && c1 < 0x90) || (c == 0xf4 && c1 >= 0x90))) return 0;
    return n;
}

// A JSON string: text that is UTF-8 already stays as it is; any other byte above 0x7f is
// taken as Latin-1 (names typed on older panels and barcodes from the readers).
void appendString(std::string& out, const std::string& s) {
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = p[i];
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\b':
            out += "\\b";
            continue;
        case '\f':
            out += "\\f";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            char b[8];
            snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else if (c < 0x80) {
            out += char(c);
        } else if (size_t len = utf8Length(p + i, n - i)) {
            out.append(reinterpret_cast<const char*>(p + i), len);
            i += len - 1;
        } else {
            out += char(0xc0 | (c >> 6));
            out += char(0x80 | (c & 0x3f));
        }
    }
    out += '"';
}

void key(std::string& out, const char* name) {
    if (out.size() > 1) out += ',';
    out += '"';
    out += name;
    out += "\":";
}

void text(std::string& out, const char* name, const std::string& value) {
    if (value.empty()) return;
    key(out, name);
    appendString(out, value);
}

void number(std::string& out, const char* name, long long value) {
    key(out, name);
    out += std::to_string(value);
}

// x100 values with two decimals.
void hundredths(std::string& out, const char* name, int value) {
    key(out, name);
    long long v = value;
    if (v < 0) out += '-';
    unsigned long long a = (unsigned long long)(v < 0 ? -v : v);
    char b[32];
    snprintf(b, sizeof b, "%llu.%02llu", a / 100, a % 100);
    out += b;
}

// "YYYY-MM-DD HH:MM:SS" and the offset as ISO 8601, or "" when the text is not that.
std::string isoTime(const std::string& t, int offset) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (t.size() != sizeof kShape - 1) return "";
    for (size_t i = 0; i < t.size(); ++i) {
        bool digit = t[i] >= '0' && t[i] <= '9';
        if (kShape[i] == 'd' ? !digit : t[i] != kShape[i]) return "";
    }
    int a = std::abs(offset) / 60;
    char b[40];
    snprintf(b, sizeof b, "%.10sT%.8s%c%02d:%02d", t.c_str(), t.c_str() + 11,
             offset < 0 ? '-' : '+', a / 60, a % 60);
    return b;
}
} // namespace

const char* Mqtt_UnitName(int code) {
    // The tool's register may hold codes beyond the table; the panel's screens show them
    // modulo its size.
    return code < 0 ? nullptr : kUnitNames[code % std::size(kUnitNames)];
}

std::string Mqtt_ResultJson(const StoredResult& r) {
    std::string out = "{";
    number(out, "id", r.id);
    text(out, "time", isoTime(r.time, r.utcOffset));
    text(out, "job", r.job);
    text(out, "step", r.step);
    text(out, "tool", r.tool);
    if (r.barcode != "-") text(out, "barcode", r.barcode);
    number(out, "preset", r.preset);
    hundredths(out, "target_torque", r.targetTorque);
    hundredths(out, "torque", r.torque);
    if (const char* u = Mqtt_UnitName(r.extra.unit)) text(out, "unit", u);
    number(out, "speed", r.speed);
    number(out, "angle1", r.a1);
    number(out, "angle2", r.a2);
    number(out, "angle3", r.a3);
    number(out, "screw", r.screw);
    number(out, "error", r.error);
    number(out, "direction", r.direction);
    text(out, "status", r.status == 1 ? "OK" : "NG");
    out += '}';
    return out;
}

std::string Mqtt_ClientId(const char* serial, const char* fallback) {
    constexpr size_t kMax = 23; // what every MQTT 3.1.1 broker must take
    std::string id = "kest-";
    auto take = [&id](const char* s) {
        for (; s && *s && id.size() < kMax; ++s) {
            char c = *s;
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '_' || c == '.')
                id += c;
        }
    };
    take(serial);
    if (id.size() == 5) take(fallback);
    if (id.size() == 5) id += "panel";
    return id;
}
