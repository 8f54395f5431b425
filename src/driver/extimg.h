// External image decoders: JPEG and PNG files from storage become opaque ARGB pixel
// buffers for the GUI. Plain buffers, no GUI types, so they can be fuzzed alone.
#pragma once

#include <cstdint>
#include <cstdio>

// Decoded picture: width x height pixels, rows without padding, each 0xFFRRGGBB (opaque).
// `pixels` is malloc'd; ExtImg_Free releases it.
struct ExtImgBitmap {
    int32_t width;
    int32_t height;
    uint32_t* pixels;
};

// JPEG pictures are scaled in the decoder to fit the screen.
constexpr int32_t ExtImgJpegMaxWidth = 1280;
constexpr int32_t ExtImgJpegMaxHeight = 800;
// PNG pictures larger than this in either direction are refused.
constexpr int32_t ExtImgPngMaxSide = 4096;

// Told the declared size of a PNG that was refused for being too large.
using ExtImgTooLargeFn = void (*)(void* context, int32_t width, int32_t height);

// Decodes a JPEG from the start of `file`, lowering the decoder's scale (16ths) until the
// output fits 1280 x 800. Grey and CMYK input become RGB. Returns 0, or -1 (nothing
// allocated) on any decoding error or when even the smallest scale does not fit.
int decomp_jpg(ExtImgBitmap* out, FILE* file);
// Decodes a PNG whose 8 signature bytes were already read from `file`. Palette, grey,
// low and 16-bit depths are expanded to 8-bit RGB; alpha is dropped. Returns 0 or -1;
// when the declared width or height exceeds 4096, `tooLarge` (if any) gets both first.
int decomp_png(ExtImgBitmap* out, FILE* file, ExtImgTooLargeFn tooLarge, void* context);

// Sniffs the signature (0xFF 0xD8 for JPEG, the 8-byte PNG signature) and decodes.
// Returns 0, or -1 for another format or a decoding error.
int ExtImg_Load(ExtImgBitmap* out, FILE* file, ExtImgTooLargeFn tooLarge, void* context);
// The same from a file path; -1 when it cannot be opened.
int ExtImg_LoadPath(ExtImgBitmap* out, const char* path, ExtImgTooLargeFn tooLarge, void* context);
void ExtImg_Free(ExtImgBitmap* bitmap);
