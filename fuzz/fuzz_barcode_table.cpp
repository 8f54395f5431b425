// Fuzz target: both barcode table files ("~"-separated lines), each input read as either
// kind: bounded codes and targets, a saved table reads back as the same, every code matches.
#include "barcode.h"

#include <cstring>
#include <string>

namespace {
void checkTable(const uint8_t* data, size_t size, int kind) {
    BarcodeTable t;
    BarcodeTable_Parse(&t, reinterpret_cast<const char*>(data), size, kind);
    for (const BarcodeEntry& e : t.rows) {
        if (strnlen(e.code, sizeof e.code) > BARCODE_MAX) __builtin_trap();
        if (kind == BARCODE_KIND_JOB && strnlen(e.target, sizeof e.target) >= sizeof e.target)
            __builtin_trap();
    }
    std::string text = BarcodeTable_Format(&t, kind);
    BarcodeTable back;
    BarcodeTable_Parse(&back, text.data(), text.size(), kind);
    if (BarcodeTable_Format(&back, kind) != text) __builtin_trap();
    for (const BarcodeEntry& e : t.rows)
        BarcodeTable_Match(&t, e.code);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int kind : {BARCODE_KIND_JOB, BARCODE_KIND_TOOL})
        checkTable(data, size, kind);
    return 0;
}
