// External image decoders over libjpeg and libpng. Both libraries report errors by
// calling back; the callbacks log and jump back to the decoder, never end the process.
#include "extimg.h"

#include "common.h"
#include "debug.h"

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

namespace {

// libjpeg keeps progressive coefficients for the whole image; beyond this it would need
// a backing store, which the library then refuses with an error instead of swapping.
constexpr long JpegMemoryLimit = 64L * 1024 * 1024;
// A progressive file can declare endless scans of nothing; real ones have a dozen.
constexpr int JpegMaxScans = 500;

uint32_t opaque(uint32_t r, uint32_t g, uint32_t b) {
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// ---- JPEG ----

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegFail(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    DBG_ERR("jpeg decode fail (%s)", text);
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level) {
    // A file that ends early is padded by the library with grey; that is a damaged
    // picture, not a warning. Other corrupt-data warnings leave a usable picture.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) jpegFail(cinfo);
}

void jpegProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > JpegMaxScans) {
        DBG_ERR("jpeg decode fail (%d scans)", d->input_scan_number);
        longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
    }
}

// Adobe writes CMYK inverted; others store ink amounts.
void cmykRow(const JSAMPLE* in, uint32_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = opaque(c * k / 255, m * k / 255, y * k / 255);
    }
}

void rgbRow(const JSAMPLE* in, uint32_t* out, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, in += 3)
        out[x] = opaque(in[0], in[1], in[2]);
}

// ---- PNG ----

struct PngState {
    jmp_buf jump;
};

void pngFail(png_structp png, png_const_charp text) {
    DBG_ERR("png decode fail (%s)", text);
    longjmp(static_cast<PngState*>(png_get_error_ptr(png))->jump, 1);
}

void pngWarn(png_structp, png_const_charp) {}

} // namespace

int decomp_jpg(ExtImgBitmap* out, FILE* file) {
    if (!out || !file) {
        DBG_ERR("invalid argument");
        return -1;
    }
    *out = ExtImgBitmap{};
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    jpeg_progress_mgr progress{};
    // Touched between setjmp and longjmp: must not live in registers.
    uint32_t* volatile pixels = nullptr;
    JSAMPLE* volatile row = nullptr;

    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        free(pixels);
        free(row);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = JpegMemoryLimit;
    progress.progress_monitor = jpegProgress;
    cinfo.progress = &progress;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.scale_denom = 16;
    cinfo.scale_num = 16;
    jpeg_calc_output_dimensions(&cinfo);
    while (cinfo.output_width > JDIMENSION(ExtImgJpegMaxWidth) ||
           cinfo.output_height > JDIMENSION(ExtImgJpegMaxHeight)) {
        if (cinfo.scale_num <= 1) {
            DBG_ERR("jpeg too large (%u x %u)", cinfo.image_width, cinfo.image_height);
            jpeg_destroy_decompress(&cinfo);
            return -1;
        }
        --cinfo.scale_num;
        jpeg_calc_output_dimensions(&cinfo);
    }

    jpeg_start_decompress(&cinfo);
    const JDIMENSION w = cinfo.output_width, h = cinfo.output_height;
    pixels = static_cast<uint32_t*>(malloc(size_t(w) * h * sizeof(uint32_t)));
    row = static_cast<JSAMPLE*>(malloc(size_t(w) * cinfo.output_components));
    if (!pixels || !row) {
        DBG_ERR("bitmap alloc fail (%u x %u)", w, h);
        jpeg_destroy_decompress(&cinfo);
        free(pixels);
        free(row);
        return -1;
    }
    while (cinfo.output_scanline < h) {
        JSAMPROW rows[1] = {row};
        const JDIMENSION y = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {
            // Only a suspending source returns no line; ours never should.
            DBG_ERR("jpeg read stalled at line %u", y);
            jpeg_destroy_decompress(&cinfo);
            free(pixels);
            free(row);
            return -1;
        }
        if (cmyk)
            cmykRow(row, pixels + size_t(y) * w, w, cinfo.saw_Adobe_marker);
        else
            rgbRow(row, pixels + size_t(y) * w, w);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    free(row);
    out->width = int32_t(w);
    out->height = int32_t(h);
    out->pixels = pixels;
    return 0;
}

int decomp_png(ExtImgBitmap* out, FILE* file, ExtImgTooLargeFn tooLarge, void* context) {
    if (!out || !file) {
        DBG_ERR("invalid argument");
        return -1;
    }
    *out = ExtImgBitmap{};
    PngState state;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, pngFail, pngWarn);
    if (!png) {
        DBG_ERR("png reader create fail");
        return -1;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        DBG_ERR("png info create fail");
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    uint32_t* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(state.jump)) {
        // The header records the declared size before the limit check refuses it.
        const png_uint_32 w = png_get_image_width(png, info);
        const png_uint_32 h = png_get_image_height(png, info);
        if ((w > png_uint_32(ExtImgPngMaxSide) || h > png_uint_32(ExtImgPngMaxSide)) && tooLarge)
            tooLarge(context, int32_t(w), int32_t(h));
        png_destroy_read_struct(&png, &info, nullptr);
        free(pixels);
        free(rows);
        return -1;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, ExtImgPngMaxSide, ExtImgPngMaxSide);
    png_read_info(png, info);

    png_set_expand(png); // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER); // R, G, B, 0xFF: one 32-bit slot a pixel
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) png_error(png, "unexpected row layout");
    pixels = static_cast<uint32_t*>(malloc(size_t(w) * h * sizeof(uint32_t)));
    rows = static_cast<png_bytep*>(malloc(h * sizeof(png_bytep)));
    if (!pixels || !rows) png_error(png, "bitmap alloc fail");
    for (png_uint_32 y = 0; y < h; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels + size_t(y) * w);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    free(rows);

    // Each pixel's bytes R, G, B, 0xFF become one native 0xFFRRGGBB word in place.
    auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    for (size_t i = 0, n = size_t(w) * h; i < n; ++i, bytes += 4)
        pixels[i] = opaque(bytes[0], bytes[1], bytes[2]);
    out->width = int32_t(w);
    out->height = int32_t(h);
    out->pixels = pixels;
    return 0;
}

int ExtImg_Load(ExtImgBitmap* out, FILE* file, ExtImgTooLargeFn tooLarge, void* context) {
    static const uint8_t pngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!out || !file) {
        DBG_ERR("invalid argument");
        return -1;
    }
    *out = ExtImgBitmap{};
    uint8_t head[8];
    if (fread(head, 1, 2, file) != 2) return -1;
    if (head[0] == 0xFF && head[1] == 0xD8) {
        if (fseek(file, 0, SEEK_SET) != 0) return -1;
        return decomp_jpg(out, file);
    }
    if (fread(head + 2, 1, 6, file) != 6 || memcmp(head, pngSig, 8) != 0) return -1;
    return decomp_png(out, file, tooLarge, context);
}

int ExtImg_LoadPath(ExtImgBitmap* out, const char* path, ExtImgTooLargeFn tooLarge, void* context) {
    if (!out || !path) {
        DBG_ERR("invalid argument");
        return -1;
    }
    *out = ExtImgBitmap{};
    // Regular files only, opened without waiting: a FIFO or a device under a picture's
    // name (a restored archive, a stick) would otherwise hold the GUI thread in open().
    const int fd = Common_OpenRegular(path, O_RDONLY);
    FILE* f = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!f) {
        DBG_ERR("image open fail (%s), %s", path, strerror(errno));
        if (fd >= 0) close(fd);
        return -1;
    }
    int rc = ExtImg_Load(out, f, tooLarge, context);
    fclose(f);
    return rc;
}

void ExtImg_Free(ExtImgBitmap* bitmap) {
    if (!bitmap) return;
    free(bitmap->pixels);
    *bitmap = ExtImgBitmap{};
}
