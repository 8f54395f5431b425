// Fuzz target: the JPEG decoder of external pictures, fed from memory as from a file.
#include "debug.h"
#include "extimg.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    if (size == 0) return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    ExtImgBitmap bmp{};
    int rc = decomp_jpg(&bmp, f);
    fclose(f);
    if (rc != 0) {
        if (bmp.pixels) __builtin_trap(); // a failure leaves nothing behind
        return 0;
    }
    // The decoder's scale keeps every picture within the screen.
    if (bmp.width <= 0 || bmp.height <= 0 || bmp.width > ExtImgJpegMaxWidth ||
        bmp.height > ExtImgJpegMaxHeight || !bmp.pixels)
        __builtin_trap();
    for (size_t i = 0, n = size_t(bmp.width) * size_t(bmp.height); i < n; ++i)
        if ((bmp.pixels[i] >> 24) != 0xFF) __builtin_trap();
    ExtImg_Free(&bmp);
    return 0;
}
