// Device-object family "settings", its operations: passwords and names, addresses,
// Wi-Fi, barcode participation, I/O function assignments, vendor text, clock, factory
// reset and restart.
#include "ApplicationDeviceClass.h"
#include "common.h"
#include "debug.h"
#include "eventlog.h"
#include "io.h"
#include "setting.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {
constexpr int kPorts = 16;
} // namespace

void ApplicationDeviceClass::setStr(char* field, size_t size, const QString& value) {
    QByteArray native = ToNative(value);
    setting_set_str(field, size, native.constData());
}

int32_t ApplicationDeviceClass::SaveSetting() {
    return save_setting();
}

QString ApplicationDeviceClass::GetSysPwd() {
    return FromNative(setting_get_str(get_setting_system()->login_password).c_str());
}

void ApplicationDeviceClass::SetSysPwd(const QString& text) {
    setStr(get_setting_system()->login_password, sizeof get_setting_system()->login_password, text);
}

QString ApplicationDeviceClass::GetDefaultJobName() {
    return FromNative(setting_get_str(get_setting_operation()->default_job_name).c_str());
}

void ApplicationDeviceClass::SetDefaultJobName(const QString& text) {
    // setting_set_str clears the whole buffer before the copy.
    setStr(get_setting_operation()->default_job_name,
           sizeof get_setting_operation()->default_job_name, text);
}

QString ApplicationDeviceClass::GetBstToolName() {
    return FromNative(setting_get_str(get_setting_operation()->bst_tool_name).c_str());
}

void ApplicationDeviceClass::SetBstToolName(const QString& text) {
    // At most 31 characters, although the buffer has room for 32.
    setStr(get_setting_operation()->bst_tool_name, 32, text.left(31));
}

UnitIF_ADDR_T ApplicationDeviceClass::GetEthStaticAddrs() {
    const SettingNetwork* n = get_setting_network();
    UnitIF_ADDR_T a;
    a.Ip = n->ip;
    a.Netmask = n->netmask;
    a.Gateway = n->gateway;
    return a;
}

void ApplicationDeviceClass::SetEthStaticAddrs(const UnitIF_ADDR_T& addrs) {
    SettingNetwork* n = get_setting_network();
    n->ip = addrs.Ip;
    n->netmask = addrs.Netmask;
    n->gateway = addrs.Gateway;
}

UnitWIFI_CONF_T ApplicationDeviceClass::GetWifiConf() {
    UnitWIFI_CONF_T c;
    c.Ssid = FromNative(setting_get_str(get_setting_network()->ssid).c_str());
    c.Passphrase = FromNative(setting_get_str(get_setting_network()->wifi_password).c_str());
    return c;
}

void ApplicationDeviceClass::SetWifiConf(const UnitWIFI_CONF_T& conf) {
    SettingNetwork* n = get_setting_network();
    setStr(n->ssid, sizeof n->ssid, conf.Ssid);
    setStr(n->wifi_password, sizeof n->wifi_password, conf.Passphrase);
}

bool ApplicationDeviceClass::GetSettingBarcodeTdx(int32_t tdx) {
    int i = ((tdx % 8) + 8) % 8;
    return get_setting_barcode()->tool[i] == 1;
}

void ApplicationDeviceClass::SetSettingBarcodeTdx(int32_t tdx, bool flag) {
    int i = ((tdx % 8) + 8) % 8;
    get_setting_barcode()->tool[i] = flag ? 1 : 0;
}

int32_t ApplicationDeviceClass::GetSysInputFunc(int32_t port) {
    if (port < 0 || port >= kPorts) {
        Debug_WriteLog(1, "(Application::DeviceClass.GetSysInputFunc.19) invalid input no, %d",
                       port);
        return -1;
    }
    return int32_t(get_setting_io()->input[port]);
}

void ApplicationDeviceClass::SetSysInputFunc(int32_t port, int32_t func) {
    if (func < 0 || func >= 16) {
        Debug_WriteLog(1, "(Application::DeviceClass.SetSysInputFunc.15) invalid sys input val, %d",
                       func);
        return;
    }
    if (port < 0 || port >= kPorts) {
        Debug_WriteLog(1, "(Application::DeviceClass.SetSysInputFunc.20) invalid input no, %d",
                       port);
        return;
    }
    get_setting_io()->input[port] = uint32_t(func);
}

int32_t ApplicationDeviceClass::GetSysOutFunc(int32_t port) {
    if (port < 0 || port >= kPorts) {
        Debug_WriteLog(1, "(Application::DeviceClass.GetSysOutFunc.19) invalid output no, %d",
                       port);
        return -1;
    }
    return int32_t(get_setting_io()->output[port]);
}

void ApplicationDeviceClass::SetSysOutFunc(int32_t port, int32_t func) {
    if (func < 0 || func >= 9) {
        Debug_WriteLog(1, "(Application::DeviceClass.SetSysOutFunc.15) invalid sys output val, %d",
                       func);
        return;
    }
    if (port < 0 || port >= kPorts) {
        Debug_WriteLog(1, "(Application::DeviceClass.SetSysOutFunc.20) invalid output no, %d",
                       port);
        return;
    }
    get_setting_io()->output[port] = uint32_t(func);
}

QString ApplicationDeviceClass::InputFuncName(int32_t func) {
    return QString::fromLatin1(Io_InputFuncName(func));
}

QString ApplicationDeviceClass::OutputFuncName(int32_t func) {
    return QString::fromLatin1(Io_OutputFuncName(func));
}

QString ApplicationDeviceClass::GetSysInputName(int32_t port) {
    return InputFuncName(GetSysInputFunc(port));
}

QString ApplicationDeviceClass::GetSysOutName(int32_t port) {
    return OutputFuncName(GetSysOutFunc(port));
}

UnitVendorInfo_t ApplicationDeviceClass::GetVendorInfo() {
    const char* v = get_vendor_info();
    // The block is 128 bytes and may arrive from the file without a terminator.
    VendorInfo_.Text = QString::fromLatin1(v, int(strnlen(v, 128)));
    return VendorInfo_;
}

int32_t ApplicationDeviceClass::SetVendorInfo(const UnitVendorInfo_t& info) {
    QByteArray native = ToNative(info.Text);
    int32_t rc = set_vendor_info(native.constData());
    VendorInfo_.Text = QString::fromLatin1(get_vendor_info());
    return rc;
}

UnitTime ApplicationDeviceClass::GetTime() {
    struct tm tm {};
    Common_LocalTime(&tm);
    UnitTime t;
    t.Year = tm.tm_year + 1900;
    t.Month = tm.tm_mon + 1;
    t.Day = tm.tm_mday;
    t.Hour = tm.tm_hour;
    t.Minute = tm.tm_min;
    t.Second = tm.tm_sec;
    return t;
}

int32_t ApplicationDeviceClass::FactoryReset() {
    // Whatever the panel holds in memory would bring back what is removed here.
    setting_refuse_saves("factory reset, restart pending");
    // What makes the station the old one goes first, so a power cut half-way leaves a reset
    // station, not one with the old settings and no jobs; the logs, largest, go last.
    // "vendor" stays. Hidden entries go too: temporary files can hold passwords.
    std::vector<std::string> order = {"files/setting", "regtools", "files/job"};
    std::vector<std::string> rest;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(Common_HomePath("files"), ec)) {
        const std::string name = "files/" + e.path().filename().string();
        if (std::find(order.begin(), order.end(), name) == order.end() && name != "files/log")
            rest.push_back(name);
    }
    std::sort(rest.begin(), rest.end());
    order.insert(order.end(), rest.begin(), rest.end());
    order.push_back("files/log");
    int rc = 0;
    for (const std::string& path : order)
        if (Common_IoRemoveAll(Common_HomePath(path)) != 0) {
            DBG_ERR("cannot remove %s: %s", path.c_str(), strerror(errno));
            rc = -1;
        }
    return rc;
}

int32_t ApplicationDeviceClass::SystemRestart() {
    // Until the process ends, nothing it holds may overwrite the files it restarts from.
    if (!setting_saves_refused()) setting_refuse_saves("restart pending");
    // The results the log's spool holds in memory were acknowledged: to its file first.
    EventLog_Shutdown();
    int rc = Common_System("reboot");
    if (rc != 0) DBG_ERR("reboot failed (%d)", rc);
    return rc;
}

void ApplicationDeviceClass::SetSystemClock(const std::vector<std::string>& date,
                                            const std::vector<std::string>& hwclock) {
    for (const auto* argv : {&date, &hwclock})
        if (int rc = Common_Run(*argv); rc != 0)
            DBG_ERR("%s failed (%d)", argv->front().c_str(), rc);
}
