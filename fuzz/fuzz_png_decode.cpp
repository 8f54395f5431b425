// Fuzz target: the PNG decoder of external pictures. The first 8 bytes stand for the
// signature the loader has already read and compared.
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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Debug_SetQuiet(true);
    if (size <= 8) return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    ExtImgBitmap bmp{};
    Report report;
    int rc = fseek(f, 8, SEEK_SET) == 0 ? decomp_png(&bmp, f, tooLarge, &report) : -1;
    fclose(f);
    if (report.count > 1) __builtin_trap();
    if (report.count == 1 &&
        (rc == 0 || (report.width <= ExtImgPngMaxSide && report.height <= ExtImgPngMaxSide)))
        __builtin_trap(); // only a refused picture over the limit is reported
    if (rc != 0) {
        if (bmp.pixels) __builtin_trap();
        return 0;
    }
    if (bmp.width <= 0 || bmp.height <= 0 || bmp.width > ExtImgPngMaxSide ||
        bmp.height > ExtImgPngMaxSide || !bmp.pixels)
        __builtin_trap();
    for (size_t i = 0, n = size_t(bmp.width) * size_t(bmp.height); i < n; ++i)
        if ((bmp.pixels[i] >> 24) != 0xFF) __builtin_trap();
    ExtImg_Free(&bmp);
    return 0;
}
