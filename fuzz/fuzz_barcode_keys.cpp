// Fuzz target: input event streams from the barcode scanner through the key decoder.
#include "barcode.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BarcodeKeyState s;
    BarcodeKey_Reset(&s);
    for (size_t pos = 0; pos + BARCODE_EVENT_SIZE <= size; pos += BARCODE_EVENT_SIZE) {
        uint16_t type, code;
        int32_t value;
        if (BarcodeKey_ParseEvent(data + pos, size - pos, BARCODE_EVENT_SIZE, &type, &code,
                                  &value) != 0)
            __builtin_trap();
        int done = BarcodeKey_Feed(&s, type, code, value);
        // The buffer always stays terminated and a code never exceeds 32 characters.
        if (s.buf[BARCODE_MAX] != '\0' || s.count < 0 || s.count > BARCODE_MAX) __builtin_trap();
        if (done == 1 && (strlen(s.buf) == 0 || strlen(s.buf) > BARCODE_MAX)) __builtin_trap();
    }
    return 0;
}
