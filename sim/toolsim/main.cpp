// toolsim: virtual tools for the panel's tests and demo. See --help.
#include "sim.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <signal.h>
#include <sstream>
#include <string>

using namespace toolsim;

static const char kHelp[] = R"(Usage: toolsim [options]
Serves 1 to 8 virtual tools: discovery on 239.66.77.43:53256, a Modbus/TCP server on
each tool's port and its event connection on port + 1.

Options:
  --tools N            number of tools (default 1 unless --tool is given)
  --types LIST         types of those tools, e.g. 2,3,1,4 (default cycles 2,3,1,4);
                       1 XWC (controller), 2 ZQ (driver), 3 ZQT, 4 XWTC
  --tool DEF           one tool: TYPE[,ip=A][,port=P][,serial=S][,mac=M][,model=N]
                       [,version=V][,busy=1]; repeatable, appended after --tools
  --bind ADDR          address of the tools and of the multicast interface
                       (default 127.0.0.1)
  --iface NAME         take the bind address from this interface
  --mcast-if ADDR      multicast interface address (default: the bind address)
  --port-base P        port of tool i is P + 2*i (default 5020)
  --control PATH       also read commands on this Unix stream socket
  --no-stdin           do not read commands on standard input
  --exit-on-eof        quit when standard input ends
  --ack-wait MS        after sending an event wait up to MS ms for 4016 := 1 before
                       the next one (default 1000; 0 sends without waiting)
  --reply-unicast      send scan and search acks to the requester, not the group
  --auto MS            every tool fastens every MS ms while unlocked (demo)
  --auto-ng N          in automatic mode every N-th fastening is NG
  --write-regtools PATH
                       write the panel's "./regtools" file (80-byte records) naming
                       these tools, so a panel started on it connects them at once
  --stamp              put the send time (CLOCK_MONOTONIC microseconds, 48 bits) in
                       A1 (high), A2, A3 (low) of every event frame (benchmarks)
  -v, -vv              log connections (-v) and every request (-vv) on stderr
  --help               this text

Commands (one per line; each gets one answer line "ok ..." or "err ..."). T is a
tool index from 0, or "all" for auto and burst:
  list                         tools, addresses, lock, event output, pending events
  stats T                      counters: produced, sent, acked, pending, connections
  fasten T ok|ng [k=v ...]     one fastening; keys: time preset target torque speed
                               a1 a2 a3 screw error dir snug status barcode=TEXT
                               (refused with "err locked" while 4001 = 1)
  barcode T TEXT               a barcode read at the tool (status 7)
  count T [DELTA]              screw-count event (status 8), DELTA screws given back
  event T STATUS [k=v ...]     any other event kind (0 other, 3 FL, 4 preset change...)
  error T CODE                 error CODE enters the list 341..348, status 6 event
  raw T KIND [LEN]             malformed frame on the event connection: short (36
                               bytes), long, huge (260 bytes), badlen (wrong length
                               field), badcount (byte count beyond the frame),
                               garbage [LEN] (random bytes); raw T hex HEXBYTES
  silent T / back T            fall silent (no discovery, no Modbus, no events) / come back
  die T / revive T             power off (connections and listeners closed) / on
  drop T                       close the tool's connections (listeners stay)
  readdress T [ip=A] [port=P] [cause=C]
                               move to a new address or port, then advertise (cause 1)
  advertise T CAUSE            send an advertise with any cause (0..255)
  busy T 0|1                   the busy flag of the discovery answers
  auto T|all on|off [MS] [NG]  automatic fastening every MS ms while unlocked
  burst T|all N INTERVAL_US    N OK fastenings, one every INTERVAL_US microseconds
  set T REG VALUE              write a holding register as the panel would (effects run)
  setin T REG VALUE            write an input register
  get T REG [N]                read registers (3000..3999 from the input table)
  temp T TENTHS                temperature in register 3313
  lock T 0|1                   the tool's own lock (register 4001)
  drip T MS                    answer Modbus requests one byte every MS ms (0: at once)
  quit                         end the program

Registers: presets (p-1)*15+1.., advanced 500.., settings 238..266, network 267..320,
limits at +1000/+2000 (writes outside them are refused with exception 3), counters
2900/2901, errors 341..348, status 3303..3313, lock 4001, remote run 4003, preset
4004, direction 4005, event output 4015 (0 off and stored, 1 on with stored first,
2 on and stored skipped), acknowledge 4016, curve 4100..4104, barcode window
5000..5038, 252 := 77 initialises a driver's parameters and restarts its link.
)";

static int parseToolDef(const std::string& def, ToolIdentity* id, std::string* err) {
    std::istringstream in(def);
    std::string part;
    bool first = true;
    while (std::getline(in, part, ',')) {
        if (first) {
            first = false;
            const int type = std::atoi(part.c_str());
            if (type < 1 || type > 4) return *err = "type must be 1 to 4", -1;
            id->type = static_cast<uint8_t>(type);
            continue;
        }
        const size_t eq = part.find('=');
        if (eq == std::string::npos) return *err = "expected key=value: " + part, -1;
        const std::string k = part.substr(0, eq), v = part.substr(eq + 1);
        if (k == "ip") {
            if (parseIp(v, &id->ip) != 0) return *err = "bad ip " + v, -1;
        } else if (k == "port") {
            const long p = std::atol(v.c_str());
            if (p < 1 || p > 65534) return *err = "bad port " + v, -1;
            id->port = static_cast<uint16_t>(p);
        } else if (k == "serial") {
            id->serial = v.substr(0, 15);
        } else if (k == "mac") {
            if (parseMac(v, id->mac) != 0) return *err = "bad mac " + v, -1;
        } else if (k == "model") {
            id->model = static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 0));
        } else if (k == "version") {
            id->version = static_cast<uint16_t>(std::atoi(v.c_str()));
        } else if (k == "busy") {
            id->busy = std::atoi(v.c_str()) != 0;
        } else {
            return *err = "unknown key " + k, -1;
        }
    }
    return first ? (*err = "empty tool definition", -1) : 0;
}

static ToolIdentity defaultTool(int i, uint8_t type) {
    static const uint32_t models[5] = {0, 1200, 3020, 3030, 1400};
    ToolIdentity id;
    id.type = type;
    id.serial = "KS2607" + std::to_string(type) + std::to_string(100 + i + 1).substr(1);
    id.model = models[type];
    const uint8_t mac[6] = {0x02, 0x4b, 0x53, 0x00, type, static_cast<uint8_t>(i + 1)};
    std::memcpy(id.mac, mac, 6);
    id.version = 1203;
    return id;
}

static std::string ifaceAddress(const std::string& name) {
    ifaddrs* list = nullptr;
    std::string out;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && name == a->ifa_name) {
            out = ipText(ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr));
            break;
        }
    freeifaddrs(list);
    return out;
}

static int writeRegtools(const std::string& path, const std::vector<ToolIdentity>& tools) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return -1;
    bool ok = true;
    for (const auto& t : tools) {
        const auto rec = encodeRegtoolsRecord(t);
        ok = ok && std::fwrite(rec.data(), 1, rec.size(), f) == rec.size();
    }
    ok = (std::fclose(f) == 0) && ok;
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0 ? 0 : -1;
}

int main(int argc, char** argv) {
    Options o;
    int count = -1, portBase = 5020;
    std::vector<int> types;
    std::vector<std::string> defs;
    std::string regtools;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "toolsim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == "--tools") {
            count = std::atoi(next().c_str());
        } else if (a == "--types") {
            std::istringstream in(next());
            std::string t;
            while (std::getline(in, t, ','))
                types.push_back(std::atoi(t.c_str()));
        } else if (a == "--tool") {
            defs.push_back(next());
        } else if (a == "--bind") {
            o.bind = next();
        } else if (a == "--iface") {
            o.iface = next();
        } else if (a == "--mcast-if") {
            o.mcastIf = next();
        } else if (a == "--port-base") {
            portBase = std::atoi(next().c_str());
        } else if (a == "--control") {
            o.control = next();
        } else if (a == "--no-stdin") {
            o.useStdin = false;
        } else if (a == "--exit-on-eof") {
            o.exitOnEof = true;
        } else if (a == "--ack-wait") {
            o.ackWaitMs = std::atoi(next().c_str());
        } else if (a == "--reply-unicast") {
            o.replyUnicast = true;
        } else if (a == "--auto") {
            o.autoPeriodMs = std::atoi(next().c_str());
        } else if (a == "--auto-ng") {
            o.autoNgEvery = std::atoi(next().c_str());
        } else if (a == "--write-regtools") {
            regtools = next();
        } else if (a == "--stamp") {
            o.stamp = true;
        } else if (a == "-v") {
            o.verbose = 1;
        } else if (a == "-vv") {
            o.verbose = 2;
        } else {
            std::fprintf(stderr, "toolsim: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (!o.iface.empty()) {
        o.bind = ifaceAddress(o.iface);
        if (o.bind.empty()) {
            std::fprintf(stderr, "toolsim: no IPv4 address on %s\n", o.iface.c_str());
            return 2;
        }
    }
    uint32_t bindIp = 0;
    if (parseIp(o.bind, &bindIp) != 0) {
        std::fprintf(stderr, "toolsim: bad bind address %s\n", o.bind.c_str());
        return 2;
    }
    if (count < 0) count = defs.empty() ? 1 : 0;
    for (int i = 0; i < count; i++) {
        const int type = i < static_cast<int>(types.size()) ? types[static_cast<size_t>(i)]
                                                            : (i % 4 == 0   ? 2
                                                               : i % 4 == 1 ? 3
                                                               : i % 4 == 2 ? 1
                                                                            : 4);
        if (type < 1 || type > 4) {
            std::fprintf(stderr, "toolsim: type must be 1 to 4\n");
            return 2;
        }
        o.tools.push_back(defaultTool(i, static_cast<uint8_t>(type)));
    }
    for (const auto& s : defs) {
        const int i = static_cast<int>(o.tools.size());
        ToolIdentity id = defaultTool(i, 2);
        std::string err;
        if (parseToolDef(s, &id, &err) != 0) {
            std::fprintf(stderr, "toolsim: --tool %s: %s\n", s.c_str(), err.c_str());
            return 2;
        }
        const ToolIdentity def = defaultTool(i, id.type); // defaults follow the type
        if (s.find("serial=") == std::string::npos) id.serial = def.serial;
        if (s.find("model=") == std::string::npos) id.model = def.model;
        if (s.find("mac=") == std::string::npos) std::memcpy(id.mac, def.mac, 6);
        o.tools.push_back(id);
    }
    if (o.tools.empty() || o.tools.size() > 8) {
        std::fprintf(stderr, "toolsim: 1 to 8 tools\n");
        return 2;
    }
    for (size_t i = 0; i < o.tools.size(); i++) {
        if (!o.tools[i].ip) o.tools[i].ip = bindIp;
        if (!o.tools[i].port) o.tools[i].port = static_cast<uint16_t>(portBase + 2 * i);
    }
    if (!regtools.empty() && writeRegtools(regtools, o.tools) != 0) {
        std::fprintf(stderr, "toolsim: cannot write %s: %s\n", regtools.c_str(), strerror(errno));
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    Sim sim(o);
    if (sim.start() != 0) return 1;
    return sim.run();
}
