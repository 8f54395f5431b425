#include "ApplicationDeviceClass.h"

ApplicationDeviceClass::ApplicationDeviceClass(QObject* parent) : QObject(parent) {
    setObjectName("ApplicationDevice");
}

ApplicationDeviceClass::~ApplicationDeviceClass() = default;

QByteArray ApplicationDeviceClass::ToNative(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(c.unicode() <= 0xff ? char(c.unicode()) : ' ');
    return out;
}

QString ApplicationDeviceClass::FromNative(const char* text) {
    return text ? QString::fromLatin1(text) : QString();
}

ApplicationDeviceClass* ApplicationDevice() {
    static ApplicationDeviceClass* instance = new ApplicationDeviceClass();
    return instance;
}
