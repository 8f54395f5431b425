// Fuzz target: a result line built from outside texts (barcodes from the scanner or the
// tool, names typed at the panel) always reads back as 19 CSV fields with the same texts.
#include "../tests/support/CsvRead.h"
#include "eventlog.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Four NUL-free texts separated by NUL bytes: job, step, barcode, tool.
    std::string in(reinterpret_cast<const char*>(data), size > 512 ? 512 : size);
    std::string texts[4];
    size_t k = 0;
    for (char c : in) {
        if (c == '\0') {
            if (++k == 4) break;
        } else {
            texts[k] += c;
        }
    }
    struct tm t = {};
    t.tm_year = 126;
    t.tm_mday = 1;
    FastenResult r;
    if (size >= 2) r.ConvTorque = uint16_t(data[0] << 8 | data[1]);
    std::string line = EventLog_FormatLine(t, texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                                           texts[3].c_str(), r);
    if (line.empty() || line.back() != '\n') __builtin_trap();
    std::vector<std::string> f = CsvSplit(line);
    if (f.size() != 19) __builtin_trap();
    for (int i = 0; i < 4; ++i)
        if (f[size_t(i) + 1] != texts[i]) __builtin_trap();
    return 0;
}
