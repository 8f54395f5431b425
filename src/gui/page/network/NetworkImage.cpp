#include "NetworkImage.h"

#include "ApplicationDeviceClass.h"

namespace NetworkImage {

QString TextAt(const QVector<uint16_t>& image, int first) {
    QByteArray bytes;
    for (int i = 0; i < 16 && first + i < image.size(); ++i) {
        uint16_t w = image[first + i];
        bytes.append(char(w & 0xff));
        bytes.append(char(w >> 8));
    }
    int nul = bytes.indexOf('\0');
    return ApplicationDeviceClass::FromNative(bytes.left(nul < 0 ? bytes.size() : nul).constData());
}

void PutText(QVector<uint16_t>& image, int first, const QString& text) {
    QByteArray bytes = ApplicationDeviceClass::ToNative(text).left(TextMax);
    bytes.resize(32, '\0');
    for (int i = 0; i < 16; ++i)
        image[first + i] = uint16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
}

QString Check(const NetworkForm& f) {
    if (ApplicationDeviceClass::ToNative(f.Ssid).size() > TextMax)
        return QString("Invalid SSID length (max %1)").arg(TextMax);
    if (ApplicationDeviceClass::ToNative(f.Psk).size() > TextMax)
        return QString("Invalid password length (max %1)").arg(TextMax);
    return {};
}

NetworkForm FormOf(const QVector<uint16_t>& in) {
    QVector<uint16_t> image = in;
    image.resize(Words);
    NetworkForm f;
    f.Wifi = image[0];
    f.Dhcp = image[1] == 1;
    for (int i = 0; i < 12; ++i)
        f.Octets[i] = QString::number(image[2 + i]);
    f.Port = QString::number(image[14]);
    f.Ssid = TextAt(image, 20);
    f.Psk = TextAt(image, 36);
    f.Country = image[52];
    return f;
}

QVector<uint16_t> ImageOf(const NetworkForm& f, const QVector<uint16_t>& in) {
    QVector<uint16_t> image = in;
    image.resize(Words);
    image[0] = uint16_t(f.Wifi);
    image[1] = f.Dhcp ? 1 : 0;
    if (!f.Dhcp)
        for (int i = 0; i < 12; ++i)
            image[2 + i] = uint16_t(f.Octets[i].trimmed().toUInt());
    bool ok = false;
    uint port = f.Port.trimmed().toUInt(&ok);
    image[14] = uint16_t(ok && port <= 0xffff ? port : DefaultPort);
    PutText(image, 20, f.Ssid);
    PutText(image, 36, f.Psk);
    image[52] = uint16_t(f.Country);
    return image;
}
} // namespace NetworkImage
