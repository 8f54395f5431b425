// traysim: the bit socket tray as a Modbus RTU slave (address 1) on a pseudo-terminal.
// Serves holding register 3200 (socket request, written by the panel) and input
// registers 3201 alarm, 3202 opmode, 3203 preset, 3204 number of sockets.
// Scripted on standard input, one command per line; each is answered on standard output.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {
const char* const kUsage =
    "usage: traysim [--link PATH] [--preset N] [--alarm N] [--opmode N] [--sockets N]\n"
    "\n"
    "Opens a pseudo-terminal, prints \"pty PATH\" and serves the tray registers there as\n"
    "Modbus RTU slave 1 (115200 8N1). --link makes PATH a symbolic link to the pty\n"
    "(e.g. SYSROOT/dev/ttyUSB0) and removes it on exit.\n"
    "\n"
    "Commands on standard input (answers on standard output):\n"
    "  preset N | alarm N | opmode N | sockets N   set an input register -> \"ok\"\n"
    "  silent        stop answering requests (they are read and dropped) -> \"ok\"\n"
    "  back          answer again -> \"ok\"\n"
    "  request       the last socket request written to 3200 -> \"request N\"\n"
    "  count         requests answered so far -> \"count N\"\n"
    "  quit          exit (also at end of input)\n";

enum {
    REG_REQUEST = 3200,
    REG_ALARM = 3201,
    REG_OPMODE = 3202,
    REG_PRESET = 3203,
    REG_SOCKETS = 3204
};

struct Tray {
    modbus_t* ctx = nullptr;
    modbus_mapping_t* map = nullptr;
    bool silent = false;
    unsigned long answered = 0;
    std::string link;
};
Tray tray;

uint16_t& inputReg(int addr) {
    return tray.map->tab_input_registers[addr - REG_ALARM];
}

bool setFromArg(const char* name, const char* value) {
    char* end = nullptr;
    long v = strtol(value, &end, 0);
    if (!end || *end || v < 0 || v > 65535) return false;
    int addr = !strcmp(name, "preset")    ? REG_PRESET
               : !strcmp(name, "alarm")   ? REG_ALARM
               : !strcmp(name, "opmode")  ? REG_OPMODE
               : !strcmp(name, "sockets") ? REG_SOCKETS
                                          : 0;
    if (!addr) return false;
    inputReg(addr) = uint16_t(v);
    return true;
}

// One line of the script; returns false to quit.
bool command(char* line) {
    char* nl = strpbrk(line, "\r\n");
    if (nl) *nl = '\0';
    char name[32] = "", value[32] = "";
    int n = sscanf(line, "%31s %31s", name, value);
    if (n <= 0) return true;
    if (!strcmp(name, "quit")) return false;
    if (n == 2 && setFromArg(name, value))
        printf("ok\n");
    else if (!strcmp(name, "silent")) {
        tray.silent = true;
        printf("ok\n");
    } else if (!strcmp(name, "back")) {
        tray.silent = false;
        printf("ok\n");
    } else if (!strcmp(name, "request"))
        printf("request %u\n", tray.map->tab_registers[0]);
    else if (!strcmp(name, "count"))
        printf("count %lu\n", tray.answered);
    else
        printf("error unknown command: %s\n", line);
    fflush(stdout);
    return true;
}

void serveOne() {
    uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    int len = modbus_receive(tray.ctx, req);
    if (len <= 0) return; // not for us, or a broken frame
    if (tray.silent) return;
    if (modbus_reply(tray.ctx, req, len, tray.map) > 0) ++tray.answered;
}

void cleanup() {
    if (!tray.link.empty()) unlink(tray.link.c_str());
}
} // namespace

int main(int argc, char** argv) {
    tray.map = modbus_mapping_new_start_address(0, 0, 0, 0, REG_REQUEST, 1, REG_ALARM, 4);
    if (!tray.map) {
        fprintf(stderr, "traysim: %s\n", modbus_strerror(errno));
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc || a.rfind("--", 0) != 0) {
            fputs(kUsage, stderr);
            return 2;
        }
        if (a == "--link")
            tray.link = argv[++i];
        else if (!setFromArg(a.c_str() + 2, argv[++i])) {
            fprintf(stderr, "traysim: bad option %s %s\n", a.c_str(), argv[i]);
            return 2;
        }
    }
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("traysim: pty");
        return 1;
    }
    const char* slaveName = ptsname(master);
    // Our own raw, open handle on the slave side: the line stays raw and the master
    // never reads end-of-file while the panel has the port closed.
    int slave = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        perror("traysim: pty slave");
        return 1;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    if (!tray.link.empty()) {
        unlink(tray.link.c_str());
        if (symlink(slaveName, tray.link.c_str()) != 0) {
            perror("traysim: link");
            return 1;
        }
        atexit(cleanup);
    }
    tray.ctx = modbus_new_rtu(slaveName, 115200, 'N', 8, 1);
    if (!tray.ctx || modbus_set_slave(tray.ctx, 1) != 0) {
        fprintf(stderr, "traysim: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_socket(tray.ctx, master); // serve on the master side of the pty
    printf("pty %s\n", slaveName);
    fflush(stdout);

    char line[256];
    std::string pending;
    for (;;) {
        struct pollfd fds[2] = {{0, POLLIN, 0}, {master, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) serveOne();
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            ssize_t n = read(0, line, sizeof line - 1);
            if (n <= 0) break;
            pending.append(line, size_t(n));
            size_t nl;
            bool go = true;
            while (go && (nl = pending.find('\n')) != std::string::npos) {
                std::string one = pending.substr(0, nl + 1);
                pending.erase(0, nl + 1);
                go = command(one.data());
            }
            if (!go) break;
        }
    }
    modbus_free(tray.ctx);
    modbus_mapping_free(tray.map);
    close(slave);
    close(master);
    return 0;
}
