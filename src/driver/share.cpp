#include "share.h"

#include "common.h"
#include "debug.h"
#include "setting.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <strings.h>
#include <unistd.h>

namespace {
constexpr const char* kConf = "proftpd.conf";
constexpr const char* kPasswd = "ftpd.passwd";
constexpr const char* kPidFile = "/var/run/proftpd.pid";
// Only the password file's account logs in: without it proftpd also asks the system's
// accounts (root among them) over plain FTP.
constexpr const char* kAuthOrder = "AuthOrder\t\tmod_auth_file.c\n";

bool hasControl(const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 0x20 || *p == 0x7f) return true;
    return false;
}

// "./ftpasswd" where the board keeps one beside the panel, else the installed tool.
std::string passwdTool() {
    std::string local = Common_HomePath("ftpasswd");
    return access(local.c_str(), X_OK) == 0 ? local : "ftpasswd";
}

// One account, uid 0, home the data folder, no login shell. The name is one argument
// and the password goes on standard input: neither meets a shell.
void writePasswdFile(const std::string& name, const std::string& password) {
    if (!Share_NameUsable(name.c_str())) {
        DBG_ERR("ftp user name refused, no account written");
        return;
    }
    if (!Share_PasswordUsable(password.c_str())) {
        DBG_ERR("ftp password refused, no account written");
        return;
    }
    std::string line = password + "\n";
    Common_Run({passwdTool(), "--stdin", "--passwd", "--name=" + name, "--uid", "0", "--home",
                Common_HomePath("files"), "--shell", "/bin/false"},
               &line);
}

// A pid file line: decimal digits with optional blanks around them; 0 when it is not one.
pid_t parsePid(const std::string& line) {
    size_t b = line.find_first_not_of(" \t\r");
    size_t e = line.find_last_not_of(" \t\r");
    if (b == std::string::npos) return 0;
    long v = 0;
    for (size_t i = b; i <= e; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        v = v * 10 + (line[i] - '0');
        if (v > 0x7fffffff) return 0;
    }
    return pid_t(v);
}

bool isProftpd(pid_t pid) {
    std::string comm;
    if (Common_ReadFile(Common_SysPath("/proc/" + std::to_string(pid) + "/comm"), comm, 64) != 0)
        return false;
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == ' '))
        comm.pop_back();
    return comm == "proftpd";
}
// A configuration kept from an older version (or edited on the board) without an
// AuthOrder line gets the restriction added; everything else in it stays as it is.
int restrictAuth(const std::string& path) {
    std::string text;
    if (Common_ReadFile(path, text, 1 << 20) != 0) {
        DBG_ERR("cannot read %s : %s", path.c_str(), strerror(errno));
        return -1;
    }
    std::string restricted = Share_ConfWithAuthOrder(text);
    if (restricted == text) return 0;
    DBG_LOG(DEBUG_FLAG_SETTING, "%s : only the share's account may log in, AuthOrder added",
            path.c_str());
    if (Common_WriteFileAtomic(path, restricted.data(), restricted.size()) != 0) {
        DBG_ERR("proftpd.conf write fail : %s", strerror(errno));
        return -1;
    }
    return 0;
}
} // namespace

bool Share_NameUsable(const char* name) {
    return name && *name && !strchr(name, ':') && !hasControl(name);
}

bool Share_PasswordUsable(const char* password) {
    return password && !hasControl(password);
}

std::string Share_ConfText() {
    // clang-format off
    return "ServerName\t\t\"Quillet-Kest FTP Server\"\n"
           "ServerType\t\tstandalone\n"
           "DefaultServer\t\ton\n"
           "RootLogin\t\ton\n"
           "Port\t\t\t21\n"
           "UseIPv6\t\t\toff\n"
           "Umask\t\t\t022\n"
           "MaxInstances\t\t5\n"
           "User\t\t\troot\n"
           "Group\t\t\troot\n"
           "DefaultRoot\t\t~\n"
           "AllowOverwrite\t\ton\n"
           "AuthUserFile\t\t" + Common_HomePath(kPasswd) + "\n" +
           kAuthOrder;
    // clang-format on
}

std::string Share_ConfWithAuthOrder(const std::string& conf) {
    // Directives are words at the start of a line, in any case; a comment is not one.
    size_t at = 0;
    while (at < conf.size()) {
        size_t nl = conf.find('\n', at);
        if (nl == std::string::npos) nl = conf.size();
        size_t b = conf.find_first_not_of(" \t", at);
        if (b < nl && nl - b >= 9 && strncasecmp(conf.c_str() + b, "AuthOrder", 9) == 0 &&
            (b + 9 == nl || conf[b + 9] == ' ' || conf[b + 9] == '\t' || conf[b + 9] == '\r'))
            return conf;
        at = nl + 1;
    }
    std::string out = conf;
    if (!out.empty() && out.back() != '\n') out += '\n';
    return out + kAuthOrder;
}

int create_proftpd_conf() {
    std::string text = Share_ConfText();
    if (Common_WriteFileAtomic(Common_HomePath(kConf), text.data(), text.size()) != 0) return -1;
    return 0;
}

int FtpServer_Init() {
    std::string passwd = Common_HomePath(kPasswd);
    if (unlink(passwd.c_str()) != 0 && errno != ENOENT)
        DBG_ERR("cannot remove %s : %s", passwd.c_str(), strerror(errno));
    const SettingShare* s = get_setting_share();
    writePasswdFile(setting_get_str(s->ftp_username), setting_get_str(s->ftp_password));

    int ret = 0;
    const std::string conf = Common_HomePath(kConf);
    if (!Common_Exists(conf)) {
        if (create_proftpd_conf() != 0) {
            DBG_ERR("proftpd.conf open fail : %s", strerror(errno));
            ret = -1;
        }
    } else if (restrictAuth(conf) != 0) {
        ret = -1;
    }
    // The daemon puts itself in the background.
    if (s->ftp_enable == 1) ret = Common_Run({"proftpd", "-c", Common_HomePath(kConf)});
    return ret;
}

int run_ftpd() {
    return FtpServer_Init();
}

void kill_ftpd() {
    std::string text;
    if (Common_ReadFile(Common_SysPath(kPidFile), text, 4096) != 0) return; // nothing runs
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        pid_t pid = parsePid(text.substr(at, nl - at));
        at = nl + 1;
        if (pid <= 0) continue;
        // A stale file may name a number the system has given to another program since.
        if (!isProftpd(pid)) {
            DBG_ERR("pid %d of %s is not proftpd, left alone", int(pid), kPidFile);
            continue;
        }
        if (kill(pid, SIGTERM) != 0) DBG_ERR("kill %d : %s", int(pid), strerror(errno));
    }
}
