#include "PageSetting.h"

PageSetting::PageSetting(QWidget* parent)
    : PageTabHost({{"tabSettingOperation", "Operation", ScreenId::SettingOperation},
                   {"tabSettingIo", "I/O", ScreenId::SettingIo},
                   {"tabSettingLog", "Log", ScreenId::SettingLog},
                   {"tabSettingBarcode", "Barcode", ScreenId::SettingBarcode},
                   {"tabSettingNetwork", "Network", ScreenId::SettingNetwork},
                   {"tabSettingShare", "Share", ScreenId::SettingShare},
                   {"tabSettingSystem", "System", ScreenId::SettingSystem}},
                  parent) {
    setObjectName("PageSetting");
}
