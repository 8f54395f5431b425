// Fuzz target: the job barcode table file.
#include "barcode_table_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz_BarcodeTable(data, size, BARCODE_KIND_JOB);
    return 0;
}
