// Device object, backup and upgrade family: the network queue's save and load messages
// and the program replacement.
#include "ApplicationDeviceClass.h"

#include "backup.h"
#include "net.h"
#include "upgrade.h"

int32_t ApplicationDeviceClass::P2PSave(const QString& path) {
    return Net_PushMsgQ_P2PSave(path.toUtf8().constData());
}

int32_t ApplicationDeviceClass::P2PLoad(const QString& path) {
    return Net_PushMsgQ_P2PLoad(path.toUtf8().constData());
}

int32_t ApplicationDeviceClass::P2PLastResult() {
    return Backup_LastResult();
}

QString ApplicationDeviceClass::P2PDefaultName() {
    UnitTime t = GetTime();
    return QString::asprintf("Kest_%04d%02d%02d.p2p", int(t.Year), int(t.Month), int(t.Day));
}

int32_t ApplicationDeviceClass::SwUpgrade(const QString& file) {
    return Upgrade_Install(file.toUtf8().constData());
}
