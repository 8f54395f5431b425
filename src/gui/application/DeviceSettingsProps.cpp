// Device-object family "settings", its properties: each getter reads the field of the
// settings record into the shadow field and returns it; each setter writes the field
// and notifies. Brightness and volume are applied and saved at once.
#include "ApplicationDeviceClass.h"
#include "setting.h"

int32_t ApplicationDeviceClass::OnGetOpmode() {
    Opmode_ = int32_t(get_setting()->operation.operation_mode);
    return Opmode_;
}

void ApplicationDeviceClass::OnSetOpmode(int32_t value) {
    get_setting()->operation.operation_mode = uint32_t(value);
    emit OpmodeChanged();
}

int32_t ApplicationDeviceClass::OnGetScrewCountDir() {
    ScrewCountDir_ = int32_t(get_setting()->operation.screw_count_dir);
    return ScrewCountDir_;
}

void ApplicationDeviceClass::OnSetScrewCountDir(int32_t value) {
    get_setting()->operation.screw_count_dir = uint32_t(value);
    emit ScrewCountDirChanged();
}

int32_t ApplicationDeviceClass::OnGetScrewCountUnit() {
    ScrewCountUnit_ = int32_t(get_setting()->operation.screw_count_unit);
    return ScrewCountUnit_;
}

void ApplicationDeviceClass::OnSetScrewCountUnit(int32_t value) {
    get_setting()->operation.screw_count_unit = uint32_t(value);
    emit ScrewCountUnitChanged();
}

int32_t ApplicationDeviceClass::OnGetJobSelType() {
    JobSelType_ = int32_t(get_setting()->operation.job_sel_type);
    return JobSelType_;
}

void ApplicationDeviceClass::OnSetJobSelType(int32_t value) {
    get_setting()->operation.job_sel_type = uint32_t(value);
    emit JobSelTypeChanged();
}

int32_t ApplicationDeviceClass::OnGetBarcodeIF() {
    BarcodeIF_ = int32_t(get_setting()->operation.barcode_if);
    return BarcodeIF_;
}

void ApplicationDeviceClass::OnSetBarcodeIF(int32_t value) {
    get_setting()->operation.barcode_if = uint32_t(value);
    emit BarcodeIFChanged();
}

bool ApplicationDeviceClass::OnGetAutoStartJobOnBoot() {
    AutoStartJobOnBoot_ = get_setting()->operation.auto_start_job == 1;
    return AutoStartJobOnBoot_;
}

void ApplicationDeviceClass::OnSetAutoStartJobOnBoot(bool value) {
    get_setting()->operation.auto_start_job = value ? 1 : 0;
    emit AutoStartJobOnBootChanged();
}

bool ApplicationDeviceClass::OnGetSkipWithoutPwd() {
    SkipWithoutPwd_ = get_setting()->operation.skip_without_pwd == 1;
    return SkipWithoutPwd_;
}

void ApplicationDeviceClass::OnSetSkipWithoutPwd(bool value) {
    get_setting()->operation.skip_without_pwd = value ? 1 : 0;
    emit SkipWithoutPwdChanged();
}

bool ApplicationDeviceClass::OnGetBackWithoutPwd() {
    BackWithoutPwd_ = get_setting()->operation.back_without_pwd == 1;
    return BackWithoutPwd_;
}

void ApplicationDeviceClass::OnSetBackWithoutPwd(bool value) {
    get_setting()->operation.back_without_pwd = value ? 1 : 0;
    emit BackWithoutPwdChanged();
}

bool ApplicationDeviceClass::OnGetResetWithoutPwd() {
    ResetWithoutPwd_ = get_setting()->operation.reset_without_pwd == 1;
    return ResetWithoutPwd_;
}

void ApplicationDeviceClass::OnSetResetWithoutPwd(bool value) {
    get_setting()->operation.reset_without_pwd = value ? 1 : 0;
    emit ResetWithoutPwdChanged();
}

bool ApplicationDeviceClass::OnGetDispJobReset() {
    DispJobReset_ = get_setting()->operation.disp_job_reset == 1;
    return DispJobReset_;
}

void ApplicationDeviceClass::OnSetDispJobReset(bool value) {
    get_setting()->operation.disp_job_reset = value ? 1 : 0;
    emit DispJobResetChanged();
}

bool ApplicationDeviceClass::OnGetJobSelWithoutPwd() {
    JobSelWithoutPwd_ = get_setting()->operation.job_sel_without_pwd == 1;
    return JobSelWithoutPwd_;
}

void ApplicationDeviceClass::OnSetJobSelWithoutPwd(bool value) {
    get_setting()->operation.job_sel_without_pwd = value ? 1 : 0;
    emit JobSelWithoutPwdChanged();
}

bool ApplicationDeviceClass::OnGetAutoRestartJob() {
    AutoRestartJob_ = get_setting()->operation.auto_job_restart == 1;
    return AutoRestartJob_;
}

void ApplicationDeviceClass::OnSetAutoRestartJob(bool value) {
    get_setting()->operation.auto_job_restart = value ? 1 : 0;
    emit AutoRestartJobChanged();
}

bool ApplicationDeviceClass::OnGetBackupManager() {
    BackupManager_ = get_setting()->operation.backup_manager == 1;
    return BackupManager_;
}

void ApplicationDeviceClass::OnSetBackupManager(bool value) {
    get_setting()->operation.backup_manager = value ? 1 : 0;
    emit BackupManagerChanged();
}

bool ApplicationDeviceClass::OnGetBitSocketTray() {
    BitSocketTray_ = get_setting()->operation.bit_socket_tray == 1;
    return BitSocketTray_;
}

void ApplicationDeviceClass::OnSetBitSocketTray(bool value) {
    get_setting()->operation.bit_socket_tray = value ? 1 : 0;
    emit BitSocketTrayChanged();
}

int32_t ApplicationDeviceClass::OnGetLogPath() {
    LogPath_ = int32_t(get_setting()->log.path);
    return LogPath_;
}

void ApplicationDeviceClass::OnSetLogPath(int32_t value) {
    get_setting()->log.path = uint32_t(value);
    emit LogPathChanged();
}

bool ApplicationDeviceClass::OnGetLogToolname() {
    LogToolname_ = get_setting()->log.tool_name == 1;
    return LogToolname_;
}

void ApplicationDeviceClass::OnSetLogToolname(bool value) {
    get_setting()->log.tool_name = value ? 1 : 0;
    emit LogToolnameChanged();
}

bool ApplicationDeviceClass::OnGetLogBarcode() {
    LogBarcode_ = get_setting()->log.barcode == 1;
    return LogBarcode_;
}

void ApplicationDeviceClass::OnSetLogBarcode(bool value) {
    get_setting()->log.barcode = value ? 1 : 0;
    emit LogBarcodeChanged();
}

bool ApplicationDeviceClass::OnGetLogFtime() {
    LogFtime_ = get_setting()->log.fasten_time == 1;
    return LogFtime_;
}

void ApplicationDeviceClass::OnSetLogFtime(bool value) {
    get_setting()->log.fasten_time = value ? 1 : 0;
    emit LogFtimeChanged();
}

bool ApplicationDeviceClass::OnGetLogPreset() {
    LogPreset_ = get_setting()->log.preset_no == 1;
    return LogPreset_;
}

void ApplicationDeviceClass::OnSetLogPreset(bool value) {
    get_setting()->log.preset_no = value ? 1 : 0;
    emit LogPresetChanged();
}

bool ApplicationDeviceClass::OnGetLogTtorque() {
    LogTtorque_ = get_setting()->log.target_torque == 1;
    return LogTtorque_;
}

void ApplicationDeviceClass::OnSetLogTtorque(bool value) {
    get_setting()->log.target_torque = value ? 1 : 0;
    emit LogTtorqueChanged();
}

bool ApplicationDeviceClass::OnGetLogCtorque() {
    LogCtorque_ = get_setting()->log.converted_torque == 1;
    return LogCtorque_;
}

void ApplicationDeviceClass::OnSetLogCtorque(bool value) {
    get_setting()->log.converted_torque = value ? 1 : 0;
    emit LogCtorqueChanged();
}

bool ApplicationDeviceClass::OnGetLogSpeed() {
    LogSpeed_ = get_setting()->log.speed == 1;
    return LogSpeed_;
}

void ApplicationDeviceClass::OnSetLogSpeed(bool value) {
    get_setting()->log.speed = value ? 1 : 0;
    emit LogSpeedChanged();
}

bool ApplicationDeviceClass::OnGetLogA1() {
    LogA1_ = get_setting()->log.a1 == 1;
    return LogA1_;
}

void ApplicationDeviceClass::OnSetLogA1(bool value) {
    get_setting()->log.a1 = value ? 1 : 0;
    emit LogA1Changed();
}

bool ApplicationDeviceClass::OnGetLogA2() {
    LogA2_ = get_setting()->log.a2 == 1;
    return LogA2_;
}

void ApplicationDeviceClass::OnSetLogA2(bool value) {
    get_setting()->log.a2 = value ? 1 : 0;
    emit LogA2Changed();
}

bool ApplicationDeviceClass::OnGetLogA3() {
    LogA3_ = get_setting()->log.a3 == 1;
    return LogA3_;
}

void ApplicationDeviceClass::OnSetLogA3(bool value) {
    get_setting()->log.a3 = value ? 1 : 0;
    emit LogA3Changed();
}

bool ApplicationDeviceClass::OnGetLogScrewNo() {
    LogScrewNo_ = get_setting()->log.screw_no == 1;
    return LogScrewNo_;
}

void ApplicationDeviceClass::OnSetLogScrewNo(bool value) {
    get_setting()->log.screw_no = value ? 1 : 0;
    emit LogScrewNoChanged();
}

bool ApplicationDeviceClass::OnGetLogError() {
    LogError_ = get_setting()->log.error == 1;
    return LogError_;
}

void ApplicationDeviceClass::OnSetLogError(bool value) {
    get_setting()->log.error = value ? 1 : 0;
    emit LogErrorChanged();
}

bool ApplicationDeviceClass::OnGetLogDirection() {
    LogDirection_ = get_setting()->log.direction == 1;
    return LogDirection_;
}

void ApplicationDeviceClass::OnSetLogDirection(bool value) {
    get_setting()->log.direction = value ? 1 : 0;
    emit LogDirectionChanged();
}

bool ApplicationDeviceClass::OnGetLogStatus() {
    LogStatus_ = get_setting()->log.status == 1;
    return LogStatus_;
}

void ApplicationDeviceClass::OnSetLogStatus(bool value) {
    get_setting()->log.status = value ? 1 : 0;
    emit LogStatusChanged();
}

bool ApplicationDeviceClass::OnGetLogSnug() {
    LogSnug_ = get_setting()->log.snug == 1;
    return LogSnug_;
}

void ApplicationDeviceClass::OnSetLogSnug(bool value) {
    get_setting()->log.snug = value ? 1 : 0;
    emit LogSnugChanged();
}

int32_t ApplicationDeviceClass::OnGetEthDhcp() {
    EthDhcp_ = int32_t(get_setting()->network.dhcp);
    return EthDhcp_;
}

void ApplicationDeviceClass::OnSetEthDhcp(int32_t value) {
    get_setting()->network.dhcp = uint32_t(value);
    emit EthDhcpChanged();
}

int32_t ApplicationDeviceClass::OnGetWifiBand() {
    WifiBand_ = int32_t(get_setting()->network.band);
    return WifiBand_;
}

void ApplicationDeviceClass::OnSetWifiBand(int32_t value) {
    get_setting()->network.band = uint32_t(value);
    emit WifiBandChanged();
}

bool ApplicationDeviceClass::OnGetFtpEnable() {
    FtpEnable_ = get_setting()->share.ftp_enable == 1;
    return FtpEnable_;
}

void ApplicationDeviceClass::OnSetFtpEnable(bool value) {
    get_setting()->share.ftp_enable = value ? 1 : 0;
    emit FtpEnableChanged();
}

QString ApplicationDeviceClass::OnGetFtpUser() {
    FtpUser_ = FromNative(setting_get_str(get_setting()->share.ftp_username).c_str());
    return FtpUser_;
}

void ApplicationDeviceClass::OnSetFtpUser(const QString& value) {
    // Written without notifying: the share screen applies it on confirmation.
    setStr(get_setting()->share.ftp_username, sizeof get_setting()->share.ftp_username, value);
}

QString ApplicationDeviceClass::OnGetFtpPwd() {
    FtpPwd_ = FromNative(setting_get_str(get_setting()->share.ftp_password).c_str());
    return FtpPwd_;
}

void ApplicationDeviceClass::OnSetFtpPwd(const QString& value) {
    // Written without notifying: the share screen applies it on confirmation.
    setStr(get_setting()->share.ftp_password, sizeof get_setting()->share.ftp_password, value);
}

bool ApplicationDeviceClass::OnGetBefEnable() {
    BefEnable_ = get_setting()->share.bef_enable == 1;
    return BefEnable_;
}

void ApplicationDeviceClass::OnSetBefEnable(bool value) {
    get_setting()->share.bef_enable = value ? 1 : 0;
    emit BefEnableChanged();
}

uint32_t ApplicationDeviceClass::OnGetBefServerIp() {
    BefServerIp_ = uint32_t(get_setting()->share.bef_server_ip);
    return BefServerIp_;
}

void ApplicationDeviceClass::OnSetBefServerIp(uint32_t value) {
    get_setting()->share.bef_server_ip = uint32_t(value);
}

int32_t ApplicationDeviceClass::OnGetBefServerPort() {
    BefServerPort_ = int32_t(get_setting()->share.bef_port);
    return BefServerPort_;
}

void ApplicationDeviceClass::OnSetBefServerPort(int32_t value) {
    get_setting()->share.bef_port = uint32_t(value);
}

int32_t ApplicationDeviceClass::OnGetBrightness() {
    Brightness_ = int32_t(get_setting()->system.brightness);
    return Brightness_;
}

void ApplicationDeviceClass::OnSetBrightness(int32_t value) {
    get_setting()->system.brightness = uint32_t(value);
    apply_brightness();
    save_setting();
    emit BrightnessChanged();
}

int32_t ApplicationDeviceClass::OnGetVolume() {
    Volume_ = int32_t(get_setting()->system.volume);
    return Volume_;
}

void ApplicationDeviceClass::OnSetVolume(int32_t value) {
    get_setting()->system.volume = uint32_t(value);
    apply_volume();
    save_setting();
    emit VolumeChanged();
}
