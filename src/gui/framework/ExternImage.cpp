#include "ExternImage.h"

#include "ew_driver.h"
#include "extimg.h"

namespace {

void reportTooLarge(void* context, int32_t width, int32_t height) {
    auto* tooLarge = static_cast<const ExternImageTooLarge*>(context);
    if (*tooLarge)
        (*tooLarge)(width, height);
    else
        EwDriver_PushMsgQ_NotifyImgTooLarge(width, height);
}

} // namespace

QImage EwLoadExternBitmap(const QString& path, const ExternImageTooLarge& tooLarge) {
    if (path.isEmpty()) return {};
    ExtImgBitmap bitmap{};
    // Paths come from the device object, one character per stored byte: back to the same
    // bytes, or a name with bytes above 127 (UTF-8 among them) would not be found.
    const QByteArray native = path.toLatin1();
    if (ExtImg_LoadPath(&bitmap, native.constData(), reportTooLarge,
                        const_cast<ExternImageTooLarge*>(&tooLarge)) != 0)
        return {};
    // The image takes the decoder's buffer as it is and frees it when the last copy goes.
    return QImage(
        reinterpret_cast<uchar*>(bitmap.pixels), bitmap.width, bitmap.height,
        qsizetype(bitmap.width) * 4, QImage::Format_RGB32, [](void* p) { free(p); }, bitmap.pixels);
}
