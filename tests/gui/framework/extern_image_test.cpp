// External bitmaps: real JPEG and PNG files of every colour type written in the data
// home, decoded to opaque pixels; refused, damaged and foreign files give no image.
#include "ApplicationDeviceClass.h"
#include "ExternImage.h"
#include "RecordingSink.h"
#include "TestEnv.h"
#include "ew_driver.h"

#include <QColor>
#include <QFile>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

QImage filled(int w, int h, QImage::Format f, QColor c) {
    QImage img(w, h, f);
    img.fill(c);
    return img;
}

// libjpeg writes CMYK with the Adobe marker and the values as given (inverted ink).
bool saveCmykJpeg(const char* path, int w, int h, const uint8_t cmyk[4]) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    std::tie(c.image_width, c.image_height, c.input_components, c.in_color_space) =
        std::tuple(JDIMENSION(w), JDIMENSION(h), 4, JCS_CMYK);
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * 4);
    for (int x = 0; x < w; ++x)
        std::copy(cmyk, cmyk + 4, row.begin() + x * 4);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    fclose(f);
    return true;
}

// Bit depth and colour type from the IHDR, so each row really tests the input it names.
std::pair<int, int> pngType(const char* path) {
    std::string d = TestEnv::readFile(path);
    return d.size() > 25 ? std::make_pair(int(uint8_t(d[24])), int(uint8_t(d[25])))
                         : std::make_pair(-1, -1);
}

QImage noise(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    uint32_t s = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1103515245u + 12345u;
            img.setPixel(x, y, 0xFF000000u | (s >> 8));
        }
    return img;
}

// Writes `img` as "in" in the data home, then keeps only its first `keep` part.
std::function<bool()> as(QImage img, const char* fmt, double keep = 1) {
    return [img, fmt, keep] {
        const bool ok = img.save("in", fmt);
        const std::string data = TestEnv::readFile("in");
        TestEnv::writeFile("in", data.substr(0, size_t(double(data.size()) * keep)));
        return ok;
    };
}

TEST(ExternImage, DecodesEveryInputToOpaqueRgb) {
    TestEnv env;
    const uint8_t red[4] = {255, 0, 0, 255}; // inverted: no cyan, full magenta and yellow
    QImage palette(40, 20, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(255, 0, 0), qRgb(0, 160, 40)});
    palette.fill(1);
    QImage mono(33, 9, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(1);
    using enum QImage::Format;
    const QColor grey(128, 128, 128), dark(77, 77, 77), light(200, 200, 200);
    const QColor green(10, 200, 30), greenA(10, 200, 30, 64), orange(250, 120, 5),
        orangeA(250, 120, 5, 128);
    // A name; the image written as "in" in the data home, its size expected back; its format
    // ("CMYK": a JPEG of that size in the colours of `red`); the colour at the centre, each
    // channel within 6; the PNG's bit depth and colour type (JPEG: {0, 0}).
    const std::tuple<const char*, QImage, const char*, QColor, std::pair<int, int>> cases[] = {
        {"jpeg grey", filled(200, 100, Format_Grayscale8, grey), "JPG", grey, {0, 0}},
        {"jpeg cmyk", QImage(64, 32, Format_RGB32), "CMYK", Qt::red, {0, 0}},
        {"jpeg 1280x800 kept", filled(1280, 800, Format_RGB32, Qt::blue), "JPG", Qt::blue, {}},
        {"png grey 8", filled(30, 20, Format_Grayscale8, dark), "PNG", dark, {8, 0}},
        {"png grey 16", filled(30, 20, Format_Grayscale16, light), "PNG", light, {16, 0}},
        {"png palette", palette, "PNG", QColor(0, 160, 40), {8, 3}},
        {"png 1 bit", mono, "PNG", Qt::white, {1, 3}},
        {"png alpha", filled(30, 20, Format_ARGB32, greenA), "PNG", green, {8, 6}},
        {"png rgba 16", filled(30, 20, Format_RGBA64, orangeA), "PNG", orange, {16, 6}},
        {"png 4096 wide kept", filled(4096, 2, Format_RGB32, Qt::red), "PNG", Qt::red, {8, 2}},
    };
    for (const auto& [name, in, fmt, expect, png] : cases) {
        SCOPED_TRACE(name);
        const QSize size = in.size();
        ASSERT_TRUE(std::string(fmt) == "CMYK"
                        ? saveCmykJpeg("in", size.width(), size.height(), red)
                        : in.save("in", fmt));
        if (png.first) {
            EXPECT_EQ(pngType("in"), png);
        }
        int reports = 0;
        QImage img = EwLoadExternBitmap("in", [&](int32_t, int32_t) { ++reports; });
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(std::tuple(img.size(), img.hasAlphaChannel(), reports),
                  std::tuple(size, false, 0));
        QRgb p = img.pixel(size.width() / 2, size.height() / 2);
        EXPECT_EQ(qAlpha(p), 255);
        for (auto [got, want] : {std::pair{qRed(p), expect.red()},
                                 {qGreen(p), expect.green()},
                                 {qBlue(p), expect.blue()}})
            EXPECT_NEAR(got, want, 6);
    }
}

// A photograph larger than the screen is scaled by the decoder to the largest sixteenth
// that fits: 4/16 of 4000 x 3000 (5/16 would be 1250 x 937, too tall).
TEST(ExternImage, LargeJpegIsScaledInTheDecoder) {
    TestEnv env;
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(Qt::red);
    for (int y = 0; y < 3000; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(photo.scanLine(y)) + 2000, 2000, qRgb(0, 0, 255));
    ASSERT_TRUE(photo.save("photo.jpg", "JPG"));
    QImage img = EwLoadExternBitmap("photo.jpg");
    ASSERT_EQ(img.size(), QSize(1000, 750));
    EXPECT_GT(qRed(img.pixel(100, 375)), 240);
    EXPECT_GT(qBlue(img.pixel(900, 375)), 240);
    EXPECT_LT(qRed(img.pixel(900, 375)), 16);
}

// A name as the file manager lists it (each stored byte one character) is found: the
// bytes of a UTF-8 name and of a Latin-1 one.
TEST(ExternImage, NamesWithHighBytesAreFoundAsListed) {
    TestEnv env;
    QImage small(8, 6, QImage::Format_RGB32);
    small.fill(Qt::green);
    for (const char* name : {"caf\xc3\xa9.png", "caf\xe9.png"}) {
        ASSERT_TRUE(small.save("tmp.png", "PNG"));
        ASSERT_EQ(std::rename("tmp.png", name), 0);
        EXPECT_EQ(EwLoadExternBitmap(ApplicationDeviceClass::FromNative(name)).size(), QSize(8, 6))
            << name;
    }
}

std::function<bool()> bytes(std::string data) {
    return [data] {
        TestEnv::writeFile("in", data);
        return true;
    };
}

// Makes "in" a fifo, or a link to one.
std::function<bool()> fifo(bool link) {
    return [link] {
        QFile::remove("in");
        const char* made = link ? "fifo.png" : "in";
        return mkfifo(made, 0600) == 0 && (!link || symlink(made, "in") == 0);
    };
}

TEST(ExternImage, RefusedDamagedAndForeignFilesGiveNoImage) {
    TestEnv env;
    using F = QImage::Format;
    // A name, what writes "in", the refusals reported.
    const std::tuple<const char*, std::function<bool()>, std::vector<std::string>> cases[] = {
        {"png 5000 x 100", as(filled(5000, 100, F::Format_RGB32, Qt::red), "PNG"), {"5000 x 100"}},
        {"png 100 x 4097", as(filled(100, 4097, F::Format_RGB32, Qt::red), "PNG"), {"100 x 4097"}},
        {"png cut in half", as(noise(300, 200), "PNG", 0.5), {}},
        {"png header only", as(noise(30, 20), "PNG", 0.05), {}},
        {"jpeg cut in half", as(noise(640, 480), "JPG", 0.5), {}},
        {"jpeg 30000 x 30000 declared",
         [] {
             // The start-of-frame carries height then width after length and precision.
             std::string d;
             if (!noise(16, 16).save("in", "JPG")) return false;
             d = TestEnv::readFile("in");
             size_t sof = d.find("\xFF\xC0");
             if (sof == std::string::npos) return false;
             d.replace(sof + 5, 4, std::string("\x75\x30\x75\x30", 4));
             TestEnv::writeFile("in", d);
             return true;
         },
         {}},
        {"bmp", as(noise(30, 20), "BMP"), {}},
        {"png signature only", bytes(std::string("\x89PNG\r\n\x1a\n", 8)), {}},
        {"empty", bytes(""), {}},
        {"missing", [] { return QFile::remove("in") || true; }, {}},
        // Nobody writes these: an open that waits for a writer never returns.
        {"fifo", fifo(false), {}},
        {"link to a fifo", fifo(true), {}},
    };
    for (const auto& [name, make, expected] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(make());
        std::vector<std::string> reports;
        QImage img = EwLoadExternBitmap("in", [&](int32_t w, int32_t h) {
            reports.push_back(std::to_string(w) + " x " + std::to_string(h));
        });
        EXPECT_TRUE(img.isNull());
        EXPECT_EQ(reports, expected);
    }
}

// Without a listener of its own the refusal reaches the device as "image too large".
TEST(ExternImage, RefusalIsPostedToTheDevice) {
    TestEnv env;
    RecordingSink sink;
    EwDriver_CreateQueue();
    EwDriver_SetDeviceObject(&sink);
    ASSERT_TRUE(filled(5000, 100, QImage::Format_RGB32, Qt::red).save("big.png", "PNG"));
    EXPECT_TRUE(EwLoadExternBitmap("big.png").isNull());
    EXPECT_TRUE(sink.waitFor("image too large"));
    EXPECT_EQ(sink.with("image too large"), std::vector<std::string>{"image too large 5000 100"});
    EwDriver_SetDeviceObject(nullptr);
}

} // namespace
