// Fuzz target: the decoders of external pictures, fed from memory as from a file: the JPEG
// decoder the whole input, the PNG decoder what follows its first 8 bytes (they stand for
// the signature the loader has already read and compared).
#include "debug.h"
#include "extimg.h"

#include <cstdio>

namespace {
struct Report {
    int count = 0;
    int32_t width = 0, height = 0;
};
void tooLarge(void* context, int32_t width, int32_t height) {
    auto* r = static_cast<Report*>(context);
    ++r->count;
    r->width = width;
    r->height = height;
}
// A decoded picture lies within the bounds, every pixel opaque; a failure leaves nothing.
void checkPicture(ExtImgBitmap& bmp, int rc, int32_t maxWidth, int32_t maxHeight) {
    if (rc != 0) {
        if (bmp.pixels) __builtin_trap();
        return;
    }
    if (bmp.width <= 0 || bmp.height <= 0 || bmp.width > maxWidth || bmp.height > maxHeight ||
        !bmp.pixels)
        __builtin_trap();
    for (size_t i = 0, n = size_t(bmp.width) * size_t(bmp.height); i < n; ++i)
        if ((bmp.pixels[i] >> 24) != 0xFF) __builtin_trap();
    ExtImg_Free(&bmp);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    if (size == 0) return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    ExtImgBitmap jpeg{};
    int rc = decomp_jpg(&jpeg, f);
    fclose(f);
    // The JPEG decoder's scale keeps every picture within the screen.
    checkPicture(jpeg, rc, ExtImgJpegMaxWidth, ExtImgJpegMaxHeight);
    if (size <= 8 || !(f = fmemopen(const_cast<uint8_t*>(data), size, "rb"))) return 0;
    ExtImgBitmap png{};
    Report report;
    rc = fseek(f, 8, SEEK_SET) == 0 ? decomp_png(&png, f, tooLarge, &report) : -1;
    fclose(f);
    if (report.count > 1) __builtin_trap();
    if (report.count == 1 &&
        (rc == 0 || (report.width <= ExtImgPngMaxSide && report.height <= ExtImgPngMaxSide)))
        __builtin_trap(); // only a refused picture over the limit is reported
    checkPicture(png, rc, ExtImgPngMaxSide, ExtImgPngMaxSide);
    return 0;
}
