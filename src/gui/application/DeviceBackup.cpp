// Device object, backup and upgrade family: the network queue's save and load messages
// and the program replacement.
#include "ApplicationDeviceClass.h"

#include "backup.h"
#include "debug.h"
#include "net.h"
#include "upgrade.h"

bool ApplicationDeviceClass::P2PPathFits(const QString& path) {
    return path.toUtf8().size() < NET_MSG_PATH_SIZE;
}

// The queue would cut a longer path, and the archive would land under another name.
int32_t ApplicationDeviceClass::P2PSave(const QString& path) {
    if (!P2PPathFits(path)) {
        DBG_ERR("backup path of %d bytes refused", int(path.toUtf8().size()));
        return -1;
    }
    return Net_PushMsgQ_P2PSave(path.toUtf8().constData());
}

int32_t ApplicationDeviceClass::P2PLoad(const QString& path) {
    if (!P2PPathFits(path)) {
        DBG_ERR("backup path of %d bytes refused", int(path.toUtf8().size()));
        return -1;
    }
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

QString ApplicationDeviceClass::FallbackReason() {
    return QString::fromStdString(Upgrade_FallbackReason());
}
