#include "setting.h"

#include "common.h"
#include "debug.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kSettingFile = "./files/setting/setting.kest";
constexpr const char* kLegacyFile = "./files/setting/setting.conf";
constexpr const char* kVendorFile = "vendor";
constexpr const char* kBacklight = "/sys/class/backlight/pwm-backlight/brightness";
constexpr size_t kLegacySize = 1140;
constexpr size_t kLineMax = 999; // characters per read, as the file reader takes them

struct SettingState {
    Setting setting;
    char vinfo[128];
    std::mutex strLock;
    // Set by the network queue's worker (a restore) or the GUI thread; a string literal.
    std::atomic<const char*> refused{nullptr};
};
SettingState settingCtx;

uint32_t readField(const Setting* s, const SettingConfig& c) {
    const auto* p = reinterpret_cast<const unsigned char*>(s) + c.offset;
    if (c.width == 1) return p[0];
    if (c.width == 2) {
        uint16_t v;
        memcpy(&v, p, 2);
        return v;
    }
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

void writeField(Setting* s, const SettingConfig& c, uint32_t v) {
    auto* p = reinterpret_cast<unsigned char*>(s) + c.offset;
    if (c.width == 1) {
        p[0] = uint8_t(v);
    } else if (c.width == 2) {
        uint16_t w = uint16_t(v);
        memcpy(p, &w, 2);
    } else {
        memcpy(p, &v, 4);
    }
}

std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' ||
                          s.back() == '\r' || s.back() == '\v' || s.back() == '\f'))
        s.pop_back();
    return s;
}

std::string formatValue(const Setting* s, const SettingConfig& c);

void storeValue(Setting* s, const SettingConfig& c, const std::string& value) {
    switch (c.type) {
    case CFG_BOOL:
        if (value.find("true") != std::string::npos)
            writeField(s, c, 1);
        else if (value.find("false") != std::string::npos)
            writeField(s, c, 0);
        break;
    case CFG_ENUM:
        for (uint32_t i = 0; c.values && c.values[i][0]; ++i) {
            if (value.find(c.values[i]) != std::string::npos) {
                writeField(s, c, i);
                break;
            }
        }
        break;
    case CFG_INT: {
        // Decimal; "-1" reads back as -1, anything else non-numeric as 0. Out-of-range
        // numbers saturate instead of overflowing.
        errno = 0;
        long long v = strtoll(value.c_str(), nullptr, 10);
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        writeField(s, c, uint32_t(int32_t(v)));
        break;
    }
    case CFG_STRING: {
        char* field = reinterpret_cast<char*>(s) + c.offset;
        std::lock_guard<std::mutex> g(settingCtx.strLock);
        memset(field, 0, c.width);
        memcpy(field, value.data(), std::min<size_t>(value.size(), c.width - 1));
        break;
    }
    case CFG_IPV4: {
        // A hand-edited address that cannot be read keeps the value in use (the default
        // at start-up) rather than becoming a broadcast address.
        uint32_t v;
        if (setting_parse_ipv4(value.c_str(), &v) == 0)
            writeField(s, c, v);
        else
            DBG_ERR("\"%s\" is not an address for \"%s\", kept %s", value.c_str(), c.key,
                    formatValue(s, c).c_str());
        break;
    }
    default:
        break;
    }
}

void parseLine(Setting* s, const std::string& line) {
    if (line.empty() || line[0] == '#' || line[0] == '\n') return;
    size_t sep = line.find(" = ");
    if (sep == std::string::npos) return;
    std::string key = rtrim(line.substr(0, sep));
    size_t vstart = sep + 3;
    size_t vend = line.find(" = ", vstart);
    std::string value =
        rtrim(line.substr(vstart, vend == std::string::npos ? std::string::npos : vend - vstart));
    for (size_t i = 0; i < configs_count; ++i) {
        const SettingConfig& c = configs[i];
        if (c.type == CFG_SECTION || key != c.key) continue;
        storeValue(s, c, value);
        return;
    }
}

std::string formatValue(const Setting* s, const SettingConfig& c) {
    char buf[32];
    switch (c.type) {
    case CFG_BOOL:
        return readField(s, c) == 1 ? "true" : "false";
    case CFG_ENUM: {
        uint32_t idx = readField(s, c);
        if (idx >= 99 || !c.values) return "";
        for (uint32_t i = 0; i <= idx; ++i)
            if (!c.values[i][0]) return "";
        return c.values[idx];
    }
    case CFG_INT:
        snprintf(buf, sizeof buf, "%d", int32_t(readField(s, c)));
        return buf;
    case CFG_STRING: {
        const char* field = reinterpret_cast<const char*>(s) + c.offset;
        return std::string(field, strnlen(field, c.width));
    }
    case CFG_IPV4: {
        uint32_t v = readField(s, c);
        snprintf(buf, sizeof buf, "%u.%u.%u.%u", v >> 24, (v >> 16) & 0xff, (v >> 8) & 0xff,
                 v & 0xff);
        return buf;
    }
    default:
        return "";
    }
}

void makeDirs() {
    for (const char* d :
         {"./files", "./files/log", "./files/job", "./files/setting", "./files/image"})
        mkdir(d, 0777);
}

bool convertLegacy() {
    struct stat st;
    if (stat(kLegacyFile, &st) != 0) return false;
    bool converted = false;
    if (st.st_size == off_t(kLegacySize)) {
        std::string data;
        if (Common_ReadFile(kLegacyFile, data, kLegacySize) != 0 || data.size() != kLegacySize) {
            // Unreadable now is not worthless: keep it for the next start.
            DBG_ERR("%s read fail, kept, %s", kLegacyFile, strerror(errno));
            return false;
        }
        {
            auto* rec = reinterpret_cast<unsigned char*>(&settingCtx.setting);
            // The legacy image lacks "barcode interfae" (bytes 16..19), which keeps its default.
            memcpy(rec, data.data(), 16);
            memcpy(rec + 20, data.data() + 16, kLegacySize - 16);
            // Strings from an old image may lack their terminator.
            auto terminate = [](char* f, size_t n) { f[n - 1] = '\0'; };
            Setting& s = settingCtx.setting;
            terminate(s.operation.default_job_name, sizeof s.operation.default_job_name);
            terminate(s.operation.bst_tool_name, sizeof s.operation.bst_tool_name);
            terminate(s.network.ssid, sizeof s.network.ssid);
            terminate(s.network.wifi_password, sizeof s.network.wifi_password);
            terminate(s.share.ftp_username, sizeof s.share.ftp_username);
            terminate(s.share.ftp_password, sizeof s.share.ftp_password);
            terminate(s.system.login_password, sizeof s.system.login_password);
            converted = true;
        }
    }
    // The old image goes only once its values are safely in the new file.
    if (converted && save_setting() != 0) {
        DBG_ERR("%s kept, the converted settings could not be saved", kLegacyFile);
        return converted;
    }
    unlink(kLegacyFile);
    return converted;
}
} // namespace

int setting_parse_ipv4(const char* text, uint32_t* out) {
    if (!text || !out) return -1;
    while (*text == ' ' || *text == '\t')
        ++text;
    uint32_t v = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && *text++ != '.') return -1;
        if (*text < '0' || *text > '9') return -1;
        unsigned n = 0;
        while (*text >= '0' && *text <= '9') {
            n = n * 10 + unsigned(*text++ - '0');
            if (n > 255) return -1;
        }
        v = v << 8 | n;
    }
    if (*text != '\0') return -1;
    *out = v;
    return 0;
}

Setting* get_setting() {
    return &settingCtx.setting;
}
SettingOperation* get_setting_operation() {
    return &settingCtx.setting.operation;
}
SettingIo* get_setting_io() {
    return &settingCtx.setting.io;
}
SettingLog* get_setting_log() {
    return &settingCtx.setting.log;
}
SettingBarcode* get_setting_barcode() {
    return &settingCtx.setting.barcode;
}
SettingNetwork* get_setting_network() {
    return &settingCtx.setting.network;
}
SettingShare* get_setting_share() {
    return &settingCtx.setting.share;
}
SettingSystem* get_setting_system() {
    return &settingCtx.setting.system;
}

SettingPlant* get_setting_plant() {
    return &settingCtx.setting.plant;
}

void setting_parse_text(Setting* s, const char* text, size_t len) {
    // Lines are taken as the reader takes them: at most 999 characters per read, so an
    // over-long line is seen as several pieces.
    size_t pos = 0;
    while (pos < len) {
        size_t end = pos;
        while (end < len && end - pos < kLineMax && text[end] != '\n')
            ++end;
        if (end < len && text[end] == '\n' && end - pos < kLineMax) ++end;
        std::string line(text + pos, end - pos);
        // Text after an embedded NUL is invisible to a C string reader.
        size_t nul = line.find('\0');
        if (nul != std::string::npos) line.resize(nul);
        parseLine(s, line);
        pos = end;
    }
}

std::string setting_format_text(const Setting* s) {
    std::string out;
    const std::string hashes(56, '#');
    std::lock_guard<std::mutex> g(settingCtx.strLock);
    for (size_t i = 0; i < configs_count; ++i) {
        const SettingConfig& c = configs[i];
        if (c.type == CFG_SECTION) {
            out += "\n" + hashes + "\n#\n# " + c.key + "\n#\n" + hashes + "\n\n";
            continue;
        }
        char key[64];
        snprintf(key, sizeof key, "%-30s= ", c.key);
        out += key;
        out += formatValue(s, c);
        out += "\n";
    }
    return out;
}

void setting_refuse_saves(const char* why) {
    settingCtx.refused = why;
}
const char* setting_saves_refused() {
    return settingCtx.refused.load();
}

int save_setting() {
    if (const char* why = settingCtx.refused.load()) {
        DBG_ERR("settings not saved : %s", why);
        return -1;
    }
    std::string text = setting_format_text(&settingCtx.setting);
    if (Common_WriteFileAtomic(kSettingFile, text.data(), text.size()) != 0) return -1;
    return 0;
}

int load_setting_plain_text() {
    std::string text;
    if (Common_ReadFile(kSettingFile, text) != 0) return -1;
    setting_parse_text(&settingCtx.setting, text.data(), text.size());
    return 0;
}

int brightness_percent(uint32_t index) {
    static const int map[] = {25, 50, 75, 100};
    return index < 4 ? map[index] : 100;
}

int volume_percent(uint32_t index) {
    static const int map[] = {0, 85, 90, 95, 100};
    return index < 5 ? map[index] : 100;
}

int set_brightness(int percent) {
    std::string path = Common_SysPath(kBacklight);
    FILE* f = fopen(path.c_str(), "w");
    if (!f) {
        DBG_ERR("fail to open %s, %s", path.c_str(), strerror(errno));
        return -1;
    }
    bool ok = fprintf(f, "%d\n", percent) > 0;
    if (fclose(f) != 0 || !ok) {
        DBG_ERR("fail to write %s, %s", path.c_str(), strerror(errno));
        return -1;
    }
    return 0;
}

int set_volume(int percent) {
    char cmd[64];
    snprintf(cmd, sizeof cmd, "amixer sset Speaker %d%%", percent);
    int rc = Common_System(cmd);
    if (rc != 0) {
        DBG_ERR("%s failed (%d)", cmd, rc);
        return -1;
    }
    return 0;
}

int apply_brightness() {
    return set_brightness(brightness_percent(settingCtx.setting.system.brightness));
}
int apply_volume() {
    return set_volume(volume_percent(settingCtx.setting.system.volume));
}

std::string setting_log_dir_today() {
    struct tm tm;
    Common_LocalTime(&tm);
    char buf[64];
    snprintf(buf, sizeof buf, "/%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    if (settingCtx.setting.log.path == 1) return Common_SysPath("/media/mmcblk1p1") + buf;
    return std::string("./files/log") + buf;
}

int load_setting() {
    settingCtx.refused = nullptr; // the record becomes the file's again
    memcpy(&settingCtx.setting, get_default_setting(), sizeof(Setting));
    makeDirs();
    if (!convertLegacy()) {
        if (!Common_Exists(kSettingFile)) {
            save_setting();
        } else if (load_setting_plain_text() != 0) {
            // Running on defaults; the next save must not destroy what could not be read.
            Common_MoveAsideUnreadable(kSettingFile);
        }
    }
    apply_brightness();
    apply_volume();
    std::string logDir = setting_log_dir_today();
    // Without the card mounted the folders would be made inside its empty mount point.
    if (settingCtx.setting.log.path == 1 && !Common_MicroSdMounted())
        DBG_ERR("micro sd not present, %s not created", logDir.c_str());
    else if (Common_MkdirP(logDir) != 0)
        DBG_ERR("fail to create %s, %s", logDir.c_str(), strerror(errno));
    read_vendor_info();
    return 0;
}

int read_vendor_info() {
    memset(settingCtx.vinfo, 0, sizeof settingCtx.vinfo);
    FILE* f = Common_FopenRegular(kVendorFile, "rb");
    if (!f) {
        if (errno != ENOENT) DBG_ERR("%s cannot be read, %s", kVendorFile, strerror(errno));
        return 0;
    }
    size_t n = fread(settingCtx.vinfo, 1, sizeof settingCtx.vinfo, f);
    (void)n;
    fclose(f);
    settingCtx.vinfo[sizeof settingCtx.vinfo - 1] = '\0';
    return 0;
}

int write_vendor_info() {
    if (Common_WriteFileAtomic(kVendorFile, settingCtx.vinfo, sizeof settingCtx.vinfo) != 0)
        return -1;
    return 0;
}

char* get_vendor_info() {
    return settingCtx.vinfo;
}

int set_vendor_info(const char* text) {
    // The text in use changes only once the file holds it.
    char next[sizeof settingCtx.vinfo] = {};
    if (text) strncpy(next, text, sizeof next - 1);
    if (Common_WriteFileAtomic(kVendorFile, next, sizeof next) != 0) {
        DBG_ERR("%s write fail, vendor text unchanged", kVendorFile);
        return -1;
    }
    memcpy(settingCtx.vinfo, next, sizeof next);
    return 0;
}

void setting_get_str(const char* field, char* out, size_t outSize) {
    if (!out || outSize == 0) return;
    std::lock_guard<std::mutex> g(settingCtx.strLock);
    if (!field) {
        out[0] = '\0';
        return;
    }
    strncpy(out, field, outSize - 1);
    out[outSize - 1] = '\0';
}

std::string setting_get_str(const char* field) {
    std::lock_guard<std::mutex> g(settingCtx.strLock);
    return field ? std::string(field) : std::string();
}

void setting_set_str(char* field, size_t fieldSize, const char* value) {
    if (!field || fieldSize == 0) return;
    std::lock_guard<std::mutex> g(settingCtx.strLock);
    memset(field, 0, fieldSize);
    if (value) strncpy(field, value, fieldSize - 1);
}
