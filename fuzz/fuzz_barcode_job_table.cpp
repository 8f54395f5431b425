// Fuzz target: the job barcode table file ("~"-separated lines).
#include "barcode.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BarcodeTable t;
    BarcodeTable_Parse(&t, reinterpret_cast<const char*>(data), size, BARCODE_KIND_JOB);
    for (const BarcodeEntry& e : t.rows) {
        if (strnlen(e.code, sizeof e.code) > BARCODE_MAX) __builtin_trap();
        if (BARCODE_KIND_JOB == BARCODE_KIND_JOB &&
            strnlen(e.target, sizeof e.target) >= sizeof e.target)
            __builtin_trap();
    }
    // What is saved reads back as the same table.
    std::string text = BarcodeTable_Format(&t, BARCODE_KIND_JOB);
    BarcodeTable back;
    BarcodeTable_Parse(&back, text.data(), text.size(), BARCODE_KIND_JOB);
    if (BarcodeTable_Format(&back, BARCODE_KIND_JOB) != text) __builtin_trap();
    for (const BarcodeEntry& e : t.rows)
        BarcodeTable_Match(&t, e.code);
    return 0;
}
