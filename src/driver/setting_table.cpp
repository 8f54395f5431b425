// The key table of the settings file and the compiled-in defaults.
#include "setting.h"

#include <cstring>

// The tables are laid out by hand, one key or vocabulary per line.
// clang-format off
namespace {
const char* const vOpmode[] = {"with job", "without job", ""};
const char* const vCountDir[] = {"up", "down", ""};
const char* const vCountUnit[] = {"per step", "per job", ""};
const char* const vJobSel[] = {"binary", "direct", ""};
const char* const vBarcodeIf[] = {"local", "remote", ""};
const char* const vInput[] = {"disable",      "job select 1", "job select 2", "job select 3",
                              "job select 4", "job select 5", "job select 6", "job select 7",
                              "job select 8", "skip",         "back",         "reset step",
                              "reset job",    "next job",     "previous job", "alarm reset",
                              ""};
const char* const vOutput[] = {"disable", "fasten ok", "fasten ng",    "step ok", "step ng",
                               "job ok",  "job ng",    "system ready", "alarm",   ""};
const char* const vLogPath[] = {"internal", "micro sd", ""};
const char* const vDhcp[] = {"static", "dhcp", ""};
const char* const vBand[] = {"2.4G", "5G", ""};
const char* const vCountry[] = {"us", "eu", "jp", ""};
const char* const vChannelMode[] = {"auto", "manual", ""};
const char* const vLanguage[] = {"english", "spanish",  "french",    "german",
                                 "mandarin", "portuguese", ""};
const char* const vBrightness[] = {"25", "50", "75", "100", ""};
const char* const vVolume[] = {"mute", "25", "50", "75", "100", ""};

#define CFG_OFF(member) uint32_t(offsetof(Setting, member))
#define SECTION(title) {title, 0, 0, CFG_SECTION, nullptr}
#define BOOLF(key, member) {key, CFG_OFF(member), 4, CFG_BOOL, nullptr}
#define ENUMF(key, member, vals) {key, CFG_OFF(member), 4, CFG_ENUM, vals}
#define INTF(key, member) {key, CFG_OFF(member), 4, CFG_INT, nullptr}
#define STRF(key, member) {key, CFG_OFF(member), uint32_t(sizeof(Setting::member)), CFG_STRING, nullptr}
#define IPF(key, member) {key, CFG_OFF(member), 4, CFG_IPV4, nullptr}
#define INPUT(n) ENUMF("input." #n, io.input[n - 1], vInput)
#define OUTPUT(n) ENUMF("output." #n, io.output[n - 1], vOutput)
#define TOOL(n) BOOLF("tool " #n, barcode.tool[n - 1])

Setting makeDefaults() {
    Setting s;
    memset(&s, 0, sizeof s);
    auto& o = s.operation;
    o.skip_without_pwd = o.back_without_pwd = o.reset_without_pwd = 1;
    o.disp_job_reset = o.job_sel_without_pwd = o.auto_job_restart = 1;
    auto& l = s.log;
    l.tool_name = l.barcode = l.fasten_time = l.preset_no = l.target_torque = 1;
    l.converted_torque = l.speed = l.a3 = l.screw_no = l.error = l.direction = l.status = 1;
    auto& n = s.network;
    n.dhcp = 1;
    n.ip = (192u << 24) | (168u << 16) | (0u << 8) | 85u;
    n.netmask = 0xFFFFFF00u;
    n.gateway = (192u << 24) | (168u << 16) | (0u << 8) | 1u;
    strcpy(n.ssid, "quillet");
    strcpy(n.wifi_password, "40718253");
    n.band = 1;
    n.manual_channel = -1;
    auto& sh = s.share;
    sh.ftp_enable = 1;
    strcpy(sh.ftp_username, "quillet");
    strcpy(sh.ftp_password, "vuzo");
    auto& sy = s.system;
    strcpy(sy.login_password, "0");
    sy.brightness = 3;
    sy.volume = 4;
    auto& pl = s.plant;
    pl.op_port = 4545;
    pl.store_size = 200000;
    pl.store_days = 90;
    pl.mqtt_port = 1883;
    strcpy(pl.mqtt_topic, "kest/station");
    return s;
}
} // namespace

const SettingConfig configs[] = {
    SECTION("Setting -> Operation"),
    ENUMF("operation mode", operation.operation_mode, vOpmode),
    ENUMF("screw count direction", operation.screw_count_dir, vCountDir),
    ENUMF("screw count unit", operation.screw_count_unit, vCountUnit),
    ENUMF("job selection type", operation.job_sel_type, vJobSel),
    ENUMF("barcode interfae", operation.barcode_if, vBarcodeIf),
    BOOLF("auto start job on boot", operation.auto_start_job),
    STRF("default job name", operation.default_job_name),
    BOOLF("skip without pwd", operation.skip_without_pwd),
    BOOLF("back without pwd", operation.back_without_pwd),
    BOOLF("reset without pwd", operation.reset_without_pwd),
    BOOLF("disp job reset", operation.disp_job_reset),
    BOOLF("job sel without pwd", operation.job_sel_without_pwd),
    BOOLF("auto job restart", operation.auto_job_restart),
    BOOLF("backup manager", operation.backup_manager),
    BOOLF("bit socket tray", operation.bit_socket_tray),
    STRF("bst tool name", operation.bst_tool_name),
    SECTION("Setting -> I/O -> Input"),
    INPUT(1), INPUT(2), INPUT(3), INPUT(4), INPUT(5), INPUT(6), INPUT(7), INPUT(8),
    INPUT(9), INPUT(10), INPUT(11), INPUT(12), INPUT(13), INPUT(14), INPUT(15), INPUT(16),
    SECTION("Setting -> I/O -> Output"),
    OUTPUT(1), OUTPUT(2), OUTPUT(3), OUTPUT(4), OUTPUT(5), OUTPUT(6), OUTPUT(7), OUTPUT(8),
    OUTPUT(9), OUTPUT(10), OUTPUT(11), OUTPUT(12), OUTPUT(13), OUTPUT(14), OUTPUT(15), OUTPUT(16),
    SECTION("Setting -> Log"),
    ENUMF("path", log.path, vLogPath),
    BOOLF("tool name", log.tool_name),
    BOOLF("barcode", log.barcode),
    BOOLF("fasten time", log.fasten_time),
    BOOLF("preset no", log.preset_no),
    BOOLF("target torque", log.target_torque),
    BOOLF("converted torque", log.converted_torque),
    BOOLF("speed", log.speed),
    BOOLF("a1", log.a1),
    BOOLF("a2", log.a2),
    BOOLF("a3", log.a3),
    BOOLF("screw no", log.screw_no),
    BOOLF("error", log.error),
    BOOLF("direction", log.direction),
    BOOLF("status", log.status),
    BOOLF("snug", log.snug),
    SECTION("Setting -> Barcode"),
    TOOL(1), TOOL(2), TOOL(3), TOOL(4), TOOL(5), TOOL(6), TOOL(7), TOOL(8),
    SECTION("Network -> Ethernet"),
    ENUMF("dhcp", network.dhcp, vDhcp),
    IPF("ip", network.ip),
    IPF("netmask", network.netmask),
    IPF("gateway", network.gateway),
    SECTION("Network -> Wi-Fi"),
    STRF("ssid", network.ssid),
    STRF("wifi password", network.wifi_password),
    ENUMF("band", network.band, vBand),
    SECTION("Network -> Wi-Fi -> Advanced"),
    ENUMF("country", network.country, vCountry),
    ENUMF("channel mode", network.channel_mode, vChannelMode),
    INTF("manual channel", network.manual_channel),
    SECTION("Share -> FTP"),
    BOOLF("ftp enable", share.ftp_enable),
    STRF("ftp username", share.ftp_username),
    STRF("ftp password", share.ftp_password),
    SECTION("Share -> Backup event forwarding"),
    BOOLF("bef enable", share.bef_enable),
    IPF("bef server ip", share.bef_server_ip),
    INTF("bef port", share.bef_port),
    SECTION("Share -> Open protocol"),
    BOOLF("open protocol", plant.op_enable),
    INTF("open protocol port", plant.op_port),
    SECTION("Share -> Result store"),
    INTF("result store size", plant.store_size),
    INTF("result store days", plant.store_days),
    SECTION("Share -> MQTT"),
    BOOLF("mqtt enable", plant.mqtt_enable),
    IPF("mqtt broker", plant.mqtt_broker),
    INTF("mqtt port", plant.mqtt_port),
    STRF("mqtt topic", plant.mqtt_topic),
    STRF("mqtt user", plant.mqtt_user),
    STRF("mqtt password", plant.mqtt_password),
    SECTION("System"),
    STRF("login password", system.login_password),
    ENUMF("language", system.language, vLanguage),
    ENUMF("brightness", system.brightness, vBrightness),
    ENUMF("volume", system.volume, vVolume),
};
// clang-format on
// The table's helpers end here: unity builds put other files after this one.
#undef CFG_OFF
#undef SECTION
#undef BOOLF
#undef ENUMF
#undef INTF
#undef STRF
#undef IPF
#undef INPUT
#undef OUTPUT
#undef TOOL
const size_t configs_count = sizeof(configs) / sizeof(configs[0]);
static_assert(sizeof(configs) / sizeof(configs[0]) == 116);

const Setting* get_default_setting() {
    static const Setting dft_setting = makeDefaults();
    return &dft_setting;
}
