// Fuzz target: the result store reads day-file lines back (files a user may have edited
// over FTP). Any bytes: parsed or refused, never more; a row parsed, written again by the
// log writer's format, reads back the same. Texts from outside in a written line (barcodes
// from the scanner or the tool, names typed at the panel) always read back as they were,
// by the store and as 19 CSV fields.
#include "../tests/support/CsvRead.h"
#include "eventlog.h"
#include "resultstore.h"

#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

namespace {
struct tm timeOf(const StoredResult& r) {
    struct tm t = {};
    strptime(r.time.c_str(), "%Y-%m-%d %H:%M:%S", &t);
    return t;
}

FastenResult resultOf(const StoredResult& r) {
    auto u = [](int v) { return uint16_t(v); };
    return {u(r.fastenTime), u(r.preset), u(r.targetTorque), u(r.torque), u(r.speed),
            u(r.a1),         u(r.a2),     u(r.a3),           u(r.screw),  u(r.error),
            u(r.direction),  u(r.status), u(r.snug)};
}

// What a line holds (the id and the extras are the store's, not the line's).
auto fields(const StoredResult& a) {
    return std::tie(a.time, a.job, a.step, a.barcode, a.tool, a.fastenTime, a.preset,
                    a.targetTorque, a.torque, a.speed, a.a1, a.a2, a.a3, a.screw, a.error,
                    a.direction, a.status, a.snug);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    StoredResult r;
    if (ResultStore_ParseLine(text, size, &r) == 0) {
        const struct tm t = timeOf(r);
        const std::string again = EventLog_FormatLine(
            t, r.job.c_str(), r.step.c_str(), r.barcode.c_str(), r.tool.c_str(), resultOf(r));
        StoredResult back;
        // Texts holding a NUL are cut by the writer's C strings: only those may differ.
        const bool nul = memchr(data, 0, size) != nullptr;
        if (ResultStore_ParseLine(again.data(), again.size(), &back) != 0) __builtin_trap();
        if (!nul && fields(r) != fields(back)) __builtin_trap();
    }
    // Four NUL-free texts separated by NUL bytes: job, step, barcode, tool.
    std::string texts[4];
    size_t k = 0;
    for (size_t i = 0; i < size && i < 512 && k < 4; ++i) {
        if (data[i] == 0)
            ++k;
        else
            texts[k] += char(data[i]);
    }
    struct tm t = {};
    t.tm_year = 126;
    t.tm_mday = 1;
    FastenResult f;
    if (size >= 2) f.ConvTorque = uint16_t(data[0] << 8 | data[1]);
    const std::string line = EventLog_FormatLine(t, texts[0].c_str(), texts[1].c_str(),
                                                 texts[2].c_str(), texts[3].c_str(), f);
    if (line.empty() || line.back() != '\n') __builtin_trap();
    const std::vector<std::string> fields = CsvSplit(line);
    if (fields.size() != 19) __builtin_trap();
    for (int i = 0; i < 4; ++i)
        if (fields[size_t(i) + 1] != texts[i]) __builtin_trap();
    if (ResultStore_ParseLine(line.data(), line.size(), &r) != 0) __builtin_trap();
    if (r.job != texts[0] || r.step != texts[1] || r.barcode != texts[2] || r.tool != texts[3] ||
        r.torque != f.ConvTorque)
        __builtin_trap();
    return 0;
}
