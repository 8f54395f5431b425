#include "StepPicture.h"

#include "ApplicationDeviceClass.h"
#include "ExternImage.h"

bool StepPicture::Storable(const QString& path) {
    const QByteArray stored = ApplicationDeviceClass::ToNative(path);
    return stored.size() <= MaxPathBytes && ApplicationDeviceClass::FromNative(stored) == path;
}

QPixmap StepPicture::Fit(const QString& path, QSize size) {
    if (path != path_) {
        path_ = path;
        // Kept at most screen-sized: a full 4096 x 4096 decode is 64 MB.
        const QImage image = path.isEmpty() ? QImage() : EwLoadExternBitmap(path);
        kept_ = image.width() > kKeep.width() || image.height() > kKeep.height()
                    ? image.scaled(kKeep, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    : image;
        scaled_ = {};
    }
    if (kept_.isNull()) return {};
    if (scaled_.isNull() || size != size_) {
        size_ = size;
        scaled_ =
            QPixmap::fromImage(kept_.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    return scaled_;
}
