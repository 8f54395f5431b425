// Fuzz target: a parameter data file from a storage stick, fed line by line to the loader
// of a driver chosen by the first byte. Whatever the file holds, a line asks for a write
// only to a register from 1 up that the load may change, and every register line the
// panel itself writes reads back as the same write.
#include "../src/gui/page/tools/ParamFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t type = 2 + (data[0] & 1);
    const bool barcodeOnly = data[0] & 2;
    ParamFile::Loader loader(type, 12, barcodeOnly);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const ParamFile::Step s = loader.Feed(text.substr(from, end - from));
        if (s.Kind == ParamFile::Step::Invalid || s.Kind == ParamFile::Step::Mismatch) break;
        if (s.Kind == ParamFile::Step::Write) {
            if (s.Address < 1 || s.Address == 251 || s.Address == 252 || s.Address == 260)
                __builtin_trap();
            if (barcodeOnly && s.Address < ParamFile::BarcodeSelect) __builtin_trap();
            // The panel's own form of the same line reads back as the same write.
            std::string again = ParamFile::Line(s.Address, s.Value);
            again.pop_back();
            const ParamFile::Step r = loader.Feed(again);
            if (r.Kind != s.Kind || r.Address != s.Address || r.Value != s.Value) __builtin_trap();
        }
        from = end + 1;
    }
    return 0;
}
