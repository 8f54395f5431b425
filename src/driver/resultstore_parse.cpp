// Reading result lines back: the writer's line format (CSV quoting included) into store
// rows, for the lines a day file got that the store has not taken (after a crash, a line
// written by the synchronous writer, a file written again after it was deleted).
#include "resultstore.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {
// Splits one record into its fields: a field starting with a double quote runs to the
// closing quote ("" inside stands for one) and must be followed by a comma. The record
// must end with ",\n" after the last field. False for anything else.
bool splitFields(const char* p, size_t n, std::vector<std::string>* out) {
    if (n < 2 || p[n - 1] != '\n' || p[n - 2] != ',') return false;
    const size_t end = n - 1; // the line break; every field ends at a comma before it
    size_t i = 0;
    while (i < end) {
        std::string f;
        if (p[i] == '"') {
            for (++i;; ++i) {
                if (i >= end) return false;
                if (p[i] != '"') {
                    f += p[i];
                } else if (i + 1 < end && p[i + 1] == '"') {
                    f += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            if (i >= end || p[i] != ',') return false;
        } else {
            while (i < end && p[i] != ',') {
                if (p[i] == '"' || p[i] == '\n' || p[i] == '\r') return false;
                f += p[i++];
            }
            if (i >= end) return false;
        }
        out->push_back(std::move(f));
        ++i; // the comma
    }
    return true;
}

// An unsigned 16-bit register as "%d" wrote it.
bool parseReg(const std::string& s, int* v) {
    if (s.empty() || s.size() > 5) return false;
    long n = 0;
    for (char c : s) {
        if (!isdigit((unsigned char)c)) return false;
        n = n * 10 + (c - '0');
    }
    if (n > 65535) return false;
    *v = int(n);
    return true;
}

// A register / 100 as "%.02f" wrote it, back into the register.
bool parseHundredths(const std::string& s, int* v) {
    const size_t dot = s.find('.');
    if (dot == std::string::npos || s.size() != dot + 3) return false;
    int whole = 0, frac = 0;
    if (!parseReg(s.substr(0, dot), &whole) || !parseReg(s.substr(dot + 1), &frac)) return false;
    const long n = long(whole) * 100 + frac;
    if (n > 65535) return false;
    *v = int(n);
    return true;
}

// "YYYY-MM-DD HH:MM:SS" and its offset east of UTC in the panel's zone.
bool parseTime(const std::string& s, int* utcOffset) {
    static const char form[] = "dddd-dd-dd dd:dd:dd";
    if (s.size() != sizeof form - 1) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (form[i] == 'd' ? !isdigit((unsigned char)s[i]) : s[i] != form[i]) return false;
    struct tm t = {};
    t.tm_year = atoi(s.c_str()) - 1900;
    t.tm_mon = atoi(s.c_str() + 5) - 1;
    t.tm_mday = atoi(s.c_str() + 8);
    t.tm_hour = atoi(s.c_str() + 11);
    t.tm_min = atoi(s.c_str() + 14);
    t.tm_sec = atoi(s.c_str() + 17);
    t.tm_isdst = -1;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 ||
        t.tm_min > 59 || t.tm_sec > 60)
        return false;
    *utcOffset = mktime(&t) == time_t(-1) ? 0 : int(t.tm_gmtoff);
    return true;
}
} // namespace

int ResultStore_ParseLine(const char* text, size_t len, StoredResult* out) {
    std::vector<std::string> f;
    if (!text || !out || !splitFields(text, len, &f) || f.size() != 18) return -1;
    StoredResult r;
    if (!parseTime(f[0], &r.utcOffset)) return -1;
    r.time = f[0];
    r.job = f[1];
    r.step = f[2];
    r.barcode = f[3];
    r.tool = f[4];
    int* regs[] = {&r.fastenTime, &r.preset, nullptr,  nullptr,      &r.speed,  &r.a1,  &r.a2,
                   &r.a3,         &r.screw,  &r.error, &r.direction, &r.status, &r.snug};
    for (size_t i = 0; i < 13; ++i) {
        const std::string& s = f[5 + i];
        const bool ok = regs[i] ? parseReg(s, regs[i])
                                : parseHundredths(s, i == 2 ? &r.targetTorque : &r.torque);
        if (!ok) return -1;
    }
    *out = std::move(r);
    return 0;
}
