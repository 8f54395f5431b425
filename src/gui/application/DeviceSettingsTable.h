// The settings-backed properties of the device object as one table; the header expands it
// into Q_PROPERTYs, accessors, notify signals and shadow fields, DeviceSettingsProps.cpp
// into the accessor bodies.
#pragma once

// One row per property: X(kind, name, field of the settings record, observers, apply).
//   kind       INT (enumeration index or number, int), BOOL (word holding 0 or 1, bool),
//              TEXT (string buffer, QString), ADDR (IPv4 word, first octet high, uint)
//   observers  NOTIFY: the setter emits <name>Changed; SILENT: the share screen applies
//              these on confirmation, so the setter writes the field only
//   apply      nullptr, or the function that applies the value to the hardware; such a
//              setter also saves the settings file at once
// Setters write memory only otherwise; screens call SaveSetting when the operator confirms.
#define KEST_SETTING_PROPERTIES(X)                                                                 \
    X(INT, Opmode, operation.operation_mode, NOTIFY, nullptr)                                      \
    X(INT, ScrewCountDir, operation.screw_count_dir, NOTIFY, nullptr)                              \
    X(INT, ScrewCountUnit, operation.screw_count_unit, NOTIFY, nullptr)                            \
    X(INT, JobSelType, operation.job_sel_type, NOTIFY, nullptr)                                    \
    X(INT, BarcodeIF, operation.barcode_if, NOTIFY, nullptr)                                       \
    X(BOOL, AutoStartJobOnBoot, operation.auto_start_job, NOTIFY, nullptr)                         \
    X(BOOL, SkipWithoutPwd, operation.skip_without_pwd, NOTIFY, nullptr)                           \
    X(BOOL, BackWithoutPwd, operation.back_without_pwd, NOTIFY, nullptr)                           \
    X(BOOL, ResetWithoutPwd, operation.reset_without_pwd, NOTIFY, nullptr)                         \
    X(BOOL, DispJobReset, operation.disp_job_reset, NOTIFY, nullptr)                               \
    X(BOOL, JobSelWithoutPwd, operation.job_sel_without_pwd, NOTIFY, nullptr)                      \
    X(BOOL, AutoRestartJob, operation.auto_job_restart, NOTIFY, nullptr)                           \
    X(BOOL, BackupManager, operation.backup_manager, NOTIFY, nullptr)                              \
    X(BOOL, BitSocketTray, operation.bit_socket_tray, NOTIFY, nullptr)                             \
    X(INT, LogPath, log.path, NOTIFY, nullptr)                                                     \
    X(BOOL, LogToolname, log.tool_name, NOTIFY, nullptr)                                           \
    X(BOOL, LogBarcode, log.barcode, NOTIFY, nullptr)                                              \
    X(BOOL, LogFtime, log.fasten_time, NOTIFY, nullptr)                                            \
    X(BOOL, LogPreset, log.preset_no, NOTIFY, nullptr)                                             \
    X(BOOL, LogTtorque, log.target_torque, NOTIFY, nullptr)                                        \
    X(BOOL, LogCtorque, log.converted_torque, NOTIFY, nullptr)                                     \
    X(BOOL, LogSpeed, log.speed, NOTIFY, nullptr)                                                  \
    X(BOOL, LogA1, log.a1, NOTIFY, nullptr)                                                        \
    X(BOOL, LogA2, log.a2, NOTIFY, nullptr)                                                        \
    X(BOOL, LogA3, log.a3, NOTIFY, nullptr)                                                        \
    X(BOOL, LogScrewNo, log.screw_no, NOTIFY, nullptr)                                             \
    X(BOOL, LogError, log.error, NOTIFY, nullptr)                                                  \
    X(BOOL, LogDirection, log.direction, NOTIFY, nullptr)                                          \
    X(BOOL, LogStatus, log.status, NOTIFY, nullptr)                                                \
    X(BOOL, LogSnug, log.snug, NOTIFY, nullptr)                                                    \
    X(INT, EthDhcp, network.dhcp, NOTIFY, nullptr)                                                 \
    X(INT, WifiBand, network.band, NOTIFY, nullptr)                                                \
    X(INT, WifiCountry, network.country, NOTIFY, nullptr)                                          \
    X(INT, WifiChannelMode, network.channel_mode, NOTIFY, nullptr)                                 \
    X(INT, WifiManualChannel, network.manual_channel, NOTIFY, nullptr)                             \
    X(BOOL, FtpEnable, share.ftp_enable, NOTIFY, nullptr)                                          \
    X(TEXT, FtpUser, share.ftp_username, SILENT, nullptr)                                          \
    X(TEXT, FtpPwd, share.ftp_password, SILENT, nullptr)                                           \
    X(BOOL, BefEnable, share.bef_enable, NOTIFY, nullptr)                                          \
    X(ADDR, BefServerIp, share.bef_server_ip, SILENT, nullptr)                                     \
    X(INT, BefServerPort, share.bef_port, SILENT, nullptr)                                         \
    X(BOOL, OpEnable, plant.op_enable, NOTIFY, nullptr)                                            \
    X(INT, OpPort, plant.op_port, SILENT, nullptr)                                                 \
    X(INT, StoreSize, plant.store_size, SILENT, nullptr)                                           \
    X(INT, StoreDays, plant.store_days, SILENT, nullptr)                                           \
    X(BOOL, MqttEnable, plant.mqtt_enable, NOTIFY, nullptr)                                        \
    X(ADDR, MqttBroker, plant.mqtt_broker, SILENT, nullptr)                                        \
    X(INT, MqttPort, plant.mqtt_port, SILENT, nullptr)                                             \
    X(TEXT, MqttTopic, plant.mqtt_topic, SILENT, nullptr)                                          \
    X(TEXT, MqttUser, plant.mqtt_user, SILENT, nullptr)                                            \
    X(TEXT, MqttPassword, plant.mqtt_password, SILENT, nullptr)                                    \
    X(INT, Brightness, system.brightness, NOTIFY, apply_brightness)                                \
    X(INT, Volume, system.volume, NOTIFY, apply_volume)

// Property and parameter types of the kinds.
#define KEST_SETTING_TYPE_INT int
#define KEST_SETTING_TYPE_BOOL bool
#define KEST_SETTING_TYPE_TEXT QString
#define KEST_SETTING_TYPE_ADDR uint
#define KEST_SETTING_ARG_INT int
#define KEST_SETTING_ARG_BOOL bool
#define KEST_SETTING_ARG_TEXT const QString&
#define KEST_SETTING_ARG_ADDR uint

// Expansions inside the class. moc expands macros it can see through the include path,
// so the generated Q_PROPERTYs and signals reach the meta-object.
#define KEST_SETTING_Q_PROPERTY_NOTIFY(Type, Name)                                                 \
    Q_PROPERTY(Type Name READ OnGet##Name WRITE OnSet##Name NOTIFY Name##Changed)
#define KEST_SETTING_Q_PROPERTY_SILENT(Type, Name)                                                 \
    Q_PROPERTY(Type Name READ OnGet##Name WRITE OnSet##Name)
#define KEST_SETTING_Q_PROPERTY(Kind, Name, Field, Observers, Apply)                               \
    KEST_SETTING_Q_PROPERTY_##Observers(KEST_SETTING_TYPE_##Kind, Name)
#define KEST_SETTING_ACCESSORS(Kind, Name, Field, Observers, Apply)                                \
    KEST_SETTING_TYPE_##Kind OnGet##Name();                                                        \
    void OnSet##Name(KEST_SETTING_ARG_##Kind value);
#define KEST_SETTING_SIGNAL_NOTIFY(Name) void Name##Changed();
#define KEST_SETTING_SIGNAL_SILENT(Name)
#define KEST_SETTING_SIGNAL(Kind, Name, Field, Observers, Apply)                                   \
    KEST_SETTING_SIGNAL_##Observers(Name)
#define KEST_SETTING_SHADOW(Kind, Name, Field, Observers, Apply) KEST_SETTING_TYPE_##Kind Name##_{};
