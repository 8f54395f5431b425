// The persistent settings record (read in place by every module; its first 1144 bytes are
// the legacy image's layout), its plain-text file, the legacy binary conversion,
// brightness, volume and vendor block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct SettingOperation {
    uint32_t operation_mode;   // 0 "with job", 1 "without job"
    uint32_t screw_count_dir;  // 0 "up", 1 "down"
    uint32_t screw_count_unit; // 0 "per step", 1 "per job"
    uint32_t job_sel_type;     // 0 "binary", 1 "direct"
    uint32_t barcode_if;       // 0 "local", 1 "remote"
    uint32_t auto_start_job;   // bool
    char default_job_name[128];
    uint32_t skip_without_pwd;
    uint32_t back_without_pwd;
    uint32_t reset_without_pwd;
    uint32_t disp_job_reset;
    uint32_t job_sel_without_pwd;
    uint32_t auto_job_restart;
    uint32_t backup_manager;
    uint32_t bit_socket_tray;
    char bst_tool_name[33];
    uint8_t pad[3];
};

struct SettingIo {
    uint32_t input[16];  // input function 0..15 per port
    uint32_t output[16]; // output function 0..8 per port
};

struct SettingLog {
    uint32_t path; // 0 "internal", 1 "micro sd"
    uint32_t tool_name, barcode, fasten_time, preset_no, target_torque, converted_torque, speed;
    uint32_t a1, a2, a3, screw_no, error, direction, status, snug;
};

struct SettingBarcode {
    uint32_t tool[8];
};

struct SettingNetwork {
    uint32_t dhcp;                 // 0 "static", 1 "dhcp"
    uint32_t ip, netmask, gateway; // first octet in the most significant byte
    char ssid[128];
    char wifi_password[128];
    uint32_t band;         // 0 "2.4G", 1 "5G"
    uint32_t country;      // 0 "us", 1 "eu", 2 "jp"
    uint32_t channel_mode; // 0 "auto", 1 "manual"
    int32_t manual_channel;
};

struct SettingShare {
    uint32_t ftp_enable;
    char ftp_username[128];
    char ftp_password[128];
    uint32_t bef_enable;
    uint32_t bef_server_ip;
    uint32_t bef_port;
};

struct SettingSystem {
    char login_password[128];
    uint32_t language;
    uint32_t brightness; // 0..3: 25, 50, 75, 100
    uint32_t volume;     // 0..4: mute, 25, 50, 75, 100
};

// The plant side: the result store's bound and the plant peers (Open Protocol server,
// MQTT publisher). Kept after the older groups so their offsets stay as they were.
struct SettingPlant {
    uint32_t op_enable;  // "open protocol"
    uint32_t op_port;    // "open protocol port"
    uint32_t store_size; // "result store size": results kept in the store
    uint32_t store_days; // "result store days": and for at most this many days
    uint32_t mqtt_enable;
    uint32_t mqtt_broker; // IPv4, first octet most significant
    uint32_t mqtt_port;
    char mqtt_topic[128];
    char mqtt_user[128];
    char mqtt_password[128];
};

struct Setting {
    SettingOperation operation;
    SettingIo io;
    SettingLog log;
    SettingBarcode barcode;
    SettingNetwork network;
    SettingShare share;
    SettingSystem system;
    SettingPlant plant;
};

static_assert(offsetof(Setting, operation) == 0);
static_assert(offsetof(Setting, io) == 220);
static_assert(offsetof(Setting, log) == 348);
static_assert(offsetof(Setting, barcode) == 412);
static_assert(offsetof(Setting, network) == 444);
static_assert(offsetof(Setting, share) == 732);
static_assert(offsetof(Setting, system) == 1004);
static_assert(offsetof(Setting, plant) == 1144);
static_assert(sizeof(Setting) == 1144 + 412);

enum SettingType {
    CFG_BOOL = 0,
    CFG_ENUM = 1,
    CFG_INT = 2,
    CFG_STRING = 3,
    CFG_IPV4 = 4,
    CFG_SECTION = 5
};

struct SettingConfig {
    const char* key;           // key text, or the title of a section row
    uint32_t offset;           // byte offset in the record
    uint32_t width;            // 1, 2, 4 for numbers; buffer size for strings
    int type;                  // SettingType
    const char* const* values; // enumeration texts ending with "" (nullptr otherwise)
};

extern const SettingConfig configs[];
extern const size_t configs_count; // 116

Setting* get_setting();
SettingOperation* get_setting_operation();
SettingIo* get_setting_io();
SettingLog* get_setting_log();
SettingBarcode* get_setting_barcode();
SettingNetwork* get_setting_network();
SettingShare* get_setting_share();
SettingSystem* get_setting_system();
SettingPlant* get_setting_plant();
const Setting* get_default_setting();

int load_setting();
int save_setting();
// Once a restore or a factory reset has replaced the files, the record in memory is no
// longer theirs: until the restart every save is refused (-1, with `why` in its log line).
// load_setting, which makes the record the file's again, lifts it.
void setting_refuse_saves(const char* why);
// Why saves are refused, or nullptr.
const char* setting_saves_refused();
int load_setting_plain_text();
// Parses settings text into the record (what load_setting_plain_text does per line).
void setting_parse_text(Setting* s, const char* text, size_t len);
// Formats the record as the settings file text.
std::string setting_format_text(const Setting* s);
// Dotted decimal IPv4 address, first octet most significant: four octets of decimal
// digits (leading zeros stay decimal: "192.168.000.085"), each at most 255; blanks before
// the address are skipped. 0, or -1 for anything else (*out unchanged).
int setting_parse_ipv4(const char* text, uint32_t* out);

int set_brightness(int percent);
int set_volume(int percent);
int apply_brightness();
int apply_volume();
int brightness_percent(uint32_t index);
int volume_percent(uint32_t index);

int read_vendor_info();
int write_vendor_info();
// The 128-byte vendor block; text is zero-terminated.
char* get_vendor_info();
// Copies at most 127 characters into the block and writes the file.
int set_vendor_info(const char* text);

// Today's log directory for the current "path" setting (created by load_setting).
std::string setting_log_dir_today();

// String fields are replaced by the GUI thread while worker threads may read them:
// both sides go through these, which hold one lock for the copy.
void setting_get_str(const char* field, char* out, size_t outSize);
std::string setting_get_str(const char* field);
void setting_set_str(char* field, size_t fieldSize, const char* value);
