#include "PageSettingLog.h"

#include "PageSettingOperation.h"

PageSettingLog::PageSettingLog(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingLog");
    setStyleSheet(PageSettingOperation::CompactStyle());
    AddChoice("LogPath", "Log location", {"   Internal storage", "   Micro SD"});
    addRow("Result list columns", nullptr);
    const struct {
        const char* property;
        const char* label;
    } columns[] = {
        {"LogToolname", "Tool name"},
        {"LogBarcode", "Barcode"},
        {"LogFtime", "Fastening time"},
        {"LogPreset", "Preset"},
        {"LogTtorque", "Target torque"},
        {"LogCtorque", "Converted torque"},
        {"LogSpeed", "Speed"},
        {"LogA1", "A1"},
        {"LogA2", "A2"},
        {"LogA3", "A3"},
        {"LogScrewNo", "Screw no"},
        {"LogError", "Error"},
        {"LogDirection", "Direction"},
        {"LogStatus", "Status"},
        {"LogSnug", "Snug"},
    };
    for (const auto& c : columns)
        AddSwitch(c.property, c.label);
}
