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
#include <vector>

namespace {
struct tm timeOf(const StoredResult& r) {
    struct tm t = {};
    t.tm_year = atoi(r.time.c_str()) - 1900;
    t.tm_mon = atoi(r.time.c_str() + 5) - 1;
    t.tm_mday = atoi(r.time.c_str() + 8);
    t.tm_hour = atoi(r.time.c_str() + 11);
    t.tm_min = atoi(r.time.c_str() + 14);
    t.tm_sec = atoi(r.time.c_str() + 17);
    return t;
}

FastenResult resultOf(const StoredResult& r) {
    FastenResult f;
    f.FastenTime = uint16_t(r.fastenTime);
    f.Preset = uint16_t(r.preset);
    f.TargetTorque = uint16_t(r.targetTorque);
    f.ConvTorque = uint16_t(r.torque);
    f.Speed = uint16_t(r.speed);
    f.A1 = uint16_t(r.a1);
    f.A2 = uint16_t(r.a2);
    f.A3 = uint16_t(r.a3);
    f.ScrewNo = uint16_t(r.screw);
    f.Error = uint16_t(r.error);
    f.Direction = uint16_t(r.direction);
    f.Status = uint16_t(r.status);
    f.Snug = uint16_t(r.snug);
    return f;
}

bool same(const StoredResult& a, const StoredResult& b) {
    return a.time == b.time && a.job == b.job && a.step == b.step && a.barcode == b.barcode &&
           a.tool == b.tool && a.fastenTime == b.fastenTime && a.preset == b.preset &&
           a.targetTorque == b.targetTorque && a.torque == b.torque && a.speed == b.speed &&
           a.a1 == b.a1 && a.a2 == b.a2 && a.a3 == b.a3 && a.screw == b.screw &&
           a.error == b.error && a.direction == b.direction && a.status == b.status &&
           a.snug == b.snug;
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
        if (!nul && !same(r, back)) __builtin_trap();
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
