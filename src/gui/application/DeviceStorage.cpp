// Device-object family "storage and files": storage usage figures, the drive list, the
// micro SD slot and the program file.
#include "ApplicationDeviceClass.h"
#include "browser.h"
#include "common.h"
#include "debug.h"

UnitStorageUsageData ApplicationDeviceClass::GetStorageUsage(const QString& path) {
    UnitStorageUsageData d;
    BrowserStorageStat st{};
    QByteArray native = ToNative(path);
    int rc = Browser_StorageStat(native.constData(), &st);
    if (rc == -1) {
        d.TotalGB = d.FreeGB = d.UsedGB = d.TotalMB = d.FreeMB = d.UsedMB = d.UsedPercent =
            QString("");
        return d;
    }
    if (rc != 0) return d;
    const double gb = 1024.0 * 1024.0 * 1024.0, mb = 1024.0 * 1024.0;
    const double total = double(st.total), freeb = double(st.free);
    const double used = total - freeb;
    d.TotalGB = QString::asprintf("%.1f", total / gb);
    d.FreeGB = QString::asprintf("%.1f", freeb / gb);
    d.UsedGB = QString::asprintf("%.1f", used / gb);
    d.TotalMB = QString::asprintf("%.0f", total / mb);
    d.FreeMB = QString::asprintf("%.0f", freeb / mb);
    d.UsedMB = QString::asprintf("%.0f", used / mb);
    // An empty file system (total 0) is 0 % used rather than a division by zero.
    d.UsedPercent = QString::asprintf("%.0f", total > 0 ? used / total * 100.0 : 0.0);
    return d;
}

int32_t ApplicationDeviceClass::RefreshDrvs() {
    return Browser_Refresh_Drvs();
}

int32_t ApplicationDeviceClass::GetDrvsLen() {
    return Browser_GetDrvsLen();
}

QString ApplicationDeviceClass::GetDrvDev(int32_t index) {
    return FromNative(Browser_GetDrvName(index));
}

int32_t ApplicationDeviceClass::RefreshFiles(const QString& path) {
    return Browser_Refresh_DirAndFiles(ToNative(path).constData());
}

int32_t ApplicationDeviceClass::GetDirsLen() {
    return Browser_GetDirsLen();
}

int32_t ApplicationDeviceClass::GetFilesLen() {
    return Browser_GetFilesLen();
}

int32_t ApplicationDeviceClass::CheckFileDirExist(const QString& path) {
    return Browser_CheckExist(ToNative(path).constData());
}

QString ApplicationDeviceClass::GetDirName(int32_t index) {
    const BrowserItem* item = Browser_GetDir(index);
    return item ? FromNative(item->name) : QString();
}

QString ApplicationDeviceClass::GetFileName(int32_t index) {
    const BrowserItem* item = Browser_GetFile(index);
    return item ? FromNative(item->name) : QString();
}

int32_t ApplicationDeviceClass::BrowserMakeDir(const QString& root, const QString& dir,
                                               const QString& name) {
    return Browser_MakeDir(ToNative(root).constData(), ToNative(dir).constData(),
                           ToNative(name).constData());
}

int32_t ApplicationDeviceClass::BrowserRename(const QString& root, const QString& dir,
                                              const QString& from, const QString& to) {
    return Browser_Rename(ToNative(root).constData(), ToNative(dir).constData(),
                          ToNative(from).constData(), ToNative(to).constData());
}

int32_t ApplicationDeviceClass::BrowserRemove(const QString& root, const QString& dir,
                                              const QString& name) {
    return Browser_Remove(ToNative(root).constData(), ToNative(dir).constData(),
                          ToNative(name).constData());
}

int32_t ApplicationDeviceClass::BrowserTransfer(bool move, const QString& srcRoot,
                                                const QString& srcDir, const QString& name,
                                                const QString& dstRoot, const QString& dstDir) {
    const QByteArray a = ToNative(srcRoot), b = ToNative(srcDir), n = ToNative(name),
                     c = ToNative(dstRoot), d = ToNative(dstDir);
    return (move ? Browser_Move : Browser_Copy)(a.constData(), b.constData(), n.constData(),
                                                c.constData(), d.constData());
}

bool ApplicationDeviceClass::IsMicroSdPresent() {
    return Common_MicroSdPresent();
}

void ApplicationDeviceClass::MarkProgramExecutable() {
    std::string cmd = "chmod +x " + Common_ShellQuote(Common_HomePath("zqcapp"));
    if (int rc = Common_System(cmd); rc != 0) DBG_ERR("%s failed (%d)", cmd.c_str(), rc);
}
