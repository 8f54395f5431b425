#include "ApplicationDeviceClass.h"

ApplicationDeviceClass::ApplicationDeviceClass(QObject* parent) : QObject(parent) {
    setObjectName("ApplicationDevice");
}

ApplicationDeviceClass::~ApplicationDeviceClass() = default;

QByteArray ApplicationDeviceClass::ToNative(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    // One blank per character that does not fit, counting a surrogate pair once; a NUL
    // would cut the text short in the driver, so it becomes a blank too.
    for (char32_t c : text.toUcs4())
        out.append(c != 0 && c <= 0xff ? char(c) : ' ');
    return out;
}

QString ApplicationDeviceClass::FromNative(const char* text) {
    return text ? QString::fromLatin1(text) : QString();
}

ApplicationDeviceClass* ApplicationDevice() {
    static ApplicationDeviceClass* instance = new ApplicationDeviceClass();
    return instance;
}
