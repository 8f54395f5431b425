// External bitmaps for the screens: a JPEG or PNG file from storage as an opaque QImage.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

// Told the declared size of a PNG refused for exceeding 4096 x 4096.
using ExternImageTooLarge = std::function<void(int32_t width, int32_t height)>;

// Returns the decoded picture (JPEG scaled in the decoder to fit 1280 x 800), or a null
// image when the file cannot be opened, is neither JPEG nor PNG, or fails to decode.
// Without `tooLarge` the refusal is posted as the device's "image too large" event.
QImage EwLoadExternBitmap(const QString& path, const ExternImageTooLarge& tooLarge = {});
